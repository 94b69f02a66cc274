#include "platform/dialog.h"

#include <QAbstractItemView>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>

namespace platform {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool OnGuiThread(const QObject* object) { return QThread::currentThread() == object->thread(); }

// Events the dialog posts to itself so that work asked for on any thread runs on its own.
const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kProgressEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kTimerRequestEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kEndDialogEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PostedMessageEvent : QEvent {
    PostedMessageEvent(unsigned m, WParam wp, LParam lp)
        : QEvent(kPostedMessageEvent), msg(m), w(wp), l(lp) {}
    unsigned msg;
    WParam w;
    LParam l;
};

// A progress position, a timer request (ms < 0: kill) or an end code for the GUI thread.
struct IntPairEvent : QEvent {
    IntPairEvent(QEvent::Type type, int a, int b) : QEvent(type), first(a), second(b) {}
    int first;
    int second;
};

// Drops Esc and Enter key presses aimed at any widget of a dialog that swallows them, before
// the focused control or the dialog's own key handling can act on them.
class EscEnterFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Escape && key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        if (!watched->isWidgetType()) return false;
        // An open cell editor of a list takes them itself: Enter keeps the text, Esc drops it.
        // (Handed on to the list and the dialog, they are dropped there.)
        const QWidget* parent = static_cast<QWidget*>(watched)->parentWidget();
        const auto* view = parent ? qobject_cast<const QAbstractItemView*>(parent->parentWidget())
                                  : nullptr;
        if (view && view->viewport() == parent) return false;
        const auto* dialog = qobject_cast<const Dialog*>(static_cast<QWidget*>(watched)->window());
        if (!dialog || !dialog->swallowEscEnter()) return false;
        event->accept();
        return true;
    }
};

void InstallEscEnterFilter() {
    static EscEnterFilter* filter = nullptr;
    if (filter || !qApp) return;
    filter = new EscEnterFilter(qApp);
    qApp->installEventFilter(filter);
}

struct DialogColors {
    std::mutex mutex;
    bool set = false;
    QColor background;
    QColor text;
};

DialogColors& Colors() {
    static DialogColors colors;
    return colors;
}

QWidget* MakeControl(const ControlSpec& spec, QWidget* parent) {
    const QString caption = Q(spec.caption);
    switch (spec.kind) {
        case ControlKind::Button: {
            auto* button = new QPushButton(caption, parent);
            button->setDefault(spec.defaultButton);
            return button;
        }
        case ControlKind::Static: return new QLabel(caption, parent);
        case ControlKind::Edit: return new QLineEdit(caption, parent);
        case ControlKind::CheckBox: return new QCheckBox(caption, parent);
        case ControlKind::ListView: {
            auto* list = new QTreeWidget(parent);
            list->setRootIsDecorated(false);
            list->setUniformRowHeights(true);
            list->setAllColumnsShowFocus(true);
            list->header()->setSectionsMovable(false);
            return list;
        }
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::Slider: return new QSlider(Qt::Horizontal, parent);
        case ControlKind::ComboBox: return new QComboBox(parent);
        case ControlKind::GroupBox: return new QGroupBox(caption, parent);
        case ControlKind::Custom: {
            QWidget* widget = spec.factory ? spec.factory(parent) : nullptr;
            if (widget && widget->parentWidget() != parent) widget->setParent(parent);
            return widget;
        }
    }
    return nullptr;
}

// Progress bars are QProgressBar or custom (skinned) controls with a "value" property.
void SetBarValue(QWidget* widget, int pos) {
    if (auto* bar = qobject_cast<QProgressBar*>(widget)) bar->setValue(pos);
    else if (widget && widget->metaObject()->indexOfProperty("value") >= 0)
        widget->setProperty("value", pos);
}

}  // namespace

QSize DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // Average letter width rounded to nearest, as the template engine computes it.
    return QSize((letters / 26 + 1) / 2, metrics.height());
}

QRect DialogUnitsToPixels(const QRect& dialogUnits, const QFont& font) {
    const QSize base = DialogBaseUnits(font);
    auto scale = [](int value, int unit, int divisor) {
        return static_cast<int>(std::lround(static_cast<double>(value) * unit / divisor));
    };
    return QRect(scale(dialogUnits.x(), base.width(), 4), scale(dialogUnits.y(), base.height(), 8),
                 scale(dialogUnits.width(), base.width(), 4),
                 scale(dialogUnits.height(), base.height(), 8));
}

QSize DialogUnitsToPixels(const QSize& dialogUnits, const QFont& font) {
    return DialogUnitsToPixels(QRect(QPoint(0, 0), dialogUnits), font).size();
}

void SetDialogColors(const QColor& background, const QColor& text) {
    DialogColors& colors = Colors();
    std::lock_guard lock(colors.mutex);
    colors.set = true;
    colors.background = background;
    colors.text = text;
}

bool HaveDialogColors() {
    DialogColors& colors = Colors();
    std::lock_guard lock(colors.mutex);
    return colors.set;
}

QColor DialogBackgroundColor() {
    DialogColors& colors = Colors();
    std::lock_guard lock(colors.mutex);
    return colors.background;
}

QColor DialogTextColor() {
    DialogColors& colors = Colors();
    std::lock_guard lock(colors.mutex);
    return colors.text;
}

QPalette DialogPalette(const QPalette& base) {
    const QColor background = DialogBackgroundColor();
    const QColor text = DialogTextColor();
    // Every role a control draws with is set, so that no control keeps a colour of the
    // desktop's theme (a dark theme's black boxes under the dark text): the dialog face for
    // windows and buttons with their shades, white fields, the dialog text everywhere, and
    // greyed text for disabled controls.
    QPalette palette = base;
    const QColor disabledText = QColor::fromRgbF(
        static_cast<float>((text.redF() + background.redF()) / 2),
        static_cast<float>((text.greenF() + background.greenF()) / 2),
        static_cast<float>((text.blueF() + background.blueF()) / 2));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor shown = disabled ? disabledText : text;
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::Button, background);
        palette.setColor(group, QPalette::Light, background.lighter(150));
        palette.setColor(group, QPalette::Midlight, background.lighter(115));
        palette.setColor(group, QPalette::Mid, background.darker(130));
        palette.setColor(group, QPalette::Dark, background.darker(200));
        palette.setColor(group, QPalette::Shadow, background.darker(300));
        palette.setColor(group, QPalette::Base, disabled ? background : QColor(Qt::white));
        palette.setColor(group, QPalette::AlternateBase, background.lighter(110));
        palette.setColor(group, QPalette::WindowText, shown);
        palette.setColor(group, QPalette::Text, shown);
        palette.setColor(group, QPalette::ButtonText, shown);
        palette.setColor(group, QPalette::PlaceholderText, disabledText);
        palette.setColor(group, QPalette::BrightText, Qt::white);
    }
    return palette;
}

void ApplyDialogColors(QWidget* widget) {
    if (!widget || !HaveDialogColors()) return;
    widget->setPalette(DialogPalette(widget->palette()));
    widget->setAutoFillBackground(true);
}

// Shared between the dialog and every MessagePoster made from it; `dialog` becomes null when
// the dialog is destroyed, under `mutex`, so a poster never reaches a dead dialog.
struct MessagePoster::Target {
    std::mutex mutex;
    Dialog* dialog = nullptr;

    bool Post(QEvent* event) {
        std::lock_guard lock(mutex);
        if (!dialog) {
            delete event;
            return false;
        }
        QCoreApplication::postEvent(dialog, event);
        return true;
    }
};

bool MessagePoster::PostMessage(unsigned msg, WParam w, LParam l) const {
    return target_ && target_->Post(new PostedMessageEvent(msg, w, l));
}

bool MessagePoster::SetProgressPos(int id, int pos) const {
    return target_ && target_->Post(new IntPairEvent(kProgressEvent, id, pos));
}

Dialog::Dialog(QWidget* parent)
    : QDialog(parent), target_(std::make_shared<MessagePoster::Target>()) {
    target_->dialog = this;
    InstallEscEnterFilter();
    ApplyDialogColors(this);
}

Dialog::Dialog(const DialogTemplate& dialogTemplate, QWidget* parent) : Dialog(parent) {
    Build(dialogTemplate);
}

Dialog::~Dialog() {
    std::lock_guard lock(target_->mutex);
    target_->dialog = nullptr;
}

void Dialog::Build(const DialogTemplate& t) {
    if (!t.caption.empty()) setWindowTitle(Q(t.caption));
    if (!t.fontFamily.empty() || t.fontPointSize > 0) {
        QFont f = font();
        if (!t.fontFamily.empty()) {
            f.setFamily(Q(t.fontFamily));
            f.setStyleHint(QFont::SansSerif);
        }
        if (t.fontPointSize > 0) f.setPointSize(t.fontPointSize);
        setFont(f);
    }
    const bool dialogUnits = t.units == TemplateUnits::DialogUnits;
    if (t.size.isValid() && !t.size.isEmpty())
        resize(dialogUnits ? DialogUnitsToPixels(t.size, font()) : t.size);
    for (const ControlSpec& spec : t.controls) {
        QWidget* widget = MakeControl(spec, this);
        if (!widget) continue;
        widget->setGeometry(dialogUnits ? DialogUnitsToPixels(spec.rect, font()) : spec.rect);
        widget->setEnabled(!spec.disabled);
        widget->setVisible(!spec.hidden);
        AddControl(spec.id, widget);
    }
}

QWidget* Dialog::Item(int id) const {
    if (id == IDC_STATIC) return nullptr;
    for (const auto& [controlId, widget] : controls_) {
        if (controlId == id) return widget;
    }
    return nullptr;
}

void Dialog::AddControl(int id, QWidget* widget) {
    if (!widget) return;
    controls_.emplace_back(id, widget);
    if (id != IDC_STATIC) RouteCommands(id, widget);
}

void Dialog::RouteCommands(int id, QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { Command(id); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::activated, this, [this, id] { Command(id, Notify::SelChange); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textChanged, this, [this, id] { Command(id, Notify::Change); });
    } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
        connect(slider, &QSlider::valueChanged, this, [this, id] { Command(id, Notify::Scroll); });
    } else if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
        connect(list, &QTreeWidget::itemClicked, this, [this, id] { Command(id); });
        connect(list, &QTreeWidget::itemDoubleClicked, this,
                [this, id] { Command(id, Notify::DoubleClick); });
        connect(list, &QTreeWidget::currentItemChanged, this,
                [this, id] { Command(id, Notify::SelChange); });
    }
}

void Dialog::OnCommand(int id, CommandHandler handler, Notify code) {
    commands_[{id, code}] = std::move(handler);
}

void Dialog::OnMessageId(unsigned msg, MessageHandler handler) {
    messages_[msg] = std::move(handler);
}

bool Dialog::Command(int id, Notify code) {
    auto it = commands_.find({id, code});
    if (it != commands_.end() && it->second) {
        // Copy: the handler may replace its own table entry.
        CommandHandler handler = it->second;
        handler();
        return true;
    }
    if (code == Notify::Clicked && (id == IDOK || id == IDCANCEL)) {
        EndDialog(id);
        return true;
    }
    return false;
}

void Dialog::SetTimer(int id, int ms) {
    if (!OnGuiThread(this)) {
        target_->Post(new IntPairEvent(kTimerRequestEvent, id, ms < 0 ? 0 : ms));
        return;
    }
    DoSetTimer(id, ms);
}

bool Dialog::KillTimer(int id) {
    if (!OnGuiThread(this)) {
        target_->Post(new IntPairEvent(kTimerRequestEvent, id, -1));
        return true;
    }
    return DoKillTimer(id);
}

bool Dialog::IsTimerRunning(int id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second->isActive();
}

void Dialog::DoSetTimer(int id, int ms) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(ms < 0 ? 0 : ms);
}

bool Dialog::DoKillTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end() || !it->second->isActive()) return false;
    it->second->stop();
    return true;
}

bool Dialog::PostMessage(unsigned msg, WParam w, LParam l) {
    return target_->Post(new PostedMessageEvent(msg, w, l));
}

void Dialog::SetProgressPos(int id, int pos) {
    if (!OnGuiThread(this)) {
        target_->Post(new IntPairEvent(kProgressEvent, id, pos));
        return;
    }
    SetBarValue(Item(id), pos);
}

int Dialog::DoModal() {
    EnsureInitialized();
    return exec();
}

void Dialog::EndDialog(int code) {
    if (!OnGuiThread(this)) {
        target_->Post(new IntPairEvent(kEndDialogEvent, code, 0));
        return;
    }
    done(code);
}

void Dialog::EnsureInitialized() {
    if (initialized_) return;
    initialized_ = true;
    OnInitDialog();
}

void Dialog::SetItemText(int id, const std::string& text) {
    QWidget* widget = Item(id);
    const QString q = Q(text);
    if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(q);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(q);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setText(q);
    else if (auto* group = qobject_cast<QGroupBox*>(widget)) group->setTitle(q);
    else if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->isEditable())
        combo->setEditText(q);
}

std::string Dialog::ItemText(int id) const {
    QWidget* widget = Item(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title().toStdString();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText().toStdString();
    return {};
}

void Dialog::EnableItem(int id, bool enable) {
    if (QWidget* widget = Item(id)) widget->setEnabled(enable);
}

void Dialog::ShowItem(int id, bool show) {
    if (QWidget* widget = Item(id)) widget->setVisible(show);
}

void Dialog::OnTimer(int) {}

void Dialog::OnMessage(unsigned msg, WParam w, LParam l) {
    auto it = messages_.find(msg);
    if (it == messages_.end() || !it->second) return;
    MessageHandler handler = it->second;
    handler(w, l);
}

void Dialog::OnClose() { Command(IDCANCEL); }

void Dialog::reject() { Command(IDCANCEL); }

void Dialog::accept() { Command(IDOK); }

void Dialog::closeEvent(QCloseEvent* event) {
    // The dialog stays unless a handler ends it; EndDialog hides it without another close.
    event->ignore();
    OnClose();
}

void Dialog::showEvent(QShowEvent* event) {
    EnsureInitialized();
    QDialog::showEvent(event);
}

bool Dialog::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == kPostedMessageEvent) {
        auto* m = static_cast<PostedMessageEvent*>(event);
        OnMessage(m->msg, m->w, m->l);
        return true;
    }
    if (type == kProgressEvent) {
        auto* p = static_cast<IntPairEvent*>(event);
        SetBarValue(Item(p->first), p->second);
        return true;
    }
    if (type == kTimerRequestEvent) {
        auto* t = static_cast<IntPairEvent*>(event);
        if (t->second < 0) DoKillTimer(t->first);
        else DoSetTimer(t->first, t->second);
        return true;
    }
    if (type == kEndDialogEvent) {
        done(static_cast<IntPairEvent*>(event)->first);
        return true;
    }
    return QDialog::event(event);
}

}  // namespace platform
