#include "platform/desktop/Workspace.h"

#include "platform/files/Folders.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <mutex>

using namespace quorvel;

namespace {

QString home(const QString& relative)
{
    return Folders::homeFolder() + "/" + relative;
}

void writeFile(const QString& path, const QByteArray& content, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

// A script that writes its arguments into the marker file, so a test can see that it ran and with
// what.
void writeMarkerScript(const QString& script, const QString& marker)
{
    writeFile(script,
        "#!/bin/sh\necho \"$@\" > '" + QFile::encodeName(marker) + ".part'\nmv '" + QFile::encodeName(marker)
            + ".part' '" + QFile::encodeName(marker) + "'\n",
        true);
}

QByteArray markerContent(const QString& marker)
{
    QFile file(marker);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

void writeDesktopEntry(const QString& path, const QString& exec, const QByteArray& extra = {})
{
    writeFile(path,
        "[Desktop Entry]\nType=Application\nName=Marker\nExec=" + QFile::encodeName(exec) + "\n" + extra);
}

void writeBundle(const QString& path, const QString& executableName, const QString& marker)
{
    writeFile(path + "/Contents/Info.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>CFBundleExecutable</key><string>"
            + executableName.toUtf8()
            + "</string><key>CFBundleIconFile</key><string>blue</string>"
              "</dict></plist>\n");
    writeMarkerScript(path + "/Contents/MacOS/" + executableName, marker);
}

void writeImage(const QString& path, Qt::GlobalColor color)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(color);
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(image.save(path));
}

QColor centreColour(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

// Stands in for the desktop's file manager on a bus connection of its own, answering from its own
// thread as another process would.
class FakeFileManager final : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        {
            std::lock_guard lock(mutex);
            calls << message.member() + " " + message.arguments().value(0).toStringList().join(",");
        }
        connection.send(message.createReply());
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
    QStringList takeCalls()
    {
        std::lock_guard lock(mutex);
        return std::exchange(calls, {});
    }

private:
    std::mutex mutex;
    QStringList calls;
};

} // namespace

TEST(Workspace, FoldersAndFilesAreShownByTheFileManagerOverTheBus)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (run the tests under dbus-run-session)";
    QThread thread;
    FakeFileManager fileManager;
    fileManager.moveToThread(&thread);
    thread.start();
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "file-manager");
    ASSERT_TRUE(bus.registerVirtualObject("/org/freedesktop/FileManager1", &fileManager));
    ASSERT_TRUE(bus.registerService("org.freedesktop.FileManager1"));

    writeFile(home("My Folder/inside.txt"), "x");
    Workspace& workspace = Workspace::sharedWorkspace();
    EXPECT_TRUE(workspace.selectFileInFileViewerRootedAtPath("", home("My Folder")));
    EXPECT_TRUE(workspace.selectFileInFileViewerRootedAtPath(home("My Folder/inside.txt"), home("")));
    const QString folderUri = QUrl::fromLocalFile(home("My Folder")).toString(QUrl::FullyEncoded);
    EXPECT_EQ(fileManager.takeCalls(),
        QStringList({ "ShowFolders " + folderUri, "ShowItems " + folderUri + "/inside.txt" }));
    EXPECT_TRUE(folderUri.endsWith("/My%20Folder"));

    bus.unregisterService("org.freedesktop.FileManager1");
    bus.unregisterObject("/org/freedesktop/FileManager1");
    QDBusConnection::disconnectFromBus("file-manager");
    thread.quit();
    thread.wait();
}

TEST(Workspace, LaunchesDesktopEntriesExecutablesAndBundles)
{
    Workspace& workspace = Workspace::sharedWorkspace();

    writeMarkerScript(home("bin/entry.sh"), home("entry-ran"));
    writeDesktopEntry(home("Apps/marker.desktop"), home("bin/entry.sh") + " from-entry");
    EXPECT_TRUE(workspace.launchApplication(home("Apps/marker.desktop")));
    ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(home("entry-ran")); }, 10000));
    EXPECT_EQ(markerContent(home("entry-ran")), "from-entry");

    writeMarkerScript(home("Apps/Tool.AppImage"), home("appimage-ran"));
    EXPECT_TRUE(workspace.launchApplication(home("Apps/Tool.AppImage")));
    ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(home("appimage-ran")); }, 10000));

    writeBundle(home("Apps/Marker Tool.app"), "Marker Tool", home("bundle-ran"));
    EXPECT_TRUE(workspace.openFile(home("Apps/Marker Tool.app"))); // opening an application launches it
    ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(home("bundle-ran")); }, 10000));

    writeBundle(home("Library/PreferencePanes/Keys.prefPane"), "Keys", home("pane-ran"));
    EXPECT_TRUE(workspace.openFile(home("Library/PreferencePanes/Keys.prefPane")));
    ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(home("pane-ran")); }, 10000));
}

TEST(Workspace, WhatCannotBeLaunchedAnswersFalse)
{
    Workspace& workspace = Workspace::sharedWorkspace();
    const QString missing = home("Nothing here");
    EXPECT_FALSE(workspace.openFile(missing));
    EXPECT_FALSE(workspace.launchApplication(missing));
    EXPECT_FALSE(workspace.selectFileInFileViewerRootedAtPath("", missing));
    EXPECT_FALSE(workspace.selectFileInFileViewerRootedAtPath(missing, home("")));
    EXPECT_FALSE(workspace.openFile(""));
    EXPECT_FALSE(workspace.openURL(QUrl::fromLocalFile(missing)));

    writeFile(home("notes.txt"), "not a program");
    EXPECT_FALSE(workspace.launchApplication(home("notes.txt")));

    writeFile(home("Broken.app/Contents/Info.plist"), "<plist><dict><key>CFBundleExecutable</key>");
    EXPECT_FALSE(workspace.launchApplication(home("Broken.app")));
    writeBundle(home("Gone.app"), "gone", home("gone-ran"));
    QFile::remove(home("Gone.app/Contents/MacOS/gone"));
    EXPECT_FALSE(workspace.openFile(home("Gone.app")));

    writeFile(home("Apps/link.desktop"), "[Desktop Entry]\nType=Link\nURL=https://example.org\n");
    EXPECT_FALSE(workspace.launchApplication(home("Apps/link.desktop")));
}

TEST(Workspace, AFailedOpenSaysWhyInWordsForTheUser)
{
    Workspace& workspace = Workspace::sharedWorkspace();
    QString whyNot;
    EXPECT_FALSE(workspace.openFile(home("Deleted.txt"), &whyNot));
    EXPECT_EQ(whyNot, "The file no longer exists.");
    whyNot.clear();
    EXPECT_FALSE(workspace.selectFileInFileViewerRootedAtPath("", home("Gone"), &whyNot));
    EXPECT_EQ(whyNot, "The folder no longer exists.");

    // A terminal program where no terminal can be found: GIO's own explanation.
    writeMarkerScript(home("bin/tui.sh"), home("tui-ran"));
    writeDesktopEntry(home("Apps/tui.desktop"), home("bin/tui.sh"), "Terminal=true\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(home("bin")));
    whyNot.clear();
    const bool launched = workspace.launchApplication(home("Apps/tui.desktop"), &whyNot);
    // A document nothing handles: GIO knows no handler, and the desktop's opener says why not.
    writeFile(home("bin/xdg-open"),
        "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n", true);
    writeFile(home("Documents/data.bin"), QByteArray("\x00\x01\x02 binary", 10));
    QString noHandler;
    const bool opened = workspace.openFile(home("Documents/data.bin"), &noHandler);
    qputenv("PATH", path);
    EXPECT_FALSE(launched);
    EXPECT_TRUE(whyNot.contains("terminal", Qt::CaseInsensitive)) << whyNot.toStdString();
    EXPECT_FALSE(opened);
    EXPECT_EQ(noHandler, "xdg-open: no method available for opening '" + home("Documents/data.bin") + "'");
}

// GLib reads the XDG folders once per process, so the document test runs in a child process of its
// own, whose first GIO call sees the fresh home with its MIME default.
TEST(Workspace, DocumentsOpenWithTheUsersDefaultApplication)
{
    if (qEnvironmentVariableIsEmpty("QUORVEL_WORKSPACE_CHILD")) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUORVEL_WORKSPACE_CHILD", "1");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
            { "--gtest_filter=Workspace.DocumentsOpenWithTheUsersDefaultApplication" });
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().constData();
        return;
    }

    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    writeMarkerScript(home("bin/opener.sh"), home("opened"));
    writeDesktopEntry(data + "/applications/quorvel-test-opener.desktop", home("bin/opener.sh") + " %f",
        "MimeType=text/plain;\n");
    writeFile(config + "/mimeapps.list", "[Default Applications]\ntext/plain=quorvel-test-opener.desktop\n");
    writeFile(home("Documents/read me.txt"), "plain text\n");

    EXPECT_TRUE(Workspace::sharedWorkspace().openFile(home("Documents/read me.txt")));
    ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(home("opened")); }, 10000));
    EXPECT_EQ(markerContent(home("opened")), QFile::encodeName(home("Documents/read me.txt")));
}

TEST(Workspace, IconsComeFromEntriesBundlesAndTypesAndAreNeverNullForExistingPaths)
{
    Workspace& workspace = Workspace::sharedWorkspace();

    writeImage(home("icons/red.png"), Qt::red);
    writeDesktopEntry(
        home("Apps/red.desktop"), "/bin/true", "Icon=" + QFile::encodeName(home("icons/red.png")) + "\n");
    EXPECT_EQ(centreColour(workspace.iconForFile(home("Apps/red.desktop"))), QColor(Qt::red));

    writeBundle(home("Apps/Blue.app"), "blue", home("unused"));
    writeImage(home("Apps/Blue.app/Contents/Resources/blue.png"), Qt::blue);
    EXPECT_EQ(centreColour(workspace.iconForFile(home("Apps/Blue.app"))), QColor(Qt::blue));

    writeDesktopEntry(home("Apps/themeless.desktop"), "/bin/true", "Icon=no-such-icon-anywhere\n");
    writeFile(home("notes.txt"), "text");
    writeFile(home("archive.unknown-extension"), QByteArray(64, '\x01'));
    QDir().mkpath(home("Folder"));
    for (const QString& path : { home("Apps/themeless.desktop"), home("notes.txt"),
             home("archive.unknown-extension"), home("Folder"), home("Apps/Blue.app/Contents") }) {
        SCOPED_TRACE(path.toStdString());
        const QIcon icon = workspace.iconForFile(path);
        EXPECT_FALSE(icon.isNull());
        EXPECT_FALSE(icon.pixmap(16, 16).isNull());
        EXPECT_FALSE(workspace.iconForFile(path).isNull()); // the cached answer too
    }
}

TEST(Workspace, AnIconInstalledAfterItsDesktopEntryIsShownOnceItArrives)
{
    // A theme in the home's own icon folder with the icon cache that packages' triggers keep
    // current (Qt reads it instead of the folders while it is newer than they are).
    const QString theme = home(".local/share/icons/hicolor");
    writeFile(theme + "/index.theme",
        "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,64x64/apps\n\n"
        "[48x48/apps]\nSize=48\nType=Fixed\n\n[64x64/apps]\nSize=64\nType=Fixed\n");
    writeImage(theme + "/48x48/apps/quorvel-earlier.png", Qt::red);
    if (QProcess::execute("gtk-update-icon-cache", { "--quiet", "--force", theme }) != 0)
        GTEST_SKIP() << "gtk-update-icon-cache is not installed";
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({ home(".local/share/icons") });
    QIcon::setThemeName("hicolor");
    writeDesktopEntry(home("Apps/late.desktop"), "/bin/true", "Icon=quorvel-late-arrival\n");
    writeDesktopEntry(home("Apps/later.desktop"), "/bin/true", "Icon=quorvel-later-still\n");

    FileIcons fileIcons;
    const auto shows = [&fileIcons](const QString& entry, const QColor& colour) {
        return QTest::qWaitFor(
            [&] { return centreColour(fileIcons.iconOfDesktopEntry(home(entry))) == colour; }, 10000);
    };
    EXPECT_EQ(fileIcons.iconOfDesktopEntry(home("Apps/late.desktop")).cacheKey(),
        fileIcons.applicationIcon().cacheKey())
        << "installed before its icon: the generic one for now";
    writeImage(theme + "/48x48/apps/quorvel-late-arrival.png", Qt::green);
    QElapsedTimer sinceArrival;
    sinceArrival.start();
    EXPECT_TRUE(shows("Apps/late.desktop", Qt::green));
    std::printf(
        "the icon was shown %lld ms after it arrived\n", static_cast<long long>(sinceArrival.elapsed()));

    // Into a size folder that did not exist before.
    EXPECT_EQ(fileIcons.iconOfDesktopEntry(home("Apps/later.desktop")).cacheKey(),
        fileIcons.applicationIcon().cacheKey());
    writeImage(theme + "/64x64/apps/quorvel-later-still.png", Qt::blue);
    EXPECT_TRUE(shows("Apps/later.desktop", Qt::blue));
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeName);
}

TEST(Workspace, ApplicationsWithoutAUsableIconGetTheApplicationIconNeverADocumentPage)
{
    Workspace& workspace = Workspace::sharedWorkspace();
    const auto image
        = [&workspace](const QString& path) { return workspace.iconForFile(path).pixmap(32, 32).toImage(); };

    writeDesktopEntry(home("Bare/missing.desktop"), "/bin/true", "Icon=no-such-icon-anywhere\n");
    writeDesktopEntry(home("Bare/none.desktop"), "/bin/true");
    writeBundle(home("Bare/Iconless.app"), "iconless", home("unused")); // names an icon file it lacks
    QDir().mkpath(home("Bare/bin"));
    ASSERT_TRUE(QFile::copy("/bin/true", home("Bare/bin/tool.AppImage")));
    writeFile(home("Bare/page.txt"), "text");
    writeFile(home("Bare/data.unknown-extension"), QByteArray(64, '\x01'));
    QDir().mkpath(home("Bare/Folder"));

    const QImage application = image(home("Bare/missing.desktop"));
    ASSERT_FALSE(application.isNull());
    for (const QString& path :
        { home("Bare/none.desktop"), home("Bare/Iconless.app"), home("Bare/bin/tool.AppImage") }) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(image(path), application);
    }
    for (const QString& path :
        { home("Bare/page.txt"), home("Bare/data.unknown-extension"), home("Bare/Folder") }) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_NE(image(path), application);
    }
    EXPECT_NE(image(home("Bare/Folder")), image(home("Bare/data.unknown-extension")));
}
