#pragma once
// Python's plistlib as an independent reader and writer of property-list files: a snippet runs
// under python3 with plistlib and sys imported and the given arguments in sys.argv[1:].

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

namespace quorvel::test {

class PythonPlist final {
public:
    struct Result {
        int exitCode = -1; // -1 when python3 did not start or did not finish
        QByteArray output;
        std::string errors;
    };

    static bool available();
    static Result run(const QString& script, const QStringList& arguments = {});
};

} // namespace quorvel::test
