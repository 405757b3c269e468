#include "platform/files/FinderInfo.h"

#include <QFile>

#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <cerrno>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr char finderInfoAttribute[] = "user.com.apple.FinderInfo";

std::uint32_t bigEndianCode(const unsigned char* bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8)
        | std::uint32_t(bytes[3]);
}

std::optional<FinderInfo::Codes> codesOf(const std::array<unsigned char, 32>& buffer, ssize_t length)
{
    if (length < 8)
        return std::nullopt;
    return FinderInfo::Codes { bigEndianCode(buffer.data()), bigEndianCode(buffer.data() + 4) };
}

// getxattrat(2) (Linux 6.13) reads an attribute by a name relative to an open folder, sparing
// the lookup of the whole path for every file of a listing; older kernels answer ENOSYS.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif
struct XattrArguments {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};
std::atomic<bool> relativeAttributesWork { true };

// Tells the processor that this thread is spinning.
void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

std::optional<FinderInfo::Codes> FinderInfo::atPath(const QString& path, bool followLinks)
{
    std::array<unsigned char, 32> buffer {};
    const QByteArray native = QFile::encodeName(path);
    const ssize_t length = followLinks
        ? ::getxattr(native.constData(), finderInfoAttribute, buffer.data(), buffer.size())
        : ::lgetxattr(native.constData(), finderInfoAttribute, buffer.data(), buffer.size());
    return codesOf(buffer, length);
}

std::optional<FinderInfo::Codes> FinderInfo::inFolder(int folder, const QString& folderPath, const char* name)
{
    std::array<unsigned char, 32> buffer {};
    if (relativeAttributesWork.load(std::memory_order_relaxed)) {
        XattrArguments arguments { reinterpret_cast<std::uintptr_t>(buffer.data()),
            std::uint32_t(buffer.size()), 0 };
        const long length
            = ::syscall(SYS_getxattrat, folder, name, 0u, finderInfoAttribute, &arguments, sizeof arguments);
        if (length >= 0 || errno != ENOSYS)
            return codesOf(buffer, length);
        relativeAttributesWork.store(false);
    }
    const QByteArray path = QFile::encodeName(folderPath) + '/' + name;
    return codesOf(buffer, ::getxattr(path.constData(), finderInfoAttribute, buffer.data(), buffer.size()));
}

// Reads the stored codes of listings on a thread of its own, one listing after the other in
// the order they were made, each from its last entry back: the caller classifies from the first
// entry on and reads what it reaches first itself, so the two share the reads and neither waits
// for the other. Lives as long as the process.
class CodeReader final {
public:
    static CodeReader& shared()
    {
        static CodeReader* const reader = new CodeReader; // never destroyed: its thread never ends
        return *reader;
    }

    // Queues the listing's codes; when too many wait already, they are left to the caller.
    void readAhead(const std::shared_ptr<ListedCodes>& codes)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            if (waiting.size() >= waitingLimit)
                return;
            waiting.push_back(codes);
        }
        wake.notify_one();
    }

private:
    // Each waiting listing holds its folder open: the limit bounds the open descriptors.
    static constexpr std::size_t waitingLimit = 64;

    CodeReader()
    {
        std::thread([this] { run(); }).detach();
    }

    void run()
    {
        for (;;) {
            std::shared_ptr<ListedCodes> codes;
            {
                std::unique_lock<std::mutex> guard(lock);
                wake.wait(guard, [this] { return !waiting.empty(); });
                codes = std::move(waiting.front());
                waiting.pop_front();
            }
            for (std::size_t i = codes->count(); i-- > 0;) {
                if (codes.use_count() == 1)
                    break; // the listing is gone: nobody asks any more
                if (codes->claim(i))
                    codes->read(i);
            }
        }
    }

    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::shared_ptr<ListedCodes>> waiting; // guarded by lock
};

ListedCodes::ListedCodes(int folder, QString folderPath)
    : folder(folder)
    , folderPath(std::move(folderPath))
{
}

ListedCodes::~ListedCodes()
{
    ::close(folder);
}

void ListedCodes::add(const char* rawName, bool hasCodes)
{
    nameOffsets.push_back(names.size());
    names.insert(names.end(), rawName, rawName + std::strlen(rawName) + 1);
    needsReading.push_back(hasCodes);
}

void ListedCodes::finishListingAndReadAhead(const std::shared_ptr<ListedCodes>& codes)
{
    codes->typeCodes.assign(codes->needsReading.size(), 0);
    codes->states = std::vector<std::atomic<std::uint8_t>>(codes->needsReading.size());
    for (std::size_t i = 0; i < codes->needsReading.size(); ++i) {
        if (!codes->needsReading[i])
            codes->states[i].store(done, std::memory_order_relaxed);
    }
    CodeReader::shared().readAhead(codes);
}

bool ListedCodes::claim(std::size_t i)
{
    std::uint8_t expected = unclaimed;
    return states[i].compare_exchange_strong(expected, reading, std::memory_order_acq_rel);
}

void ListedCodes::read(std::size_t i)
{
    if (const auto codes = FinderInfo::inFolder(folder, folderPath, names.data() + nameOffsets[i]))
        typeCodes[i] = codes->type;
    states[i].store(done, std::memory_order_release);
}

std::uint32_t ListedCodes::typeCode(std::size_t i)
{
    if (claim(i))
        read(i);
    // A read under way ends within microseconds: spin, and give way only if it does not.
    for (int spins = 0; states[i].load(std::memory_order_acquire) != done; ++spins) {
        if (spins < 4096)
            spinPause();
        else
            std::this_thread::yield();
    }
    return typeCodes[i];
}

} // namespace quorvel
