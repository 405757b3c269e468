#include "support/TemporaryHome.h"

#include <QDir>

namespace quorvel::test {

TemporaryHome::TemporaryHome()
    : dir(QDir::tempPath() + QStringLiteral("/quorvel-home-XXXXXX"))
{
    const QByteArray home = QFile::encodeName(dir.path());
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_DATA_HOME", home + "/.local/share");
    qputenv("XDG_CACHE_HOME", home + "/.cache");
    qputenv("XDG_STATE_HOME", home + "/.local/state");
    // The runtime folder too, owner only as it must be: Qt and what a test starts keep sockets there.
    QDir().mkpath(dir.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(
        dir.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", home + "/runtime");
}

QString builtBundlePath()
{
#ifdef QUORVEL_BUILD_DIR
    return QStringLiteral(QUORVEL_BUILD_DIR "/Quorvel Launcher 2.app");
#else
    return QString::fromUtf8(qgetenv("QUORVEL_BUNDLE_PATH"));
#endif
}

void makeBundleWithOnlyItsDefaults(const QString& bundlePath)
{
    const QString contents = bundlePath + "/Contents";
    QDir().mkpath(contents + "/Resources");
    QFile::copy(builtBundlePath() + "/Contents/Info.plist", contents + "/Info.plist");
    for (const char* defaults : { "Document Types Defaults.xml", "Folder Exclusion List Defaults.xml",
             "File Exclusion List Defaults.xml" })
        QFile::copy(
            builtBundlePath() + "/Contents/Resources/" + defaults, contents + "/Resources/" + defaults);
}

} // namespace quorvel::test
