#include "platform/scripted_ui.h"

namespace platform {

void ScriptedUi::QueueMessageResult(MsgResult result) {
    std::lock_guard lock(mutex_);
    messageResults_.push_back(result);
}
void ScriptedUi::QueueOpenFiles(std::vector<std::string> paths) {
    std::lock_guard lock(mutex_);
    openFiles_.push_back(std::move(paths));
}
void ScriptedUi::QueueSaveFile(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    saveFiles_.push_back({std::move(path), std::nullopt});
}
void ScriptedUi::QueueSaveFileTyped(std::string typed, int filterIndex) {
    std::lock_guard lock(mutex_);
    saveFiles_.push_back({std::move(typed), filterIndex});
}
void ScriptedUi::QueuePickFolder(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    folders_.push_back(std::move(path));
}
void ScriptedUi::QueueShellResult(ShellResult result) {
    std::lock_guard lock(mutex_);
    shellResults_.push_back(result);
}

std::vector<ScriptedUi::Message> ScriptedUi::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}
std::vector<std::string> ScriptedUi::messageTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const Message& m : messages_) texts.push_back(m.text);
    return texts;
}
std::vector<FileDialogOptions> ScriptedUi::fileDialogs() const {
    std::lock_guard lock(mutex_);
    return fileDialogs_;
}
std::vector<ScriptedUi::FolderDialog> ScriptedUi::folderDialogs() const {
    std::lock_guard lock(mutex_);
    return folderDialogs_;
}
std::vector<ScriptedUi::Started> ScriptedUi::started() const {
    std::lock_guard lock(mutex_);
    return started_;
}
std::vector<std::string> ScriptedUi::unexpected() const {
    std::lock_guard lock(mutex_);
    return unexpected_;
}
void ScriptedUi::Clear() {
    std::lock_guard lock(mutex_);
    messageResults_.clear();
    openFiles_.clear();
    saveFiles_.clear();
    folders_.clear();
    shellResults_.clear();
    messages_.clear();
    fileDialogs_.clear();
    folderDialogs_.clear();
    started_.clear();
    unexpected_.clear();
}

MsgResult ScriptedUi::MessageBox(const std::string& text, const std::string& caption,
                                 MsgButtons buttons, MsgIcon icon) {
    std::lock_guard lock(mutex_);
    messages_.push_back({text, caption, buttons, icon});
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    if (messageResults_.empty()) {
        unexpected_.push_back("message box: " + text);
        return MsgResult::Cancel;
    }
    const MsgResult result = messageResults_.front();
    messageResults_.pop_front();
    return result;
}

std::vector<std::string> ScriptedUi::OpenFiles(const FileDialogOptions& options) {
    std::lock_guard lock(mutex_);
    fileDialogs_.push_back(options);
    if (openFiles_.empty()) {
        unexpected_.push_back("open dialog: " + options.filter);
        return {};
    }
    auto paths = std::move(openFiles_.front());
    openFiles_.pop_front();
    return paths;
}

std::optional<std::string> ScriptedUi::SaveFile(const FileDialogOptions& options) {
    std::lock_guard lock(mutex_);
    fileDialogs_.push_back(options);
    if (saveFiles_.empty()) {
        unexpected_.push_back("save dialog: " + options.filter);
        return std::nullopt;
    }
    SaveAnswer answer = std::move(saveFiles_.front());
    saveFiles_.pop_front();
    if (answer.path && answer.filterIndex)
        return WithExtensionIfNone(*answer.path, SaveExtensionFor(options, *answer.filterIndex));
    return answer.path;
}

std::optional<std::string> ScriptedUi::PickFolder(const std::string& title,
                                                  const std::string& /*initialFolder*/) {
    std::lock_guard lock(mutex_);
    if (folders_.empty()) {
        unexpected_.push_back("folder picker: " + title);
        return std::nullopt;
    }
    auto path = std::move(folders_.front());
    folders_.pop_front();
    return path;
}

std::optional<std::string> ScriptedUi::BrowseForFolder(const FolderDialogOptions& options) {
    FolderDialog shown{options.title, options.initialFolder, {}};
    // The status texts are made outside the lock: the caller's function may do anything.
    if (options.statusText) shown.statusTexts.push_back(options.statusText(options.initialFolder));
    std::optional<std::string> answer = PickFolder(options.title, options.initialFolder);
    if (answer && options.statusText) shown.statusTexts.push_back(options.statusText(*answer));
    std::lock_guard lock(mutex_);
    folderDialogs_.push_back(std::move(shown));
    return answer;
}

ShellResult ScriptedUi::ShellOpen(const std::string& target) {
    std::lock_guard lock(mutex_);
    started_.push_back({target, {}, true});
    if (shellResults_.empty()) return kShellOk;
    const ShellResult result = shellResults_.front();
    shellResults_.pop_front();
    return result;
}

ShellResult ScriptedUi::StartProgram(const std::string& program,
                                     const std::vector<std::string>& args) {
    std::lock_guard lock(mutex_);
    started_.push_back({program, args, false});
    if (shellResults_.empty()) return kShellOk;
    const ShellResult result = shellResults_.front();
    shellResults_.pop_front();
    return result;
}

}  // namespace platform
