// The user-interface service of vexmor. The plain classes the commands reuse tell the user
// about a refusal through platform::GetUi() ("Time is too short!"); on the command line nobody
// answers a dialog, so this Ui keeps each message for the command to report as the reason of
// the failure. Questions are answered No (Cancel where there is no No), dialogs are cancelled
// and no program is started. Thread-safe: the classes may call it from their workers.
#pragma once

#include <mutex>
#include <string>

#include "platform/ui.h"

namespace cli {

class ConsoleUi : public platform::Ui {
  public:
    // The messages shown since the last call, joined by a blank; empty when there were none.
    std::string TakeMessages();

    platform::MsgResult MessageBox(const std::string& text, const std::string& caption,
                                   platform::MsgButtons buttons, platform::MsgIcon icon) override;
    std::vector<std::string> OpenFiles(const platform::FileDialogOptions&) override { return {}; }
    std::optional<std::string> SaveFile(const platform::FileDialogOptions&) override {
        return std::nullopt;
    }
    std::optional<std::string> PickFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }

    platform::ShellResult ShellOpen(const std::string&) override { return 0; }
    platform::ShellResult StartProgram(const std::string&,
                                       const std::vector<std::string>&) override {
        return 0;
    }

  private:
    std::mutex mutex_;
    std::string messages_;
};

// Installs the console's Ui as the process's service (once) and returns it.
ConsoleUi& InstallConsoleUi();

}  // namespace cli
