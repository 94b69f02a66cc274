// The ringtone tools of the studio's wave editor: the right-click menu on the waveform (fades,
// zero-crossing snap, looped preview, normalise, phone ringtones), the fade ramps it shows over
// the selection and the snapping of new selections. The window owns one and hands it the
// editor's events; the choices live in the session's ringtone options.
#pragma once

#include <QPoint>
#include <string>

#include "platform/control_host.h"
#include "studio/jobs.h"
#include "studio/wave_edit_x.h"

class QAction;
class QMenu;
class QWidget;

namespace studio {

// The scratch file Play plays when fades or normalising are on.
std::string PreviewWavPath();

class RingtoneTools : public platform::IControlEvents {
  public:
    // Listens to `editor`'s events (the editor must be created) and shows the choices on it.
    RingtoneTools(CMMWaveEditX& editor, IJobWindow& window, QWidget* menuParent);
    ~RingtoneTools() override;
    RingtoneTools(const RingtoneTools&) = delete;
    RingtoneTools& operator=(const RingtoneTools&) = delete;

    // The right-click menu, its entries checked as the choices stand.
    QMenu* menu() const { return menu_; }
    void ShowMenu(const QPoint& globalPos);

    // Moves both edges of the editor's selection onto zero crossings of the current WAV.
    void SnapSelection();
    bool loopPreview() const;

    // The editor's events: ContextMenu shows the menu, SelectionChanged snaps when that is on.
    void OnEvent(int dispatchId, const platform::VariantList& args) override;

  private:
    void BuildMenu();
    void SyncMenu();
    void ShowFades();
    void SetFadeIn(int ms);
    void SetFadeOut(int ms);

    CMMWaveEditX& editor_;
    IJobWindow& window_;
    QMenu* menu_ = nullptr;
    QAction* snap_ = nullptr;
    QAction* loop_ = nullptr;
    QAction* normalise_ = nullptr;
    bool snapping_ = false;  // a snap's own SetSelection is not snapped again
};

}  // namespace studio
