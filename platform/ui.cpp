#include "platform/ui.h"

#include <cstdio>
#include <mutex>

#include "platform/paths.h"
#include "platform/text.h"

namespace platform {
namespace {

std::mutex& UiMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<Ui>& Installed() {
    static std::unique_ptr<Ui> ui;
    return ui;
}

UiFactory& Fallback() {
    static UiFactory make = nullptr;
    return make;
}

// The Ui of a process without windows: nobody can answer, so nothing is asked.
class NoWindowUi : public Ui {
  public:
    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        switch (buttons) {
            case MsgButtons::Ok:
                return MsgResult::Ok;
            case MsgButtons::YesNo:
                return MsgResult::No;
            case MsgButtons::AbortRetryIgnore:
                return MsgResult::Abort;
            default:
                return MsgResult::Cancel;
        }
    }
    std::vector<std::string> OpenFiles(const FileDialogOptions&) override { return {}; }
    std::optional<std::string> SaveFile(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> PickFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    ShellResult ShellOpen(const std::string&) override { return 0; }
    ShellResult StartProgram(const std::string&, const std::vector<std::string>&) override {
        return 0;
    }
};

std::string& Name() {
    static std::string name = "Ringsmith";
    return name;
}

}  // namespace

Ui& GetUi() {
    std::lock_guard lock(UiMutex());
    if (!Installed()) {
        if (Fallback()) Installed() = Fallback()();
        if (!Installed()) Installed() = std::make_unique<NoWindowUi>();
    }
    return *Installed();
}

void SetUiFallback(UiFactory make) {
    std::lock_guard lock(UiMutex());
    Fallback() = make;
}

std::unique_ptr<Ui> SetUi(std::unique_ptr<Ui> ui) {
    std::lock_guard lock(UiMutex());
    std::unique_ptr<Ui> previous = std::move(Installed());
    Installed() = std::move(ui);
    return previous;
}

std::string SaveExtensionFor(const FileDialogOptions& options, int filterIndex) {
    // "Name|pattern|Name|pattern||": the patterns of pair `filterIndex`.
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t bar; (bar = options.filter.find('|', from)) != std::string::npos; from = bar + 1)
        parts.push_back(options.filter.substr(from, bar - from));
    const size_t at = static_cast<size_t>(filterIndex) * 2 + 1;
    if (filterIndex <= 0 || at >= parts.size()) return options.defaultExt;
    const std::string& patterns = parts[at];
    const std::string first = patterns.substr(0, patterns.find(';'));
    const size_t dot = first.rfind('.');
    if (first.rfind("*.", 0) != 0 || dot != 1) return options.defaultExt;
    const std::string ext = first.substr(2);
    if (ext.empty() || ext.find_first_of("*?[") != std::string::npos) return options.defaultExt;
    return EqualsNoCase(ext, options.defaultExt) ? options.defaultExt : ext;
}

std::string WithExtensionIfNone(const std::string& path, const std::string& ext) {
    const size_t slash = path.find_last_of(kSeparator);
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (ext.empty() || nameStart == path.size() || path.find('.', nameStart) != std::string::npos)
        return path;
    return path + "." + ext;
}

void SetProgramName(const std::string& name) { Name() = name; }
const std::string& ProgramName() { return Name(); }

MsgResult ShowMessage(const std::string& text, MsgIcon icon) {
    return GetUi().MessageBox(text, ProgramName(), MsgButtons::Ok, icon);
}

MsgResult ShowSuccess(const std::string& text) { return ShowMessage(text, MsgIcon::Information); }

}  // namespace platform
