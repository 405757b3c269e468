#pragma once
// A launch item of the index: the name shown and matched, the type code and the absolute path
// (also the key of the launch history).

#include <QLatin1StringView>
#include <QString>

namespace quorvel {

// The item type codes, as the index file stores them.
namespace LaunchItemType {
inline constexpr QLatin1StringView application("app");
inline constexpr QLatin1StringView document("doc");
inline constexpr QLatin1StringView preferencePane("pref");
inline constexpr QLatin1StringView folder("fold");
} // namespace LaunchItemType

struct LaunchItem {
    QString name;
    QString type; // one of LaunchItemType; other codes are carried but never launched
    QString path;
};

// The item kinds the ranking and launching tell apart; every other type code is Other.
enum class LaunchItemKind : unsigned char { Application, Document, PreferencePane, Folder, Other };

inline LaunchItemKind launchItemKindOf(QStringView type)
{
    if (type == LaunchItemType::application)
        return LaunchItemKind::Application;
    if (type == LaunchItemType::document)
        return LaunchItemKind::Document;
    if (type == LaunchItemType::preferencePane)
        return LaunchItemKind::PreferencePane;
    if (type == LaunchItemType::folder)
        return LaunchItemKind::Folder;
    return LaunchItemKind::Other;
}

} // namespace quorvel
