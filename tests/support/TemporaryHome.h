#pragma once
// A fresh, empty home folder for one test: HOME, the XDG base folders and the runtime folder point
// into it, so no test reads or writes the real user's files. Restores nothing: the next test gets
// a new one.

#include <QString>
#include <QTemporaryDir>

namespace quorvel::test {

class TemporaryHome final {
public:
    TemporaryHome();
    QString path() const { return dir.path(); }
    // A path below the home folder, e.g. filePath("Library/Preferences").
    QString filePath(const QString& relative) const { return dir.filePath(relative); }

private:
    QTemporaryDir dir;
};

// The built application bundle ("<build>/Quorvel Launcher 2.app"), for tests that need resources.
QString builtBundlePath();

// Makes a bundle at bundlePath with the built bundle's Info.plist and list defaults and nothing
// else (no images, no style, no components), for tests of an incomplete application.
void makeBundleWithOnlyItsDefaults(const QString& bundlePath);

} // namespace quorvel::test
