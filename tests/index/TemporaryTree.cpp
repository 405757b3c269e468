#include "index/TemporaryTree.h"

#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/xattr.h>
#include <unistd.h>

namespace quorvel::test {

TemporaryTree::TemporaryTree()
    : root(QDir::tempPath() + QStringLiteral("/quorvel-tree-XXXXXX"))
{
}

QString TemporaryTree::path(const QString& relative) const
{
    return relative.isEmpty() ? root.path() : root.filePath(relative);
}

QString TemporaryTree::folder(const QString& relative) const
{
    QDir().mkpath(path(relative));
    return path(relative);
}

QString TemporaryTree::file(const QString& relative, const QByteArray& contents) const
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile output(full);
    if (output.open(QIODevice::WriteOnly))
        output.write(contents);
    return full;
}

QString TemporaryTree::bundle(const QString& relative, const QVariantMap& info) const
{
    QString full = folder(relative + "/Contents");
    PropertyList::writeFile(full + "/Info.plist", info);
    const QString executable = info.value("CFBundleExecutable").toString();
    full.chop(QStringLiteral("/Contents").size());
    if (!executable.isEmpty()) {
        const QString program = file(relative + "/Contents/MacOS/" + executable, "#!/bin/sh\n");
        QFile::setPermissions(
            program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return full;
}

QString TemporaryTree::desktopEntry(
    const QString& relative, const QString& name, const QString& extraLines) const
{
    const QString text
        = "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=/bin/true\n" + extraLines;
    return file(relative, text.toUtf8());
}

QString TemporaryTree::symbolicLink(const QString& relative, const QString& target) const
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData());
    return full;
}

bool TemporaryTree::setCodes(const QString& path, const char type[4], const char creator[4])
{
    char info[32] = {};
    std::copy_n(type, 4, info);
    std::copy_n(creator, 4, info + 4);
    return ::setxattr(QFile::encodeName(path).constData(), "user.com.apple.FinderInfo", info, sizeof info, 0)
        == 0;
}

} // namespace quorvel::test
