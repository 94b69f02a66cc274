// The window that start-up runs modally: the studio's main window.
#include "platform/dialog.h"
#include "studio/app.h"
#include "studio/main_window.h"

namespace studio {

std::unique_ptr<platform::Dialog> MakeMainWindow() { return std::make_unique<CRingsmithDlg>(); }

}  // namespace studio
