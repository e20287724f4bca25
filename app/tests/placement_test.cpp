// Window placement on Qt: the eight values and back, and windows kept on a screen.
#include "placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(Placement, KeepVisibleMovesOnlyWindowsNoScreenShows) {
    const QList<QRect> two = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const struct {
        QRect in, expected;
    } cases[] = {
        {QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},    // on the first screen
        {QRect(2000, 50, 800, 600), QRect(2000, 50, 800, 600)},    // on the second
        {QRect(1850, 10, 800, 600), QRect(1850, 10, 800, 600)},    // across both
        {QRect(-690, 10, 800, 600), QRect(-690, 10, 800, 600)},    // 110 px still shown
        {QRect(-750, 10, 800, 600), QRect(0, 10, 800, 600)},       // 50 px is not enough
        {QRect(5000, 5000, 800, 600), QRect(2400, 424, 800, 600)}, // far off: nearest screen
        {QRect(100, -2000, 800, 600), QRect(100, 0, 800, 600)},
        {QRect(-5000, 0, 4000, 3000), QRect(0, 0, 1920, 1080)}, // larger than the screen
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::KeepVisible(c.in, two), c.expected)
            << c.in.x() << "," << c.in.y() << " " << c.in.width() << "x" << c.in.height();
    EXPECT_EQ(app::KeepVisible(QRect(-9999, 0, 10, 10), {}), QRect(-9999, 0, 10, 10));
}

class PlacementWindow : public ::testing::Test {
  protected:
    QRect Screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    QWidget w_;
};

TEST_F(PlacementWindow, NormalRectangleRoundTrips) {
    const QRect s = Screen();
    app::WindowPlacement p;
    p.Left = s.x() + 20;
    p.Top = s.y() + 30;
    p.Right = p.Left + 300;
    p.Bottom = p.Top + 200;
    app::ApplyPlacement(w_, p);
    w_.show();
    EXPECT_EQ(w_.geometry(), QRect(p.Left, p.Top, 300, 200));
    const app::WindowPlacement back = app::PlacementOf(w_);
    EXPECT_EQ(back.Show, app::WindowPlacement::kShowNormal);
    EXPECT_EQ(back.Left, p.Left);
    EXPECT_EQ(back.Top, p.Top);
    EXPECT_EQ(back.Right, p.Right);
    EXPECT_EQ(back.Bottom, p.Bottom);
}

TEST_F(PlacementWindow, MaximisedAndMinimisedStates) {
    const QRect s = Screen();
    app::WindowPlacement p{0,           app::WindowPlacement::kShowMaximized,
                           -1,          -1,
                           s.x() + 10,  s.y() + 10,
                           s.x() + 210, s.y() + 110};
    app::ApplyPlacement(w_, p);
    EXPECT_TRUE(w_.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(app::PlacementOf(w_).Show, app::WindowPlacement::kShowMaximized);

    p.Show = app::WindowPlacement::kShowMinimized; // never comes up minimised
    app::ApplyPlacement(w_, p);
    EXPECT_FALSE(w_.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
    p.Flags = app::WindowPlacement::kRestoreToMaximized;
    app::ApplyPlacement(w_, p);
    EXPECT_TRUE(w_.windowState() & Qt::WindowMaximized);
}

TEST_F(PlacementWindow, OffScreenOrBrokenValuesKeepTheWindowReachable) {
    const QRect s = Screen();
    w_.setGeometry(s.x() + 5, s.y() + 5, 320, 240);
    const QRect before = w_.geometry();
    for (const app::WindowPlacement& bad :
         {app::WindowPlacement{0, 1, -1, -1, 100, 100, 50, 300}, // right before left
          app::WindowPlacement{0, 1, -1, -1, 0, 0, 0, 0},
          app::WindowPlacement{0, 1, -1, -1, -2147483647, 0, 2147483647, 100}}) {
        app::ApplyPlacement(w_, bad);
        EXPECT_EQ(w_.geometry(), before);
    }
    app::ApplyPlacement(w_, {0, 1, -1, -1, s.right() + 5000, s.bottom() + 5000, s.right() + 5400,
                             s.bottom() + 5300});
    EXPECT_TRUE(s.intersects(w_.geometry()));
    EXPECT_EQ(w_.geometry().size(), QSize(400, 300));
}

} // namespace
