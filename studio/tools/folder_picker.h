// Choosing an output folder: the desktop's folder dialog with a title above the folders and,
// when asked for, a status line that names the folder selected, shortened to fit.
//
// Used by the batch down-sizer and the CD ripper: the caller constructs the picker with its
// window and the string id of the title, sets the flags and the initial folder, runs it and,
// when running returned true, reads the chosen folder.
#pragma once

#include <string>

class QWidget;

namespace studio {

// Browse flags, with the values the callers' design gives them.
inline constexpr unsigned kBrowseFileSystemOnly = 0x0001;  // only folders with a path
inline constexpr unsigned kBrowseStatusText = 0x0004;      // show the status line

// String id of the title both tools give their output-folder picker.
inline constexpr int kOutputFolderTitleId = 109;

// An output folder as the user typed it, made a full path: "~" and "~/..." lie in the home
// folder, and so does a relative name (the home folder is where the folder picker starts), never
// in the program's working folder. "" stays "".
std::string TypedFolderPath(const std::string& typed);

// The text of string `id` of the studio's string table; empty for an unknown id.
std::string StudioString(int id);

class CFolderPicker {
  public:
    // A status text longer than this many characters is shortened.
    static constexpr size_t kStatusTextMax = 55;
    // Characters a shortened status text keeps from the end of the folder, before the "...".
    static constexpr size_t kStatusTextTail = 53;

    CFolderPicker(QWidget* owner, int titleId);

    void SetFlags(unsigned flags) { flags_ = flags; }
    unsigned flags() const { return flags_; }
    void SetInitialFolder(const std::string& folder) { initialFolder_ = folder; }
    const std::string& title() const { return title_; }

    // Shows the dialog. True when the user chose a folder with a path; Folder() then holds it.
    bool Run();
    const std::string& Folder() const { return folder_; }

    // The status line of `folder`: as it is up to kStatusTextMax characters; a longer one
    // keeps its last kStatusTextTail characters from the first separator among them on (all of
    // them when there is none), after "...". Characters, not bytes, so a name is never cut
    // inside a letter.
    static std::string StatusText(const std::string& folder);

  private:
    QWidget* owner_;
    std::string title_;
    unsigned flags_ = 0;
    std::string initialFolder_;
    std::string folder_;
};

}  // namespace studio
