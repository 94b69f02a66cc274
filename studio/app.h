// Start-up of the ringtone studio: the application object's settings sequence, the installation
// check of the outside components, the registration of the wave-editor control, and the modal
// run of the main window. The program ends when the main window closes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace studio {

// The outside files the studio needs in the system directory, in the order they are checked:
// the codec engine, the wave-editor control and the MMF authoring tool.
inline constexpr const char* kRequiredComponents[] = {"VxMpp.so", "vexmor.so", "wscma2u"};

// Full paths of the required files, in check order.
std::vector<std::string> RequiredComponentPaths();
// The first required file that does not exist, or nullopt when all are there.
std::optional<std::string> FirstMissingComponent();

// Loads the wave-editor control's library, calls its DllRegisterServer when it has one (the
// result is not looked at) and unloads it. Returns whether DllRegisterServer was called; a
// library that does not load or lacks it is skipped silently.
bool RegisterEditorControl();

class Session;

// Construction of the application object: the settings start-up sequence of `session`.
void ConstructApplication(Session& session);

using MainWindowFactory = std::function<std::unique_ptr<platform::Dialog>()>;

// The studio's main window of `session`, made for the modal run.
std::unique_ptr<platform::Dialog> MakeMainWindow(Session& session);
// The main window of a start from the command line: it opens `song` (when there is one) once it
// runs, as "Open mp3" would. When a state report is asked for (platform/state_report.h), it
// reports once that open has settled: "file=" the current file, "editor=" empty, loading, shown
// or failed, and "seconds=" the length of the sound shown.
std::unique_ptr<platform::Dialog> MakeMainWindowOpening(Session& session,
                                                        const std::optional<std::string>& song);

// The start-up sequence: main window made, required files checked in order ("Please reinstall
// it!" at the first missing one, and nothing more), the control registered, the dialog colours
// set, the main window run modally. Returns false in every case: the program ends afterwards.
bool InitInstance(const MainWindowFactory& makeMainWindow);

}  // namespace studio
