#pragma once
// Small bundles on disk for the installation tests: a folder with Contents/Info.plist.

#include <QString>
#include <QTemporaryDir>

namespace quorvel::test {

// A bundle at path declaring this CFBundleVersion.
void makeBundle(const QString& path, const QString& version);

// A stand-in for the application, "<folder>/Quorvel Launcher 2.app", shipping the preference
// pane of paneVersion (with the hot-key component inside) under Contents/Resources/Components.
// The main bundle points at it while this lives.
class FakeApplication final {
public:
    explicit FakeApplication(const QString& paneVersion = QStringLiteral("2.0"));
    ~FakeApplication();
    FakeApplication(const FakeApplication&) = delete;
    FakeApplication& operator=(const FakeApplication&) = delete;

    QString path() const { return bundlePath; }
    QString shippedPane() const
    {
        return bundlePath + "/Contents/Resources/Components/Quorvel Preferences.prefPane";
    }
    // Moves the bundle into another folder and points the main bundle at the new place.
    void moveTo(const QString& folder);

private:
    QTemporaryDir dir;
    QString bundlePath;
};

} // namespace quorvel::test
