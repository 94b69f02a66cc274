#include "platform/gui_ui.h"

#include "platform/qt_ui.h"

namespace platform {

std::optional<FontChoice> ColorFontDialogs::PickFontAndColor(const QFont& initial,
                                                             const QColor& initialColor) {
    std::optional<QFont> font = PickFont(initial);
    if (!font) return std::nullopt;
    return FontChoice{*font, initialColor};
}

ColorFontDialogs& GetColorFontDialogs() {
    if (auto* dialogs = dynamic_cast<ColorFontDialogs*>(&GetUi())) return *dialogs;
    static const std::unique_ptr<GuiUi> qt = MakeQtUi();
    return *qt;
}

}  // namespace platform
