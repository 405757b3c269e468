#include "search/IndexFileReader.h"

#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "search/IndexCache.h"

#include <QStringList>

namespace quorvel {

namespace {

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

// Whether the property-list writer stores the text as it is: XML 1.0 carries no other characters
// (and no unpaired surrogate).
bool survivesIndexFile(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0x20 && unit < 0xD800)
            continue;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size()
            && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (unit < 0x20 ? unit != u'\t' && unit != u'\n' && unit != u'\r' : unit < 0xE000 || unit >= 0xFFFE)
            return false;
    }
    return true;
}

} // namespace

std::shared_ptr<const LaunchItemTable> IndexFileReader::read(const QString& path)
{
    const std::optional<FileIdentity> before = FileIdentity::ofFile(path);
    if (!before)
        return nullptr;
    if (std::shared_ptr<const LaunchItemTable> cached = IndexCache::load(path, *before))
        return cached;
    std::shared_ptr<const LaunchItemTable> table = readIndexFile(path);
    // A file replaced while it was read gives no cache: the identity would not name what was read.
    if (table && FileIdentity::ofFile(path) == before)
        IndexCache::write(path, *before, *table);
    return table;
}

std::shared_ptr<const LaunchItemTable> IndexFileReader::tableOfItems(const std::vector<LaunchItem>& items)
{
    auto table = std::make_shared<LaunchItemTable>();
    for (const LaunchItem& item : items) {
        if (!survivesIndexFile(item.name) || !survivesIndexFile(item.type) || !survivesIndexFile(item.path))
            return nullptr;
        if (admissionOf(true, item.name, true, item.path) == Admission::Taken
            && !table->append(item.name, item.type, item.path))
            break; // as full as a read would leave it
    }
    table->finish();
    return table;
}

bool IndexFileReader::writeCache(
    const QString& path, const FileIdentity& identity, const std::vector<LaunchItem>& items)
{
    const std::shared_ptr<const LaunchItemTable> table = tableOfItems(items);
    if (!table) {
        Log::line(QStringLiteral("Index cache not written: the index holds a name it cannot store as it is"));
        return false;
    }
    return IndexCache::write(path, identity, *table);
}

std::shared_ptr<const LaunchItemTable> IndexFileReader::readIndexFile(const QString& path)
{
    auto table = std::make_shared<LaunchItemTable>();
    int leftOut = 0;
    int tooLong = 0;
    bool full = false;
    static const QStringList keys
        = { QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("path") };
    const bool read
        = PropertyList::readStringRecords(path, keys, [&](const QString* values, const bool* present) {
              switch (admissionOf(present[0], values[0], present[2], values[2])) {
              case Admission::Incomplete:
                  ++leftOut;
                  return;
              case Admission::TooLong:
                  ++tooLong;
                  return;
              case Admission::Taken:
                  break;
              }
              if (!full && !table->append(values[0], present[1] ? values[1] : QString(), values[2]))
                  full = true;
          });
    if (!read)
        return nullptr;
    if (leftOut > 0)
        Log::line(
            QStringLiteral("Index %1: %2 entries without a name or path left out").arg(path).arg(leftOut));
    if (tooLong > 0)
        Log::line(QStringLiteral("Index %1: %2 entries whose name or path is longer than a file system "
                                 "allows left out")
                      .arg(path)
                      .arg(tooLong));
    if (full)
        Log::line(QStringLiteral("Index %1 is too large; only its first %2 items were read")
                      .arg(path)
                      .arg(table->size()));
    table->finish();
    return table;
}

} // namespace quorvel
