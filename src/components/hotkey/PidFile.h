#pragma once
// The file that records the running hot-key component's process id, so that quitHotKey.sh quits
// exactly this process. Written when the component owns its bus name; removed at its end unless
// another instance wrote it meanwhile.

#include <QString>

namespace quorvel {

class PidFile final {
public:
    explicit PidFile(const QString& path);
    ~PidFile();
    PidFile(const PidFile&) = delete;
    PidFile& operator=(const PidFile&) = delete;

    bool write();
    void remove();

private:
    QString path;
    bool written = false;
};

} // namespace quorvel
