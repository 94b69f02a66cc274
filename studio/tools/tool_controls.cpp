#include "studio/tools/tool_controls.h"

#include "uikit/skin_buttons.h"

namespace studio {

platform::ControlSpec XPButtonSpec(int id, const std::string& caption, const QRect& rect,
                                   bool defaultButton, bool hidden) {
    platform::ControlSpec spec{id, platform::ControlKind::Custom, caption, rect};
    spec.hidden = hidden;
    spec.defaultButton = defaultButton;
    spec.factory = [caption, defaultButton](QWidget* parent) {
        auto* button = new CXPButton(QString::fromStdString(caption), parent);
        button->setDefault(defaultButton);
        button->setAutoDefault(defaultButton);
        return button;
    };
    return spec;
}

}  // namespace studio
