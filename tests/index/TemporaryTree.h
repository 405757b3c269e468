#pragma once
// A real folder tree for scanner tests: folders, files, bundles, desktop entries and links,
// made below a fresh temporary folder and removed with it.

#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

namespace quorvel::test {

class TemporaryTree final {
public:
    TemporaryTree();

    // Absolute path of a relative one ("" is the root itself, without a trailing "/").
    QString path(const QString& relative = QString()) const;

    QString folder(const QString& relative) const;
    QString file(const QString& relative, const QByteArray& contents = QByteArray()) const;
    // A bundle folder with Contents/Info.plist holding info, and Contents/MacOS/<executable>
    // when info names a "CFBundleExecutable".
    QString bundle(const QString& relative, const QVariantMap& info) const;
    // A desktop entry of Type=Application whose Exec program exists; extra lines are appended
    // to its [Desktop Entry] group.
    QString desktopEntry(
        const QString& relative, const QString& name, const QString& extraLines = QString()) const;
    QString symbolicLink(const QString& relative, const QString& target) const;
    // Sets the Finder information attribute (type, then creator); false when the file system
    // refuses user attributes.
    static bool setCodes(const QString& path, const char type[4], const char creator[4]);

private:
    QTemporaryDir root;
};

} // namespace quorvel::test
