// Installing with the real "/bin/mkdir" and "/bin/cp": what lands in the home, with which
// permissions, and what a plain file in the way does.

#include "ComponentBundles.h"

#include "install/InstallationComponent.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Sets the process's file creation mask for the test's length.
class CreationMask final {
public:
    explicit CreationMask(mode_t mask)
        : previous(::umask(mask))
    {
    }
    ~CreationMask() { ::umask(previous); }

private:
    mode_t previous;
};

mode_t modeOf(const QString& path)
{
    struct stat info { };
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

// Every folder and file below root, root included, that group or others may write.
QStringList writableByOthers(const QString& root)
{
    QStringList found;
    QStringList paths { root };
    QDirIterator it(
        root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    for (const QString& path : paths)
        if (modeOf(path) & (S_IWGRP | S_IWOTH))
            found.append(path);
    return found;
}

InstallationComponent hotKey()
{
    InstallationComponent component;
    component.setInstallationLocation("~/Library/Application Support/Quorvel Suite/");
    component.setLocationWithinResourceBundle(
        "Components/Quorvel Preferences.prefPane/Contents/Resources/QRV HotKey.app");
    return component;
}

} // namespace

TEST(RealInstallation, NothingTheInstallationCreatesIsWritableByGroupOrOthers)
{
    FakeApplication application("1.5");
    // A shipped bundle as loose as can be, installed under a mask that lets the group write.
    const QString shipped = application.shippedPane() + "/Contents/Resources/QRV HotKey.app";
    QDir().mkpath(shipped + "/Contents/MacOS");
    QFile executable(shipped + "/Contents/MacOS/QRV HotKey");
    ASSERT_TRUE(executable.open(QIODevice::WriteOnly));
    executable.write("#!/bin/sh\n");
    executable.close();
    ::chmod(QFile::encodeName(executable.fileName()).constData(), 0777);
    ::chmod(QFile::encodeName(shipped + "/Contents/MacOS").constData(), 0777);
    const CreationMask groupMayWrite(002);

    InstallationComponent component = hotKey();
    ASSERT_TRUE(component.install());
    ASSERT_TRUE(QFile::exists(component.getInstalledPath() + "/Contents/MacOS/QRV HotKey"));
    EXPECT_EQ(Bundle(component.getInstalledPath()).versionNumber(), Bundle(shipped).versionNumber());
    EXPECT_EQ(writableByOthers(Folders::homeFolder() + "/Library").join("\n"), "");
    EXPECT_TRUE(modeOf(component.getInstalledPath() + "/Contents/MacOS/QRV HotKey") & S_IXOTH)
        << "the program stays runnable";
    EXPECT_FALSE(component.needsUpgrading());
}

TEST(RealInstallation, APlainFileWhereTheFolderShouldBeMakesTheCopyFail)
{
    FakeApplication application;
    QDir().mkpath(Folders::homeFolder() + "/Library/Application Support");
    QFile blocker(Folders::homeFolder() + "/Library/Application Support/Quorvel Suite");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(hotKey().install());
    EXPECT_FALSE(hotKey().isAlreadyInstalled());
}
