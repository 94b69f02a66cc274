#include "platform/ui.h"

#include <mutex>

#include "platform/paths.h"
#include "platform/qt_ui.h"
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

std::string& Name() {
    static std::string name = "Ringsmith";
    return name;
}

}  // namespace

std::optional<FontChoice> Ui::PickFontAndColor(const QFont& initial, const QColor& initialColor) {
    std::optional<QFont> font = PickFont(initial);
    if (!font) return std::nullopt;
    return FontChoice{*font, initialColor};
}

Ui& GetUi() {
    std::lock_guard lock(UiMutex());
    if (!Installed()) Installed() = MakeQtUi();
    return *Installed();
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
