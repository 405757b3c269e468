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

std::shared_ptr<const LaunchItemTable> IndexFileReader::tableOfItems(const std::vector<LaunchItem>& items)
{
    auto table = std::make_shared<LaunchItemTable>();
    for (const LaunchItem& item : items) {
        const QString name = PropertyList::storedString(item.name);
        const QString path = PropertyList::storedString(item.path);
        if (admissionOf(true, name, true, path) != Admission::Taken)
            continue;
        if (!table->append(name, PropertyList::storedString(item.type), path))
            break;
    }
    table->finish();
    (void)table->nameRanks();
    return table;
}

} // namespace quorvel
