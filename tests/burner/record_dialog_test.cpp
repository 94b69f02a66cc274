// The recording dialog with a registered fake CD-writer control (lists, start sequence, events,
// closing), and once with the real control writing a disc image.
#include "burner/record_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <array>
#include <filesystem>
#include <map>
#include <set>

#include "burner/burner_dlg.h"
#include "burner/burner_layout.h"
#include "burner/burner_list.h"
#include "components/cd_writer/cd_writer_dispids.h"
#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"

namespace {

namespace ts = testing_support;
using burner::CRecordDlg;
namespace dispid = cd_writer::dispid;
namespace ev = cd_writer::event;
using platform::InvokeKind;
using platform::InvokeStatus;
using platform::MsgResult;
using platform::Variant;
using platform::VariantList;

// A CD-writer control that answers from its fields and records every call.
class FakeWriter : public QWidget, public platform::ControlBase {
  public:
    explicit FakeWriter(QWidget* parent) : QWidget(parent), platform::ControlBase(this) {}

    std::vector<std::array<std::string, 3>> devices = {{"Disc image", "audio CD", "/discs/"}};
    bool selectOk = true;
    int maxSpeed = 0;
    bool writable = true;
    int32_t usage = 0;
    bool burnProof = true;
    bool startOk = true;
    std::set<std::string> refused;  // AddTrack paths answered false
    struct Call {
        int id;
        InvokeKind kind;
        VariantList args;
    };
    std::vector<Call> calls;

    void Send(int id, VariantList args = {}) { Fire(id, std::move(args)); }
    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const Call& c : calls) ids.push_back(c.id);
        return ids;
    }
    int Count(int id) const {
        int n = 0;
        for (const Call& c : calls) n += c.id == id;
        return n;
    }
    const Call* Last(int id) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->id == id) return &*it;
        return nullptr;
    }

    InvokeStatus Invoke(int id, InvokeKind kind, const VariantList& args, Variant* out) override {
        calls.push_back({id, kind, args});
        const int i = args.empty() ? 0 : args[0].ToInt();
        switch (id) {
            case dispid::kGetDeviceCount:
                *out = Variant(int32_t(devices.size()));
                break;
            case dispid::kGetDeviceText1:
                *out = Variant(devices.at(size_t(i))[0]);
                break;
            case dispid::kGetDeviceText2:
                *out = Variant(devices.at(size_t(i))[1]);
                break;
            case dispid::kGetDeviceText3:
                *out = Variant(devices.at(size_t(i))[2]);
                break;
            case dispid::kSelectDevice:
                *out = Variant(selectOk);
                break;
            case dispid::kGetMaxWriteSpeed:
                *out = Variant(int32_t(maxSpeed));
                break;
            case dispid::kHasWritableMedia:
                *out = Variant(writable);
                break;
            case dispid::kGetDiscUsage:
                *out = Variant(usage);
                break;
            case dispid::kAddTrack:
                *out = Variant(!refused.count(args[0].ToString()));
                break;
            case dispid::kIsBurnProofSupported:
                *out = Variant(burnProof);
                break;
            case dispid::kStartWrite:
                *out = Variant(startOk);
                break;
            default:
                *out = Variant(true);
                break;
        }
        return InvokeStatus::Ok;
    }
    std::vector<uint8_t> SaveProperties() const override { return {}; }
};

// Registers the fake for the test's lifetime; `fake` is the control the dialog made.
class FakeWriterScope {
  public:
    explicit FakeWriterScope(std::function<void(FakeWriter&)> setup = {}) {
        platform::RegisterInProcessControl(
            cd_writer::kCDWriterClassId,
            [this, setup](QWidget* parent, const std::vector<uint8_t>&) {
                fake = new FakeWriter(parent);
                if (setup) setup(*fake);
                return static_cast<platform::IHostedControl*>(fake);
            });
    }
    ~FakeWriterScope() { platform::RegisterInProcessControl(cd_writer::kCDWriterClassId, {}); }
    FakeWriter* fake = nullptr;
};

std::vector<std::string> ComboTexts(CRecordDlg& dlg, int id) {
    std::vector<std::string> texts;
    auto* combo = dlg.Control<QComboBox>(id);
    for (int i = 0; combo && i < combo->count(); ++i)
        texts.push_back(combo->itemText(i).toStdString());
    return texts;
}

int Bar(CRecordDlg& dlg, int id) { return dlg.Control<QProgressBar>(id)->value(); }

const std::vector<std::string> kPaths = {"/music/one.mp3", "/music/two.mp3", "/music/three.mp3"};

TEST(RecordDialog, RecorderAndSpeedListsFollowTheControl) {
    platform::ScopedScriptedUi ui;
    for (const auto& [max, expected] : std::vector<std::pair<int, std::vector<std::string>>>{
             {48,
              {"48x", "44x", "40x", "36x", "32x", "28x", "24x", "20x", "16x", "12x", "8x", "4x",
               "2x", "1x"}},
             {10, {"10x", "6x", "2x", "1x"}},
             {3, {"3x", "1x"}},
             {1, {"1x"}},
             {0, {"Default"}}}) {
        FakeWriterScope scope([max = max](FakeWriter& f) {
            f.maxSpeed = max;
            f.devices.push_back({"VENDOR", "CD-RW", "(/dev/sr0)"});
        });
        CRecordDlg dlg(kPaths, "75:10");
        dlg.show();
        EXPECT_EQ(ComboTexts(dlg, CRecordDlg::kSpeedListId), expected) << max;
        // The first speed is applied at once; "Default" never sets one.
        if (max > 0) {
            ASSERT_NE(scope.fake->Last(dispid::kSetWriteSpeed), nullptr);
            EXPECT_EQ(scope.fake->Last(dispid::kSetWriteSpeed)->args[0].ToInt(), max);
        } else {
            EXPECT_EQ(scope.fake->Count(dispid::kSetWriteSpeed), 0);
        }
        EXPECT_EQ(
            ComboTexts(dlg, CRecordDlg::kRecorderListId),
            (std::vector<std::string>{"Disc image: audio CD /discs/", "VENDOR: CD-RW (/dev/sr0)"}));
        EXPECT_EQ(dlg.selectedDevice(), 0);
        EXPECT_EQ(dlg.ItemText(CRecordDlg::kTotalTimeId), "Total time:75:10");
        EXPECT_EQ(dlg.ItemText(CRecordDlg::kTimeLeftId), "Time left(74min):00:00  (80min):04:50");
        EXPECT_EQ(dlg.trackCount(), 3);
    }
    // A recorder that cannot be chosen, and none at all.
    {
        FakeWriterScope scope([](FakeWriter& f) { f.selectOk = false; });
        CRecordDlg dlg(kPaths, "10:00");
        dlg.show();
        EXPECT_EQ(dlg.selectedDevice(), -1);
        dlg.Command(CRecordDlg::kBurnId);
        EXPECT_EQ(ui->messageTexts().back(), "A drive is not selected or does not exist.");
    }
    {
        FakeWriterScope scope([](FakeWriter& f) { f.devices.clear(); });
        CRecordDlg dlg(kPaths, "10:00");
        dlg.show();
        EXPECT_EQ(ui->messageTexts().back(),
                  "There are no compatible CDR drives reported.\nSome older CDR drives are not "
                  "currently supported.");
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.selectedDevice(), -1);
    }
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(RecordDialog, StartSequenceRefusesAndThenCallsTheControlInOrder) {
    platform::ScopedScriptedUi ui;
    FakeWriterScope scope;
    CRecordDlg dlg(kPaths, "12:00");
    dlg.show();
    FakeWriter& f = *scope.fake;
    f.writable = false;
    dlg.Command(CRecordDlg::kBurnId);
    EXPECT_EQ(ui->messageTexts().back(), "Please Insert Writable Media before continuing!");
    f.writable = true;
    f.usage = 1234;
    dlg.Command(CRecordDlg::kBurnId);
    EXPECT_EQ(ui->messageTexts().back(), "Please insert an empty disc for recording.");
    f.usage = 0;
    f.startOk = false;
    dlg.Control<QCheckBox>(CRecordDlg::kCacheId)->setChecked(true);
    dlg.Control<QCheckBox>(CRecordDlg::kBurnProofId)->setChecked(true);
    f.calls.clear();
    dlg.Command(CRecordDlg::kTestId);
    EXPECT_EQ(ui->messageTexts().back(), "Disc Write could not be started.");
    const std::vector<int> order = {
        dispid::kHasWritableMedia, dispid::kGetDiscUsage, dispid::kResetTracks,
        dispid::kAddTrack,         dispid::kAddTrack,     dispid::kAddTrack,
        dispid::kWriteMode7,       dispid::kWriteOption5, dispid::kPrepareWrite,
        dispid::kTestWrite,        dispid::kCacheFiles,   dispid::kIsBurnProofSupported,
        dispid::kSetBurnProof,     dispid::kStartWrite};
    EXPECT_EQ(f.Ids(), order);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.calls[3 + size_t(i)].args[0].ToString(), kPaths[size_t(i)]);
        EXPECT_EQ(f.calls[3 + size_t(i)].args[1].ToInt(), i);
    }
    EXPECT_EQ(f.Last(dispid::kWriteMode7)->args[0].ToInt(), 0);
    EXPECT_EQ(f.Last(dispid::kWriteMode7)->kind, InvokeKind::PropertyPut);
    EXPECT_TRUE(f.Last(dispid::kWriteOption5)->args[0].ToBool());
    EXPECT_TRUE(f.Last(dispid::kTestWrite)->args[0].ToBool());
    EXPECT_TRUE(f.Last(dispid::kCacheFiles)->args[0].ToBool());
    EXPECT_TRUE(f.Last(dispid::kSetBurnProof)->args[0].ToBool());
    EXPECT_TRUE(dlg.idle()) << "a write that did not start never enters the writing state";
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(RecordDialog, RejectedFileAsksForAReplacementOrClosesTheDialog) {
    const std::string bad = kPaths[1];
    const std::string gone = "Delete the file \"" + bad + "\" from the list.";
    const std::string question = "File:" + bad +
                                 " can't be supported by Discsmith!\nChoose "
                                 "another mp3 file instead of " +
                                 bad + "?";
    struct Case {
        MsgResult answer;
        std::vector<std::string> chosen;
        bool replacementRefused;
        bool started;
    };
    for (const Case& c :
         {Case{MsgResult::Ok, {"/other/new.mp3"}, false, true},
          Case{MsgResult::Cancel, {}, false, false}, Case{MsgResult::Ok, {}, false, false},
          Case{MsgResult::Ok, {"/other/bad too.mp3"}, true, false}}) {
        platform::ScopedScriptedUi ui;
        FakeWriterScope scope([&](FakeWriter& f) {
            f.refused = {bad};
            if (c.replacementRefused) f.refused.insert(c.chosen[0]);
        });
        CRecordDlg dlg(kPaths, "12:00");
        dlg.show();
        ui->QueueMessageResult(c.answer);
        if (c.answer == MsgResult::Ok) ui->QueueOpenFiles(c.chosen);
        dlg.Command(CRecordDlg::kBurnId);
        const auto messages = ui->messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages[0].text, question);
        EXPECT_EQ(messages[0].caption, "Warning");
        EXPECT_EQ(messages[0].buttons, platform::MsgButtons::OkCancel);
        EXPECT_EQ(messages[0].icon, platform::MsgIcon::Exclamation);
        FakeWriter& f = *scope.fake;
        if (c.started) {
            EXPECT_EQ(messages.size(), 1u);
            EXPECT_EQ(f.Count(dispid::kStartWrite), 1);
            // The replacement takes the rejected file's place for this write.
            std::string second;
            for (const FakeWriter::Call& call : f.calls)
                if (call.id == dispid::kAddTrack && call.args[1].ToInt() == 1)
                    second = call.args[0].ToString();
            EXPECT_EQ(second, c.chosen[0]);
            EXPECT_EQ(ui->fileDialogs().at(0).title, "Add MP3 files:");
            EXPECT_EQ(ui->fileDialogs().at(0).filter, "MP3 files(*.mp3)|*.mp3||");
            EXPECT_TRUE(dlg.isVisible());
        } else {
            EXPECT_EQ(messages.back().text, gone);
            EXPECT_EQ(f.Count(dispid::kStartWrite), 0);
            EXPECT_FALSE(dlg.isVisible()) << "the dialog closes";
        }
        EXPECT_TRUE(ui->unexpected().empty());
    }
}

TEST(RecordDialog, EventsDriveStatusBarsStateAndMessages) {
    platform::ScopedScriptedUi ui;
    FakeWriterScope scope([](FakeWriter& f) { f.burnProof = false; });
    CRecordDlg dlg(kPaths, "12:00");
    dlg.show();
    FakeWriter& f = *scope.fake;
    auto status = [&] { return dlg.ItemText(CRecordDlg::kStatusId); };

    f.Send(ev::kDiscPreparing);
    EXPECT_EQ(status(), "Preparing to Write Disc....");
    EXPECT_FALSE(dlg.idle());
    for (int id : {CRecordDlg::kRecorderListId, CRecordDlg::kSpeedListId, CRecordDlg::kCacheId,
                   CRecordDlg::kBurnProofId, CRecordDlg::kTestId, CRecordDlg::kBurnId})
        EXPECT_FALSE(dlg.Item(id)->isEnabled()) << id;
    EXPECT_TRUE(dlg.Item(CRecordDlg::kStopId)->isEnabled());
    EXPECT_TRUE(QApplication::overrideCursor() != nullptr);

    f.Send(ev::kCachingStarted, {Variant(1), Variant(1000)});
    f.Send(ev::kCachingProgress, {Variant(505)});
    EXPECT_EQ(status(), "Caching Track - 50%");
    f.Send(ev::kFileReading, {Variant(7)});
    EXPECT_EQ(status(), "Reading File...7");

    // Track 2 of 3 at half its size; track 3 at 99 %; a size of 0 shows 0 %.
    f.Send(ev::kTrackPreparing, {Variant(2), Variant(1000)});
    EXPECT_EQ(status(), "Preparing to Write Track #02");
    f.Send(ev::kTrackProgress, {Variant(2), Variant(500), Variant(0)});
    EXPECT_EQ(Bar(dlg, CRecordDlg::kTrackBarId), 50);
    EXPECT_EQ(Bar(dlg, CRecordDlg::kTotalBarId), 50);
    EXPECT_EQ(status(), "Writing Track #02....");
    f.Send(ev::kTrackPreparing, {Variant(3), Variant(1000)});
    EXPECT_EQ(Bar(dlg, CRecordDlg::kTrackBarId), 0);
    f.Send(ev::kTrackProgress, {Variant(3), Variant(990), Variant(0)});
    EXPECT_EQ(Bar(dlg, CRecordDlg::kTrackBarId), 99);
    EXPECT_EQ(Bar(dlg, CRecordDlg::kTotalBarId), 99);
    f.Send(ev::kTrackPreparing, {Variant(1), Variant(0)});
    f.Send(ev::kTrackProgress, {Variant(1), Variant(0), Variant(0)});
    EXPECT_EQ(Bar(dlg, CRecordDlg::kTrackBarId), 0);
    EXPECT_EQ(Bar(dlg, CRecordDlg::kTotalBarId), 0);

    // A file error changes the status only; closing is refused while writing.
    f.Send(ev::kFileError, {Variant(3), Variant("/music/two.mp3")});
    EXPECT_EQ(status(), "Unknown file error!:");
    f.Send(ev::kFileError, {Variant(0), Variant("/music/two.mp3")});
    EXPECT_EQ(status(), "Error opening file: /music/two.mp3");
    EXPECT_FALSE(dlg.idle());
    dlg.close();
    dlg.Command(CRecordDlg::kExitId);
    QApplication::processEvents();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(ui->messageTexts().back(), "Stop writing disk first!");
    dlg.Command(CRecordDlg::kStopId);
    EXPECT_EQ(f.Count(dispid::kAbortWrite), 1);

    f.Send(ev::kTrackClosing, {Variant(3)});
    EXPECT_EQ(status(), "Closing Track....");
    f.Send(ev::kSessionClosing);
    EXPECT_EQ(status(), "Closing Session....");
    f.Send(ev::kDiscClosing);
    EXPECT_EQ(status(), "Closing Disc....");
    f.Send(ev::kWriteCancelled);
    EXPECT_EQ(status(), "Writing Cancelled!");
    EXPECT_TRUE(dlg.idle());
    EXPECT_FALSE(dlg.Item(CRecordDlg::kBurnProofId)->isEnabled()) << "no burn-proof recorder";
    EXPECT_TRUE(dlg.Item(CRecordDlg::kBurnId)->isEnabled());
    EXPECT_FALSE(dlg.Item(CRecordDlg::kStopId)->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Write errors: each class of the table.
    const std::vector<std::pair<std::pair<int, int>, std::string>> errors = {
        {{3, 1051}, "An unknown device error has occurred "},
        {{3, 1008}, "A buffer under-run has occurred"},
        {{3, 999}, ""},
        {{0, 0}, "The read buffer could not be initialized...check your memory/disc resources."},
        {{2, 0}, "A file error was encountered while writing the disc."},
        {{5, 0},
         "Tracks have been added the disc image with an invalid format...Please try "
         "again."},
        {{9, 0}, ""}};
    for (const auto& [kc, text] : errors) {
        f.Send(ev::kDiscPreparing);
        f.Send(ev::kWriteError, {Variant(kc.first), Variant(kc.second)});
        EXPECT_EQ(ui->messageTexts().back(), text);
        EXPECT_EQ(status(), "A write error occurred..");
        EXPECT_TRUE(dlg.idle());
    }

    // Complete: message, status, AfterWriteComplete; Enter and Escape never close; then Exit does.
    f.Send(ev::kDiscPreparing);
    f.Send(ev::kWriteComplete);
    EXPECT_EQ(ui->messageTexts().back(), "Write complete!");
    EXPECT_EQ(ui->messages().back().icon, platform::MsgIcon::Information);
    EXPECT_EQ(status(), "Write complete!");
    EXPECT_EQ(f.Count(dispid::kAfterWriteComplete), 1);
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(dlg.Item(CRecordDlg::kBurnId), static_cast<Qt::Key>(key));
        QTest::keyClick(&dlg, static_cast<Qt::Key>(key));
    }
    QApplication::processEvents();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(f.Count(dispid::kStartWrite), 0) << "Enter does not press Burn";
    dlg.Command(CRecordDlg::kExitId);
    QApplication::processEvents();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(RecordDialog, TestThenBurnInOneDialog) {
    platform::ScopedScriptedUi ui;
    FakeWriterScope scope;
    CRecordDlg dlg(kPaths, "12:00");
    dlg.show();
    FakeWriter& f = *scope.fake;
    QTest::mouseClick(dlg.Item(CRecordDlg::kTestId), Qt::LeftButton);
    EXPECT_TRUE(f.Last(dispid::kTestWrite)->args[0].ToBool());
    for (int id : {ev::kDiscPreparing, ev::kSessionClosing, ev::kDiscClosing, ev::kWriteComplete})
        f.Send(id);
    QTest::mouseClick(dlg.Item(CRecordDlg::kBurnId), Qt::LeftButton);
    EXPECT_FALSE(f.Last(dispid::kTestWrite)->args[0].ToBool());
    EXPECT_EQ(f.Count(dispid::kStartWrite), 2);
    EXPECT_TRUE(ui->unexpected().empty());
}

// The real control writes a disc image while the dialog follows it.
TEST(RecordDialog, RealControlWritesADiscImage) {
    if (!ts::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
    ts::TempDir dir;
    const std::string folder = dir.File("discs");
    ::setenv("VEXMOR_DISC_IMAGES", folder.c_str(), 1);
    const std::string module = ts::BuildSystemDir() + "/CDWriterXP.so";
    ASSERT_EQ(platform::CallDllRegisterServer(module), platform::kRegisterOk);
    std::vector<std::string> paths;
    for (const char* name : {"First light", "Second wind"}) {
        paths.push_back(
            ts::LameMp3(dir, std::string(name) + ".mp3", {.seconds = 90}, {"-b", "128"}));
        ASSERT_FALSE(paths.back().empty()) << name;
    }
    platform::ScopedScriptedUi ui;
    platform::SetDialogColors(QColor(209, 224, 252), QColor(1, 34, 99));
    CRecordDlg dlg(paths, "03:00");
    dlg.show();
    ASSERT_TRUE(dlg.writer().IsCreated());
    EXPECT_EQ(dlg.ItemText(CRecordDlg::kRecorderListId), "Disc image: audio CD " + folder + "/");
    QTest::mouseClick(dlg.Item(CRecordDlg::kBurnId), Qt::LeftButton);
    // Follow the write; the picture kept is the last one taken before a third of the disc.
    bool shot = false;
    for (int i = 0; i < 3000 && ui->messageTexts().empty(); ++i) {
        QTest::qWait(10);
        if (dlg.idle() || Bar(dlg, CRecordDlg::kTrackBarId) == 0) continue;
        if (!shot || Bar(dlg, CRecordDlg::kTotalBarId) < 33) {
            ts::KeepScreenshot(dlg.grab().toImage(), "record_dialog_writing.png");
            EXPECT_EQ(dlg.ItemText(CRecordDlg::kStatusId).rfind("Writing Track #0", 0), 0u);
            EXPECT_FALSE(dlg.Item(CRecordDlg::kBurnId)->isEnabled());
            shot = true;
        }
    }
    EXPECT_TRUE(shot) << "the dialog showed the write in progress";
    ASSERT_FALSE(ui->messageTexts().empty());
    EXPECT_EQ(ui->messageTexts().back(), "Write complete!");
    EXPECT_TRUE(dlg.idle());
    ts::KeepScreenshot(dlg.grab().toImage(), "record_dialog_done.png");
    int cues = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        cues += entry.path().extension() == ".cue";
    EXPECT_EQ(cues, 1);
    ::unsetenv("VEXMOR_DISC_IMAGES");
}

// The main window's "burn" button opens the dialog with the project's files and total.
TEST(RecordDialog, BurnButtonOpensItWithTheProjectsPathsAndTotal) {
    if (!ts::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
    platform::ScopedScriptedUi ui;
    platform::SetProgramName("Discsmith");
    FakeWriterScope scope;
    ts::TempDir dir;
    const std::vector<std::string> songs = {dir.File("one.mp3"), dir.File("two.mp3")};
    ASSERT_TRUE(track_fixtures::MakeMp3Lasting(songs[0], 62));
    ASSERT_TRUE(track_fixtures::MakeMp3Lasting(songs[1], 75));
    burner::CBurnerDlg window;
    window.show();
    window.DropFiles(songs);
    ASSERT_EQ(window.list()->RowCount(), 2);
    std::vector<std::string> seenPaths;
    std::string seenTotal;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* record = qobject_cast<CRecordDlg*>(QApplication::activeModalWidget());
        if (!record) return;
        seenPaths = record->paths();
        seenTotal = record->ItemText(CRecordDlg::kTotalTimeId);
        record->Command(CRecordDlg::kExitId);
    });
    poll.start(20);
    QTest::mouseClick(window.Item(burner::kCmdRecord), Qt::LeftButton);
    EXPECT_EQ(seenPaths, songs);
    EXPECT_EQ(seenTotal, "Total time:" + window.list()->total());
    EXPECT_EQ(window.list()->total(), "02:17");
}

// Records whether the dialog was still writing when each message box came up.
class StateAtMessageUi : public platform::ScriptedUi {
  public:
    MsgResult MessageBox(const std::string& text, const std::string& caption,
                         platform::MsgButtons buttons, platform::MsgIcon icon) override {
        if (dlg) writingAtMessage.push_back(!dlg->idle());
        return ScriptedUi::MessageBox(text, caption, buttons, icon);
    }
    CRecordDlg* dlg = nullptr;
    std::vector<bool> writingAtMessage;
};

TEST(RecordDialog, TitlesBecomeCdTextAndAWriteErrorIsShownBeforeTheStateIsLeft) {
    auto owned = std::make_unique<StateAtMessageUi>();
    StateAtMessageUi* ui = owned.get();
    std::unique_ptr<platform::Ui> previous = platform::SetUi(std::move(owned));
    {
        FakeWriterScope scope;
        // The second row has no title of its own: the song keeps its own.
        CRecordDlg dlg(kPaths, "12:00", nullptr, {"Renamed One", "", "From the list"});
        dlg.show();
        FakeWriter& f = *scope.fake;
        f.calls.clear();
        dlg.Command(CRecordDlg::kBurnId);
        std::vector<std::pair<int, std::string>> added;  // (index, title) in call order
        for (const FakeWriter::Call& call : f.calls) {
            if (call.id == dispid::kAddTrack) added.push_back({call.args[1].ToInt(), ""});
            if (call.id == dispid::kSetTrackText) {
                ASSERT_EQ(call.args.size(), 3u);
                ASSERT_FALSE(added.empty());
                EXPECT_EQ(call.args[0].ToInt(), added.back().first) << "right after its AddTrack";
                EXPECT_EQ(call.args[2].ToString(), "") << "the performer is the song's artist";
                added.back().second = call.args[1].ToString();
            }
        }
        const std::vector<std::pair<int, std::string>> expected = {
            {0, "Renamed One"}, {1, ""}, {2, "From the list"}};
        EXPECT_EQ(added, expected);

        ui->dlg = &dlg;
        f.Send(ev::kDiscPreparing);
        f.Send(ev::kWriteError, {Variant(2), Variant(0)});
        ui->dlg = nullptr;
        ASSERT_EQ(ui->writingAtMessage.size(), 1u);
        EXPECT_TRUE(ui->writingAtMessage[0]) << "the message comes before the state is left";
        EXPECT_TRUE(dlg.idle());
    }
    platform::SetUi(std::move(previous));
}

}  // namespace
