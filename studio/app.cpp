#include "studio/app.h"

#include <QColor>

#include "platform/control_host.h"
#include "platform/dialog.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "studio/session.h"

namespace studio {

std::vector<std::string> RequiredComponentPaths() {
    const std::string dir = platform::SystemDirectory();
    std::vector<std::string> paths;
    for (const char* name : kRequiredComponents) paths.push_back(platform::JoinPath(dir, name));
    return paths;
}

std::optional<std::string> FirstMissingComponent() {
    for (const std::string& path : RequiredComponentPaths()) {
        if (!platform::FileExists(path)) return path;
    }
    return std::nullopt;
}

bool RegisterEditorControl() {
    const std::string path =
        platform::JoinPath(platform::SystemDirectory(), kRequiredComponents[1]);
    return platform::CallDllRegisterServer(path).has_value();
}

void ConstructApplication(Session& session) { session.LoadSettings(); }

bool InitInstance(const MainWindowFactory& makeMainWindow) {
    // Control hosting and the platform's control look need no switching on here.
    std::unique_ptr<platform::Dialog> mainWindow = makeMainWindow();
    if (FirstMissingComponent()) {
        platform::ShowMessage("Please reinstall it!");
        return false;
    }
    RegisterEditorControl();
    platform::SetDialogColors(QColor(213, 224, 247), QColor(1, 34, 99));
    if (mainWindow) mainWindow->DoModal();
    return false;
}

}  // namespace studio
