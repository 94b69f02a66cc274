#include "cli/console_ui.h"

#include <memory>

namespace cli {

std::string ConsoleUi::TakeMessages() {
    std::lock_guard lock(mutex_);
    std::string taken;
    taken.swap(messages_);
    return taken;
}

platform::MsgResult ConsoleUi::MessageBox(const std::string& text, const std::string&,
                                          platform::MsgButtons buttons, platform::MsgIcon) {
    {
        std::lock_guard lock(mutex_);
        if (!messages_.empty()) messages_ += ' ';
        messages_ += text;
    }
    switch (buttons) {
        case platform::MsgButtons::Ok:
            return platform::MsgResult::Ok;
        case platform::MsgButtons::YesNo:
        case platform::MsgButtons::YesNoCancel:
            return platform::MsgResult::No;
        case platform::MsgButtons::AbortRetryIgnore:
            return platform::MsgResult::Abort;
        default:
            return platform::MsgResult::Cancel;
    }
}

ConsoleUi& InstallConsoleUi() {
    static ConsoleUi* installed = [] {
        auto ui = std::make_unique<ConsoleUi>();
        ConsoleUi* raw = ui.get();
        platform::SetUi(std::move(ui));
        return raw;
    }();
    return *installed;
}

}  // namespace cli
