// GLib's headers first: they use names that Qt's keywords would otherwise redefine.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/desktop/FileIcons.h"

#include "platform/desktop/Bundle.h"
#include "platform/desktop/IconThemeWatcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>

namespace quorvel {

namespace {

// Outside a desktop environment Qt knows no icon theme at all; every desktop has hicolor, the
// theme that applications install their icons into.
void useHicolorWhenNoThemeIsSet()
{
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
}

enum class DrawnShape { folder, page, application };

// Without any icon theme (a bare session) a folder, a file or an application still gets a
// recognisable shape. Drawn at twice the panel's size so that it stays sharp at a scale of 2.
QIcon drawnFallbackIcon(DrawnShape shape)
{
    QPixmap pixmap(128, 128);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2, 2);
    painter.setPen(QPen(QColor(90, 90, 90), 2));
    switch (shape) {
    case DrawnShape::folder:
        painter.setBrush(QColor(235, 190, 90));
        painter.drawRoundedRect(QRectF(6, 16, 52, 38), 4, 4);
        painter.drawRoundedRect(QRectF(6, 10, 22, 10), 3, 3);
        break;
    case DrawnShape::page: {
        // A sheet with a folded corner and lines of text.
        painter.setBrush(QColor(245, 245, 245));
        painter.drawPolygon(
            QPolygonF({ QPointF(14, 6), QPointF(40, 6), QPointF(50, 16), QPointF(50, 58), QPointF(14, 58) }));
        painter.setBrush(QColor(205, 210, 220));
        painter.drawPolygon(QPolygonF({ QPointF(40, 6), QPointF(40, 16), QPointF(50, 16) }));
        painter.setPen(QPen(QColor(150, 160, 180), 2.5, Qt::SolidLine, Qt::RoundCap));
        for (const double y : { 26.0, 33.0, 40.0, 47.0 })
            painter.drawLine(QPointF(20, y), QPointF(y < 45 ? 44 : 34, y));
        break;
    }
    case DrawnShape::application:
        // A program window: a rounded tile with a title bar and a prompt, unlike any document.
        painter.setBrush(QColor(76, 125, 255));
        painter.drawRoundedRect(QRectF(6, 8, 52, 48), 8, 8);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(38, 43, 56));
        painter.drawRoundedRect(QRectF(11, 20, 42, 31), 4, 4);
        painter.setPen(QPen(QColor(232, 235, 242), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(QPolygonF({ QPointF(18, 28), QPointF(25, 35), QPointF(18, 42) }));
        painter.drawLine(QPointF(29, 43), QPointF(40, 43));
        break;
    }
    return QIcon(pixmap);
}

// A theme may name an icon it cannot draw (a missing file behind an index entry).
bool usable(const QIcon& icon)
{
    return !icon.isNull() && !icon.pixmap(QSize(32, 32)).isNull();
}

QIcon iconFromName(const QString& name)
{
    if (name.isEmpty())
        return {};
    if (name.startsWith(QLatin1Char('/')))
        return QFileInfo(name).isFile() ? QIcon(name) : QIcon();
    useHicolorWhenNoThemeIsSet();
    return QIcon::fromTheme(name);
}

QIcon iconFromGIcon(GIcon* icon)
{
    if (!icon)
        return {};
    if (G_IS_FILE_ICON(icon)) {
        GFile* file = g_file_icon_get_file(G_FILE_ICON(icon));
        char* path = g_file_get_path(file);
        const QString name = path ? QFile::decodeName(path) : QString();
        g_free(path);
        return iconFromName(name);
    }
    if (G_IS_THEMED_ICON(icon)) {
        for (const gchar* const* name = g_themed_icon_get_names(G_THEMED_ICON(icon)); name && *name; ++name) {
            QIcon found = iconFromName(QString::fromUtf8(*name));
            if (!found.isNull())
                return found;
        }
    }
    return {};
}

} // namespace

FileIcons::FileIcons() = default;

FileIcons::~FileIcons()
{
    delete themeWatcher.data();
}

void FileIcons::watchThemes()
{
    if (themeWatcher || !QCoreApplication::instance())
        return;
    useHicolorWhenNoThemeIsSet();
    themeWatcher = new IconThemeWatcher(QCoreApplication::instance());
    QObject::connect(
        themeWatcher, &IconThemeWatcher::iconsChanged, themeWatcher, [this] { forgetLookUps(); });
}

void FileIcons::forgetLookUps()
{
    iconsByMimeType.clear();
    genericApplicationIcon = QIcon();
    // Qt's loader keeps what each theme name resolved to, misses too, and which folders each
    // theme has, until its search paths change: setting the same ones again starts it afresh.
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths());
}

QIcon FileIcons::iconOfDesktopEntry(const QString& path)
{
    watchThemes();
    const QByteArray file = QFile::encodeName(path);
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(file.constData());
    if (!info)
        return applicationIcon();
    const QIcon icon = iconFromGIcon(g_app_info_get_icon(G_APP_INFO(info)));
    g_object_unref(info);
    return usable(icon) ? icon : applicationIcon();
}

QIcon FileIcons::applicationIcon()
{
    watchThemes();
    if (genericApplicationIcon.isNull()) {
        useHicolorWhenNoThemeIsSet();
        genericApplicationIcon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
        if (!usable(genericApplicationIcon))
            genericApplicationIcon = drawnFallbackIcon(DrawnShape::application);
    }
    return genericApplicationIcon;
}

QIcon FileIcons::iconOfBundle(const QString& path)
{
    const Bundle bundle(path);
    for (const char* key : { "CFBundleIconFile", "NSPrefPaneIconFile" }) {
        const QString name = bundle.objectForInfoDictionaryKey(QString::fromLatin1(key)).toString();
        const QString file = name.isEmpty() ? QString() : bundle.pathForImageResource(name);
        if (!file.isEmpty()) {
            QIcon icon(file);
            if (!icon.isNull())
                return usable(icon) ? icon : applicationIcon();
        }
    }
    return applicationIcon();
}

QIcon FileIcons::iconOfDocument(const QString& path)
{
    watchThemes();
    const QFileInfo info(path);
    static const QMimeDatabase database;
    const QMimeType type = info.exists() ? database.mimeTypeForFile(info)
                                         : database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    const QString key = type.name();
    const auto cached = iconsByMimeType.constFind(key);
    if (cached != iconsByMimeType.constEnd())
        return *cached;

    useHicolorWhenNoThemeIsSet();
    QIcon icon = info.isDir() ? QIcon::fromTheme(QStringLiteral("folder")) : QIcon();
    if (!usable(icon) && !info.isDir())
        icon = QIcon::fromTheme(type.iconName());
    if (!usable(icon) && !info.isDir())
        icon = QIcon::fromTheme(type.genericIconName());
    // The style's own file-type icons are blank pages at the panel's size: the drawn shapes say more.
    if (!usable(icon))
        icon = drawnFallbackIcon(info.isDir() ? DrawnShape::folder : DrawnShape::page);
    iconsByMimeType.insert(key, icon);
    return icon;
}

} // namespace quorvel
