#pragma once
// The files the crash-consistency test has a writer rewrite while it is killed: the index, the
// launch history, the four list files and the settings store, each in two known versions of
// different sizes. After any kill each file must read as exactly one of its two versions.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

namespace quorvel::crash {

struct CrashFile {
    QString name; // what the writer reports after each whole write
    QString path;
    // Writes a version (0 or 1) through the system's own write path for this file.
    std::function<bool(int version)> write;
    // What a whole write of each version leaves in the file.
    QByteArray bytes[2];
};

// Every file, in the order the writer writes them; the settings store comes last.
std::vector<CrashFile> crashFiles();

} // namespace quorvel::crash
