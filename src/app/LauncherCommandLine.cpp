#include "app/LauncherCommandLine.h"

#include "platform/widgets/ToolkitOptions.h"

#include <cstdio>

namespace quorvel {

namespace {

const QLatin1StringView usage("usage: quorvel-launcher [--help] [--version] [Qt options]\n");

LauncherCommandLine::Answer refusal(const QString& why)
{
    return { false, 2, QString(), QStringLiteral("quorvel-launcher: %1\n").arg(why) + usage };
}

} // namespace

LauncherCommandLine::Answer LauncherCommandLine::answerTo(const QStringList& arguments)
{
    bool optionsEnd = false;
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& word = arguments[index];
        if (optionsEnd || word == QLatin1String("-") || !word.startsWith(QLatin1Char('-')))
            continue;
        if (word == QLatin1String("--")) {
            optionsEnd = true;
        } else if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            return { false, 0, helpText(), QString() };
        } else if (word == QLatin1String("--version") || word == QLatin1String("-v")) {
            return { false, 0, QStringLiteral("Quorvel Launcher " QUORVEL_VERSION "\n"), QString() };
        } else if (const qsizetype words = ToolkitOptions::wordsOfOptionAt(arguments, index)) {
            index += words - 1; // the option's value is no option of ours, even if it starts with -
        } else {
            return refusal(QStringLiteral("unknown option \"%1\"").arg(word));
        }
    }
    return {};
}

LauncherCommandLine::Answer LauncherCommandLine::answerTo(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const Answer answer = answerTo(arguments);
    std::fputs(answer.output.toLocal8Bit().constData(), stdout);
    std::fputs(answer.errors.toLocal8Bit().constData(), stderr);
    return answer;
}

QString LauncherCommandLine::helpText()
{
    return QString(usage)
        + QStringLiteral("\n"
                         "Starts Quorvel Launcher, or brings the running one forward. Its hot key (F1\n"
                         "unless changed in the Quorvel preference pane) brings up the search panel.\n"
                         "\n"
                         "  -h, --help     print this help and exit\n"
                         "  -v, --version  print the version and exit\n"
                         "\n"
                         "Qt's own options (-platform, -display, -style, ...) are passed on to Qt.\n");
}

} // namespace quorvel
