// Rectangles of dialog templates and window layouts, which give a control's left, top, right
// and bottom edges (right and bottom exclusive) rather than a size.
#pragma once

#include <QPoint>
#include <QRect>

namespace platform {

constexpr QRect Ltrb(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace platform
