// Moving a frameless window by its empty area: the window manager is asked to move only once the
// pointer has travelled the drag distance with the button held.
#include "platform/window_mover.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include "platform/desktop_hooks.h"

namespace {

class MovableWindow : public QWidget {
  public:
    platform::WindowMover mover;

  protected:
    void mousePressEvent(QMouseEvent* e) override { mover.Press(this, e); }
    void mouseMoveEvent(QMouseEvent* e) override { mover.Move(this, e); }
    void mouseReleaseEvent(QMouseEvent*) override { mover.Release(); }
};

struct MoverCase {
    const char* name;
    QPoint release_at;       // the press is at (50, 50); moves go straight to the release point
    bool system_moves;       // what the stand-in window manager answers
    int expected_requests;   // moves asked of the window manager
    QPoint expected_offset;  // how far the window moved by itself
};

class WindowMoverTest : public ::testing::TestWithParam<MoverCase> {
  protected:
    void TearDown() override { platform::desktopHooks.start_system_move = nullptr; }
};

TEST_P(WindowMoverTest, MovesOnlyAfterTheDragDistance) {
    const MoverCase& c = GetParam();
    int requests = 0;
    platform::desktopHooks.start_system_move = [&](QWindow*) {
        ++requests;
        return c.system_moves;
    };
    MovableWindow window;
    window.resize(300, 200);
    window.move(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    const QPoint press(50, 50);
    QTest::mousePress(&window, Qt::LeftButton, {}, press, 0);
    if (c.release_at != press) QTest::mouseMove(&window, c.release_at, 0);
    QTest::mouseRelease(&window, Qt::LeftButton, {}, c.release_at, 0);
    // After the release the pointer moves on without a button: nothing may follow it.
    QTest::mouseMove(&window, c.release_at + QPoint(40, 40), 0);
    EXPECT_EQ(requests, c.expected_requests);
    EXPECT_EQ(window.pos() - start, c.expected_offset);
}

const int kFar = 60;  // well past any platform's drag distance

INSTANTIATE_TEST_SUITE_P(
    Drags, WindowMoverTest,
    ::testing::Values(
        MoverCase{"ZeroLengthTap", {50, 50}, true, 0, {0, 0}},
        MoverCase{"ShorterThanTheDragDistance", {51, 51}, true, 0, {0, 0}},
        MoverCase{"WindowManagerTakesOver", {50 + kFar, 50}, true, 1, {0, 0}},
        MoverCase{"WindowFollowsWhereNoWindowManagerMoves", {50 + kFar, 50 + 10}, false, 1, {kFar, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
