// quorvel-query: searches the launcher's index from the command line, as the panel does: the
// user's index and launch history, the term in a matching mode, the matches in ranked order.
// Prints one match per line (name, type and path separated by tabs), or only the result count.
// Exits 0 when it answered (--help and --version too), 1 when there is no readable index, 2 for
// bad arguments.

#include "search/InteractiveCombinedList.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <string>

using namespace quorvel;

namespace {

const char* const usage = "usage: quorvel-query [--mode prefix|contains|word|wildcard] [--count] TERM\n";

struct Request {
    int mode = InteractiveList::PrefixMode;
    bool countOnly = false;
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
    parser.addOption(modeOption);
    parser.addOption(countOption);
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

// Appends text in UTF-8 (names are nearly all ASCII: those units are copied as they are).
void appendUtf8(std::string& out, QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i].unicode() < 0x80)
        ++i;
    const std::size_t from = out.size();
    out.resize(from + std::size_t(i));
    for (qsizetype k = 0; k < i; ++k)
        out[from + std::size_t(k)] = static_cast<char>(text[k].unicode());
    if (i < n) {
        const QByteArray rest = text.mid(i).toUtf8();
        out.append(rest.constData(), std::size_t(rest.size()));
    }
}

// Tabs and line breaks inside a field would break the one-line-per-match format.
void blankSeparators(std::string& out, std::size_t from)
{
    for (std::size_t i = from; i < out.size(); ++i)
        if (out[i] == '\t' || out[i] == '\n' || out[i] == '\r')
            out[i] = ' ';
}

// All matches as lines, built in one buffer: a million lines must not cost a million strings.
// Paths are UTF-8 in the table already and are copied as they are.
std::string matchLines(const InteractiveList& list)
{
    const LaunchItemTable& items = list.items();
    std::string out;
    out.reserve(list.matchingItemIndices().size() * 112);
    for (std::uint32_t item : list.matchingItemIndices()) {
        const std::size_t from = out.size();
        appendUtf8(out, items.name(item));
        blankSeparators(out, from);
        out += '\t';
        const std::size_t typeFrom = out.size();
        appendUtf8(out, items.type(item));
        blankSeparators(out, typeFrom);
        out += '\t';
        const QUtf8StringView path = items.path(item);
        const std::size_t pathFrom = out.size();
        out.append(path.data(), std::size_t(path.size()));
        blankSeparators(out, pathFrom);
        out += '\n';
    }
    return out;
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

    const std::string out
        = request->countOnly ? list.resultCountString().toStdString() + '\n' : matchLines(list);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
