// The dialog base of every window of the programs.
//
// A dialog is built from a template: a list of controls, each with a numeric id, a kind, a
// caption and a rectangle. Controls are found again by id; commands of the controls (a button
// clicked, a selection changed, ...) go through one table of handlers per dialog; numbered
// window timers and posted messages are delivered on the GUI thread to virtual handlers; Esc
// and Enter can be swallowed so that the dialog never closes on them.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/template_rect.h"

class QTimer;

namespace platform {

// End codes of a modal dialog, as the design's buttons return them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
// The id of controls that are never looked up (labels).
inline constexpr int IDC_STATIC = -1;

using WParam = std::uintptr_t;
using LParam = std::intptr_t;

enum class ControlKind {
    Button,     // QPushButton
    Static,     // QLabel
    Edit,       // QLineEdit
    CheckBox,   // QCheckBox
    ListView,   // QTreeWidget without root decoration (report-style list)
    Progress,   // QProgressBar, range 0..100
    Slider,     // horizontal QSlider
    ComboBox,   // QComboBox (drop-down list)
    GroupBox,   // QGroupBox
    Custom,     // made by ControlSpec::factory
};

// What happened to a control; the second half of a command.
enum class Notify {
    Clicked,       // button or check box clicked; list view item clicked
    SelChange,     // combo box selection changed by the user; list view current row changed
    Change,        // edit text changed
    DoubleClick,   // list view item double-clicked
    Scroll,        // slider moved
};

// Makes a custom control; the widget is made a child of `parent`.
using ControlFactory = std::function<QWidget*(QWidget* parent)>;

struct ControlSpec {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    std::string caption;
    QRect rect;  // in the template's units (pixels or dialog units)
    bool defaultButton = false;
    bool hidden = false;
    bool disabled = false;
    ControlFactory factory;  // ControlKind::Custom only
};

enum class TemplateUnits { Pixels, DialogUnits };

struct DialogTemplate {
    std::string caption;
    QSize size;  // client size, in `units`; empty: the dialog keeps its own size
    TemplateUnits units = TemplateUnits::Pixels;
    // Dialog font; an empty family keeps the application's font. The design's Windows font
    // names are mapped by fontconfig to a local font of the same style.
    std::string fontFamily;
    int fontPointSize = 0;
    std::vector<ControlSpec> controls;
};

// The dialog base units of `font`: x is the average width of the letters A-Z and a-z, y the
// font's height, both in pixels.
QSize DialogBaseUnits(const QFont& font);
// Dialog units into pixels through the base units of `font`: x and widths by base x / 4, y
// and heights by base y / 8, rounded to nearest.
QRect DialogUnitsToPixels(const QRect& dialogUnits, const QFont& font);
QSize DialogUnitsToPixels(const QSize& dialogUnits, const QFont& font);

// The application-wide dialog colours: every Dialog made afterwards, and the message boxes of
// the Qt Ui, use `background` as window colour and `text` as text colour.
void SetDialogColors(const QColor& background, const QColor& text);
// Whether SetDialogColors was called, and the colours it set.
bool HaveDialogColors();
QColor DialogBackgroundColor();
QColor DialogTextColor();
// `base` in the dialog colours: window and button faces in the background colour, white fields,
// the text colour for every text (greyed when disabled). Needs SetDialogColors.
QPalette DialogPalette(const QPalette& base);
// Applies the dialog colours (when set) to `widget`'s palette.
void ApplyDialogColors(QWidget* widget);

class Dialog;

// A handle through which any thread may post messages to a dialog, also after the dialog is
// gone: posting to a closed dialog does nothing and returns false.
class MessagePoster {
public:
    MessagePoster() = default;
    bool PostMessage(unsigned msg, WParam w = 0, LParam l = 0) const;
    // Sets the position of progress bar `id` on the GUI thread.
    bool SetProgressPos(int id, int pos) const;

private:
    friend class Dialog;
    struct Target;
    explicit MessagePoster(std::shared_ptr<Target> target) : target_(std::move(target)) {}
    std::shared_ptr<Target> target_;
};

class Dialog : public QDialog {
    Q_OBJECT

public:
    using CommandHandler = std::function<void()>;
    using MessageHandler = std::function<void(WParam, LParam)>;

    explicit Dialog(QWidget* parent = nullptr);
    explicit Dialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~Dialog() override;

    // Creates the template's controls (in template order, which is also the tab order) and
    // applies its caption, font and size. May be called once, by a subclass whose template
    // depends on its own state.
    void Build(const DialogTemplate& dialogTemplate);

    // The control with `id`, or null. Template order decides when an id occurs twice.
    QWidget* Item(int id) const;
    template <typename T>
    T* Control(int id) const {
        return qobject_cast<T*>(Item(id));
    }
    // Makes `widget` (a child of this dialog) reachable as control `id` and routes its
    // standard commands. Used for controls made outside the template.
    void AddControl(int id, QWidget* widget);

    // Handler tables. A command is a control id with a notification; registering a handler
    // for the same pair again replaces the earlier one.
    void OnCommand(int id, CommandHandler handler, Notify code = Notify::Clicked);
    template <typename D>
    void OnCommand(int id, void (D::*method)(), Notify code = Notify::Clicked) {
        D* self = static_cast<D*>(this);
        OnCommand(id, [self, method] { (self->*method)(); }, code);
    }
    void OnMessageId(unsigned msg, MessageHandler handler);

    // Dispatches command (id, code) as a control would: to its handler; without one, IDOK and
    // IDCANCEL clicks end the dialog with that code. Returns whether anything handled it.
    bool Command(int id, Notify code = Notify::Clicked);

    // Whether Esc and Enter are dropped before any control or the dialog sees them.
    void SetSwallowEscEnter(bool swallow) { swallowEscEnter_ = swallow; }
    bool swallowEscEnter() const { return swallowEscEnter_; }

    // Numbered window timers, delivered to OnTimer(id). Setting an id that runs restarts it
    // with the new interval. Callable from any thread (queued to the GUI thread then).
    void SetTimer(int id, int ms);
    // Stops timer `id`; returns false when it did not run. Callable from any thread; the
    // return value is then whether the timer was known when the call was made.
    bool KillTimer(int id);
    bool IsTimerRunning(int id) const;

    // Posts a message that OnMessage(msg, w, l) receives on the GUI thread, in posting order.
    // Callable from any thread.
    bool PostMessage(unsigned msg, WParam w = 0, LParam l = 0);
    // A handle for workers that may outlive the dialog.
    MessagePoster Poster() const { return MessagePoster(target_); }

    // Sets progress bar `id` to `pos`; from a worker it is queued to the GUI thread.
    void SetProgressPos(int id, int pos);

    // Runs the dialog modally; returns the code given to EndDialog.
    int DoModal();
    // Ends the dialog with `code`. Callable from any thread.
    void EndDialog(int code);
    // Calls OnInitDialog once; showing the dialog does so too.
    void EnsureInitialized();

    // Control text helpers, by id; no-ops for unknown ids.
    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    void EnableItem(int id, bool enable);
    void ShowItem(int id, bool show);

protected:
    // Called once before the dialog is first shown.
    virtual void OnInitDialog() {}
    virtual void OnTimer(int id);
    // Without an override, messages go to the handler registered with OnMessageId.
    virtual void OnMessage(unsigned msg, WParam w, LParam l);
    // The close box (or a close request). By default the IDCANCEL command.
    virtual void OnClose();

    void reject() override;
    void accept() override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void RouteCommands(int id, QWidget* widget);
    void DoSetTimer(int id, int ms);
    bool DoKillTimer(int id);

    std::vector<std::pair<int, QWidget*>> controls_;
    std::map<std::pair<int, Notify>, CommandHandler> commands_;
    std::map<unsigned, MessageHandler> messages_;
    std::map<int, QTimer*> timers_;
    std::shared_ptr<MessagePoster::Target> target_;
    std::atomic<bool> swallowEscEnter_{false};
    bool initialized_ = false;
};

}  // namespace platform
