#include "studio/tools/cd_ripper_dlg.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QThread>
#include <QTreeWidgetItem>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/paths.h"
#include "platform/template_rect.h"
#include "platform/ui.h"
#include "studio/codec_engine.h"
#include "studio/main_window_logic.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/folder_picker.h"
#include "uikit/skin_bitmaps.h"
#include "uikit/skin_buttons.h"
#include "uikit/track_list.h"

using platform::Ltrb;

namespace studio {
namespace {

constexpr int kRipperBackground = 236;
constexpr int kBackgroundOffset = 30;
const QColor kListBackground(212, 227, 255);
const QColor kListText(0, 0, 100);

platform::ControlSpec Button(int id, const char* caption, QRect rect) {
    platform::ControlSpec spec{id, platform::ControlKind::Custom, caption, rect};
    const QString text = caption;
    spec.factory = [text](QWidget* parent) { return new CXPButton(text, parent); };
    return spec;
}

platform::ControlSpec Label(int id, const char* caption, QRect rect) {
    return {id, platform::ControlKind::Static, caption, rect};
}

// Rows from the top: the drive with Refresh and Look up; album and artist; the release choice;
// the track list; the look-up status and the file-name choice; the output folder, Rip and Stop.
platform::DialogTemplate RipperTemplate() {
    platform::DialogTemplate t;
    t.caption = "CD Ripper:";
    // The background bitmap, drawn from its 30th row, covers 450 rows: the dialog stays inside.
    t.size = QSize(560, 432);
    platform::ControlSpec list{CCdRipperDlg::kIdTrackList, platform::ControlKind::Custom, "",
                               Ltrb(8, 114, 552, 360)};
    list.factory = [](QWidget* parent) { return new CTrackListCtrl(ProgramKind::Studio, parent); };
    t.controls = {
        {CCdRipperDlg::kIdDrives, platform::ControlKind::ComboBox, "", Ltrb(104, 20, 336, 46)},
        Button(CCdRipperDlg::kIdRefresh, "Refresh", Ltrb(344, 18, 444, 48)),
        Button(CCdRipperDlg::kIdLookUp, "Look up", Ltrb(452, 18, 552, 48)),
        Label(CCdRipperDlg::kIdAlbumLabel, "Album:", Ltrb(8, 56, 60, 80)),
        {CCdRipperDlg::kIdAlbum, platform::ControlKind::Edit, "", Ltrb(62, 56, 296, 80)},
        Label(CCdRipperDlg::kIdArtistLabel, "Artist:", Ltrb(306, 56, 352, 80)),
        {CCdRipperDlg::kIdArtist, platform::ControlKind::Edit, "", Ltrb(354, 56, 552, 80)},
        Label(CCdRipperDlg::kIdReleasesLabel, "Release:", Ltrb(8, 86, 60, 108)),
        {CCdRipperDlg::kIdReleases, platform::ControlKind::ComboBox, "", Ltrb(62, 85, 552, 109)},
        list,
        Label(CCdRipperDlg::kIdLookupStatus, "", Ltrb(8, 366, 326, 390)),
        Label(CCdRipperDlg::kIdNamingLabel, "File names:", Ltrb(334, 366, 410, 390)),
        {CCdRipperDlg::kIdNaming, platform::ControlKind::ComboBox, "", Ltrb(412, 366, 552, 390)},
        {CCdRipperDlg::kIdOutputFolder, platform::ControlKind::Edit, "", Ltrb(94, 398, 330, 424)},
        Button(CCdRipperDlg::kIdBrowse, "...", Ltrb(334, 398, 364, 424)),
        Button(CCdRipperDlg::kIdRip, "Rip", Ltrb(372, 396, 460, 426)),
        Button(CCdRipperDlg::kIdStop, "Stop", Ltrb(464, 396, 552, 426)),
    };
    return t;
}

std::mutex g_confirmMutex;
CCdRipperDlg::ConfirmHandler g_confirmHandler;

}  // namespace

// ---- Confirm ------------------------------------------------------------------------------------

CConfirmDlg::CConfirmDlg(const std::string& text, QWidget* parent) : platform::Dialog(parent) {
    platform::DialogTemplate t;
    t.caption = "Confirm";
    t.size = QSize(330, 130);
    t.controls = {
        {platform::IDC_STATIC, platform::ControlKind::Static, text, Ltrb(16, 12, 314, 84)},
        {kConfirmYes, platform::ControlKind::Button, "Yes", Ltrb(40, 92, 120, 118)},
        {kConfirmNo, platform::ControlKind::Button, "No", Ltrb(125, 92, 205, 118)},
        {kConfirmAll, platform::ControlKind::Button, "All", Ltrb(210, 92, 290, 118)},
    };
    Build(t);
    SetSwallowEscEnter(true);
    for (int id : {kConfirmYes, kConfirmNo, kConfirmAll}) {
        OnCommand(id, [this, id] { EndDialog(id); });
    }
    // Only the three buttons end it, not the close box.
    OnCommand(platform::IDCANCEL, [] {});
}

// ---- The worker's view of the dialog -----------------------------------------------------------

class CCdRipperDlg::WorkerLink : public IRipWindow {
  public:
    explicit WorkerLink(CCdRipperDlg* dialog)
        : dialog_(dialog), session_(dialog->session_), poster_(dialog->Poster()) {}

    void PostTrackChanged(int row) override {
        poster_.PostMessage(kMsgTrackChanged, static_cast<platform::WParam>(row));
    }
    void PostRunEnded() override { poster_.PostMessage(kMsgRunEnded); }
    // The dialog stays while a run is under way (closing is refused and Stop waits for the end),
    // so the worker may reach it until it has set the finished flag.
    void StartEncodeTimer() override { dialog_->SetTimer(kEncodeTimer, kEncodeTimerMs); }
    // The cell shows the encode's final percentage ("MP3:100%" once it is done), not the last
    // one the timer happened to see.
    void StopEncodeTimer() override {
        dialog_->KillTimer(kEncodeTimer);
        const int row = session_.ripper.currentRow.load();
        const int percent = session_.engine.GetEncode2Mp3Percent();
        CCdRipperDlg* dialog = dialog_;
        QMetaObject::invokeMethod(
            dialog,
            [dialog, row, percent] {
                if (row < dialog->list_->RowCount()) {
                    dialog->list_->SetCellText(row, 2, "MP3:" + std::to_string(percent) + "%");
                }
            },
            Qt::QueuedConnection);
    }
    int Confirm(const std::string& text) override { return dialog_->AskConfirm(text); }

  private:
    CCdRipperDlg* dialog_;
    Session& session_;
    platform::MessagePoster poster_;
};

// ---- The ripper --------------------------------------------------------------------------------

CCdRipperDlg::CCdRipperDlg(Session& session, RipMode mode, QWidget* parent)
    : platform::Dialog(parent), session_(session), mode_(mode) {
    session_.ripper.mode = mode;
    session_.CopyRipperOptionsToWorkingCopy();
    Build(RipperTemplate());
    SetSwallowEscEnter(true);
    list_ = Control<CTrackListCtrl>(kIdTrackList);
    OnCommand(kIdRefresh, &CCdRipperDlg::OnRefresh);
    OnCommand(kIdRip, &CCdRipperDlg::OnRip);
    OnCommand(kIdStop, &CCdRipperDlg::OnStop);
    OnCommand(kIdBrowse, &CCdRipperDlg::OnBrowse);
    OnCommand(kIdDrives, &CCdRipperDlg::OnDriveChanged, platform::Notify::SelChange);
    OnCommand(kIdLookUp, &CCdRipperDlg::OnLookUp);
    OnCommand(
        kIdReleases,
        [this] { ChooseRelease(Control<QComboBox>(kIdReleases)->currentIndex()); },
        platform::Notify::SelChange);
    OnCommand(
        kIdNaming,
        [this] {
            ChooseNaming(Control<QComboBox>(kIdNaming)->currentIndex() == 1
                             ? RipNaming::NumberAndTitle
                             : RipNaming::TrackNumber);
        },
        platform::Notify::SelChange);
    OnCommand(
        kIdAlbum, [this] { if (!showing_) EditAlbum(ItemText(kIdAlbum)); },
        platform::Notify::Change);
    OnCommand(
        kIdArtist, [this] { if (!showing_) EditArtist(ItemText(kIdArtist)); },
        platform::Notify::Change);

    const LookupSettings lookupSettings = LoadLookupSettings(SettingsFileName());
    autoLookup_ = lookupSettings.autoLookup;
    naming_ = LoadRipNaming(SettingsFileName());
    lookup_ = new DiscLookup(lookupSettings, this);
    connect(lookup_, &DiscLookup::Finished, this,
            [this](const LookupResult& result) { LookupFinished(result); });
}

CCdRipperDlg::~CCdRipperDlg() {
    // The window closes during a run only when the program ends (a signal): the session has
    // asked the run to stop, and the window serves its calls until it has.
    while (session_.ripper.finished.load() == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    lookup_->Cancel();
    session_.settings.Save();
    session_.engine.CallSetCancelEncode(0);
}

void CCdRipperDlg::SetConfirmHandler(ConfirmHandler handler) {
    std::lock_guard lock(g_confirmMutex);
    g_confirmHandler = std::move(handler);
}

std::string CCdRipperDlg::StatusText(int status) {
    if (status == kStatusNone) return "";
    if (status >= 0 && status <= 99) return std::to_string(status) + "%";
    if (status == kStatusRead) return "...";
    if (status == kStatusCancelled) return "Cancelled";
    return "ERROR";
}

void CCdRipperDlg::OnInitDialog() {
    setWindowIcon(QIcon(skin::LoadSkinBitmap("studio", kIconBitmap)));
    auto* combo = Control<QComboBox>(kIdDrives);
    combo->clear();
    session_.cd.tracks.clear();
    const int drives = session_.cd.EnumerateDrives();
    if (drives == 0) {
        platform::ShowMessage("Couldn't find any CD-ROM drives!");
        // Closing with the cancel result: an Extract run must not open a stale WAV.
        noDrives_ = true;
        QMetaObject::invokeMethod(
            this, [this] { EndDialog(platform::IDCANCEL); }, Qt::QueuedConnection);
        return;
    }
    int& current = session_.cd.currentDrive;
    if (current < 0 || current >= drives) current = 0;
    for (const CdDrive& drive : session_.cd.drives)
        combo->addItem(QString::fromStdString(DriveLabel(drive)));
    combo->setCurrentIndex(session_.cd.currentDrive);

    QPalette palette = list_->palette();
    palette.setColor(QPalette::Base, kListBackground);
    palette.setColor(QPalette::AlternateBase, kListBackground);
    palette.setColor(QPalette::Text, kListText);
    list_->setPalette(palette);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setPlayDisabled(true);
    if (mode_ == RipMode::Extract) {
        ShowItem(kIdOutputFolder, false);
        ShowItem(kIdBrowse, false);
    }
    list_->InsertColumns({{"Track name", 355}, {"Time", 75}, {"Status", 95}});
    if (mode_ == RipMode::CdToMp3) {
        list_->viewport()->installEventFilter(this);
        list_->header()->installEventFilter(this);
        list_->installEventFilter(this);
        connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
            // A tick changes column 0 too: only a changed text is an edit.
            const int row = list_->indexOfTopLevelItem(item);
            if (showing_ || column != 0 || row < 0 ||
                static_cast<size_t>(row) >= session_.cd.tracks.size())
                return;
            const std::string text = item->text(0).toStdString();
            const std::string shown = titles_.HasShownTitle(row)
                                          ? titles_.Title(row)
                                          : session_.cd.tracks[static_cast<size_t>(row)].name;
            if (text != shown) EditTitle(row, text);
        });
    }
    // The labels and the status line are drawn on the background, white like the painted ones.
    for (int id : {kIdAlbumLabel, kIdArtistLabel, kIdReleasesLabel, kIdLookupStatus,
                   kIdNamingLabel}) {
        QWidget* label = Item(id);
        QPalette white = label->palette();
        white.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(white);
    }
    // Each label names its control for a screen reader too.
    const std::pair<int, int> buddies[] = {{kIdAlbumLabel, kIdAlbum},
                                           {kIdArtistLabel, kIdArtist},
                                           {kIdReleasesLabel, kIdReleases},
                                           {kIdNamingLabel, kIdNaming}};
    for (const auto& [label, control] : buddies) Control<QLabel>(label)->setBuddy(Item(control));
    auto* naming = Control<QComboBox>(kIdNaming);
    for (const char* choice : kNamingChoices) naming->addItem(choice);
    naming->setCurrentIndex(naming_ == RipNaming::NumberAndTitle ? 1 : 0);
    // The choice lines are longer than the box: the open list shows them whole.
    Control<QComboBox>(kIdReleases)->view()->setMinimumWidth(490);
    if (mode_ != RipMode::CdToMp3) {
        for (int id : {kIdAlbum, kIdArtist, kIdAlbumLabel, kIdArtistLabel, kIdNaming,
                       kIdNamingLabel})
            ShowItem(id, false);
    }

    NewDisc(session_.cd.RefreshTracks(session_.cd.currentDrive));
    if (mode_ == RipMode::Extract) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    RipperState& state = session_.ripper;
    if (!session_.settings.ripOutputFolder.empty())
        state.outputFolder = session_.settings.ripOutputFolder;
    SetItemText(kIdOutputFolder, state.outputFolder);
}

void CCdRipperDlg::FillList() {
    const QSignalBlocker quiet(list_);
    list_->clear();
    std::vector<CdTrack>& tracks = session_.cd.tracks;
    const bool ripping = session_.ripper.ripping.load() != 0;
    for (size_t row = 0; row < tracks.size(); ++row) {
        CdTrack& track = tracks[row];
        // The positions are the rows; a run under way has its own copy of what it needs.
        if (!ripping) track.position = static_cast<int>(row);
        auto* item = new QTreeWidgetItem(list_);
        if (mode_ == RipMode::CdToMp3) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            if (track.audio()) item->setFlags(item->flags() | Qt::ItemIsEditable);
            item->setCheckState(0, track.ticked ? Qt::Checked : Qt::Unchecked);
        }
        item->setSelected(track.selected);
        UpdateRow(static_cast<int>(row));
    }
}

void CCdRipperDlg::UpdateRow(int row) {
    const std::vector<CdTrack>& tracks = session_.cd.tracks;
    if (row < 0 || static_cast<size_t>(row) >= tracks.size() || row >= list_->RowCount()) return;
    const CdTrack& track = tracks[static_cast<size_t>(row)];
    std::string time;
    if (track.audio()) {
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d", track.seconds / 60, track.seconds % 60);
        time = text;
    }
    const bool wasShowing = showing_;
    showing_ = true;
    list_->SetCellText(row, 0, titles_.HasShownTitle(row) ? titles_.Title(row) : track.name);
    showing_ = wasShowing;
    list_->SetCellText(row, 1, time);
    list_->SetCellText(row, 2, StatusText(track.status.load()));
}

void CCdRipperDlg::OnRefresh() {
    RipperState& state = session_.ripper;
    if (state.ripping.load() != 0) return;
    state.userStop.store(0);
    const int index = Control<QComboBox>(kIdDrives)->currentIndex();
    if (index >= 0) session_.cd.currentDrive = index;
    list_->clear();
    const bool ok = session_.cd.RefreshTracks(session_.cd.currentDrive);
    NewDisc(ok);
    if (!ok) {
        // A disc image that cannot be read says which one and why.
        const std::string problem = session_.cd.DriveProblem(session_.cd.currentDrive);
        platform::ShowMessage(problem.empty() ? "Please insert an audio CD in your CD-ROM drive!"
                                              : problem);
    }
}

void CCdRipperDlg::OnDriveChanged() {
    // While a rip runs the choice does nothing: the box goes back to the drive being ripped, so
    // that it never names another disc than the one the next Rip reads.
    if (session_.ripper.ripping.load() != 0) {
        auto* combo = Control<QComboBox>(kIdDrives);
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(session_.cd.currentDrive);
        return;
    }
    OnRefresh();
}

void CCdRipperDlg::TickAll(bool ticked) {
    if (mode_ != RipMode::CdToMp3 || session_.ripper.ripping.load() != 0) return;
    for (int row = 0; row < list_->RowCount(); ++row)
        list_->topLevelItem(row)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

QMenu* CCdRipperDlg::TickMenu() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction("Select all"), &QAction::triggered, this, [this] { TickAll(true); });
    connect(menu->addAction("Select none"), &QAction::triggered, this, [this] { TickAll(false); });
    return menu;
}

void CCdRipperDlg::OnBrowse() {
    if (session_.ripper.ripping.load() != 0) return;
    CFolderPicker picker(this, kOutputFolderTitleId);
    picker.SetFlags(kBrowseFileSystemOnly | kBrowseStatusText);
    picker.SetInitialFolder("");
    if (!picker.Run()) return;
    session_.ripper.outputFolder = picker.Folder();
    SetItemText(kIdOutputFolder, picker.Folder());
}

void CCdRipperDlg::OnRip() {
    RipperState& state = session_.ripper;
    session_.engine.CallSetCancelEncode(0);
    if (mode_ == RipMode::CdToMp3) {
        std::string folder = ItemText(kIdOutputFolder);
        if (folder.empty()) {
            platform::ShowMessage("You should set a path for your mp3s!");
            return;
        }
        // A typed "~/rips" or "rips" is a folder in the home folder, shown and kept in full.
        folder = platform::WithTrailingSeparator(TypedFolderPath(folder));
        SetItemText(kIdOutputFolder, folder);
        session_.settings.RememberFolder(FolderSlot::RipOutput, folder);
        folder = platform::ToPlatformSeparators(folder);
        state.outputFolder = folder;
        const bool usable = platform::IsDirectory(folder) && platform::IsWritable(folder);
        if (!usable && !CreateFolderWithParents(folder)) {
            platform::ShowMessage("Please select a valid path!");
            return;
        }
    }
    if (state.ripping.load() != 0) return;
    state.userStop.store(0);

    const std::vector<CdDrive>& drives = session_.cd.drives;
    const int index = session_.cd.currentDrive;
    if (index < 0 || static_cast<size_t>(index) >= drives.size()) return;
    if (session_.cd.ReadDiscIdentity(index) !=
        int64_t{drives[static_cast<size_t>(index)].identity}) {
        platform::ShowMessage("CD has changed.Do a refresh and try again!");
        return;
    }
    std::vector<CdTrack>& tracks = session_.cd.tracks;
    if (tracks.empty()) return;
    for (int row = 0; row < list_->RowCount() && static_cast<size_t>(row) < tracks.size(); ++row) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        CdTrack& track = tracks[static_cast<size_t>(row)];
        track.ticked = mode_ == RipMode::CdToMp3 && item->checkState(0) == Qt::Checked;
        track.selected = item->isSelected();
        if (mode_ == RipMode::Extract) track.ticked = track.selected && track.audio();
    }
    const bool any = std::any_of(tracks.begin(), tracks.end(),
                                 [](const CdTrack& track) { return track.ticked && track.audio(); });
    if (!any) {
        platform::ShowMessage("You should select a song.");
        return;
    }
    // Files of an earlier rip in the folder (a second disc, say) are replaced only when the user
    // says so, once for all of them.
    // What the run rips, names and tags as the window shows them now.
    RipPlan plan = MakeRipPlan(drives[static_cast<size_t>(index)], mode_, state.outputFolder,
                               tracks, titles_, naming_);
    if (mode_ == RipMode::CdToMp3) {
        const std::vector<std::string> inTheWay = RipOutputsInTheWay(plan);
        if (!inTheWay.empty() &&
            platform::GetUi().MessageBox(RipReplaceQuestion(inTheWay), platform::ProgramName(),
                                         platform::MsgButtons::YesNo,
                                         platform::MsgIcon::Question) != platform::MsgResult::Yes)
            return;
    }
    for (CdTrack& track : tracks)
        if (track.ticked && track.audio()) track.status.store(0);
    FillList();
    state.ripping.store(1);
    state.finished.store(0);
    auto link = std::make_shared<WorkerLink>(this);
    auto shared = std::make_shared<const RipPlan>(std::move(plan));
    Session& session = session_;
    // Ending the session stops the rip as Stop does, without the window.
    const auto stop = [&session] {
        session.ripper.userStop.store(1);
        session.engine.CallSetCancelEncode(1);
        session.ripper.ripping.store(0);
    };
    if (!session_.workers.Start(
            "cd ripper", [&session, link, shared] { RipRun(session, *link, *shared); }, stop)) {
        state.ripping.store(0);
        state.finished.store(1);
    }
}

void CCdRipperDlg::OnStop() {
    RipperState& state = session_.ripper;
    if (state.ripping.load() == 0) return;
    state.userStop.store(1);
    session_.engine.CallSetCancelEncode(1);
    state.ripping.store(0);
    for (CdTrack& track : session_.cd.tracks) {
        const int status = track.status.load();
        if (track.ticked && status >= 0 && status <= 99) track.status.store(kStatusCancelled);
    }
    FillList();
    // The window keeps answering while it waits: the worker may be asking the Confirm question
    // or waiting for a timer call on this thread.
    while (state.finished.load() == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

int CCdRipperDlg::AskConfirm(const std::string& text) {
    {
        std::lock_guard lock(g_confirmMutex);
        if (g_confirmHandler) return g_confirmHandler(text);
    }
    int answer = kConfirmNo;
    auto ask = [this, &text, &answer] {
        CConfirmDlg confirm(text, this);
        answer = confirm.DoModal();
    };
    if (QThread::currentThread() == thread()) {
        ask();
    } else {
        QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
    }
    return answer;
}

void CCdRipperDlg::OnTimer(int id) {
    if (id != kEncodeTimer) {
        platform::Dialog::OnTimer(id);
        return;
    }
    const int row = session_.ripper.currentRow.load();
    if (row < 0 || row >= list_->RowCount()) return;
    const int percent = session_.engine.GetEncode2Mp3Percent();
    list_->SetCellText(row, 2, "MP3:" + std::to_string(percent) + "%");
    if (session_.engine.GetEncode2Mp3Percent() > 97) list_->SetCellText(row, 2, "MP3:100%");
}

void CCdRipperDlg::OnMessage(unsigned msg, platform::WParam w, platform::LParam l) {
    RipperState& state = session_.ripper;
    if (msg == kMsgTrackChanged) {
        UpdateRow(static_cast<int>(w));
        list_->viewport()->update();
    } else if (msg == kMsgRunEnded) {
        state.ripping.store(0);
        if (mode_ == RipMode::CdToMp3) {
            platform::RemoveFile(RipWavPath(RipMode::CdToMp3));
            platform::ShowSuccess("Complete!");
        } else if (state.userStop.load() == 0) {
            EndDialog(platform::IDOK);
        }
    } else {
        platform::Dialog::OnMessage(msg, w, l);
    }
}

std::string CCdRipperDlg::LookupStatus() const { return ItemText(kIdLookupStatus); }

void CCdRipperDlg::SetStatus(const QString& text) {
    SetItemText(kIdLookupStatus, text.toStdString());
}

void CCdRipperDlg::NewDisc(bool read) {
    lookup_->Cancel();
    std::vector<CdTrack>& tracks = session_.cd.tracks;
    const int index = session_.cd.currentDrive;
    CdTextTitles cdText;
    if (read && index >= 0 && static_cast<size_t>(index) < session_.cd.drives.size())
        cdText = ReadCdText(session_.cd.drives[static_cast<size_t>(index)], tracks);
    titles_.Reset(std::move(cdText), static_cast<int>(tracks.size()));
    SetStatus("");
    FillList();
    ShowTitles();
    if (read && autoLookup_) OnLookUp();
}

void CCdRipperDlg::OnLookUp() {
    const int index = session_.cd.currentDrive;
    if (session_.cd.tracks.empty() || index < 0 ||
        static_cast<size_t>(index) >= session_.cd.drives.size())
        return;
    const CdDrive& drive = session_.cd.drives[static_cast<size_t>(index)];
    SetStatus(kLookingUpText);
    lookup_->Start(DiscTocFrom(drive.toc, drive.identity));
}

void CCdRipperDlg::LookupFinished(const LookupResult& result) {
    SetStatus(titles_.TakeLookupResult(result));
    ShowTitles();
    for (int row = 0; row < list_->RowCount(); ++row) UpdateRow(row);
}

void CCdRipperDlg::ShowTitles() {
    showing_ = true;
    SetItemText(kIdAlbum, titles_.album());
    SetItemText(kIdArtist, titles_.artist());
    auto* releases = Control<QComboBox>(kIdReleases);
    releases->clear();
    for (const std::string& line : titles_.ChoiceLines())
        releases->addItem(QString::fromStdString(line));
    releases->setCurrentIndex(titles_.chosen());
    // A choice only when there is one to make.
    releases->setEnabled(titles_.releases().size() > 1);
    showing_ = false;
}

void CCdRipperDlg::ChooseRelease(int index) {
    if (!titles_.Choose(index)) return;
    ShowTitles();
    for (int row = 0; row < list_->RowCount(); ++row) UpdateRow(row);
}

void CCdRipperDlg::ChooseNaming(RipNaming naming) {
    naming_ = naming;
    SaveRipNaming(SettingsFileName(), naming);
    showing_ = true;
    Control<QComboBox>(kIdNaming)->setCurrentIndex(naming == RipNaming::NumberAndTitle ? 1 : 0);
    showing_ = false;
}

void CCdRipperDlg::EditTitle(int row, const std::string& text) {
    titles_.EditTitle(row, text);
    UpdateRow(row);
}

void CCdRipperDlg::EditAlbum(const std::string& text) { titles_.EditAlbum(text); }

void CCdRipperDlg::EditArtist(const std::string& text) { titles_.EditArtist(text); }

void CCdRipperDlg::OnClose() {
    if (session_.ripper.ripping.load() != 0) {
        platform::ShowMessage("You are ripping.");
        return;
    }
    EndDialog(platform::IDCANCEL);
}

bool CCdRipperDlg::eventFilter(QObject* watched, QEvent* event) {
    // A double-click on a row or F2 edits the row's title.
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QTreeWidgetItem* item = list_->itemAt(mouse->position().toPoint());
        if (item && (item->flags() & Qt::ItemIsEditable)) list_->editItem(item, 0);
        return true;
    }
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
        QTreeWidgetItem* item = list_->currentItem();
        if (item && (item->flags() & Qt::ItemIsEditable)) list_->editItem(item, 0);
        return true;
    }
    if (watched == list_) return platform::Dialog::eventFilter(watched, event);
    // A right click on the rows or the header offers ticking every track or none.
    if ((watched == list_->viewport() || watched == list_->header()) &&
        event->type() == QEvent::ContextMenu) {
        if (session_.ripper.ripping.load() == 0)
            TickMenu()->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    if (watched != list_->viewport() || event->type() != QEvent::MouseButtonRelease) {
        return platform::Dialog::eventFilter(watched, event);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    QTreeWidgetItem* item = list_->itemAt(mouse->position().toPoint());
    if (mouse->button() != Qt::LeftButton || !item || session_.ripper.ripping.load() != 0)
        return false;
    QStyleOptionViewItem option;
    option.initFrom(list_);
    option.rect = list_->visualRect(list_->model()->index(list_->indexOfTopLevelItem(item), 0));
    option.features = QStyleOptionViewItem::HasCheckIndicator;
    const QRect box =
        list_->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list_);
    if (box.adjusted(-2, -2, 2, 2).contains(mouse->position().toPoint())) {
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    return false;
}

void CCdRipperDlg::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (isMinimized()) {
        const QPixmap icon = skin::LoadSkinBitmap("studio", kIconBitmap);
        painter.drawPixmap(rect().center() - icon.rect().center(), icon);
        return;
    }
    const QPixmap background = skin::LoadSkinBitmap("studio", kRipperBackground);
    if (background.isNull()) {
        if (!quitAsked_) {
            quitAsked_ = true;
            platform::ShowMessage("Not enough memory!");
            QCoreApplication::quit();
        }
        platform::Dialog::paintEvent(event);
        return;
    }
    painter.drawPixmap(0, 0, background, 0, kBackgroundOffset, -1, -1);
    painter.setPen(Qt::white);
    painter.drawText(QRect(8, 25, 96, 20), Qt::AlignLeft | Qt::AlignTop, "Set a CD-ROM:");
    if (mode_ == RipMode::CdToMp3) {
        painter.drawText(QRect(8, 403, 86, 20), Qt::AlignLeft | Qt::AlignTop, "Output Path:");
    }
}

}  // namespace studio
