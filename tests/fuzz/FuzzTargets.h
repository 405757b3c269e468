#pragma once
// The fuzz targets: one entry function per reader or matcher that takes untrusted bytes (files
// other programs or a damaged disk may leave, patterns the user types). Each entry feeds the
// bytes through the public interface and checks what must hold for any input; a broken rule is
// reported through the failure handler (libFuzzer: abort, so the input is kept as a crash; the
// corpus test: a test failure naming the file). The same entries serve the libFuzzer programs
// and the corpus test of the normal build, so every kept input is replayed by the test suite.

#include <QString>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvel::fuzz {

using Entry = void (*)(const std::uint8_t* data, std::size_t size);

struct Target {
    const char* name; // also the folder of its corpus and the name of its dictionary
    Entry entry;
};

// Every target, in a fixed order.
std::span<const Target> targets();
const Target* targetNamed(const QString& name);

// What happens when an entry finds a broken rule. The default prints the message and aborts.
using FailureHandler = void (*)(const QString& message);
void setFailureHandler(FailureHandler handler);
void fail(const QString& message);
inline void check(bool holds, const char* rule)
{
    if (!holds)
        fail(QString::fromUtf8(rule));
}

// Whether every string of the value, keys included, holds only characters XML can carry. The
// writer leaves the others out on purpose, so values with them cannot be written unchanged.
bool holdsOnlyXmlText(const QVariant& value);

// A file for an entry to write its input to, in a folder of the current home made on first use.
QString scratchFile(const QString& name);
// Writes the bytes to the path whole, replacing what was there; aborts when it cannot.
void writeScratch(const QString& path, const std::uint8_t* data, std::size_t size);

void propertyListReader(const std::uint8_t* data, std::size_t size);
void indexReader(const std::uint8_t* data, std::size_t size);
void cacheImage(const std::uint8_t* data, std::size_t size);
void historyLoader(const std::uint8_t* data, std::size_t size);
void historyCacheImage(const std::uint8_t* data, std::size_t size);
void bundleStrings(const std::uint8_t* data, std::size_t size);
void desktopEntry(const std::uint8_t* data, std::size_t size);
void wildcardMatcher(const std::uint8_t* data, std::size_t size);

} // namespace quorvel::fuzz
