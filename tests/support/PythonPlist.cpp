#include "support/PythonPlist.h"

#include <QProcess>
#include <QStandardPaths>

namespace quorvel::test {

bool PythonPlist::available()
{
    return !QStandardPaths::findExecutable("python3").isEmpty();
}

PythonPlist::Result PythonPlist::run(const QString& script, const QStringList& arguments)
{
    QProcess python;
    python.start("python3", QStringList { "-c", "import plistlib, sys\n" + script } + arguments);
    Result result;
    const bool finished = python.waitForFinished(30000);
    result.output = python.readAllStandardOutput();
    result.errors = python.readAllStandardError().toStdString();
    if (finished && python.exitStatus() == QProcess::NormalExit)
        result.exitCode = python.exitCode();
    else
        result.errors += "python3 did not finish: " + python.errorString().toStdString();
    return result;
}

} // namespace quorvel::test
