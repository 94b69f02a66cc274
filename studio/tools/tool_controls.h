// Template entries of the skinned controls that the studio's tool dialogs share.
#pragma once

#include <QRect>
#include <string>

#include "platform/dialog.h"

namespace studio {

// A rectangle from its left, top, right and bottom edges (right and bottom exclusive).
QRect Ltrb(int left, int top, int right, int bottom);

// A gradient push button (CXPButton) as a template control.
platform::ControlSpec XPButtonSpec(int id, const std::string& caption, const QRect& rect,
                                   bool defaultButton = false, bool hidden = false);

}  // namespace studio
