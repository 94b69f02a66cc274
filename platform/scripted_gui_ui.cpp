#include "platform/scripted_gui_ui.h"

namespace platform {

void ScriptedGuiUi::Clear() {
    ScriptedUi::Clear();
    ClearQueue(colors_);
    ClearQueue(fonts_);
    ClearQueue(fontChoices_);
}

std::optional<QColor> ScriptedGuiUi::PickColor(const QColor& /*initial*/) {
    return NextAnswer(colors_, "colour dialog").value_or(std::nullopt);
}

std::optional<QFont> ScriptedGuiUi::PickFont(const QFont& /*initial*/) {
    return NextAnswer(fonts_, "font dialog").value_or(std::nullopt);
}

std::optional<FontChoice> ScriptedGuiUi::PickFontAndColor(const QFont& /*initial*/,
                                                          const QColor& /*initialColor*/) {
    return NextAnswer(fontChoices_, "font and colour dialog").value_or(std::nullopt);
}

}  // namespace platform
