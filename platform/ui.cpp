#include "platform/ui.h"

#include <mutex>

#include "platform/qt_ui.h"

namespace platform {
namespace {

std::mutex& UiMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<Ui>& Installed() {
    static std::unique_ptr<Ui> ui;
    return ui;
}

std::string& Name() {
    static std::string name = "Ringsmith";
    return name;
}

}  // namespace

std::optional<FontChoice> Ui::PickFontAndColor(const QFont& initial, const QColor& initialColor) {
    std::optional<QFont> font = PickFont(initial);
    if (!font) return std::nullopt;
    return FontChoice{*font, initialColor};
}

Ui& GetUi() {
    std::lock_guard lock(UiMutex());
    if (!Installed()) Installed() = MakeQtUi();
    return *Installed();
}

std::unique_ptr<Ui> SetUi(std::unique_ptr<Ui> ui) {
    std::lock_guard lock(UiMutex());
    std::unique_ptr<Ui> previous = std::move(Installed());
    Installed() = std::move(ui);
    return previous;
}

void SetProgramName(const std::string& name) { Name() = name; }
const std::string& ProgramName() { return Name(); }

MsgResult ShowMessage(const std::string& text, MsgIcon icon) {
    return GetUi().MessageBox(text, ProgramName(), MsgButtons::Ok, icon);
}

MsgResult ShowSuccess(const std::string& text) { return ShowMessage(text, MsgIcon::Information); }

}  // namespace platform
