// The main of every test executable: the application object (offscreen unless a display is asked
// for), a fresh temporary home for each test, the main bundle pointed at the built bundle, and the
// layer's fixed clock reset between tests. Built twice: with QUORVEL_TEST_WIDGETS the application
// object is a QApplication, for the tests that make widgets; otherwise a QGuiApplication, which
// is all the layers below the widgets need (icons, fonts, the offscreen platform).

#include "support/TemporaryHome.h"

#include "platform/core/Clock.h"
#include "platform/desktop/Bundle.h"

#ifdef QUORVEL_TEST_WIDGETS
#include <QApplication>
#else
#include <QGuiApplication>
#endif
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
    // The application object reads the home and runtime folders as it starts: a scratch one
    // stands in until the first test's own.
    const quorvel::test::TemporaryHome startHome;
#ifdef QUORVEL_TEST_WIDGETS
    QApplication application(argc, argv);
#else
    QGuiApplication application(argc, argv);
#endif
    // The test executables live outside any bundle: resources come from the built one.
    quorvel::Bundle::setMainBundlePath(quorvel::test::builtBundlePath());
    testing::UnitTest::GetInstance()->listeners().Append(new FreshHomePerTest);
    return RUN_ALL_TESTS();
}
