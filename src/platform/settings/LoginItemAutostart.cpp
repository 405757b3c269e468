#include "platform/settings/LoginItemAutostart.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"
#include "platform/files/RegularFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

namespace quorvel {

namespace {

const QByteArray hiddenVariable = QByteArrayLiteral("QUORVEL_LOGIN_HIDDEN");
const QString markLine = QStringLiteral("X-Quorvel-LoginItem=true");
const QString entryPrefix = QStringLiteral("quorvel-login-");

// A value of type string: backslash, line breaks and tabs escaped, a leading blank kept.
QString escapedValue(const QString& value)
{
    QString result;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            result += QStringLiteral("\\\\");
            break;
        case '\n':
            result += QStringLiteral("\\n");
            break;
        case '\t':
            result += QStringLiteral("\\t");
            break;
        case '\r':
            result += QStringLiteral("\\r");
            break;
        default:
            result += c;
        }
    }
    if (result.startsWith(QLatin1Char(' ')))
        result.replace(0, 1, QStringLiteral("\\s"));
    return result;
}

} // namespace

QString LoginItemAutostart::autostartFolder()
{
    const QString configured = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    // The base directory specification ignores a relative value.
    const QString config = QDir::isAbsolutePath(configured)
        ? configured
        : Folders::joinPath(Folders::homeFolder(), QStringLiteral(".config"));
    return Folders::joinPath(config, QStringLiteral("autostart"));
}

QString LoginItemAutostart::entryPathForItem(const QString& itemPath)
{
    QString name = QFileInfo(itemPath).completeBaseName();
    for (QChar& c : name)
        if (!c.isLetterOrNumber())
            c = QLatin1Char('-');
    const QByteArray hash
        = QCryptographicHash::hash(itemPath.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return Folders::joinPath(autostartFolder(),
        entryPrefix + name + QLatin1Char('-') + QString::fromLatin1(hash) + QStringLiteral(".desktop"));
}

QString LoginItemAutostart::quotedExecArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        // A percent sign would be read as a field code.
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// A bundle that declares no executable is taken to be named after itself.
QString LoginItemAutostart::executableOfBundle(const QString& bundlePath)
{
    const Bundle bundle(bundlePath);
    const QString existing = bundle.executablePath();
    if (!existing.isEmpty())
        return existing;
    QString name = bundle.infoDictionary().value(QStringLiteral("CFBundleExecutable")).toString();
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        name = QFileInfo(bundlePath).completeBaseName();
    return bundlePath + QStringLiteral("/Contents/MacOS/") + name;
}

bool LoginItemAutostart::isMarkedEntry(const QString& path, const QString& mark)
{
    const std::optional<QByteArray> bytes = RegularFile::readAll(path);
    if (!bytes)
        return false;
    for (const QByteArray& line : bytes->split('\n'))
        if (QString::fromUtf8(line).trimmed() == mark)
            return true;
    return false;
}

bool LoginItemAutostart::writeEntry(const QString& path, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (RegularFile::readAll(path) == bytes)
        return true;
    Folders::createPrivateFolders(QFileInfo(path).path());
    // The layer's atomic write: never through a link planted at the name, never writable by others.
    if (AtomicFile::write(path, bytes))
        return true;
    Log::line(platformLog(), QStringLiteral("Could not write the autostart entry %1").arg(path));
    return false;
}

QString LoginItemAutostart::entryText(const QString& name, const QString& program,
    const QStringList& arguments, const QString& mark, const QString& environment)
{
    QString exec
        = environment.isEmpty() ? QString() : QStringLiteral("env ") + environment + QLatin1Char(' ');
    exec += quotedExecArgument(program);
    for (const QString& argument : arguments)
        exec += QLatin1Char(' ') + quotedExecArgument(argument);

    const QStringList lines = {
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=") + escapedValue(name),
        QStringLiteral("Exec=") + escapedValue(exec),
        QStringLiteral("TryExec=") + escapedValue(program),
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
        mark,
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString LoginItemAutostart::itemEntryText(const QString& itemPath, bool hidden)
{
    QString program;
    QStringList arguments;
    if (itemPath.endsWith(QLatin1String(".app"))) {
        program = executableOfBundle(itemPath);
    } else if (FileManager::isExecutableFile(itemPath)) {
        program = itemPath;
    } else {
        program = QStringLiteral("xdg-open");
        arguments.append(itemPath);
    }
    const QString environment
        = hidden ? QString::fromLatin1(hiddenVariable) + QStringLiteral("=1") : QString();
    return entryText(FileManager::displayNameAtPath(itemPath), program, arguments, markLine, environment);
}

void LoginItemAutostart::mirror(const QVariantList& loginItems)
{
    // Path -> hidden, for every item that names a path.
    QMap<QString, bool> wanted;
    for (const QVariant& item : loginItems) {
        const QVariantMap entry = item.toMap();
        const QString path = entry.value(QStringLiteral("Path")).toString();
        if (path.isEmpty())
            continue;
        const bool hidden = entry.value(QStringLiteral("Hide")).toLongLong() != 0;
        const auto known = wanted.constFind(path);
        wanted.insert(path, known == wanted.constEnd() ? hidden : (*known && hidden));
    }

    const QString folder = autostartFolder();
    QStringList keep;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const QString entry = entryPathForItem(it.key());
        writeEntry(entry, itemEntryText(it.key(), it.value()));
        keep.append(entry);
    }
    const QDir autostart(folder);
    for (const QString& name :
        autostart.entryList({ entryPrefix + QStringLiteral("*.desktop") }, QDir::Files)) {
        const QString path = autostart.filePath(name);
        if (!keep.contains(path) && isMarkedEntry(path, markLine))
            QFile::remove(path);
    }
}

bool LoginItemAutostart::takeStartedHidden()
{
    const bool hidden = qgetenv(hiddenVariable.constData()) == "1";
    qunsetenv(hiddenVariable.constData());
    return hidden;
}

} // namespace quorvel
