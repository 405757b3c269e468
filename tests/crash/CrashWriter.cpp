// The writer the crash-consistency test kills: rewrites every file of CrashFiles through the
// system's own write paths (the index through IndexFile, the other property-list files through
// PropertyList, the settings through UserDefaults), alternating between the two versions, and reports each
// whole write on standard output.
//
// Starting a program that links Qt takes a good part of a second on a busy machine, too long
// for a thousand kills, so this process starts once and forks a fresh writer for each kill:
//   "once"    writes every file once (version 0) and answers "done"
//   "run V F" forks a writer that rewrites the files, from version V and file F on, until it is killed,
//             answers "child <pid>", and "ended" once the writer is gone
// The killed writer is a whole process of its own; nothing of it survives the kill but files.

#include "crash/CrashFiles.h"

#include <QString>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using quorvel::crash::CrashFile;

// Writes every file once, from the given one on and round to the one before it.
bool writeRound(const std::vector<CrashFile>& files, int version, std::size_t firstFile = 0)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CrashFile& file = files[(firstFile + i) % files.size()];
        if (!file.write(version)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(file.name));
            return false;
        }
        std::printf("wrote %s\n", qPrintable(file.name));
        std::fflush(stdout);
    }
    return true;
}

[[noreturn]] void writeUntilKilled(
    const std::vector<CrashFile>& files, int firstVersion, std::size_t firstFile)
{
    for (int round = firstVersion;; ++round) {
        if (!writeRound(files, round % 2, firstFile))
            _exit(1);
    }
}

void answer(const char* format, long value = 0)
{
    std::printf(format, value);
    std::fflush(stdout); // before any fork, so no child inherits unwritten output
}

} // namespace

int main()
{
    const std::vector<CrashFile> files = quorvel::crash::crashFiles();
    answer("ready\n");
    char command[64];
    while (std::fgets(command, sizeof command, stdin)) {
        if (std::strncmp(command, "once", 4) == 0) {
            if (!writeRound(files, 0))
                return 1;
            answer("done\n");
            continue;
        }
        int first = 0;
        unsigned firstFile = 0;
        if (std::sscanf(command, "run %d %u", &first, &firstFile) != 2)
            return 2;
        const pid_t child = fork();
        if (child < 0)
            return 1;
        if (child == 0)
            writeUntilKilled(files, first % 2, firstFile);
        answer("child %ld\n", static_cast<long>(child));
        int status = 0;
        waitpid(child, &status, 0);
        answer("ended\n");
    }
    return 0;
}
