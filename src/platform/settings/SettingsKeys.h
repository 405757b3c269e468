#pragma once
// The keys of the application's settings store, in one place for every layer that reads or
// writes them (the controller, the installation and first-launch code, the panel's background).

#include <QLatin1StringView>

namespace quorvel::SettingsKey {

// The panel and the scan schedule.
inline constexpr QLatin1StringView tab("tab");
inline constexpr QLatin1StringView combinedMatchingMode("combinedMatchingMode");
inline constexpr QLatin1StringView combinedLastSearchTerm("combinedLastSearchTerm");
inline constexpr QLatin1StringView combinedPathOfLastMatch("combinedPathOfLastMatch");
inline constexpr QLatin1StringView updateIntervalInSeconds("updateIntervalInSeconds");
inline constexpr QLatin1StringView automaticScanning("automaticScanning");
inline constexpr QLatin1StringView instantOn("instantOn");
inline constexpr QLatin1StringView launchAtLogin("launchAtLogin");
inline constexpr QLatin1StringView listItemSize("listItemSize");
inline constexpr QLatin1StringView showMenuBar("showMenuBar");
inline constexpr QLatin1StringView mainWindowTransparency("mainWindowTransparency");
// Written by the companion preference pane; no registered default.
inline constexpr QLatin1StringView mainDialogTransparency("mainDialogTransparency");

// Installation and first launch.
inline constexpr QLatin1StringView firstLaunchVersion("firstLaunchVersion");
inline constexpr QLatin1StringView location("location");

// The hot-key settings: a dictionary under "qrvl" with the keys below.
inline constexpr QLatin1StringView hotKey("qrvl");
inline constexpr QLatin1StringView hotKeyCode("keyCode");
inline constexpr QLatin1StringView hotKeyModifier("keyModifier");
inline constexpr QLatin1StringView hotKeySwitchedOn("switchedOn");
inline constexpr QLatin1StringView hotKeyString("keyString");

} // namespace quorvel::SettingsKey
