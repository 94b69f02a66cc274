#include "studio/tools/folder_picker.h"

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/ui.h"

namespace studio {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset at which the last `count` characters of UTF-8 `text` start (0 when it has fewer).
size_t StartOfLastCharacters(const std::string& text, size_t count) {
    size_t at = text.size();
    size_t seen = 0;
    while (at > 0 && seen < count) {
        --at;
        if (!IsContinuationByte(text[at])) ++seen;
    }
    return at;
}

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (const char c : text) count += IsContinuationByte(c) ? 0 : 1;
    return count;
}

}  // namespace

std::string TypedFolderPath(const std::string& typed) {
    if (typed.empty() || typed[0] == platform::kSeparator) return typed;
    const std::string home = platform::HomeFolder();
    if (typed == "~") return home;
    if (typed.rfind("~/", 0) == 0) return platform::JoinPath(home, typed.substr(2));
    return platform::JoinPath(home, typed);
}

std::string StudioString(int id) {
    switch (id) {
        case kOutputFolderTitleId:
            return "Select the folder for your mp3s:";
        default:
            return {};
    }
}

CFolderPicker::CFolderPicker(QWidget* owner, int titleId)
    : owner_(owner), title_(StudioString(titleId)) {}

std::string CFolderPicker::StatusText(const std::string& folder) {
    if (CharacterCount(folder) <= kStatusTextMax) return folder;
    std::string tail = folder.substr(StartOfLastCharacters(folder, kStatusTextTail));
    const size_t separator = tail.find(platform::kSeparator);
    if (separator != std::string::npos) tail.erase(0, separator);
    return "..." + tail;
}

bool CFolderPicker::Run() {
    platform::FolderDialogOptions options;
    options.owner = owner_;
    options.title = title_;
    options.initialFolder = initialFolder_;
    if (flags_ & kBrowseStatusText) options.statusText = &CFolderPicker::StatusText;
    const std::optional<std::string> chosen = platform::GetUi().BrowseForFolder(options);
    // Every folder the dialog offers lies in the file system; an empty answer names none.
    if (!chosen || chosen->empty()) return false;
    folder_ = *chosen;
    return true;
}

}  // namespace studio
