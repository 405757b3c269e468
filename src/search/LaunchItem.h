#pragma once
// A launch item of the index: the name shown and matched, the type code and the absolute path
// (also the key of the launch history).

#include <QString>

namespace quorvel {

struct LaunchItem {
    QString name;
    QString type; // "app", "doc", "pref", "fold"; other codes are carried but never launched
    QString path;
};

// The item kinds the ranking and launching tell apart; every other type code is Other.
enum class LaunchItemKind : unsigned char { Application, Document, PreferencePane, Folder, Other };

LaunchItemKind launchItemKindOf(QStringView type);

} // namespace quorvel
