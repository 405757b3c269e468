#include "components/hotkey/PidFile.h"

#include "components/shared/HotKeyLog.h"
#include "platform/core/Log.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/Folders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace quorvel {

PidFile::PidFile(const QString& path)
    : path(path)
{
}

PidFile::~PidFile()
{
    remove();
}

bool PidFile::write()
{
    Folders::createPrivateFolders(QFileInfo(path).absolutePath());
    written = AtomicFile::write(path, QByteArray::number(QCoreApplication::applicationPid()) + '\n');
    if (!written)
        Log::line(hotKeyLog(), QStringLiteral("Could not record the process id in %1").arg(path));
    return written;
}

void PidFile::remove()
{
    if (!written)
        return;
    written = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const bool ours = file.readAll().trimmed() == QByteArray::number(QCoreApplication::applicationPid());
    file.close();
    if (ours)
        file.remove();
}

} // namespace quorvel
