#include "studio/main_window.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <fstream>
#include <utility>

#include "platform/accelerators.h"
#include "platform/body_drag.h"
#include "platform/folders.h"
#include "platform/help_books.h"
#include "platform/paths.h"
#include "platform/qt_ui.h"
#include "platform/ui.h"
#include "studio/codec_engine.h"
#include "studio/command_line.h"
#include "studio/main_window_dialogs.h"
#include "studio/main_window_logic.h"
#include "studio/ringtone_save.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/batch_downsizer_dlg.h"
#include "studio/tools/cd_ripper_dlg.h"
#include "studio/tools/mp3_settings_dlg.h"
#include "uikit/skin_controls.h"

namespace studio {
namespace {

constexpr int kEditorId = 1047;
constexpr int kPlayTimer = 4;
constexpr int kPlayTimerMs = 50;
constexpr const char* kHandOverFolder = "c:\\Vexmorringtone";
constexpr const char* kNoSoundOutput =
    "The sound output could not be opened.\nCheck that a sound device is present and free.";

// A helper program or the desktop's handler did not start: the user is told what is missing.
void ReportNotStarted(const std::string& what) {
    platform::ShowMessage(what + ".", platform::MsgIcon::Error);
}

platform::DialogTemplate MainTemplate() {
    platform::DialogTemplate t;
    t.caption = "Ringsmith";
    t.size = kMainWindowSize;
    return t;
}

}  // namespace

CRingsmithDlg::CRingsmithDlg(Session& session, QWidget* parent)
    : platform::Dialog(MainTemplate(), parent), session_(session) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setFixedSize(kMainWindowSize);
    setAcceptDrops(true);
    SetSwallowEscEnter(true);
    // The window itself holds the keyboard focus until Tab moves it to a button, so Space plays
    // rather than pressing the first button.
    setFocusPolicy(Qt::ClickFocus);
}

CRingsmithDlg::~CRingsmithDlg() {
    session_.workers.StopAndJoin(
        [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    StopPlayback();
    platform::RemoveFile(TempWavPath());
    platform::RemoveFile(PreviewWavPath());
}

void CRingsmithDlg::PostQuit() {
    quitRequested_ = true;
    PostMessage(kQuitMessage);
}

void CRingsmithDlg::OnMessage(unsigned msg, platform::WParam w, platform::LParam l) {
    if (msg == kQuitMessage) {
        EndDialog(platform::IDCANCEL);
        return;
    }
    platform::Dialog::OnMessage(msg, w, l);
}

void CRingsmithDlg::OnInitDialog() {
    BuildSystemMenu();
    const QPixmap icon = skin::LoadSkinBitmap("studio", kIconBitmap);
    if (!icon.isNull()) setWindowIcon(QIcon(icon));
    setWindowTitle(QStringLiteral("Ringsmith"));

    // Centred on the work area of the primary screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - kMainWindowSize.width()) / 2,
             area.y() + (area.height() - kMainWindowSize.height()) / 2);
    }

    if (skin::LoadSkinBitmap("studio", kBackgroundBitmap).isNull()) {
        platform::ShowMessage("Not enough memory!");
        PostQuit();
        return;
    }

    if (!editor_.Create(this)) {
        platform::ShowMessage("Invalid installation!\nReturn now!");
        PostQuit();
        return;
    }
    editor_.Widget()->setGeometry(kEditorRect);
    // Initialisation may run while the window is being shown; children made then are shown here.
    editor_.Widget()->show();
    editor_.Widget()->setAccessibleName(QStringLiteral("Waveform"));
    editor_.Widget()->setAccessibleDescription(
        QStringLiteral("The song; drag to mark the part that becomes the ringtone"));
    AddControl(kEditorId, editor_.Widget());
    ringtoneTools_ = std::make_unique<RingtoneTools>(editor_, *this, this);

    progress_ = new CSkinProgress(this);
    progress_->setGeometry(kProgressRect);
    progress_->setAccessibleName(QStringLiteral("Conversion progress"));
    progress_->show();
    AddControl(kProgressId, progress_);

    if (!session_.BindCodecEngine()) {
        platform::ShowMessage("Invalid installation!\nReturn now!");
        PostQuit();
        return;
    }
    progress_->setRange(0, 100);
    progress_->setValue(100);

    CreateButtons();
    setFocus(Qt::OtherFocusReason);
    // The command line's song opens once the window runs, as if chosen through "Open mp3".
    if (startSong_) {
        QTimer::singleShot(0, this, [this] {
            const std::string song = *std::exchange(startSong_, std::nullopt);
            if (!platform::FileExists(song)) {
                platform::ShowMessage(MissingSongMessage(song));
                return;
            }
            OpenSong(song);
        });
    }
}

void CRingsmithDlg::CreateButtons() {
    for (const MainButton& spec : MainButtons()) {
        auto* button = new CBitmapHoverButton(this);
        button->SetBitmaps(spec.normalBitmap, spec.activeBitmap, spec.activeBitmap);
        button->setGeometry(spec.rect);
        button->setToolTip(QString::fromStdString(MainButtonTip(spec)));
        button->setAccessibleName(QString::fromStdString(MainButtonName(spec)));
        // Tab reaches the buttons and shows the focus on them; a click leaves the focus where
        // it was, so a clicked button does not keep its pressed face.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
        button->show();
        AddControl(spec.id, button);
    }
    OnCommand(kCmdNew, &CRingsmithDlg::OnNew);
    OnCommand(kCmdOpenMp3, &CRingsmithDlg::OnOpenMp3);
    OnCommand(kCmdSaveAsMmf, &CRingsmithDlg::OnSaveAsMmf);
    OnCommand(kCmdSaveAsMp3, &CRingsmithDlg::OnSaveAsMp3);
    OnCommand(kCmdSaveAsWav, &CRingsmithDlg::OnSaveAsWav);
    OnCommand(kCmdMp3Info, &CRingsmithDlg::OnMp3Info);
    OnCommand(kCmdMp3ToWav, &CRingsmithDlg::OnMp3ToWav);
    OnCommand(kCmdWavToMp3, &CRingsmithDlg::OnWavToMp3);
    OnCommand(kCmdHelp, &CRingsmithDlg::OnHelp);
    OnCommand(kCmdMp3ToCd, &CRingsmithDlg::OnMp3ToCd);
    OnCommand(kCmdBigToSmall, &CRingsmithDlg::OnBigToSmall);
    OnCommand(kCmdCdToMp3, &CRingsmithDlg::OnCdToMp3);
    OnCommand(kCmdExtractFromCd, &CRingsmithDlg::OnExtractFromCd);
    OnCommand(kCmdPlay, &CRingsmithDlg::OnPlay);
    OnCommand(kCmdStop, &CRingsmithDlg::OnStop);
    OnCommand(kCmdMinimize, &CRingsmithDlg::OnMinimize);
    OnCommand(kCmdExit, &CRingsmithDlg::OnExit);
    OnCommand(kCmdPlayOrStop, &CRingsmithDlg::OnPlayOrStop);
    OnCommand(kCmdMarkStart, [this] { editor_.MarkEdgeAtCursor(false); });
    OnCommand(kCmdMarkEnd, [this] { editor_.MarkEdgeAtCursor(true); });
    platform::InstallAccelerators(*this, MainAccelerators());
    // The close box of the window system, Alt+F4 and the system menu's Close.
    OnCommand(platform::IDCANCEL, &CRingsmithDlg::OnCloseRequest);
}

void CRingsmithDlg::BuildSystemMenu() {
    // A captionless window has no system menu of the window system; this menu stands in for it.
    systemMenu_ = new QMenu(this);
    systemMenu_->addAction(QStringLiteral("Mi&nimize"), this, [this] { OnMinimize(); });
    systemMenu_->addAction(QStringLiteral("&Close\tAlt+F4"), this, [this] { OnCloseRequest(); });
    systemMenu_->addSeparator();
    systemMenu_->addAction(QStringLiteral("&About Ringsmith..."), this,
                           [this] { SysCommand(kIdmAboutBox); });
}

void CRingsmithDlg::SysCommand(int id) {
    if ((id & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

// ---- Painting and the window's body
// --------------------------------------------------------------

void CRingsmithDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, skin::LoadSkinBitmap("studio", kBackgroundBitmap));
    painter.setPen(QColor::fromRgb(static_cast<QRgb>(kFileNameRgb)));
    const QRect textArea(kFileNamePos, QPoint(width() - 10, height() - 1));
    painter.drawText(
        textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(QString::fromStdString(FileNameText(currentFileName_)),
                                         Qt::ElideMiddle, textArea.width()));
}

void CRingsmithDlg::mousePressEvent(QMouseEvent* event) {
    // A press on the body moves the window as a press on a caption would.
    if (!drag_.Press(this, event)) platform::Dialog::mousePressEvent(event);
}

void CRingsmithDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Move(this, event)) platform::Dialog::mouseMoveEvent(event);
}

void CRingsmithDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release(event);
    platform::Dialog::mouseReleaseEvent(event);
}

void CRingsmithDlg::contextMenuEvent(QContextMenuEvent* event) {
    systemMenu_->popup(event->globalPos());
}

void CRingsmithDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::AltModifier)) {
        systemMenu_->popup(mapToGlobal(QPoint(0, 0)));
        return;
    }
    platform::Dialog::keyPressEvent(event);
}

// ---- Drops -----------------------------------------------------------------------------------

void CRingsmithDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CRingsmithDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        // Local paths keep their exact bytes: a name that is not UTF-8 still opens.
        paths.push_back(url.isLocalFile() ? platform::LocalPathBytes(url)
                                          : url.toString().toStdString());
    }
    event->acceptProposedAction();
    DropFiles(paths);
}

void CRingsmithDlg::DropFiles(const std::vector<std::string>& paths) {
    if (BusyCheck(*this)) return;
    const DropVerdict verdict = CheckDrop(paths);
    if (verdict != DropVerdict::Accept) {
        platform::ShowMessage(DropMessage(verdict));
        return;
    }
    PrepareDecode(*this, paths.front());
}

// ---- What the jobs use -------------------------------------------------------------------------

void CRingsmithDlg::OnGuiThread(std::function<void()> call, bool wait) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(this, std::move(call),
                              wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void CRingsmithDlg::SetProgressPos(int pos) {
    OnGuiThread([this, pos] {
        if (progress_) progress_->setValue(pos);
    });
}

void CRingsmithDlg::StartJobTimer(int id, int ms) { SetTimer(id, ms); }

void CRingsmithDlg::StopJobTimer(int id) { KillTimer(id); }

void CRingsmithDlg::LoadFileIntoEditor(const std::string& path) {
    OnGuiThread([this, path] { editor_.LoadFile(path); });
}

void CRingsmithDlg::RepaintWindow() {
    OnGuiThread([this] { update(); });
}

void CRingsmithDlg::SetCurrentFile(const std::string& path) {
    OnGuiThread([this, path] {
        currentFileName_ = path;
        update();
    });
}

ISelectionSource& CRingsmithDlg::Selection() { return guiSelection_; }

void CRingsmithDlg::GuiSelection::GetSelection(int32_t& start, int32_t& end) {
    int32_t s = 0;
    int32_t e = 0;
    window_.OnGuiThread([this, &s, &e] { window_.editor_.GetSelection(s, e); }, true);
    start = s;
    end = e;
}

// ---- Commands --------------------------------------------------------------------------------

void CRingsmithDlg::OnNew() {
    if (BusyCheck(*this)) return;
    platform::RemoveFile(TempWavPath());
    editor_.Clear();
    SetCurrentFile("");
}

void CRingsmithDlg::OnOpenMp3() {
    if (BusyCheck(*this)) return;
    StudioSettings& settings = session_.settings;
    platform::FileDialogOptions options;
    options.defaultExt = "MP3";
    options.filter = OpenSongFilter();
    options.mustExist = true;
    options.initialFolder = settings.openMp3Folder;
    const std::vector<std::string> chosen = platform::GetUi().OpenFiles(options);
    if (chosen.empty()) return;
    OpenChosenSong(chosen.front());
}

void CRingsmithDlg::OpenSong(const std::string& path) {
    if (BusyCheck(*this)) return;
    OpenChosenSong(path);
}

void CRingsmithDlg::OpenChosenSong(const std::string& path) {
    session_.settings.RememberFolderOf(FolderSlot::OpenMp3, path);
    // The open song stays until the new one has decoded; the decode then replaces it.
    PrepareDecode(*this, path);
}

void CRingsmithDlg::OpenAtStart(const std::string& path) { startSong_ = path; }

bool CRingsmithDlg::CutSelectionTo(const std::string& target) {
    try {
        return ShowCutResult(CutShapedSelection(session_, target, editor_));
    } catch (const InvalidFileError& error) {
        platform::ShowMessage(error.what(), platform::MsgIcon::Error);
        return false;
    }
}

bool CRingsmithDlg::CutSelectionShapedForPreview(const std::string& preview,
                                                 const std::string& wav,
                                                 const RingtoneShaping& shaping) {
    try {
        if (ShowCutResult(CutShapedSelection(preview, editor_, wav, shaping))) return true;
    } catch (const InvalidFileError& error) {
        platform::ShowMessage(error.what(), platform::MsgIcon::Error);
    }
    editor_.GetCursor();
    return false;
}

void CRingsmithDlg::OnSaveAsWav() {
    if (BusyCheck(*this)) return;
    StudioSettings& settings = session_.settings;
    platform::FileDialogOptions options;
    options.defaultExt = "wav";
    options.filter = "WAV files(*.wav)|*.wav||";
    options.hideReadOnly = true;
    options.overwritePrompt = true;
    options.initialFolder = settings.saveAsWavFolder;
    options.initialName = SuggestedRingtoneFile(currentFileName_, "wav");
    const std::optional<std::string> target = platform::GetUi().SaveFile(options);
    if (!target) return;
    settings.RememberFolderOf(FolderSlot::SaveAsWav, *target);
    if (CutSelectionTo(*target)) {
        platform::ShowSuccess("Ring Tone Created!");
    }
}

void CRingsmithDlg::OnSaveAsMp3() {
    SaveAsMp3Command(*this, SuggestedRingtoneFile(currentFileName_, "mp3"));
}

void CRingsmithDlg::OnMp3ToWav() { Mp3ToWavCommand(*this); }

void CRingsmithDlg::OnWavToMp3() { WavToMp3Command(*this); }

void CRingsmithDlg::OnSaveAsMmf() {
    if (BusyCheck(*this)) return;
    const std::string folder = platform::MapDesignFolder(kHandOverFolder);
    const std::string target = platform::JoinPath(folder, RingtoneName(currentFileName_) + ".wav");
    // A file of that name is no folder to write into, writable or not.
    const bool usable = platform::IsDirectory(folder) && platform::IsWritable(folder);
    if (!usable && !CreateFolderWithParents(folder)) {
        platform::ShowMessage("Please select a valid path!");
        return;
    }
    if (!CutSelectionTo(target)) return;

    CSaveMmfDlg steps(folder, this);
    steps.DoModal();
    platform::GetUi().ShellOpenThen(folder, [folder](platform::ShellResult result) {
        if (result <= 32) ReportNotStarted("The file browser (xdg-open) could not open " + folder);
    });
    if (platform::GetUi().StartProgram(platform::JoinPath(platform::SystemDirectory(), "wscma2u"),
                                       {}) <= 32) {
        ReportNotStarted("The MMF tool (wscma2u) could not be started");
    }
}

void CRingsmithDlg::OnMp3Info() {
    if (BusyCheck(*this)) return;
    CMp3SettingsDlg settings(session_.settings, this);
    settings.DoModal();
}

void CRingsmithDlg::OnBigToSmall() {
    if (BusyCheck(*this)) return;
    CBatchDownsizerDlg downsizer(session_, this);
    downsizer.DoModal();
}

// The ripper reads into files of its own: the song open in the editor stays until an extracted
// track replaces it.
void CRingsmithDlg::OnCdToMp3() {
    if (BusyCheck(*this)) return;
    CCdRipperDlg ripper(session_, RipMode::CdToMp3, this);
    ripper.DoModal();
}

void CRingsmithDlg::OnExtractFromCd() {
    if (BusyCheck(*this)) return;
    CCdRipperDlg ripper(session_, RipMode::Extract, this);
    if (ripper.DoModal() != platform::IDOK) return;
    OnNew();
    const std::string temp = TempWavPath();
    if (!TakeExtractedTrack(temp) ||
        !IsWavComplete(temp, session_.job.Running(), [this] { update(); })) {
        platform::ShowMessage("Can't open the specified file");
        return;
    }
    session_.job.SetCurrentWavPath(temp);
    currentFileName_ = "CD";
    editor_.LoadFile(temp);
    update();
}

void CRingsmithDlg::OnMp3ToCd() {
    if (platform::GetUi().StartProgram(platform::JoinPath(platform::ProgramFolder(), "discsmith"),
                                       {}) <= 32) {
        ReportNotStarted("The disc burner (discsmith) could not be started");
    }
}

void CRingsmithDlg::OnHelp() { platform::OpenHelpBook("ringsmith.chm"); }

// ---- Playing the selection ---------------------------------------------------------------------

void CRingsmithDlg::OnPlay() {
    editor_.SetPlayCursor(-1);
    if (BusyCheck(*this)) return;

    int32_t start = 0;
    int32_t end = 0;
    editor_.GetSelection(start, end);
    if (SelectionTooShort(start, end)) {
        platform::ShowMessage("Time is too short!");
        playing_.store(0);
        editor_.GetCursor();
        return;
    }

    const std::string wav = session_.job.CurrentWavPath();
    WaveFormat format;
    {
        std::ifstream in(wav, std::ios::binary);
        if (!in) {
            playing_.store(0);
            editor_.GetCursor();
            return;
        }
        try {
            format = ReadWavHeader(in, wav);
        } catch (const InvalidFileError& error) {
            platform::ShowMessage(error.what(), platform::MsgIcon::Error);
            return;
        }
    }
    // A header without a byte rate or frame size cannot be timed; it is not played.
    const std::optional<PlayPlan> plan =
        PlanPlayback(start, end, format.bytesPerSecond, format.blockAlign);
    if (!plan) {
        platform::ShowMessage(InvalidFileError(wav).what(), platform::MsgIcon::Error);
        return;
    }
    playFormat_ = format;
    playStart_ = plan->start;
    playEnd_ = plan->end;
    playEndMs_ = plan->endMs;
    loopStartMs_ = plan->seekMs;
    playCursorOffset_ = 0;

    // With fades or normalising the part is heard as it will be saved: cut and shaped into a
    // preview file of its own, played whole.
    std::string played = wav;
    if (const RingtoneShaping shaping = CurrentShaping(session_); shaping.Active()) {
        played = PreviewWavPath();
        if (!CutSelectionShapedForPreview(played, wav, shaping)) return;
        loopStartMs_ = 0;
        playCursorOffset_ = plan->start / 2;
    }
    int opened = player_.OpenWave(played);
    if (opened == kMciOk) {
        if (played != wav) {
            playEndMs_ = player_.lengthMs();
        } else if (plan->seekMs != 0) {
            opened = player_.SeekToMs(plan->seekMs);
        }
    }
    if (opened == kMciOk) opened = player_.Play();
    if (opened != kMciOk) {
        player_.Close();
        platform::ShowMessage(
            opened == kMciHardware ? kNoSoundOutput : InvalidFileError(played).what(),
            platform::MsgIcon::Error);
        return;
    }
    playing_.store(1);
    SetTimer(kPlayTimer, kPlayTimerMs);
}

void CRingsmithDlg::StopPlayback() {
    if (playing_.load() == 1) {
        playing_.store(0);
        player_.Close();
        editor_.GetCursor();
        editor_.SetPlayCursor(-1);
        KillTimer(kPlayTimer);
    }
}

bool CRingsmithDlg::RestartLoop() {
    if (!ringtoneTools_ || !ringtoneTools_->loopPreview() || playing_.load() != 1) return false;
    const int seek = loopStartMs_ != 0 ? player_.SeekToMs(loopStartMs_) : player_.SeekToStart();
    return seek == kMciOk && player_.Play() == kMciOk;
}

void CRingsmithDlg::OnPlayOrStop() {
    if (playing()) Command(kCmdStop);
    else Command(kCmdPlay);
}

void CRingsmithDlg::OnStop() {
    StopPlayback();
    editor_.GetCursor();
}

void CRingsmithDlg::OnTimer(int id) {
    if (id == kPlayTimer) {
        if (!player_.IsPlaying() || playing_.load() == 0) {
            if (RestartLoop()) return;
            player_.Close();
            playing_.store(0);
            editor_.GetCursor();
            editor_.SetPlayCursor(-1);
            KillTimer(kPlayTimer);
            return;
        }
        const uint32_t positionMs = player_.GetPositionMs().value_or(0);
        editor_.SetPlayCursor(PlayCursorFor(positionMs, playFormat_.bytesPerSecond) +
                              playCursorOffset_);
        if (positionMs >= playEndMs_ && !RestartLoop()) OnStop();
        return;
    }
    // Timers 1 (decoding) and 2 (encoding) move the progress bar while a job runs.
    if (const std::optional<int> position = JobTimerPosition(session_, id)) {
        progress_->setValue(*position);
        return;
    }
    platform::Dialog::OnTimer(id);
}

// ---- Leaving ---------------------------------------------------------------------------------

void CRingsmithDlg::OnMinimize() { showMinimized(); }

bool CRingsmithDlg::ConfirmExit() {
    return platform::GetUi().MessageBox("Do you really want to exit?", "Ringsmith",
                                        platform::MsgButtons::OkCancel,
                                        platform::MsgIcon::Exclamation) == platform::MsgResult::Ok;
}

void CRingsmithDlg::OnExit() {
    if (BusyCheck(*this)) return;
    if (ConfirmExit()) PostQuit();
}

void CRingsmithDlg::OnCloseRequest() {
    if (BusyCheck(*this)) return;
    if (ConfirmExit()) EndDialog(platform::IDCANCEL);
}

}  // namespace studio
