// The libFuzzer side of one fuzz program: which target it runs is fixed when it is built
// (QUORVEL_FUZZ_TARGET). The program works in a home folder of its own, and the log, which
// every damaged file writes a line to, is silenced so the fuzzer's own report stays readable.

#include "fuzz/FuzzTargets.h"

#include "platform/core/Log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

const quorvel::fuzz::Target* target = nullptr;

void useHome(const QTemporaryDir& home)
{
    const QByteArray path = QFile::encodeName(home.path());
    qputenv("HOME", path);
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    target = quorvel::fuzz::targetNamed(QStringLiteral(QUORVEL_FUZZ_TARGET));
    static QTemporaryDir home(QDir::tempPath() + QStringLiteral("/quorvel-fuzz-XXXXXX"));
    if (!target || !home.isValid()) {
        std::fprintf(stderr, "fuzz program for %s cannot start\n", QUORVEL_FUZZ_TARGET);
        std::exit(1);
    }
    useHome(home);
    quorvel::Log::setSink([](const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    target->entry(data, size);
    return 0;
}
