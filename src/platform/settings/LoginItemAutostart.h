#pragma once
// What makes a login item start at login on this desktop: one XDG autostart entry per path in
// the login window's item list, in $XDG_CONFIG_HOME/autostart (~/.config/autostart). The layer
// marks the entries it writes (X-Quorvel-LoginItem=true) and touches no others.
//
// An application bundle starts by its executable; an executable file by itself; anything else
// is opened with the desktop's default handler. A hidden item ("Hide" 1) starts with
// QUORVEL_LOGIN_HIDDEN=1 in its environment; the launcher then comes up without its panel.

#include <QString>
#include <QStringList>
#include <QVariantList>

namespace quorvel {

class LoginItemAutostart final {
public:
    // Makes the marked entries match the items: one entry per distinct "Path" (hidden when every
    // item of that path is), none for an item without one; marked entries of paths no longer
    // listed are removed.
    static void mirror(const QVariantList& loginItems);

    static QString autostartFolder();
    // The entry's file for a login item's path.
    static QString entryPathForItem(const QString& itemPath);

    // Whether this process was started by a hidden login item. Forgets it, so that what the
    // process starts later does not inherit it.
    static bool takeStartedHidden();

    // An argument of an Exec line, quoted by the desktop entry rules.
    static QString quotedExecArgument(const QString& argument);
    // <bundle>/Contents/MacOS/<CFBundleExecutable>, also for a bundle not (yet) complete.
    static QString executableOfBundle(const QString& bundlePath);

    // The text of an autostart entry that runs program with these arguments, carrying mark
    // (a line such as "X-Quorvel-LoginItem=true") so that its writer knows it again.
    static QString entryText(const QString& name, const QString& program, const QStringList& arguments,
        const QString& mark, const QString& environment = QString());
    // Writes the entry (and the autostart folder) unless it already holds this text.
    static bool writeEntry(const QString& path, const QString& text);
    // Whether the file at path is an entry carrying mark.
    static bool isMarkedEntry(const QString& path, const QString& mark);

private:
    static QString itemEntryText(const QString& itemPath, bool hidden);
};

} // namespace quorvel
