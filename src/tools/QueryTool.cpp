// quorvel-query: searches the launcher's index from the command line, as the panel does: the
// user's index and launch history, the term in a matching mode, the matches in ranked order.
// Prints one match per line (name, type and path separated by tabs), or only the result count.

#include "search/InteractiveCombinedList.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <optional>

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

// The request, or nothing when the arguments are not a valid command line.
std::optional<Request> parse(const QStringList& arguments)
{
    Request request;
    std::optional<QString> term;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--mode" || argument.startsWith("--mode="))) {
            QString name = argument.mid(7);
            if (argument == "--mode") {
                if (++i == arguments.size())
                    return std::nullopt;
                name = arguments[i];
            }
            const std::optional<int> mode = modeNamed(name);
            if (!mode)
                return std::nullopt;
            request.mode = *mode;
        } else if (options && argument == "--count") {
            request.countOnly = true;
        } else if (options && argument.startsWith("-") && argument.size() > 1) {
            return std::nullopt;
        } else if (!term) {
            term = argument;
        } else {
            return std::nullopt;
        }
    }
    if (!term)
        return std::nullopt;
    request.term = *term;
    return request;
}

// Tabs and line breaks inside a field would break the one-line-per-match format.
void appendField(QString& out, QStringView text)
{
    const qsizetype from = out.size();
    out += text;
    for (qsizetype i = from; i < out.size(); ++i)
        if (out[i] == u'\t' || out[i] == u'\n' || out[i] == u'\r')
            out[i] = u' ';
}

// All matches as lines, built in one buffer: a million lines must not cost a million strings.
QByteArray matchLines(const InteractiveList& list)
{
    const LaunchItemTable& items = list.items();
    QString out;
    out.reserve(static_cast<qsizetype>(list.matchingItemIndices().size()) * 96);
    for (std::uint32_t item : list.matchingItemIndices()) {
        appendField(out, items.name(item));
        out += u'\t';
        appendField(out, items.type(item));
        out += u'\t';
        appendField(out, items.path(item));
        out += u'\n';
    }
    return out.toUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (arguments == QStringList { "--help" }) {
        std::fputs(usage, stdout);
        return 0;
    }
    const std::optional<Request> request = parse(arguments);
    if (!request) {
        std::fputs(usage, stderr);
        return 2;
    }

    InteractiveCombinedList list;
    if (!list.interactiveListFileExists()) {
        std::fprintf(
            stderr, "quorvel-query: no index at %s (run a scan first)\n", qPrintable(_combinedListPath()));
        return 1;
    }
    list.load();
    list.setFilterWithMode(request->term, request->mode);

    const QByteArray out = request->countOnly ? list.resultCountString().toUtf8() + '\n' : matchLines(list);
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
