// The player panel: the small modal window in which both programs play the files of a track
// list one after another, with play, pause, stop, previous and next song, jumps of five seconds,
// a position slider, a running time (elapsed or remaining) and a scrolling title. The playlist
// lives in a hidden playlist box; the sound goes through one CMciPlayer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/body_drag.h"
#include "platform/dialog.h"
#include "uikit/mci_player.h"
#include "uikit/program_kind.h"
#include "uikit/track_rules.h"

class CPlaylistBox;
class QAbstractButton;
class CScrollingLabel;
class CSkinSlider;

// Control ids, caption and bitmaps of one program's panel.
struct SongPanelResources {
    int dialogId;
    const char* caption;
    int playlist, play, pause, stop, previous, back, forward, next, slider, title, time;
    int background;  // button background bitmap
    int glyphPlay, glyphPause, glyphStop, glyphPrevious, glyphBack, glyphForward, glyphNext;
};
const SongPanelResources& SongPanelResourcesFor(ProgramKind kind);

class CSongPanelDlg : public platform::Dialog {
    Q_OBJECT

public:
    // Timer 1 advances the time display and the slider while a song plays.
    static constexpr int kTimerId = 1;
    static constexpr int kTimerPeriodMs = 1000;
    // Seconds of a Back or Forward jump.
    static constexpr int kJumpSeconds = 5;
    // Slider scroll code of the end of a drag (the thumb released).
    static constexpr int kScrollEnd = 8;
    static constexpr int kScrollThumbTrack = 5;

    // Only each entry's path is used; titles and times are found again by the playlist.
    CSongPanelDlg(ProgramKind kind, std::vector<TrackEntry> entries, int startIndex,
                  QWidget* parent = nullptr);
    ~CSongPanelDlg() override;

    const SongPanelResources& resources() const { return ids_; }

    // Makes playlist entry i the file open in the device; false (current -1) when it cannot be
    // opened, or for an empty path.
    bool SelectSong(int i);
    // Plays; starts timer 1 on success. Play is checked, Pause and Stop unchecked in any case.
    void StartPlaying();
    // -1 for an empty playlist; else the entry after the current one (the last stays the last).
    // With no entry open, entry 0.
    int NextIndex() const;
    // -1 for an empty playlist; else the entry before the current one (the first stays the first).
    // With no entry open, entry 0.
    int PrevIndex() const;
    // Time display "%02d:%02d" of (seconds / 60, seconds mod 60); minutes may pass 99.
    void ShowTime(int seconds);

    // Commands, as the buttons and displays run them.
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnPrevious();
    void OnNext();
    void OnBack();
    void OnForward();
    void OnTimeDisplayClicked();
    void OnTitleDisplayClicked();
    // A scroll of the position slider to `position` seconds; kScrollEnd ends a drag.
    void OnSliderScroll(int code, int position);
    // One tick of timer 1.
    void OnTimerTick();

    // State, for owners and tests.
    int current() const { return current_; }
    bool showElapsed() const { return showElapsed_; }
    std::string TimeText() const;
    std::string TitleText() const;
    int TitleScrollMode() const;
    bool IsChecked(int id) const;
    int SliderValue() const;
    int SliderMaximum() const;
    CMciPlayer& player() { return player_; }
    CPlaylistBox& playlist() const { return *playlist_; }
    QSize minimumTrackingSize() const { return startSize_; }

protected:
    void OnInitDialog() override;
    void OnTimer(int id) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    platform::BodyDrag drag_;
    void BuildControls();
    void SetChecked(int id, bool checked);
    // Play, Pause and Stop as the device stands: a seek leaves a paused device stopped where it
    // moved to, so none of the three is then pressed (Stop is pressed only at the start).
    void ShowDeviceState();
    void SetSlider(int position);
    // The time shown for `position` by the elapsed / remaining choice.
    int DisplayedSeconds(int position) const;
    void Jump(int seconds);

    const SongPanelResources& ids_;
    std::vector<TrackEntry> entries_;
    int startIndex_;
    int current_ = -1;
    bool showElapsed_ = true;
    CMciPlayer player_;
    CPlaylistBox* playlist_ = nullptr;
    CScrollingLabel* timeDisplay_ = nullptr;
    CScrollingLabel* titleDisplay_ = nullptr;
    CSkinSlider* slider_ = nullptr;
    QSize startSize_;
};
