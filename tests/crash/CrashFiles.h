#pragma once
// The files the crash-consistency test has a writer rewrite while it is killed: the index, the
// launch history, the four list files and the settings store, each in two known versions of
// different sizes. After any kill each file must read as exactly one of its two versions.

#include <QString>
#include <QVariant>
#include <vector>

namespace quorvel::crash {

struct CrashFile {
    QString name; // what the writer reports after each whole write
    QString path;
    QVariant versions[2];
};

// Every file, in the order the writer writes them; the settings store comes last.
std::vector<CrashFile> crashFiles();

// The settings store's domain and the keys the writer sets in it.
QString settingsDomain();
QVariantMap settingsVersion(int version);

} // namespace quorvel::crash
