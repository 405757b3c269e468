// Every input kept under tests/fuzz/corpus/<target>/ (the seeds, and each input that once
// crashed a target or broke one of its rules) replayed through its target in the normal build,
// so a fault found by fuzzing stays fixed.

#include "fuzz/FuzzTargets.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>
#include <ostream>

namespace quorvel::fuzz {

// Names the target in the test's output instead of its bytes.
void PrintTo(const Target& target, std::ostream* out)
{
    *out << target.name;
}

namespace {

QString currentInput;

void failTest(const QString& message)
{
    ADD_FAILURE() << qPrintable(currentInput) << ": " << qPrintable(message);
}

class FuzzCorpus : public testing::TestWithParam<Target> { };

TEST_P(FuzzCorpus, EveryKeptInputKeepsTheTargetsRules)
{
    const Target* target = &GetParam();
    const QString folder
        = QStringLiteral(QUORVEL_SOURCE_DIR "/tests/fuzz/corpus/") + QLatin1String(target->name);
    QDirIterator inputs(folder, QDir::Files, QDirIterator::Subdirectories);
    int replayed = 0;
    setFailureHandler(failTest);
    while (inputs.hasNext()) {
        currentInput = inputs.next();
        QFile file(currentInput);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(currentInput);
        const QByteArray bytes = file.readAll();
        target->entry(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
        ++replayed;
    }
    setFailureHandler(nullptr);
    EXPECT_GT(replayed, 0) << "no corpus in " << qPrintable(folder);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, testing::ValuesIn(targets().begin(), targets().end()),
    [](const testing::TestParamInfo<Target>& info) {
        QString name = QString::fromUtf8(info.param.name);
        return name.remove(QLatin1Char('-')).toStdString();
    });

} // namespace

} // namespace quorvel::fuzz
