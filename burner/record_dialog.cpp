#include "burner/record_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "burner/record_rules.h"
#include "burner/record_session.h"
#include "platform/body_drag.h"
#include "platform/ui.h"
#include "uikit/skin_controls.h"

namespace burner {

namespace {

using platform::ControlKind;

constexpr unsigned kCloseRequestMessage = 0x0010;  // the window's close request

platform::ControlSpec Button(int id, const char* caption, QRect rect, bool isDefault = false) {
    platform::ControlSpec spec{id, ControlKind::Custom, caption, rect, isDefault};
    spec.factory = [caption, isDefault](QWidget* parent) {
        auto* button = new CXPButton(QString::fromUtf8(caption), parent);
        button->setDefault(isDefault);
        return button;
    };
    return spec;
}

platform::ControlSpec Bar(int id, QRect rect) {
    platform::ControlSpec spec{id, ControlKind::Custom, "", rect};
    spec.factory = [](QWidget* parent) {
        auto* bar = new CSkinProgress(parent, CSkinProgress::BurnerBaseColor());
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    };
    return spec;
}

// Dialog 136 in dialog units, 200 x 164 in the "System" font.
platform::DialogTemplate RecordTemplate() {
    platform::DialogTemplate t;
    t.caption = "Record";
    t.size = QSize(200, 164);
    t.units = platform::TemplateUnits::DialogUnits;
    t.fontFamily = "System";
    t.fontPointSize = 12;
    using R = CRecordDlg;
    t.controls = {
        {platform::IDC_STATIC, ControlKind::Static,
         "Please choose a cd recorder:", QRect(8, 6, 150, 10)},
        {R::kDeviceLabelId, ControlKind::Static, "Device:", QRect(8, 21, 44, 10)},
        {R::kRecorderListId, ControlKind::ComboBox, "", QRect(54, 19, 138, 13)},
        {R::kSpeedLabelId, ControlKind::Static, "Write Speed:", QRect(8, 37, 44, 10)},
        {R::kSpeedListId, ControlKind::ComboBox, "", QRect(54, 35, 60, 13)},
        {R::kTotalTimeId, ControlKind::Static, "Total time:", QRect(8, 53, 184, 10)},
        {R::kTimeLeftId, ControlKind::Static, "Time left(74min):", QRect(8, 64, 184, 10)},
        {R::kCacheId, ControlKind::CheckBox, "Cache/Decode Files Locally", QRect(8, 77, 150, 11)},
        {R::kBurnProofId, ControlKind::CheckBox, "Use Burn Proof", QRect(8, 89, 150, 11)},
        {R::kStatusId, ControlKind::Static, "status", QRect(8, 103, 184, 10)},
        {R::kTrackLabelId, ControlKind::Static, "Track Written", QRect(8, 116, 50, 9)},
        Bar(R::kTrackBarId, QRect(60, 116, 132, 8)),
        {R::kTotalLabelId, ControlKind::Static, "Total  Written", QRect(8, 128, 50, 9)},
        Bar(R::kTotalBarId, QRect(60, 128, 132, 8)),
        Button(R::kTestId, "Test", QRect(8, 143, 42, 15)),
        Button(R::kBurnId, "Burn", QRect(56, 143, 42, 15), true),
        Button(R::kStopId, "Stop", QRect(104, 143, 42, 15)),
        Button(R::kExitId, "Exit", QRect(152, 143, 40, 15)),
    };
    return t;
}

}  // namespace

CRecordDlg::CRecordDlg(std::vector<std::string> paths, std::string total, QWidget* parent,
                       std::vector<std::string> titles)
    : platform::Dialog(parent),
      paths_(std::move(paths)),
      titles_(std::move(titles)),
      total_(std::move(total)),
      events_(static_cast<int>(paths_.size())) {
    Build(RecordTemplate());
    SetSwallowEscEnter(true);
    OnCommand(kTestId, &CRecordDlg::OnTest);
    OnCommand(kBurnId, &CRecordDlg::OnBurn);
    OnCommand(kStopId, [this] { writer_.AbortWrite(); });
    OnCommand(kExitId, [this] { PostMessage(kCloseRequestMessage); });
    OnCommand(platform::IDCANCEL, &CRecordDlg::OnCloseRequest);
    OnCommand(kRecorderListId, &CRecordDlg::ChooseRecorder, platform::Notify::SelChange);
    OnCommand(kSpeedListId, &CRecordDlg::ApplySpeed, platform::Notify::SelChange);
}

void WriterPicture::paintEvent(QPaintEvent*) {
    // A small disc: silver ring, a lighter sheen, the hole.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(QColor(90, 100, 130));
    p.setBrush(QColor(196, 204, 224));
    p.drawEllipse(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 240, 250));
    p.drawPie(r.adjusted(1, 1, -1, -1), 30 * 16, 60 * 16);
    p.setBrush(palette().window());
    const QPointF c = r.center();
    p.drawEllipse(c, r.width() / 7, r.height() / 7);
}

CRecordDlg::~CRecordDlg() {
    writer_.SetEventSink(nullptr);
    if (waitCursor_) QApplication::restoreOverrideCursor();
}

void CRecordDlg::OnInitDialog() {
    SetItemText(kTotalTimeId, TotalTimeText(total_));
    SetItemText(kTimeLeftId, TimeLeftText(total_));
    if (writer_.Create(this)) {
        // The writer control has no window of its own: the dialog shows its disc picture.
        QWidget* shown = writer_.Widget() ? writer_.Widget() : new WriterPicture(this);
        shown->setGeometry(width() - 16 - 6, 6, 16, 16);
        shown->show();
        AddControl(kWriterId, shown);
        writer_.SetEventSink(this);
    }
    if (QWidget* burn = Item(kBurnId)) burn->setFocus();
    FillRecorderList();
    trackCount_ = static_cast<int>(paths_.size());
    for (int id : {kCacheId, kBurnProofId}) {
        if (auto* box = Control<QCheckBox>(id)) box->setChecked(false);
    }
    SetBar(kTrackBarId, 0);
    SetBar(kTotalBarId, 0);
}

void CRecordDlg::FillRecorderList() {
    selectedDevice_ = -1;
    auto* list = Control<QComboBox>(kRecorderListId);
    if (!list) return;
    list->clear();
    const int count = writer_.GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<int16_t>(i);
        const std::string entry = writer_.GetDeviceText1(index) + ": " +
                                  writer_.GetDeviceText2(index) + " " +
                                  writer_.GetDeviceText3(index);
        list->addItem(QString::fromStdString(entry));
    }
    if (list->count() == 0) {
        platform::ShowMessage(
            "There are no compatible CDR drives reported.\nSome older CDR drives are not "
            "currently supported.");
        return;
    }
    list->setCurrentIndex(0);
    ChooseRecorder();
}

void CRecordDlg::ChooseRecorder() {
    auto* list = Control<QComboBox>(kRecorderListId);
    selectedDevice_ = list ? list->currentIndex() : -1;
    if (selectedDevice_ >= 0 && !writer_.SelectDevice(static_cast<int16_t>(selectedDevice_)))
        selectedDevice_ = -1;
    FillSpeedList();
}

void CRecordDlg::FillSpeedList() {
    auto* list = Control<QComboBox>(kSpeedListId);
    if (!list) return;
    const int max = writer_.GetMaxWriteSpeed();
    list->clear();
    for (const SpeedEntry& entry : BuildSpeedList(max))
        list->addItem(QString::fromStdString(entry.text), entry.speed);
    list->setCurrentIndex(0);
    ApplySpeed();
}

void CRecordDlg::ApplySpeed() {
    auto* list = Control<QComboBox>(kSpeedListId);
    if (!list || list->count() == 0 || list->itemData(0).toInt() == 0) return;
    writer_.SetWriteSpeed(static_cast<int16_t>(list->currentData().toInt()));
}

void CRecordDlg::OnTest() {
    testMode_ = true;
    RunStartSequence();
    testMode_ = false;
}

void CRecordDlg::OnBurn() { RunStartSequence(); }

void CRecordDlg::RunStartSequence() {
    RecordOptions options;
    options.test = testMode_;
    options.cacheFiles = Checked(kCacheId);
    options.burnProof = Checked(kBurnProofId);
    std::string refused;
    const StartOutcome outcome = StartRecording(
        writer_, selectedDevice_, paths_, titles_, options,
        [](int, const std::string& path) { return AskReplacement(path); }, &refused);
    if (outcome == StartOutcome::GaveUp)
        GiveUp(refused);
    else if (outcome != StartOutcome::Started)
        platform::ShowMessage(StartOutcomeMessage(outcome));
}

std::optional<std::string> CRecordDlg::AskReplacement(const std::string& path) {
    const platform::MsgResult answer = platform::GetUi().MessageBox(
        "File:" + path + " can't be supported by Discsmith!\nChoose another mp3 file instead of " +
            path + "?",
        "Warning", platform::MsgButtons::OkCancel, platform::MsgIcon::Exclamation);
    if (answer != platform::MsgResult::Ok) return std::nullopt;
    platform::FileDialogOptions options;
    options.title = "Add MP3 files:";
    options.defaultExt = "MP3";
    options.filter = "MP3 files(*.mp3)|*.mp3||";
    options.mustExist = true;
    const std::vector<std::string> chosen = platform::GetUi().OpenFiles(options);
    if (chosen.empty()) return std::nullopt;
    return chosen.front();
}

void CRecordDlg::GiveUp(const std::string& path) {
    EndDialog(platform::IDCANCEL);
    platform::ShowMessage("Delete the file \"" + path + "\" from the list.");
}

void CRecordDlg::EnableControls(bool on) {
    for (int id : {kRecorderListId, kSpeedListId, kCacheId, kTestId, kBurnId}) EnableItem(id, on);
    EnableItem(kBurnProofId, on && writer_.IsBurnProofSupported());
    EnableItem(kStopId, !on);
    idle_ = on;
    if (!on && !waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    } else if (on && waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
}

void CRecordDlg::OnEvent(int id, const platform::VariantList& args) {
    using Phase = RecordUpdate::Phase;
    const RecordUpdate update = events_.OnEvent(id, args);
    if (update.phase == Phase::Writing) EnableControls(false);
    // A write error shows its message while the dialog is still in the writing state; the
    // other endings leave it first.
    if (update.phase == Phase::Failed) platform::ShowMessage(update.message);
    if (update.phase == Phase::Complete || update.phase == Phase::Cancelled ||
        update.phase == Phase::Failed)
        EnableControls(true);
    if (update.phase == Phase::Complete) platform::ShowSuccess("Write complete!");
    if (update.trackPercent >= 0) SetBar(kTrackBarId, update.trackPercent);
    if (update.totalPercent >= 0) SetBar(kTotalBarId, update.totalPercent);
    if (!update.status.empty()) SetItemText(kStatusId, update.status);
    if (update.phase == Phase::Complete) writer_.AfterWriteComplete();
}

void CRecordDlg::OnMessage(unsigned msg, platform::WParam w, platform::LParam l) {
    if (msg == kCloseRequestMessage) {
        OnCloseRequest();
        return;
    }
    platform::Dialog::OnMessage(msg, w, l);
}

void CRecordDlg::OnCloseRequest() {
    if (!idle_) {
        platform::ShowMessage("Stop writing disk first!");
        return;
    }
    EndDialog(platform::IDCANCEL);
}

bool CRecordDlg::Checked(int id) const {
    const auto* box = Control<QCheckBox>(id);
    return box && box->isChecked();
}

void CRecordDlg::SetBar(int id, int percent) { SetProgressPos(id, percent); }

void CRecordDlg::mousePressEvent(QMouseEvent* event) {
    // A press on the body moves the window as a press on a caption would.
    if (!drag_.Press(this, event)) platform::Dialog::mousePressEvent(event);
}

void CRecordDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Move(this, event)) platform::Dialog::mouseMoveEvent(event);
}

void CRecordDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release(event);
    platform::Dialog::mouseReleaseEvent(event);
}

}  // namespace burner
