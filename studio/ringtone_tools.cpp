#include "studio/ringtone_tools.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

#include "components/wave_editor/wave_edit_dispids.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "studio/ringtone_options.h"
#include "studio/ringtone_save.h"
#include "studio/ringtone_shaping.h"
#include "studio/session.h"
#include "studio/settings.h"

namespace studio {
namespace {

QString FadeText(int ms) {
    if (ms == 0) return QStringLiteral("Off");
    return ms % 1000 == 0 ? QStringLiteral("%1 s").arg(ms / 1000)
                          : QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 1);
}

}  // namespace

std::string PreviewWavPath() {
    return platform::JoinPath(platform::ScratchFolder(), "vxpreview.wav");
}

RingtoneTools::RingtoneTools(CMMWaveEditX& editor, IJobWindow& window, QWidget* menuParent)
    : editor_(editor), window_(window) {
    menu_ = new QMenu(menuParent);
    BuildMenu();
    editor_.site().SetEventSink(this);
    ShowFades();
}

RingtoneTools::~RingtoneTools() {
    if (editor_.IsCreated()) editor_.site().SetEventSink(nullptr);
}

void RingtoneTools::BuildMenu() {
    const auto addFades = [this](const QString& title, bool in) {
        QMenu* sub = menu_->addMenu(title);
        auto* group = new QActionGroup(sub);
        for (int ms : kFadeChoicesMs) {
            QAction* action = sub->addAction(FadeText(ms));
            action->setCheckable(true);
            action->setData(ms);
            group->addAction(action);
            QObject::connect(action, &QAction::triggered, menu_,
                             [this, in, ms] { in ? SetFadeIn(ms) : SetFadeOut(ms); });
        }
    };
    addFades(QStringLiteral("Fade in"), true);
    addFades(QStringLiteral("Fade out"), false);
    menu_->addSeparator();
    snap_ = menu_->addAction(QStringLiteral("Snap to zero crossings"));
    snap_->setCheckable(true);
    QObject::connect(snap_, &QAction::triggered, menu_, [this](bool on) {
        window_.session().ringtone.SetSnapToZero(on, SettingsFileName());
        if (on) SnapSelection();
    });
    loop_ = menu_->addAction(QStringLiteral("Loop preview"));
    loop_->setCheckable(true);
    QObject::connect(loop_, &QAction::triggered, menu_, [this](bool on) {
        window_.session().ringtone.SetLoopPreview(on, SettingsFileName());
    });
    normalise_ = menu_->addAction(QStringLiteral("Normalise"));
    normalise_->setCheckable(true);
    QObject::connect(normalise_, &QAction::triggered, menu_, [this](bool on) {
        window_.session().ringtone.SetNormalise(on, SettingsFileName());
    });
    menu_->addSeparator();
    QObject::connect(menu_->addAction(QStringLiteral("Save as phone ringtone\u2026")),
                     &QAction::triggered, menu_, [this] { SavePhoneRingtoneCommand(window_); });
    QObject::connect(menu_, &QMenu::aboutToShow, menu_, [this] { SyncMenu(); });
    SyncMenu();
}

void RingtoneTools::SyncMenu() {
    const RingtoneOptions& options = window_.session().ringtone;
    const QList<QAction*> entries = menu_->actions();
    for (int i = 0; i < 2 && i < entries.size(); ++i) {
        const int chosen = i == 0 ? options.fadeInMs : options.fadeOutMs;
        for (QAction* action : entries[i]->menu()->actions())
            action->setChecked(action->data().toInt() == chosen);
    }
    snap_->setChecked(options.snapToZero);
    loop_->setChecked(options.loopPreview);
    normalise_->setChecked(options.normalise);
}

void RingtoneTools::ShowMenu(const QPoint& globalPos) {
    SyncMenu();
    menu_->popup(globalPos);
}

void RingtoneTools::ShowFades() {
    const RingtoneOptions& options = window_.session().ringtone;
    editor_.SetFades(options.fadeInMs, options.fadeOutMs);
}

void RingtoneTools::SetFadeIn(int ms) {
    window_.session().ringtone.SetFadeInMs(ms, SettingsFileName());
    ShowFades();
}

void RingtoneTools::SetFadeOut(int ms) {
    window_.session().ringtone.SetFadeOutMs(ms, SettingsFileName());
    ShowFades();
}

bool RingtoneTools::loopPreview() const { return window_.session().ringtone.loopPreview; }

void RingtoneTools::SnapSelection() {
    int32_t start = 0, end = 0;
    editor_.GetSelection(start, end);
    const std::optional<PositionRange> snapped = SnapSelectionToZeroCrossings(
        window_.session().job.CurrentWavPath(), PositionRange{start, end});
    if (!snapped || *snapped == PositionRange{start, end}) return;
    snapping_ = true;
    editor_.SetSelection(snapped->start, snapped->end);
    snapping_ = false;
}

void RingtoneTools::OnEvent(int dispatchId, const platform::VariantList& args) {
    if (dispatchId == wave_editor::eventid::kContextMenu && args.size() == 2) {
        if (QWidget* widget = editor_.Widget())
            ShowMenu(widget->mapToGlobal(QPoint(args[0].ToInt(), args[1].ToInt())));
        return;
    }
    if (dispatchId == wave_editor::eventid::kSelectionChanged && !snapping_ &&
        window_.session().ringtone.snapToZero)
        SnapSelection();
}

}  // namespace studio
