#include "platform/body_drag.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

using platform::BodyDrag;

namespace {

QMouseEvent Mouse(QEvent::Type type, QPoint global, Qt::MouseButton button,
                  Qt::MouseButtons held) {
    return QMouseEvent(type, QPointF(10, 10), QPointF(global), button, held, Qt::NoModifier);
}

// A window whose system move is counted (and refused or taken as asked) instead of asked of the
// window system.
class BodyDragTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.setGeometry(100, 100, 200, 100);
        window.show();
        BodyDrag::SetSystemMoveForTests([this](QWindow*) {
            ++systemMoves;
            return systemMoves <= takeSystemMoves;
        });
    }
    void TearDown() override { BodyDrag::SetSystemMoveForTests({}); }

    void Send(BodyDrag& drag, QEvent::Type type, QPoint at, Qt::MouseButton button,
              Qt::MouseButtons held) {
        QMouseEvent event = Mouse(type, at, button, held);
        if (type == QEvent::MouseButtonPress) drag.Press(&window, &event);
        if (type == QEvent::MouseMove) drag.Move(&window, &event);
        if (type == QEvent::MouseButtonRelease) drag.Release(&event);
    }

    QWidget window;
    int systemMoves = 0;
    int takeSystemMoves = 0;
};

}  // namespace

TEST_F(BodyDragTest, ATapInTheSameInstantNeverLeavesTheWindowFollowingThePointer) {
    BodyDrag drag;
    const QPoint start = window.frameGeometry().topLeft();
    Send(drag, QEvent::MouseButtonPress, {150, 150}, Qt::LeftButton, Qt::LeftButton);
    Send(drag, QEvent::MouseButtonRelease, {150, 150}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(drag.active());
    // The pointer goes on without a button: nothing follows it, and no system move was asked.
    Send(drag, QEvent::MouseMove, {300, 260}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(window.frameGeometry().topLeft(), start);
    EXPECT_EQ(systemMoves, 0);
}

TEST_F(BodyDragTest, TheSystemMoveIsAskedOnTheFirstHeldMoveElseTheWindowIsMovedHere) {
    takeSystemMoves = 1;
    BodyDrag drag;
    const QPoint start = window.frameGeometry().topLeft();
    Send(drag, QEvent::MouseButtonPress, {150, 150}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(systemMoves, 0);  // not on the press
    Send(drag, QEvent::MouseMove, {160, 155}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(systemMoves, 1);
    EXPECT_FALSE(drag.active());  // the window system has it now
    EXPECT_EQ(window.frameGeometry().topLeft(), start);

    // No window-system move: the window follows the pointer while the button is held, and a
    // move whose release went elsewhere ends it.
    Send(drag, QEvent::MouseButtonPress, {150, 150}, Qt::LeftButton, Qt::LeftButton);
    Send(drag, QEvent::MouseMove, {170, 160}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(systemMoves, 2);
    EXPECT_EQ(window.frameGeometry().topLeft(), start + QPoint(20, 10));
    Send(drag, QEvent::MouseMove, {180, 170}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(systemMoves, 2);  // asked once per press
    EXPECT_EQ(window.frameGeometry().topLeft(), start + QPoint(30, 20));
    Send(drag, QEvent::MouseMove, {250, 250}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(window.frameGeometry().topLeft(), start + QPoint(30, 20));
    EXPECT_FALSE(drag.active());
    // Other buttons do not drag.
    Send(drag, QEvent::MouseButtonPress, {150, 150}, Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(drag.active());
}
