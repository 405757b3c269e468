// GLib's headers first: they use names that Qt's keywords would otherwise redefine.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/desktop/Workspace.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/core/ReplaceableInstance.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

namespace quorvel {

namespace {

ReplaceableInstance<Workspace> shared;

// ---- GLib ownership helpers ----

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPointer = std::unique_ptr<T, GObjectDeleter>;

struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};

QString takeErrorMessage(GError* error)
{
    std::unique_ptr<GError, GErrorDeleter> owned(error);
    return owned ? QString::fromUtf8(owned->message) : QString();
}

// Answers false, with the reason for whoever asked for it.
bool failure(QString* whyNot, const QString& reason)
{
    if (whyNot)
        *whyNot = reason;
    return false;
}

QString noLongerExists()
{
    return QStringLiteral("The file no longer exists.");
}

// ---- What a path is ----

bool exists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool isDesktopEntry(const QString& path)
{
    return path.endsWith(QLatin1String(".desktop")) && QFileInfo(path).isFile();
}

// A folder that launches: an application or preference pane bundle, or any folder that carries
// bundle information.
bool isBundle(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    const QString suffix = info.suffix().toLower();
    return suffix == QLatin1String("app") || suffix == QLatin1String("prefpane")
        || QFileInfo(path + QStringLiteral("/Contents/Info.plist")).isFile();
}

bool launchesAsApplication(const QString& path)
{
    return isDesktopEntry(path) || isBundle(path);
}

// A program file run directly (an AppImage, a compiled program); not an executable script or
// document, which opens with its handler.
bool isProgramFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(info);
    for (const char* program : { "application/x-executable", "application/x-sharedlib",
             "application/vnd.appimage", "application/x-iso9660-appimage" }) {
        if (type.inherits(QString::fromLatin1(program)))
            return true;
    }
    return false;
}

// ---- Launching ----

bool startDetached(const QString& executable, QString* whyNot)
{
    QProcess process;
    process.setProgram(executable);
    process.setWorkingDirectory(Folders::homeFolder());
    if (process.startDetached())
        return true;
    Log::line(platformLog(), QStringLiteral("Could not start %1: %2").arg(executable, process.errorString()));
    return failure(whyNot, process.errorString());
}

// Field codes, Terminal=true, D-Bus activation and startup notification are GIO's business.
bool launchDesktopEntry(const QString& path, QString* whyNot)
{
    const QByteArray file = QFile::encodeName(path);
    GObjectPointer<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(file.constData()));
    if (!info) {
        Log::line(platformLog(), QStringLiteral("Not a desktop entry that can be launched: %1").arg(path));
        return failure(whyNot, QStringLiteral("It is not an application that can be started."));
    }
    GObjectPointer<GAppLaunchContext> context(g_app_launch_context_new());
    GError* error = nullptr;
    if (g_app_info_launch(G_APP_INFO(info.get()), nullptr, context.get(), &error))
        return true;
    const QString message = takeErrorMessage(error);
    Log::line(platformLog(), QStringLiteral("Could not launch %1: %2").arg(path, message));
    return failure(whyNot, message);
}

bool launchBundle(const QString& path, QString* whyNot)
{
    const QString executable = Bundle(path).executablePath();
    if (executable.isEmpty()) {
        Log::line(platformLog(), QStringLiteral("The bundle %1 names no executable that exists").arg(path));
        return failure(whyNot, QStringLiteral("Its program is missing."));
    }
    return startDetached(executable, whyNot);
}

// The desktop's own opener (xdg-open). It ends at once when it hands the file to the desktop's
// tools, and says so when nothing can open it; in a bare session it runs the handler itself and
// lasts as long as that does. So what has not ended within a moment has opened the file, and is
// left to run. On failure, whyNot gets the opener's own last words, if it had any.
bool openWithDesktopOpener(const QUrl& url, QString* whyNot)
{
    // Long enough for xdg-open to find out that nothing handles the file; a launch that waits
    // this long happens only when GIO knows no handler at all.
    constexpr int patienceMilliseconds = 1500;
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({ url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded) });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start();
    if (process->waitForStarted() && !process->waitForFinished(patienceMilliseconds)) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    const std::unique_ptr<QProcess> ended(process);
    if (ended->exitStatus() == QProcess::NormalExit && ended->exitCode() == 0
        && ended->error() != QProcess::FailedToStart)
        return true;
    const QString said = QString::fromLocal8Bit(ended->readAllStandardError()).trimmed();
    if (whyNot && !said.isEmpty())
        *whyNot = said.section(QLatin1Char('\n'), -1);
    return false;
}

// The desktop's default handler. GIO answers whether a handler was found and started; only when
// GIO knows of no handler at all is the desktop's own opener (xdg-open) given a chance.
bool openWithDefaultHandler(const QUrl& url, QString* whyNot)
{
    const QByteArray uri = url.toEncoded();
    GObjectPointer<GAppLaunchContext> context(g_app_launch_context_new());
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.constData(), context.get(), &error))
        return true;
    const bool noHandler = error && error->domain == G_IO_ERROR
        && (error->code == G_IO_ERROR_NOT_SUPPORTED || error->code == G_IO_ERROR_NOT_FOUND);
    QString message = takeErrorMessage(error);
    if (noHandler && openWithDesktopOpener(url, &message))
        return true;
    Log::line(platformLog(), QStringLiteral("Could not open %1: %2").arg(url.toDisplayString(), message));
    return failure(whyNot, message);
}

// ---- The file manager ----

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

bool fileManagerAvailable(QDBusConnection& bus)
{
    QDBusConnectionInterface* interface = bus.interface();
    if (!interface)
        return false;
    if (interface->isServiceRegistered(fileManagerService).value())
        return true;
    return interface->activatableServiceNames().value().contains(fileManagerService);
}

bool showInFileManager(const QString& method, const QString& path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !fileManagerAvailable(bus))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        fileManagerService, QStringLiteral("/org/freedesktop/FileManager1"), fileManagerService, method);
    call << QStringList { QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) } << QString();
    // Long enough for the file manager to be started by the bus.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return true;
    Log::line(
        platformLog(), QStringLiteral("The file manager refused %1: %2").arg(path, reply.errorMessage()));
    return false;
}

} // namespace

Workspace& Workspace::sharedWorkspace()
{
    return shared.get();
}

void Workspace::setSharedWorkspace(Workspace* workspace)
{
    shared.replace(workspace);
}

bool Workspace::openFile(const QString& path, QString* whyNot)
{
    if (!exists(path))
        return failure(whyNot, noLongerExists());
    if (launchesAsApplication(path))
        return launchApplication(path, whyNot);
    return openWithDefaultHandler(QUrl::fromLocalFile(path), whyNot);
}

bool Workspace::launchApplication(const QString& path, QString* whyNot)
{
    if (!exists(path))
        return failure(whyNot, noLongerExists());
    if (isDesktopEntry(path))
        return launchDesktopEntry(path, whyNot);
    if (isBundle(path))
        return launchBundle(path, whyNot);
    const QFileInfo info(path);
    if (info.isFile() && info.isExecutable())
        return startDetached(info.absoluteFilePath(), whyNot);
    Log::line(platformLog(), QStringLiteral("Not an application: %1").arg(path));
    return failure(whyNot, QStringLiteral("It is not an application."));
}

bool Workspace::selectFileInFileViewerRootedAtPath(
    const QString& file, const QString& rootFolder, QString* whyNot)
{
    if (!file.isEmpty()) {
        if (!exists(file))
            return failure(whyNot, noLongerExists());
        if (showInFileManager(QStringLiteral("ShowItems"), file))
            return true;
        return openWithDefaultHandler(QUrl::fromLocalFile(QFileInfo(file).absolutePath()), whyNot);
    }
    if (!exists(rootFolder))
        return failure(whyNot, QStringLiteral("The folder no longer exists."));
    if (showInFileManager(QStringLiteral("ShowFolders"), rootFolder))
        return true;
    return openWithDefaultHandler(QUrl::fromLocalFile(rootFolder), whyNot);
}

QIcon Workspace::iconForFile(const QString& path)
{
    if (!exists(path))
        return icons.iconOfDocument(path);
    if (isDesktopEntry(path))
        return icons.iconOfDesktopEntry(path);
    if (isBundle(path))
        return icons.iconOfBundle(path);
    if (isProgramFile(path))
        return icons.applicationIcon();
    return icons.iconOfDocument(path);
}

bool Workspace::openURL(const QUrl& url, QString* whyNot)
{
    if (!url.isValid() || url.isEmpty())
        return failure(whyNot, QStringLiteral("The address is not valid."));
    if (url.isLocalFile() && !exists(url.toLocalFile()))
        return failure(whyNot, noLongerExists());
    return openWithDefaultHandler(url, whyNot);
}

} // namespace quorvel
