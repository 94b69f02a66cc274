// Template entries of the skinned controls that the studio's tool dialogs share.
#pragma once

#include <QRect>
#include <string>

#include "platform/dialog.h"

namespace studio {

using platform::Ltrb;

// A gradient push button (CXPButton) as a template control.
platform::ControlSpec XPButtonSpec(int id, const std::string& caption, const QRect& rect,
                                   bool defaultButton = false, bool hidden = false);

}  // namespace studio
