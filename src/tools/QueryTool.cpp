// quorvel-query: searches the launcher's index from the command line, as the panel does: the
// user's index and launch history, the term in a matching mode, the matches in ranked order.
// Prints one match per line (name, type and path separated by tabs), every field followed by a
// NUL (--null), one JSON object per line (--json), or only the result count (MatchOutput).
// Exits 0 when it answered (--help and --version too), 1 when there is no readable index, 2 for
// bad arguments.

#include "MatchOutput.h"
#include "search/InteractiveCombinedList.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <string>

using namespace quorvel;

namespace {

const char* const usage
    = "usage: quorvel-query [--mode prefix|contains|word|wildcard] [--count | --null | --json] TERM\n";

struct Request {
    int mode = InteractiveList::PrefixMode;
    bool countOnly = false;
    MatchOutput::Format format = MatchOutput::Lines;
    QString term;
};

std::optional<int> modeNamed(const QString& name)
{
    const QStringList modes = { "prefix", "contains", "word", "wildcard" };
    const qsizetype mode = modes.indexOf(name);
    return mode < 0 ? std::nullopt : std::optional<int>(static_cast<int>(mode));
}

// The request, or nothing when the arguments are not a valid command line (said on standard
// error). --help and --version print and end the process with 0.
std::optional<Request> parse(const QCoreApplication& application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Searches the launcher's index as the panel does and "
                                                    "prints the ranked matches: name, type and path."));
    const QCommandLineOption modeOption(QStringLiteral("mode"),
        QStringLiteral("The matching mode: prefix (the default), contains, word or wildcard."),
        QStringLiteral("mode"));
    const QCommandLineOption countOption(
        QStringLiteral("count"), QStringLiteral("Print only the result count."));
    const QCommandLineOption nullOption({ QStringLiteral("0"), QStringLiteral("null") },
        QStringLiteral("Print every field as stored, each followed by a NUL byte."));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
        QStringLiteral("Print one JSON object per match and line, with name, type and path."));
    parser.addOption(modeOption);
    parser.addOption(countOption);
    parser.addOption(nullOption);
    parser.addOption(jsonOption);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("TERM"), QStringLiteral("What to search for."));
    const auto reject = [](const QString& why) {
        std::fprintf(stderr, "%squorvel-query: %s\n", usage, qPrintable(why));
        return std::nullopt;
    };
    if (!parser.parse(application.arguments()))
        return reject(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    Request request;
    request.countOnly = parser.isSet(countOption);
    if (int(request.countOnly) + int(parser.isSet(nullOption)) + int(parser.isSet(jsonOption)) > 1)
        return reject(QStringLiteral("--count, --null and --json exclude each other"));
    if (parser.isSet(nullOption))
        request.format = MatchOutput::Null;
    else if (parser.isSet(jsonOption))
        request.format = MatchOutput::Json;
    if (parser.isSet(modeOption)) {
        const std::optional<int> mode = modeNamed(parser.value(modeOption));
        if (!mode)
            return reject(QStringLiteral("unknown mode \"%1\"").arg(parser.value(modeOption)));
        request.mode = *mode;
    }
    const QStringList terms = parser.positionalArguments();
    if (terms.size() != 1)
        return reject(QStringLiteral("give one term"));
    request.term = terms.first();
    return request;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    const std::optional<Request> request = parse(application);
    if (!request)
        return 2;

    InteractiveCombinedList list;
    if (!list.interactiveListFileExists()) {
        std::fprintf(
            stderr, "quorvel-query: no index at %s (run a scan first)\n", qPrintable(list.getFilePath()));
        return 1;
    }
    list.load();
    if (list.interactiveListFileIsUnreadable()) {
        std::fprintf(stderr, "quorvel-query: the index at %s could not be read (run a scan to replace it)\n",
            qPrintable(list.getFilePath()));
        return 1;
    }
    list.setFilterWithMode(request->term, request->mode);

    const auto toStandardOutput = [](std::string_view text) {
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    };
    const bool written = request->countOnly ? toStandardOutput(list.resultCountString().toStdString() + '\n')
                                            : MatchOutput::write(list, request->format, toStandardOutput);
    return std::fflush(stdout) == 0 && written ? 0 : 1;
}
