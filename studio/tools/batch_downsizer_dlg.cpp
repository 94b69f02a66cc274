#include "studio/tools/batch_downsizer_dlg.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QThread>
#include <thread>

#include "platform/paths.h"
#include "platform/ui.h"
#include "studio/codec_engine.h"
#include "studio/session.h"
#include "studio/tools/folder_picker.h"
#include "studio/tools/mp3_settings_dlg.h"
#include "studio/tools/tool_controls.h"
#include "uikit/skin_bitmaps.h"
#include "uikit/skin_controls.h"
#include "uikit/track_list.h"

namespace studio {
namespace {

constexpr QSize kDialogSize(640, 480);
const QColor kControlGround(234, 234, 234);
const QColor kListGround(212, 227, 255);
const QColor kListText(0, 0, 100);
constexpr const char* kMp3Filter = "MP3 files(*.mp3)|*.mp3||";
constexpr const char* kM3uFilter = "MP3 Play List(*.m3u)|*.m3u||";
constexpr const char* kWaitMessage = "Please wait...";

// Track-list area; the skinned scroll bars take 12 pixels along its right and bottom edges.
const QRect kListRect = Ltrb(14, 48, 478, 330);

platform::DialogTemplate DownsizerTemplate() {
    using Dlg = CBatchDownsizerDlg;
    platform::DialogTemplate t;
    t.caption = "Big MP3s To Small:";
    t.size = kDialogSize;
    // The side column of list commands.
    const char* side[] = {"Add",  "Add M3U File",   "Delete",  "Delete All",
                          "Play", "Save Play List", "Settings"};
    const int sideIds[] = {Dlg::kAdd,  Dlg::kAddM3u,       Dlg::kDelete,  Dlg::kDeleteAll,
                           Dlg::kPlay, Dlg::kSavePlayList, Dlg::kSettings};
    for (int i = 0; i < 7; ++i)
        t.controls.push_back(
            XPButtonSpec(sideIds[i], side[i], Ltrb(504, 48 + 38 * i, 626, 76 + 38 * i)));
    t.controls.push_back(
        {Dlg::kOutputFolder, platform::ControlKind::Edit, "", Ltrb(130, 406, 578, 430)});
    t.controls.push_back(XPButtonSpec(Dlg::kBrowse, "...", Ltrb(584, 404, 626, 432)));
    t.controls.push_back(
        XPButtonSpec(Dlg::kViewLog, "View Log", Ltrb(14, 440, 124, 470), false, true));
    t.controls.push_back(XPButtonSpec(Dlg::kStop, "Stop", Ltrb(130, 440, 220, 470), false, true));
    t.controls.push_back(
        XPButtonSpec(Dlg::kConvertSingle, "Convert Single", Ltrb(284, 440, 404, 470)));
    t.controls.push_back(XPButtonSpec(Dlg::kConvertAll, "Convert  All ", Ltrb(410, 440, 520, 470)));
    t.controls.push_back(XPButtonSpec(Dlg::kCancel, "Cancel", Ltrb(526, 440, 626, 470)));
    return t;
}

}  // namespace

CBatchDownsizerDlg::CBatchDownsizerDlg(Session& session, QWidget* parent)
    : platform::Dialog(DownsizerTemplate(), parent), session_(session), downsizer_(session) {
    setFixedSize(kDialogSize);
    SetSwallowEscEnter(true);

    list_ = new CTrackListCtrl(ProgramKind::Studio, this);
    list_->setGeometry(kListRect);
    AddControl(kList, list_);
    progress_ = new CSkinProgress(this);
    progress_->setGeometry(Ltrb(14, 358, 626, 378));
    AddControl(kProgress, progress_);

    if (auto* edit = Control<QLineEdit>(kOutputFolder)) {
        QPalette colours = edit->palette();
        colours.setColor(QPalette::Base, kControlGround);
        edit->setPalette(colours);
    }

    OnCommand(kAdd, &CBatchDownsizerDlg::OnAdd);
    OnCommand(kAddM3u, &CBatchDownsizerDlg::OnAddM3u);
    OnCommand(kSavePlayList, &CBatchDownsizerDlg::OnSavePlayList);
    OnCommand(kDelete, [this] {
        if (!RefuseWhileBusy()) list_->DeleteSelected();
    });
    OnCommand(kDeleteAll, [this] {
        if (!RefuseWhileBusy()) list_->Clear();
    });
    OnCommand(kPlay, [this] {
        if (!RefuseWhileBusy()) list_->PlaySelected();
    });
    OnCommand(kSettings, &CBatchDownsizerDlg::OnSettings);
    OnCommand(kBrowse, &CBatchDownsizerDlg::OnBrowse);
    OnCommand(kConvertAll, [this] { OnConvert(CBatchDownsizer::Command::ConvertAll); });
    OnCommand(kConvertSingle, [this] { OnConvert(CBatchDownsizer::Command::ConvertSingle); });
    OnCommand(kCancel, [this] { session_.engine.CallSetCancelEncode(1); });
    OnCommand(kViewLog, &CBatchDownsizerDlg::OnViewLog);
    OnCommand(kStop, [] {});
    // The close box, and a close request reaching the dialog.
    OnCommand(platform::IDCANCEL, [this] { OnClose(); });
}

CBatchDownsizerDlg::~CBatchDownsizerDlg() {
    // A run that still converts calls this window: it is asked to stop and served until it ends.
    if (downsizer_.workerRunning()) session_.engine.CallSetCancelEncode(1);
    while (downsizer_.workerRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CBatchDownsizerDlg::OnInitDialog() {
    background_ = skin::LoadSkinBitmap("studio", kBackgroundBitmap);
    if (background_.isNull()) {
        platform::ShowMessage("Not enough memory!");
        EndDialog(platform::IDCANCEL);
        return;
    }

    QPalette colours = list_->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Base, kListGround);
        colours.setColor(group, QPalette::AlternateBase, kListGround);
        colours.setColor(group, QPalette::Text, kListText);
    }
    list_->setPalette(colours);
    listFont_ = font();
    listFont_.setWeight(QFont::DemiBold);
    list_->setFont(listFont_);
    list_->InsertColumns({{"MP3 Title", 300, Qt::AlignLeft},
                          {"ID", 50, Qt::AlignHCenter},
                          {"Time", 50, Qt::AlignHCenter},
                          {"Full Path", 180, Qt::AlignLeft}});
    list_->AttachScrollBars();
    // The skinned horizontal bar takes the new width when a column border has been dragged.
    connect(list_->header(), &QHeaderView::sectionResized, list_,
            [this] { list_->SyncScrollBars(); });
    progress_->setRange(0, 100);
    progress_->setValue(100);

    outputFolder_ = CurrentSettings().batchOutputFolder;
    SetItemText(kOutputFolder, outputFolder_);
}

void CBatchDownsizerDlg::paintEvent(QPaintEvent* event) {
    platform::Dialog::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font());
    // The texts stand with their top-left corner at the given pixels.
    painter.drawText(
        80, 13 + metrics.ascent(),
        QStringLiteral("64MB MP3 mobile phone can support more than 250 songs,really?"));
    painter.drawText(14, 410 + metrics.ascent(), QStringLiteral("Set Output Path:"));
}

void CBatchDownsizerDlg::OnTimer(int id) {
    if (id == kProgressTimer) {
        progress_->setValue(session_.engine.GetEncode2Mp3Percent());
        return;
    }
    platform::Dialog::OnTimer(id);
}

void CBatchDownsizerDlg::OnClose() {
    if (RefuseWhileBusy()) return;
    EndDialog(platform::IDCANCEL);
}

bool CBatchDownsizerDlg::RefuseWhileBusy() {
    if (!busy()) return false;
    platform::ShowMessage(kWaitMessage);
    return true;
}

void CBatchDownsizerDlg::OnAdd() {
    if (RefuseWhileBusy()) return;
    StudioSettings& settings = session_.settings;
    platform::FileDialogOptions options;
    options.defaultExt = "MP3";
    options.filter = kMp3Filter;
    options.multiSelect = true;
    options.mustExist = true;
    options.initialFolder = settings.batchAddFolder;
    const std::vector<std::string> chosen = platform::GetUi().OpenFiles(options);
    if (chosen.empty()) return;
    for (const std::string& path : chosen) {
        bool listed = false;
        for (int row = 0; row < list_->RowCount() && !listed; ++row)
            listed = list_->CellText(row, CTrackListCtrl::kPathColumn) == path;
        if (!listed) list_->AddFile(path);
    }
    // The folder the dialog was in: every chosen file lies in it.
    settings.RememberFolderOf(FolderSlot::BatchAdd, chosen.front());
}

void CBatchDownsizerDlg::OnAddM3u() {
    if (RefuseWhileBusy()) return;
    platform::FileDialogOptions options;
    options.defaultExt = "m3u";
    options.filter = kM3uFilter;
    options.mustExist = true;
    const std::vector<std::string> chosen = platform::GetUi().OpenFiles(options);
    if (chosen.empty()) return;
    if (list_->LoadM3u(chosen.front()) < 0) {
        platform::ShowMessage("This file is not a M3U play list:\n" + chosen.front());
    }
}

void CBatchDownsizerDlg::OnSavePlayList() {
    if (RefuseWhileBusy()) return;
    platform::FileDialogOptions options;
    options.defaultExt = "m3u";
    options.filter = kM3uFilter;
    options.hideReadOnly = true;
    options.overwritePrompt = true;
    const std::optional<std::string> target = platform::GetUi().SaveFile(options);
    if (target) list_->SaveM3uReporting(*target);
}

void CBatchDownsizerDlg::OnSettings() {
    if (RefuseWhileBusy()) return;
    CMp3SettingsDlg settings(session_.settings, this);
    settings.DoModal();
}

void CBatchDownsizerDlg::OnBrowse() {
    if (RefuseWhileBusy()) return;
    CFolderPicker picker(this, kOutputFolderTitleId);
    picker.SetFlags(kBrowseFileSystemOnly | kBrowseStatusText);
    picker.SetInitialFolder("");
    if (picker.Run()) outputFolder_ = picker.Folder();
    SetItemText(kOutputFolder, outputFolder_);
}

void CBatchDownsizerDlg::OnConvert(CBatchDownsizer::Command command) {
    // A typed "~/mp3s" or "mp3s" is a folder in the home folder, shown as its full path.
    outputFolder_ = TypedFolderPath(ItemText(kOutputFolder));
    if (!outputFolder_.empty()) SetItemText(kOutputFolder, outputFolder_);
    const CBatchDownsizer::StartResult start = downsizer_.Start(command, outputFolder_, *this);
    if (!start.refusal.empty()) platform::ShowMessage(start.refusal);
}

void CBatchDownsizerDlg::OnViewLog() {
    if (RefuseWhileBusy()) return;
    const std::string report = downsizer_.FailureReport();
    if (report.empty()) return;
    platform::ShowMessage("These files could not be converted:\n\n" + report);
}

// ---- The worker's calls ------------------------------------------------------------------------

void CBatchDownsizerDlg::OnGuiThread(const std::function<void()>& call) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

int CBatchDownsizerDlg::RowCount() {
    int count = 0;
    OnGuiThread([this, &count] { count = list_->RowCount(); });
    return count;
}

int CBatchDownsizerDlg::SelectedRow() {
    int row = -1;
    OnGuiThread([this, &row] { row = list_->SelectedRow(); });
    return row;
}

void CBatchDownsizerDlg::SelectRow(int row) {
    OnGuiThread([this, row] { list_->SelectRow(row); });
}

std::string CBatchDownsizerDlg::RowPath(int row) {
    std::string path;
    OnGuiThread([this, row, &path] { path = list_->CellText(row, CTrackListCtrl::kPathColumn); });
    return path;
}

void CBatchDownsizerDlg::SetProgressPos(int pos) {
    OnGuiThread([this, pos] { progress_->setValue(pos); });
}

void CBatchDownsizerDlg::StartProgressTimer() {
    OnGuiThread([this] { SetTimer(kProgressTimer, CBatchDownsizer::kTimerMs); });
}

void CBatchDownsizerDlg::StopProgressTimer() {
    OnGuiThread([this] { KillTimer(kProgressTimer); });
}

void CBatchDownsizerDlg::SetListBusy(bool busy) { list_->setBusy(busy); }

StudioSettings CBatchDownsizerDlg::CurrentSettings() {
    StudioSettings copy;
    OnGuiThread([this, &copy] { copy = session_.settings; });
    return copy;
}

void CBatchDownsizerDlg::RememberOutputFolder(const std::string& folder) {
    OnGuiThread(
        [this, folder] { session_.settings.RememberFolder(FolderSlot::BatchOutput, folder); });
}

void CBatchDownsizerDlg::ShowLogButton(bool show) {
    OnGuiThread([this, show] { ShowItem(kViewLog, show); });
}

}  // namespace studio
