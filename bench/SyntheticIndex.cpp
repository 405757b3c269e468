#include "SyntheticIndex.h"

#include "platform/plist/PropertyList.h"
#include "search/IndexFile.h"
#include "search/LaunchItem.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace quorvel::bench {

namespace {

// A small, fully specified generator (SplitMix64), so the data do not depend on the standard
// library's distributions.
class Random final {
public:
    explicit Random(std::uint64_t seed)
        : state(seed * 0x9E3779B97F4A7C15ull + 1)
    {
    }

    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& a) { return a[below(N)]; }

private:
    std::uint64_t state;
};

const std::array<const char*, 48> words = { "Report", "Quarterly", "Budget", "Notes", "Meeting", "Draft",
    "Final", "Invoice", "Letter", "Photo", "Holiday", "Project", "Alpha", "Beta", "Summary", "Plan", "Tax",
    "Return", "Music", "Recipe", "Menu", "Garden", "Travel", "Contract", "Backup", "Design", "Logo", "Poster",
    "Thesis", "Chapter", "Slides", "Agenda", "Minutes", "Resume", "Cover", "Book", "List", "Café", "Menü",
    "Straße", "Résumé", "Año", "Zürich", "Ελλάδα", "Notizen", "Projet", "Idées", "Übersicht" };
const std::array<const char*, 16> extensions = { ".pdf", ".docx", ".odt", ".txt", ".xlsx", ".ods", ".png",
    ".jpg", ".mp3", ".md", ".html", ".svg", ".tex", ".csv", ".pptx", ".odp" };
const std::array<const char*, 20> applications = { "Mail", "GIMP Image Editor", "Firefox Web Browser",
    "Terminal", "Text Editor", "Calculator", "LibreOffice Writer", "LibreOffice Calc", "Inkscape",
    "Thunderbird", "Files", "Rhythmbox", "VLC media player", "Blender", "Krita", "Document Viewer", "Disks",
    "System Monitor", "Visual Studio Code", "Audacity" };
const std::array<const char*, 10> panes = { "Keyboard", "Displays", "Network", "Sound", "Mouse & Touchpad",
    "Date & Time", "Users", "Printers", "Power", "Appearance" };
const std::array<const char*, 8> topFolders = { "Documents", "Documents/Projects", "Pictures", "Music",
    "Downloads", "Desktop", "Documents/Work/Clients", "src/github.com" };
const std::array<const char*, 12> folderNames = { "node_modules", "Archive", "2019", "2021", "Old", "Scans",
    "Invoices", "Alpha", "Beta", "Drafts", "build", "Photos (raw)" };

QString capitalisedWords(Random& random, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QString::fromUtf8(random.pick(words));
    return parts.join(QLatin1Char(' '));
}

QString documentName(Random& random)
{
    QString name = capitalisedWords(random, 1 + static_cast<int>(random.below(3)));
    switch (random.below(5)) {
    case 0:
        name += QLatin1Char(' ') + QString::number(2000 + random.below(27));
        break;
    case 1:
        name += QStringLiteral(" (final)");
        break;
    case 2:
        name = name.toLower().replace(QLatin1Char(' '), QLatin1Char('_'));
        break;
    default:
        break;
    }
    return name + QString::fromLatin1(random.pick(extensions));
}

// The folders documents live in: a few hundred, nested two to four deep below the top folders,
// so that many items share each prefix as on a real disk.
QStringList makeFolders(Random& random)
{
    QStringList folders;
    for (int i = 0; i < 400; ++i) {
        QString folder = QStringLiteral("/home/user/") + QString::fromLatin1(random.pick(topFolders));
        const std::size_t depth = 1 + random.below(3);
        for (std::size_t d = 0; d < depth; ++d)
            folder += QLatin1Char('/')
                + (random.below(3) == 0 ? QString::fromLatin1(random.pick(folderNames))
                                        : capitalisedWords(random, 1));
        folders << folder;
    }
    return folders;
}

// Keeps paths within 40 to 90 characters: a long one climbs out of folder levels (then shortens
// the name), a short one gains a folder level.
QString fitPath(QString folder, QString name)
{
    constexpr qsizetype shortest = 40, longest = 90;
    while (folder.size() + 1 + name.size() > longest && folder.count(QLatin1Char('/')) > 3)
        folder.truncate(folder.lastIndexOf(QLatin1Char('/')));
    if (folder.size() + 1 + name.size() > longest)
        name = name.right(longest - folder.size() - 1);
    if (folder.size() + 1 + name.size() < shortest)
        folder += QStringLiteral("/Shared Documents");
    return folder + QLatin1Char('/') + name;
}

SyntheticItem makeItem(Random& random, const QStringList& folders)
{
    const std::size_t roll = random.below(100);
    if (roll < 5) {
        const QString name = QString::fromUtf8(random.pick(applications));
        // Desktop entries are named in reverse-DNS style, without spaces.
        const QString folder = random.below(2) ? QStringLiteral("/usr/share/applications")
                                               : QStringLiteral("/home/user/.local/share/applications");
        const QString file = QStringLiteral("org.freedesktop.") + QString(name).remove(QLatin1Char(' '));
        return { name, LaunchItemType::application, fitPath(folder, file + QStringLiteral(".desktop")) };
    }
    if (roll < 6) {
        const QString name = QString::fromUtf8(random.pick(panes));
        return { name, LaunchItemType::preferencePane,
            fitPath(
                QStringLiteral("/usr/share/quorvel/PreferencePanes"), name + QStringLiteral(".prefPane")) };
    }
    const QString& folder
        = folders[static_cast<qsizetype>(random.below(static_cast<std::size_t>(folders.size())))];
    if (roll < 26) {
        const QString name = random.below(4) == 0
            ? QString::fromLatin1(random.pick(folderNames))
            : capitalisedWords(random, 1 + static_cast<int>(random.below(2)));
        const QString path = fitPath(folder, name);
        return { path.section(QLatin1Char('/'), -1), LaunchItemType::folder, path };
    }
    const QString path = fitPath(folder, documentName(random));
    return { path.section(QLatin1Char('/'), -1), LaunchItemType::document, path };
}

// "Report.pdf" -> "Report 2.pdf", as file managers name copies; the name of a document or
// folder follows its file name.
SyntheticItem numbered(SyntheticItem item, int copy)
{
    const qsizetype slash = item.path.lastIndexOf(QLatin1Char('/'));
    qsizetype dot = item.path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash)
        dot = item.path.size();
    item.path.insert(dot, QStringLiteral(" %1").arg(copy));
    if (item.type == LaunchItemType::document || item.type == LaunchItemType::folder)
        item.name = item.path.mid(slash + 1);
    return item;
}

} // namespace

std::vector<SyntheticItem> syntheticItems(std::size_t count, std::uint32_t seed)
{
    Random random(seed);
    const QStringList folders = makeFolders(random);
    std::vector<SyntheticItem> items;
    items.reserve(count);
    QSet<QString> paths; // a disk holds each path once
    for (std::size_t i = 0; i < count; ++i) {
        SyntheticItem item = makeItem(random, folders);
        if (paths.contains(item.path)) {
            int copy = 2;
            while (paths.contains(numbered(item, copy).path))
                ++copy;
            item = numbered(item, copy);
        }
        paths.insert(item.path);
        items.push_back(std::move(item));
    }
    return items;
}

QVariantList toIndexArray(const std::vector<SyntheticItem>& items)
{
    QVariantList array;
    array.reserve(static_cast<qsizetype>(items.size()));
    for (const SyntheticItem& item : items)
        array.append(QVariantMap { { QStringLiteral("name"), item.name },
            { QStringLiteral("type"), item.type }, { QStringLiteral("path"), item.path } });
    return array;
}

QVariantMap syntheticHistory(const std::vector<SyntheticItem>& items, std::size_t paths,
    std::size_t launchesPerPath, double now, std::uint32_t seed)
{
    QVariantMap history;
    if (items.empty())
        return history;
    Random random(seed + 0x5EED);
    constexpr double maximumAge = 180.0 * 24 * 3600; // about six months
    // Distinct paths; duplicates among the items cap how many there can be.
    const std::size_t wanted = std::min(paths, items.size());
    for (std::size_t attempt = 0; static_cast<std::size_t>(history.size()) < wanted && attempt < 4 * wanted;
         ++attempt) {
        const QString& path = items[random.below(items.size())].path;
        if (history.contains(path))
            continue;
        // Ages spread evenly on a log scale from one second to six months, newest last.
        std::vector<double> ages;
        for (std::size_t l = 0; l < launchesPerPath; ++l)
            ages.push_back(std::pow(maximumAge, random.unit()));
        std::sort(ages.begin(), ages.end(), std::greater<>());
        QVariantList launches;
        for (double age : ages)
            launches.append(now - age);
        history.insert(path, launches);
    }
    return history;
}

bool writeIndexFile(const QString& path, const std::vector<SyntheticItem>& items)
{
    std::vector<LaunchItem> launchItems;
    launchItems.reserve(items.size());
    for (const SyntheticItem& item : items)
        launchItems.push_back(LaunchItem { item.name, item.type, item.path });
    return IndexFile::write(path, launchItems);
}

bool writeHistoryFile(const QString& path, const QVariantMap& history)
{
    return PropertyList::writeFile(path, history);
}

} // namespace quorvel::bench
