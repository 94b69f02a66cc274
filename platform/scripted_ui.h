// A Ui for tests: records every call and answers from queues filled by the test. A call for
// which no answer was queued is recorded as unexpected (tests check `unexpected()` is empty) and
// answered as a cancel. Thread-safe: workers of the code under test may call it.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace platform {

class ScriptedUi : public Ui {
  public:
    struct Message {
        std::string text;
        std::string caption;
        MsgButtons buttons;
        MsgIcon icon;
    };
    // A folder dialog as it was shown: its title and initial folder, and the status lines it
    // showed (for the initial folder, then for the answered folder).
    struct FolderDialog {
        std::string title;
        std::string initialFolder;
        std::vector<std::string> statusTexts;
    };
    struct Started {
        std::string program;  // for ShellOpen: the target
        std::vector<std::string> args;
        bool shellOpen = false;
    };

    // Answers, consumed in order. Message boxes with one OK button need no answer: they are
    // answered Ok. Other message boxes take the next queued result.
    void QueueMessageResult(MsgResult result);
    void QueueOpenFiles(std::vector<std::string> paths);  // empty vector = user cancelled
    void QueueSaveFile(std::optional<std::string> path);  // nullopt = user cancelled
    // A name typed into the save dialog with the filter at `filterIndex` chosen: it takes that
    // filter's extension when it has none, as the real dialog gives it.
    void QueueSaveFileTyped(std::string typed, int filterIndex);
    void QueuePickFolder(std::optional<std::string> path);
    // Result of the next ShellOpen/StartProgram (default kShellOk when nothing is queued).
    void QueueShellResult(ShellResult result);

    std::vector<Message> messages() const;
    // Texts of the messages shown so far, in order.
    std::vector<std::string> messageTexts() const;
    std::vector<FileDialogOptions> fileDialogs() const;
    // Folder dialogs shown through BrowseForFolder (answers come from QueuePickFolder).
    std::vector<FolderDialog> folderDialogs() const;
    std::vector<Started> started() const;
    std::vector<std::string> unexpected() const;
    virtual void Clear();

    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::vector<std::string> OpenFiles(const FileDialogOptions& options) override;
    std::optional<std::string> SaveFile(const FileDialogOptions& options) override;
    std::optional<std::string> PickFolder(const std::string& title,
                                          const std::string& initialFolder) override;
    std::optional<std::string> BrowseForFolder(const FolderDialogOptions& options) override;
    ShellResult ShellOpen(const std::string& target) override;
    ShellResult StartProgram(const std::string& program,
                             const std::vector<std::string>& args) override;

  protected:
    // The next answer of `queue`, or nullopt recorded as an unexpected `what`.
    template <typename T>
    std::optional<T> NextAnswer(std::deque<T>& queue, const std::string& what) {
        std::lock_guard lock(mutex_);
        if (queue.empty()) {
            unexpected_.push_back(what);
            return std::nullopt;
        }
        T answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
    template <typename T>
    void Queue(std::deque<T>& queue, T answer) {
        std::lock_guard lock(mutex_);
        queue.push_back(std::move(answer));
    }
    template <typename T>
    void ClearQueue(std::deque<T>& queue) {
        std::lock_guard lock(mutex_);
        queue.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::deque<MsgResult> messageResults_;
    std::deque<std::vector<std::string>> openFiles_;
    struct SaveAnswer {
        std::optional<std::string> path;
        std::optional<int> filterIndex;  // set: a typed name, given the filter's extension
    };
    std::deque<SaveAnswer> saveFiles_;
    std::deque<std::optional<std::string>> folders_;
    std::deque<ShellResult> shellResults_;
    std::vector<Message> messages_;
    std::vector<FileDialogOptions> fileDialogs_;
    std::vector<FolderDialog> folderDialogs_;
    std::vector<Started> started_;
    std::vector<std::string> unexpected_;
};

// Installs a fresh scripted Ui of type T for the lifetime of the object and restores the previous
// Ui after.
template <typename T>
class ScopedUiOf {
  public:
    ScopedUiOf() {
        auto ui = std::make_unique<T>();
        ui_ = ui.get();
        previous_ = SetUi(std::move(ui));
    }
    ~ScopedUiOf() { SetUi(std::move(previous_)); }
    ScopedUiOf(const ScopedUiOf&) = delete;
    ScopedUiOf& operator=(const ScopedUiOf&) = delete;
    T& operator*() { return *ui_; }
    T* operator->() { return ui_; }

  private:
    T* ui_;
    std::unique_ptr<Ui> previous_;
};
using ScopedScriptedUi = ScopedUiOf<ScriptedUi>;

}  // namespace platform
