// The scripted Ui of window tests: ScriptedUi with the colour and font dialogs, answered from
// queues as the other dialogs are (an unqueued one is recorded as unexpected and cancelled).
#pragma once

#include <deque>
#include <optional>

#include "platform/gui_ui.h"
#include "platform/scripted_ui.h"

namespace platform {

class ScriptedGuiUi : public ScriptedUi, public ColorFontDialogs {
  public:
    void QueuePickColor(std::optional<QColor> color) { Queue(colors_, std::move(color)); }
    void QueuePickFont(std::optional<QFont> font) { Queue(fonts_, std::move(font)); }
    void QueuePickFontAndColor(std::optional<FontChoice> choice) {
        Queue(fontChoices_, std::move(choice));
    }
    void Clear() override;

    std::optional<QColor> PickColor(const QColor& initial) override;
    std::optional<QFont> PickFont(const QFont& initial) override;
    std::optional<FontChoice> PickFontAndColor(const QFont& initial,
                                               const QColor& initialColor) override;

  private:
    std::deque<std::optional<QColor>> colors_;
    std::deque<std::optional<QFont>> fonts_;
    std::deque<std::optional<FontChoice>> fontChoices_;
};

using ScopedScriptedGuiUi = ScopedUiOf<ScriptedGuiUi>;

}  // namespace platform
