// User-interface services: every message box, file dialog, folder picker and shell start of the
// programs goes through the one installed `Ui`. This interface needs no window library, so the
// rules and the command line use it; the colour and font dialogs of the window programs are in
// platform/gui_ui.h.
//
// QtUi (platform/qt_ui.h) shows real dialogs and may be called from any thread: calls from a
// worker are carried out on the GUI thread and the worker waits for the answer. ScriptedUi
// (platform/scripted_ui.h) records every call and answers from a queue, for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace platform {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgIcon { None, Information, Exclamation, Error, Question };
// Values as the Windows message box returns them.
enum class MsgResult { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct FileDialogOptions {
    std::string title;          // empty: the platform's default title
    std::string defaultExt;     // without the dot; appended when the user typed no extension
    std::string filter;         // "MP3 files(*.mp3)|*.mp3||" style
    std::string initialFolder;  // empty: the platform's choice
    std::string initialName;
    bool mustExist = false;        // open dialogs: the file must exist
    bool multiSelect = false;      // open dialogs: several files may be chosen
    bool overwritePrompt = false;  // save dialogs: confirm before replacing a file
    bool hideReadOnly = false;     // the read-only check box has no meaning here; kept for callers
};

// The extension a save dialog gives a name typed without one, for the filter at `filterIndex`
// (0 the first) of `options.filter`: the first pattern's extension ("*.vxl" gives "vxl"). The
// default extension stands for a filter whose extension it is in another case, for the first
// filter, and for a filter without one ("*.*").
std::string SaveExtensionFor(const FileDialogOptions& options, int filterIndex);
// `path` with "." + `ext` appended when its file name has no extension (and `ext` is not empty).
std::string WithExtensionIfNone(const std::string& path, const std::string& ext);

// A folder dialog. With `statusText` set the dialog shows a status line under the folders: the
// text the function makes of the folder selected, shown when the dialog opens (for the initial
// folder) and again whenever the selection changes.
struct FolderDialogOptions {
    QWidget* owner = nullptr;   // null: the active window
    std::string title;          // shown above the folders
    std::string initialFolder;  // empty: the platform's choice
    std::function<std::string(const std::string& folder)> statusText;
};

// What a shell start returned, in the codes of the design: a value above 32 is success; 0 out of
// resources, 2 file not found, 31 no application associated, ...
using ShellResult = int;
inline constexpr ShellResult kShellOk = 42;

class Ui {
  public:
    virtual ~Ui() = default;

    virtual MsgResult MessageBox(const std::string& text, const std::string& caption,
                                 MsgButtons buttons, MsgIcon icon) = 0;

    // Chosen paths; empty when the user cancelled.
    virtual std::vector<std::string> OpenFiles(const FileDialogOptions& options) = 0;
    // Chosen path; nullopt when the user cancelled. A name typed without extension gets the one
    // of the filter chosen in the dialog (SaveExtensionFor).
    virtual std::optional<std::string> SaveFile(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> PickFolder(const std::string& title,
                                                  const std::string& initialFolder) = 0;
    // The folder dialog with a title above and, optionally, a status line. By default it is
    // PickFolder with the title and initial folder.
    virtual std::optional<std::string> BrowseForFolder(const FolderDialogOptions& options) {
        return PickFolder(options.title, options.initialFolder);
    }

    // Opens a document, folder or URL with the desktop's handler (xdg-open). The answer says
    // whether the handler could be started, not whether it opened the target.
    virtual ShellResult ShellOpen(const std::string& target) = 0;
    // Opens `target` as ShellOpen does without waiting for it, and calls `done` on the GUI
    // thread once the handler has ended: kShellOk when it opened the target, else an error code
    // (2 file not found, 31 no application for it, 0 any other failure). By default `done` gets
    // ShellOpen's answer at once.
    virtual void ShellOpenThen(const std::string& target, std::function<void(ShellResult)> done) {
        done(ShellOpen(target));
    }
    // Starts a program with an argument vector, never through a shell.
    virtual ShellResult StartProgram(const std::string& program,
                                     const std::vector<std::string>& args) = 0;
};

// The installed service. Before anything is installed the fallback's Ui is made and installed:
// the window programs name QtUi as the fallback (UseQtUiByDefault in platform/qt_ui.h); without
// one, message texts go to the standard error, questions are answered as cancelled, dialogs are
// cancelled and nothing is started.
Ui& GetUi();
// Installs `ui` and returns the one it replaces (may be null).
std::unique_ptr<Ui> SetUi(std::unique_ptr<Ui> ui);
// The Ui GetUi makes when none is installed; null: the one without windows described above.
using UiFactory = std::unique_ptr<Ui> (*)();
void SetUiFallback(UiFactory make);

// The program's name, the default caption of message boxes ("Ringsmith", "Discsmith").
void SetProgramName(const std::string& name);
const std::string& ProgramName();

// A message box with the program's name as caption and one OK button; the exclamation icon, as a
// plain message of the Windows programs shows it.
MsgResult ShowMessage(const std::string& text, MsgIcon icon = MsgIcon::Exclamation);
// A message that says a piece of work succeeded ("Complete!"): the information icon.
MsgResult ShowSuccess(const std::string& text);

}  // namespace platform
