#include "burner/app.h"

#include <QColor>

#include "burner/burner_dlg.h"
#include "platform/control_host.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace burner {

bool RegisterWriterControl() {
    const std::string path = platform::JoinPath(platform::SystemDirectory(), kWriterModule);
    return platform::CallDllRegisterServer(path).has_value();
}

std::unique_ptr<platform::Dialog> MakeMainWindow() { return std::make_unique<CBurnerDlg>(); }

bool InitInstance(const MainWindowFactory& makeMainWindow) {
    // Control hosting and the platform's control look need no switching on here.
    platform::SetDialogColors(QColor(209, 224, 252), QColor(1, 34, 99));
    RegisterWriterControl();
    if (std::unique_ptr<platform::Dialog> mainWindow = makeMainWindow()) mainWindow->DoModal();
    return false;
}

}  // namespace burner
