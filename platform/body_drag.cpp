#include "platform/body_drag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace platform {
namespace {

BodyDrag::SystemMove& SystemMoveOverride() {
    static BodyDrag::SystemMove move;
    return move;
}

bool StartSystemMove(QWindow* window) {
    if (!window) return false;
    if (const BodyDrag::SystemMove& move = SystemMoveOverride()) return move(window);
    return window->startSystemMove();
}

}  // namespace

void BodyDrag::SetSystemMoveForTests(SystemMove move) { SystemMoveOverride() = std::move(move); }

bool BodyDrag::Press(QWidget* window, QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    pressed_ = true;
    systemTried_ = false;
    offset_ = event->globalPosition().toPoint() - window->frameGeometry().topLeft();
    return true;
}

bool BodyDrag::Move(QWidget* window, QMouseEvent* event) {
    if (!pressed_) return false;
    // A move without the button means its release went elsewhere: the drag is over.
    if (!(event->buttons() & Qt::LeftButton)) {
        pressed_ = false;
        return false;
    }
    if (!systemTried_) {
        systemTried_ = true;
        if (StartSystemMove(window->windowHandle())) {
            // The window system moves the window until the button is let go.
            pressed_ = false;
            return true;
        }
    }
    window->move(event->globalPosition().toPoint() - offset_);
    return true;
}

bool BodyDrag::Release(QMouseEvent* event) {
    const bool was = pressed_;
    if (event->button() == Qt::LeftButton) pressed_ = false;
    return was;
}

}  // namespace platform
