// Start-up of the disc burner: the dialog colours, the registration of the CD-writer control
// and the modal run of the main window. The program ends when the main window closes.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "burner/cd_writer_x.h"
#include "burner/command_line.h"
#include "platform/dialog.h"

namespace burner {

using MainWindowFactory = std::function<std::unique_ptr<platform::Dialog>()>;

// The burner's main window, made for the modal run.
std::unique_ptr<platform::Dialog> MakeMainWindow();
// The main window of a start from the command line: it loads `files` once it runs. When a state
// report is asked for (platform/state_report.h), it reports once they are loaded: "rows=" the
// number of rows, a "row=TITLE|TIME|PATH" line each, "total=" and "capacity=" the capacity line.
std::unique_ptr<platform::Dialog> MakeMainWindowOpening(std::vector<StartFile> files);

// CBurnerApp's start-up: dialog colours RGB(209, 224, 252) on RGB(1, 34, 99), the control
// registered, the main window run modally. Returns false: no message loop follows.
bool InitInstance(const MainWindowFactory& makeMainWindow = MakeMainWindow);

}  // namespace burner
