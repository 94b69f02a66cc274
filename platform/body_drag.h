// Moving a window without a caption by a press on its body. The window system's own move is
// asked for only once the pointer moves with the button still held, so a press and release in
// the same instant (a touchpad tap) never leaves the window following the pointer; every release
// ends the drag. Where the window system does not move windows itself, the window is moved here.
#pragma once

#include <QPoint>
#include <functional>

class QMouseEvent;
class QWidget;
class QWindow;

namespace platform {

class BodyDrag {
  public:
    // Each returns true when it took the event.
    bool Press(QWidget* window, QMouseEvent* event);
    bool Move(QWidget* window, QMouseEvent* event);
    bool Release(QMouseEvent* event);
    bool active() const { return pressed_; }

    // Stands in for QWindow::startSystemMove (tests); an empty function restores it.
    using SystemMove = std::function<bool(QWindow*)>;
    static void SetSystemMoveForTests(SystemMove move);

  private:
    bool pressed_ = false;
    bool systemTried_ = false;
    QPoint offset_;  // pointer position less the window's top left corner
};

}  // namespace platform
