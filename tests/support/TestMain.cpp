// The main of every test executable: a QApplication (offscreen unless a display is asked for),
// a fresh temporary home for each test, the main bundle pointed at the built bundle, and the
// layer's fixed clock and fakes reset between tests.

#include "support/TemporaryHome.h"

#include "platform/core/Clock.h"
#include "platform/desktop/Bundle.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

class FreshHomePerTest final : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override
    {
        home = std::make_unique<quorvel::test::TemporaryHome>();
        quorvel::Clock::setFixedTime(std::nullopt);
    }
    void OnTestEnd(const testing::TestInfo&) override { home.reset(); }

private:
    std::unique_ptr<quorvel::test::TemporaryHome> home;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // The test executables live outside any bundle: resources come from the built one.
    quorvel::Bundle::setMainBundlePath(quorvel::test::builtBundlePath());
    testing::UnitTest::GetInstance()->listeners().Append(new FreshHomePerTest);
    return RUN_ALL_TESTS();
}
