// The panel's window and its background view.

#include "app/CustomWindow.h"
#include "app/TaviskBgndView.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/Compositor.h"

#include <QImage>
#include <QScreen>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// The opacity of the background's middle, as drawn with the current settings.
int drawnAlpha()
{
    TaviskBgndView view;
    view.resize(680, 440);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return qAlpha(image.pixel(340, 300));
}

// A window system whose compositing manager the test starts and ends.
class FakeCompositor final : public Compositor {
public:
    bool composites = true;

protected:
    bool askWindowSystem() const override { return composites; }
};

} // namespace

TEST(PanelWindow, WithoutACompositorThePanelTakesTheCardsShapeAndIsDrawnOpaque)
{
    FakeCompositor compositor;
    compositor.composites = false;
    Compositor::setSharedCompositor(&compositor);
    UserDefaults::resetStandardUserDefaults();
    UserDefaults::standardUserDefaults().setFloat("mainDialogTransparency", 0.5f);
    {
        CustomWindow window(QRect(0, 0, 680, 440), 0, 0, false);
        TaviskBgndView view(&window);
        view.resize(window.size());
        window.show();
        ASSERT_TRUE(window.isShapedByMask());
        EXPECT_FALSE(window.mask().contains(QPoint(1, 1))) << "a rounded corner is cut away";
        EXPECT_TRUE(window.mask().contains(QPoint(340, 220)));
        EXPECT_EQ(drawnAlpha(), 255) << "nothing shows through without a compositor";

        // The compositor starts while the panel is up, then ends again.
        compositor.composites = true;
        compositor.check();
        EXPECT_FALSE(window.isShapedByMask());
        EXPECT_NEAR(drawnAlpha(), 255 / 2, 8);
        compositor.composites = false;
        compositor.check();
        EXPECT_TRUE(window.isShapedByMask());
    }
    Compositor::setSharedCompositor(nullptr);
    UserDefaults::resetStandardUserDefaults();
}

TEST(PanelWindow, ATitledStyleStillGivesABorderlessTransparentShadowlessPanel)
{
    CustomWindow window(QRect(10, 20, 300, 200), 1u | 2u | 4u | 8u, 0, false);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.windowFlags() & Qt::NoDropShadowWindowHint);
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(Application::canHide(&window));
    EXPECT_TRUE(window.canBecomeKeyWindow());
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_EQ(window.size(), QSize(300, 200));
    EXPECT_EQ(window.level(), 0);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    window.setLevel(3 | 25);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
}

TEST(PanelWindow, ThePanelIsCentredOnTheFullFrameOfItsScreen)
{
    CustomWindow window(QRect(0, 0, 300, 200), 0, 0, false);
    window.centerOnItsScreen();
    const QRect screen = window.screen()->geometry();
    EXPECT_EQ(window.geometry().center().x(), screen.center().x());
    EXPECT_NEAR(window.geometry().center().y(), screen.center().y(), 1);
}

TEST(PanelWindow, TheBackgroundIsDrawnWithTheStoredOpacity)
{
    UserDefaults::resetStandardUserDefaults();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.registerDefaults({ { "mainWindowTransparency", QVariant::fromValue(1.0f) } });
    const int unset = drawnAlpha(); // a fresh user: the registered window transparency
    defaults.setFloat("mainDialogTransparency", 1.0f);
    const int opaque = drawnAlpha();
    defaults.setFloat("mainDialogTransparency", 0.5f);
    const int half = drawnAlpha();
    defaults.setFloat("mainDialogTransparency", 0.0f);
    const int none = drawnAlpha();
    EXPECT_GT(opaque, 200);
    EXPECT_EQ(unset, opaque);
    EXPECT_NEAR(half, opaque / 2, 3);
    EXPECT_EQ(none, 0);
    UserDefaults::resetStandardUserDefaults();
}
