#include "search/IndexFile.h"

#include "platform/core/FreeMemory.h"
#include "platform/core/Log.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/Folders.h"
#include "platform/files/UnreadableFile.h"
#include "platform/plist/PropertyList.h"
#include "search/IndexCache.h"
#include "search/SearchLog.h"

#include <QStringList>
#include <array>
#include <future>

namespace quorvel {

namespace {

// An entry's three strings, in the order they are read.
enum Field { Name, Type, Path };
const QStringList readingKeys = { QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("path") };
// Written sorted, as the dictionary writer orders keys: the file is byte for byte what writing
// the items as an array of dictionaries gives.
constexpr std::array<Field, 3> writingOrder = { Name, Path, Type };
const QStringList writingKeys = { readingKeys[Name], readingKeys[Path], readingKeys[Type] };

// The strings of the items, key by key in writing order, for the property-list writer.
PropertyList::StringRecordSource writtenFields(const std::vector<LaunchItem>& items)
{
    return [&items](std::size_t record, int key) {
        const LaunchItem& item = items[record];
        switch (writingOrder[static_cast<std::size_t>(key)]) {
        case Name:
            return item.name;
        case Type:
            return item.type;
        case Path:
            return item.path;
        }
        return QString();
    };
}

// The longest path and name the file systems of this platform allow, in bytes (PATH_MAX and
// NAME_MAX of Linux): an entry beyond them names no file that could be opened.
constexpr qsizetype longestPath = 4096;
constexpr qsizetype longestName = 255;

// The length of the text in UTF-8 bytes, counted only as far as it matters.
bool longerInUtf8Than(QStringView text, qsizetype limit)
{
    if (text.size() * 3 <= limit)
        return false; // no UTF-16 unit takes more than three bytes
    qsizetype bytes = 0;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        // A surrogate pair is four bytes in all, two for each half.
        bytes += unit < 0x80 ? 1 : unit < 0x800 || QChar::isSurrogate(unit) ? 2 : 3;
        if (bytes > limit)
            return true;
    }
    return false;
}

// PropertyList::storedString, answered at once for the usual text that holds no unit XML
// cannot carry: this runs for every name and path of a scan.
QString storedString(const QString& text)
{
    const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype size = text.size();
    bool plain = true;
    for (qsizetype i = 0; i < size; ++i)
        plain &= units[i] >= 0x20 && units[i] < 0xD800;
    return plain ? text : PropertyList::storedString(text);
}

// Whether an entry is taken into a table: without a name or path it cannot be shown or opened,
// and beyond the longest name or path it names no file.
enum class Admission { Taken, Incomplete, TooLong };

Admission admissionOf(bool hasName, QStringView name, bool hasPath, QStringView path)
{
    if (!hasName || !hasPath)
        return Admission::Incomplete;
    if (longerInUtf8Than(name, longestName) || longerInUtf8Than(path, longestPath))
        return Admission::TooLong;
    return Admission::Taken;
}

// What a read of the index left out of its table, said in the log once per read.
struct LeftOut {
    int incomplete = 0;
    int tooLong = 0;
    bool tableFull = false;
};

void logLeftOut(const QString& path, const LeftOut& leftOut, std::size_t itemsRead)
{
    if (leftOut.incomplete > 0)
        Log::line(searchLog(),
            QStringLiteral("Index %1: %2 entries without a name or path left out")
                .arg(path)
                .arg(leftOut.incomplete));
    if (leftOut.tooLong > 0)
        Log::line(searchLog(),
            QStringLiteral("Index %1: %2 entries whose name or path is longer than a file system "
                           "allows left out")
                .arg(path)
                .arg(leftOut.tooLong));
    if (leftOut.tableFull)
        Log::line(searchLog(),
            QStringLiteral("Index %1 is too large; only its first %2 items were read")
                .arg(path)
                .arg(itemsRead));
}

} // namespace

QString _combinedListPath()
{
    return Folders::pathInPreferencesFolder(QStringLiteral("Quorvel Launcher Index"));
}

std::shared_ptr<const LaunchItemTable> IndexFile::read(const QString& path)
{
    const std::optional<FileIdentity> before = FileIdentity::ofFile(path);
    if (!before)
        return nullptr;
    if (std::shared_ptr<const LaunchItemTable> cached = IndexCache::load(path, *before))
        return cached;
    std::shared_ptr<const LaunchItemTable> table = readWithoutCache(path);
    // A file replaced while it was read gives no cache: the identity would not name what was read.
    if (table && FileIdentity::ofFile(path) == before)
        IndexCache::write(path, *before, *table);
    // Parsing leaves the text it read and the table's outgrown buffers free in the heap.
    FreeMemory::returnToSystem();
    return table;
}

std::shared_ptr<const LaunchItemTable> IndexFile::readWithoutCache(const QString& path)
{
    auto table = std::make_shared<LaunchItemTable>();
    LeftOut leftOut;
    const bool read
        = PropertyList::readStringRecords(path, readingKeys, [&](const QString* values, const bool* present) {
              switch (admissionOf(present[Name], values[Name], present[Path], values[Path])) {
              case Admission::Incomplete:
                  ++leftOut.incomplete;
                  return;
              case Admission::TooLong:
                  ++leftOut.tooLong;
                  return;
              case Admission::Taken:
                  break;
              }
              // A type that is missing or not a string is carried as an unknown one.
              const QString type = present[Type] ? values[Type] : QString();
              if (!leftOut.tableFull && !table->append(values[Name], type, values[Path]))
                  leftOut.tableFull = true;
          });
    if (!read)
        return nullptr;
    logLeftOut(path, leftOut, table->size());
    table->finish();
    return table;
}

bool IndexFile::readItems(const QString& path, std::vector<LaunchItem>& items)
{
    bool complete = true;
    const bool read
        = PropertyList::readStringRecords(path, readingKeys, [&](const QString* values, const bool* present) {
              complete = complete && present[Name] && present[Type] && present[Path];
              items.push_back(LaunchItem { values[Name], values[Type], values[Path] });
          });
    return read && complete;
}

std::shared_ptr<const LaunchItemTable> IndexFile::tableOfItems(const std::vector<LaunchItem>& items)
{
    auto table = std::make_shared<LaunchItemTable>();
    for (const LaunchItem& item : items) {
        // What reading the file back would give for the item.
        const QString name = storedString(item.name);
        const QString path = storedString(item.path);
        if (admissionOf(true, name, true, path) != Admission::Taken)
            continue;
        if (!table->append(name, storedString(item.type), path))
            break;
    }
    table->finish();
    return table;
}

QByteArray IndexFile::data(const std::vector<LaunchItem>& items)
{
    return PropertyList::stringRecordsToData(writingKeys, items.size(), writtenFields(items));
}

void IndexFile::keepCopyIfUnreadable(const QString& path)
{
    UnreadableFile::keepCopyIfUnreadable(path, [](const QString& file) {
        return PropertyList::readStringRecords(file, { readingKeys[Name] }, [](auto, auto) {});
    });
}

bool IndexFile::write(const QString& path, const std::vector<LaunchItem>& items)
{
    return PropertyList::writeStringRecords(path, writingKeys, items.size(), writtenFields(items));
}

std::optional<WrittenIndex> IndexFile::writeWithCache(
    const QString& path, const std::vector<LaunchItem>& items)
{
    // The table does not depend on the file: it is made on another thread while the index's
    // bytes are made and reach the disk. (A future of std::async waits for its thread when it
    // goes, whatever happens here.)
    std::future<std::shared_ptr<const LaunchItemTable>> table
        = std::async(std::launch::async, [&items] { return tableOfItems(items); });
    const bool indexWritten = writeInHalves(path, items);
    WrittenIndex written { table.get(), {} };
    if (!indexWritten) {
        Log::line(searchLog(), QStringLiteral("Could not write %1").arg(path));
        return std::nullopt;
    }
    written.identity = FileIdentity::ofFile(path);
    // One table serves whoever shows the items and the cache, which spares the next reader
    // parsing the index. The cache names the index's identity, known only once it is written.
    if (written.identity)
        IndexCache::write(path, *written.identity, *written.table);
    // The index's text and the table's outgrown buffers, the latter in the other thread's arena.
    FreeMemory::returnToSystem();
    return written;
}

QByteArray IndexFile::dataOfRecords(
    const std::vector<LaunchItem>& items, std::size_t first, std::size_t count)
{
    const PropertyList::StringRecordSource fields = writtenFields(items);
    return PropertyList::stringRecordsToData(writingKeys, count,
        [&fields, first](std::size_t record, int key) { return fields(first + record, key); });
}

bool IndexFile::writeInHalves(const QString& path, const std::vector<LaunchItem>& items)
{
    // A record's bytes do not depend on the others: each half is written as an index of its own,
    // and the file is the first without its closing lines followed by the second without its
    // opening ones, byte for byte what one writer makes.
    const std::size_t half = items.size() / 2;
    if (half < 4096)
        return write(path, items); // not worth a thread
    std::future<QByteArray> laterHalf = std::async(
        std::launch::async, [&items, half] { return dataOfRecords(items, half, items.size() - half); });
    const QByteArray earlier = dataOfRecords(items, 0, half);
    const QByteArray later = laterHalf.get();
    static const QByteArray opening = QByteArrayLiteral("<array>\n");
    static const QByteArray closing = QByteArrayLiteral("</array>\n</plist>\n");
    const qsizetype body = later.indexOf(opening);
    if (earlier.isEmpty() || later.isEmpty())
        return false; // the writer could not make them (logged)
    if (body < 0 || !earlier.endsWith(closing) || !later.endsWith(closing))
        return write(path, items);
    return AtomicFile::write(path,
        { QByteArrayView(earlier).chopped(closing.size()),
            QByteArrayView(later).sliced(body + opening.size()) });
}

} // namespace quorvel
