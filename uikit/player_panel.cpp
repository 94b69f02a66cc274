#include "uikit/player_panel.h"

#include <QEvent>
#include <QMouseEvent>
#include <QSlider>
#include <QWindow>
#include <cstdio>

#include "uikit/playlist_box.h"
#include "uikit/skin_buttons.h"
#include "uikit/skin_label.h"
#include "uikit/skin_list.h"

namespace {

// clang-format off
const SongPanelResources kStudioPanel{
    .dialogId = 207, .caption = "MP3 Player",
    .playlist = 1035, .play = 1011, .pause = 10003, .stop = 10004, .previous = 1025,
    .back = 1027, .forward = 1030, .next = 1033, .slider = 1009, .title = 10018, .time = 1006,
    .background = 209,
    .glyphPlay = 212, .glyphPause = 211, .glyphStop = 215, .glyphPrevious = 213,
    .glyphBack = 208, .glyphForward = 214, .glyphNext = 210,
};

const SongPanelResources kBurnerPanel{
    .dialogId = 232, .caption = "Player",
    .playlist = 1020, .play = 1007, .pause = 10004, .stop = 1034, .previous = 1013,
    .back = 1014, .forward = 1015, .next = 1016, .slider = 1006, .title = 10016, .time = 1004,
    .background = 242,
    .glyphPlay = 243, .glyphPause = 244, .glyphStop = 245, .glyphPrevious = 246,
    .glyphBack = 263, .glyphForward = 247, .glyphNext = 248,
};
// clang-format on

const QColor kDisplayText{0, 255, 0};
const QColor kSliderBackground{234, 234, 234};

// Panel layout in pixels.
constexpr int kPanelWidth = 300;
constexpr int kPanelHeight = 132;
constexpr int kButtonWidth = 36;
constexpr int kButtonHeight = 26;
constexpr int kButtonPitch = 40;

// The buttons hold their check state as the panel sets it; a click alone does not toggle it.
class PanelButton : public CGlyphButton {
public:
    using CGlyphButton::CGlyphButton;

protected:
    void nextCheckState() override {}
};

std::string MinutesSeconds(int seconds, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, seconds / 60, seconds % 60);
    return text;
}

}  // namespace

const SongPanelResources& SongPanelResourcesFor(ProgramKind kind) {
    return kind == ProgramKind::Burner ? kBurnerPanel : kStudioPanel;
}

CSongPanelDlg::CSongPanelDlg(ProgramKind kind, std::vector<TrackEntry> entries, int startIndex,
                             QWidget* parent)
    : platform::Dialog(parent),
      ids_(SongPanelResourcesFor(kind)),
      entries_(std::move(entries)),
      startIndex_(startIndex) {
    BuildControls();
}

CSongPanelDlg::~CSongPanelDlg() { player_.Close(); }

void CSongPanelDlg::BuildControls() {
    platform::DialogTemplate layout;
    layout.caption = ids_.caption;
    layout.size = QSize(kPanelWidth, kPanelHeight);

    auto playlistFactory = [this](QWidget* parent) {
        playlist_ = new CPlaylistBox(parent);
        return playlist_;
    };
    layout.controls.push_back({ids_.playlist, platform::ControlKind::Custom, "", QRect(0, 0, 0, 0),
                               false, true, false, playlistFactory});
    auto titleFactory = [this](QWidget* parent) {
        titleDisplay_ = new CScrollingLabel(parent);
        return titleDisplay_;
    };
    layout.controls.push_back({ids_.title, platform::ControlKind::Custom, "NONE",
                               QRect(10, 8, 280, 22), false, false, false, titleFactory});
    auto timeFactory = [this](QWidget* parent) {
        timeDisplay_ = new CScrollingLabel(parent);
        return timeDisplay_;
    };
    layout.controls.push_back({ids_.time, platform::ControlKind::Custom, "00:00",
                               QRect(10, 34, 280, 34), false, false, false, timeFactory});
    auto sliderFactory = [this](QWidget* parent) {
        slider_ = new CSkinSlider(Qt::Horizontal, parent);
        return slider_;
    };
    layout.controls.push_back({ids_.slider, platform::ControlKind::Custom, "",
                               QRect(10, 72, 280, 20), false, false, false, sliderFactory});

    // Left to right: previous, back, play, pause, stop, forward, next.
    const int buttons[] = {ids_.previous, ids_.back,    ids_.play, ids_.pause,
                           ids_.stop,     ids_.forward, ids_.next};
    for (int i = 0; i < 7; ++i) {
        auto factory = [](QWidget* parent) {
            auto* button = new PanelButton(parent);
            button->setCheckable(true);
            button->setFocusPolicy(Qt::NoFocus);
            return button;
        };
        layout.controls.push_back(
            {buttons[i], platform::ControlKind::Custom, "",
             QRect(10 + i * kButtonPitch + 2, 98, kButtonWidth, kButtonHeight), false, false, false,
             factory});
    }
    Build(layout);

    OnCommand(ids_.play, [this] { OnPlay(); });
    OnCommand(ids_.pause, [this] { OnPause(); });
    OnCommand(ids_.stop, [this] { OnStop(); });
    OnCommand(ids_.previous, [this] { OnPrevious(); });
    OnCommand(ids_.next, [this] { OnNext(); });
    OnCommand(ids_.back, [this] { OnBack(); });
    OnCommand(ids_.forward, [this] { OnForward(); });
}

void CSongPanelDlg::OnInitDialog() {
    // The starting size fixes the width and the least height.
    startSize_ = size();
    setMinimumSize(startSize_);
    setMaximumWidth(startSize_.width());

    const struct {
        int id;
        int glyph;
        const char* tip;
    } faces[] = {
        {ids_.play, ids_.glyphPlay, "play song"},
        {ids_.pause, ids_.glyphPause, "pause"},
        {ids_.stop, ids_.glyphStop, "stop"},
        {ids_.previous, ids_.glyphPrevious, "previous song"},
        {ids_.back, ids_.glyphBack, "previous 5 seconds"},
        {ids_.forward, ids_.glyphForward, "next 5 seconds"},
        {ids_.next, ids_.glyphNext, "next song"},
    };
    for (const auto& face : faces) {
        if (auto* button = Control<CGlyphButton>(face.id)) {
            button->SetBitmaps(ids_.background, face.glyph);
            button->setToolTip(face.tip);
        }
    }

    QFont timeFont("Arial");
    timeFont.setPixelSize(24);
    timeFont.setBold(true);
    timeDisplay_->SetFont(timeFont);
    timeDisplay_->SetText("00:00");
    timeDisplay_->SetTextColor(kDisplayText);
    timeDisplay_->SetBkColor(Qt::black);
    timeDisplay_->SetMode(0);
    timeDisplay_->SetAlignment(CScrollingLabel::kAlignCentre);
    timeDisplay_->SetVAlignment(CScrollingLabel::kAlignVCentre);
    titleDisplay_->SetText("NONE");
    titleDisplay_->SetTextColor(kDisplayText);
    titleDisplay_->SetBkColor(Qt::black);
    titleDisplay_->SetMode(1);
    titleDisplay_->SetVAlignment(CScrollingLabel::kAlignVCentre);
    connect(timeDisplay_, &CScrollingLabel::clicked, this, [this] { OnTimeDisplayClicked(); });
    connect(titleDisplay_, &CScrollingLabel::clicked, this, [this] { OnTitleDisplayClicked(); });

    playlist_->SetColors(kDisplayText, Qt::black, Qt::white);
    slider_->SetBkColor(kSliderBackground);
    slider_->setRange(0, 0);
    connect(slider_, &QSlider::sliderMoved, this,
            [this](int value) { OnSliderScroll(kScrollThumbTrack, value); });
    connect(slider_, &QSlider::sliderReleased, this,
            [this] { OnSliderScroll(kScrollEnd, slider_->value()); });
    // Clicks on the groove and keys move the thumb in steps; each step ends like a drag.
    connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderMove) return;
        QMetaObject::invokeMethod(
            this,
            [this, action] {
                OnSliderScroll(action, slider_->value());
                OnSliderScroll(kScrollEnd, slider_->value());
            },
            Qt::QueuedConnection);
    });

    for (const TrackEntry& entry : entries_) playlist_->AddEntry(entry.path);

    playlist_->SetCurrent(startIndex_);
    SelectSong(startIndex_);
    OnPlay();
}

bool CSongPanelDlg::SelectSong(int i) {
    player_.Close();
    current_ = -1;
    const std::string path = playlist_->GetPath(i);
    if (path.empty()) return false;
    if (player_.Open(path) != kMciOk) {
        SetChecked(ids_.play, player_.IsPlaying());
        return false;
    }
    current_ = i;
    const int length = static_cast<int>(player_.length());
    playlist_->RefreshEntry(i);
    playlist_->SetTime(i, MinutesSeconds(length, "%d:%02d"));

    slider_->setRange(0, length);
    ShowTime(showElapsed_ ? 0 : length);
    playlist_->SetCurrent(i);

    const std::string title = playlist_->GetDisplayText(i) + "(" + playlist_->GetTime(i) + ")";
    titleDisplay_->SetText(QString::fromStdString(title));
    return true;
}

void CSongPanelDlg::StartPlaying() {
    if (player_.Play() == kMciOk) SetTimer(kTimerId, kTimerPeriodMs);
    SetChecked(ids_.play, true);
    SetChecked(ids_.pause, false);
    SetChecked(ids_.stop, false);
}

int CSongPanelDlg::NextIndex() const {
    const int count = playlist_->Count();
    if (count == 0) return -1;
    if (current_ < 0) return 0;
    return current_ >= count - 1 ? current_ : current_ + 1;
}

int CSongPanelDlg::PrevIndex() const {
    if (playlist_->Count() == 0) return -1;
    if (current_ <= 0) return 0;
    return current_ - 1;
}

void CSongPanelDlg::ShowTime(int seconds) {
    timeDisplay_->SetText(QString::fromStdString(MinutesSeconds(seconds, "%02d:%02d")));
}

void CSongPanelDlg::OnPlay() {
    if (!player_.IsReady()) {
        SetChecked(ids_.play, false);
        return;
    }
    if (!player_.IsPlaying()) StartPlaying();
    SetChecked(ids_.play, player_.IsPlaying());
}

void CSongPanelDlg::OnPause() {
    if (!player_.IsReady()) {
        SetChecked(ids_.pause, false);
        return;
    }
    if (player_.IsPlaying()) {
        if (player_.Pause() == kMciOk) {
            KillTimer(kTimerId);
            SetChecked(ids_.pause, true);
            SetChecked(ids_.play, false);
            SetChecked(ids_.stop, false);
        }
    } else if (player_.Resume() == kMciOk) {
        SetTimer(kTimerId, kTimerPeriodMs);
        SetChecked(ids_.play, true);
        SetChecked(ids_.pause, false);
        SetChecked(ids_.stop, false);
    } else {
        ShowDeviceState();
    }
}

void CSongPanelDlg::OnStop() {
    if (!player_.IsReady()) {
        SetChecked(ids_.stop, false);
        return;
    }
    SetChecked(ids_.stop, true);
    SetChecked(ids_.play, false);
    SetChecked(ids_.pause, false);
    if (player_.Pause() == kMciOk) KillTimer(kTimerId);
    player_.SeekToStart();
    ShowTime(0);
    SetSlider(0);
}

void CSongPanelDlg::OnPrevious() {
    if (SelectSong(PrevIndex())) StartPlaying();
}

void CSongPanelDlg::OnNext() {
    if (SelectSong(NextIndex())) StartPlaying();
}

void CSongPanelDlg::OnBack() {
    const std::optional<int> position = player_.GetPosition();
    if (!position) return;
    Jump(*position < kJumpSeconds ? 0 : *position - kJumpSeconds);
}

void CSongPanelDlg::OnForward() {
    const std::optional<int> position = player_.GetPosition();
    if (!position) return;
    Jump(std::min(*position + kJumpSeconds, static_cast<int>(player_.length())));
}

void CSongPanelDlg::Jump(int seconds) {
    const bool wasPlaying = player_.IsPlaying();
    player_.SeekTo(seconds);
    ShowTime(DisplayedSeconds(seconds));
    SetSlider(seconds);
    if (wasPlaying) {
        StartPlaying();
    } else {
        ShowDeviceState();
    }
}

void CSongPanelDlg::OnTimeDisplayClicked() {
    showElapsed_ = !showElapsed_;
    if (!player_.IsReady()) return;
    if (const std::optional<int> position = player_.GetPosition())
        ShowTime(DisplayedSeconds(*position));
}

void CSongPanelDlg::OnTitleDisplayClicked() {
    titleDisplay_->SetMode((titleDisplay_->mode() + 1) % 4);
}

int CSongPanelDlg::TitleScrollMode() const { return titleDisplay_->mode(); }

void CSongPanelDlg::OnSliderScroll(int code, int position) {
    if (!player_.IsReady()) return;
    const bool wasPlaying = player_.IsPlaying();
    ShowTime(DisplayedSeconds(position));
    if (code == kScrollEnd) {
        player_.SeekTo(position);
        if (wasPlaying) {
            player_.Play();
            SetTimer(kTimerId, kTimerPeriodMs);
        }
        ShowDeviceState();
    } else {
        // The timer must not move the thumb while it is dragged.
        KillTimer(kTimerId);
    }
}

void CSongPanelDlg::OnTimer(int id) {
    if (id == kTimerId) OnTimerTick();
}

void CSongPanelDlg::OnTimerTick() {
    if (player_.IsPlaying()) {
        const std::optional<int> position = player_.GetPosition();
        if (!position) {
            KillTimer(kTimerId);
            return;
        }
        ShowTime(DisplayedSeconds(*position));
        SetSlider(*position);
        return;
    }
    // The song has ended.
    ShowTime(0);
    SetSlider(0);
    const int n = NextIndex();
    if (n < 0) return;
    if (n == current_) {
        player_.SeekToStart();
        StartPlaying();
        return;
    }
    if (SelectSong(n)) StartPlaying();
}

int CSongPanelDlg::DisplayedSeconds(int position) const {
    return showElapsed_ ? position : static_cast<int>(player_.length()) - position;
}

std::string CSongPanelDlg::TimeText() const { return timeDisplay_->text().toStdString(); }

std::string CSongPanelDlg::TitleText() const { return titleDisplay_->text().toStdString(); }

bool CSongPanelDlg::IsChecked(int id) const {
    const auto* button = Control<QAbstractButton>(id);
    return button && button->isChecked();
}

int CSongPanelDlg::SliderValue() const { return slider_->value(); }
int CSongPanelDlg::SliderMaximum() const { return slider_->maximum(); }

void CSongPanelDlg::SetChecked(int id, bool checked) {
    if (auto* button = Control<QAbstractButton>(id)) button->setChecked(checked);
}

void CSongPanelDlg::ShowDeviceState() {
    const CMciPlayer::Mode mode = player_.mode();
    SetChecked(ids_.play, mode == CMciPlayer::Mode::Playing);
    SetChecked(ids_.pause, mode == CMciPlayer::Mode::Paused);
    SetChecked(ids_.stop,
               mode == CMciPlayer::Mode::Stopped && player_.GetPositionMs().value_or(0) == 0);
}

void CSongPanelDlg::SetSlider(int position) {
    const QSignalBlocker quiet(slider_);
    slider_->setValue(position);
}

void CSongPanelDlg::changeEvent(QEvent* event) {
    platform::Dialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    auto* change = static_cast<QWindowStateChangeEvent*>(event);
    // Restored from the task bar: back to the front.
    if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized)) {
        show();
        raise();
        activateWindow();
    }
}

void CSongPanelDlg::mousePressEvent(QMouseEvent* event) {
    // The panel's background moves the window, as its caption would.
    if (drag_.Press(this, event)) {
        event->accept();
        return;
    }
    platform::Dialog::mousePressEvent(event);
}

void CSongPanelDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Move(this, event)) platform::Dialog::mouseMoveEvent(event);
}

void CSongPanelDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release(event);
    platform::Dialog::mouseReleaseEvent(event);
}
