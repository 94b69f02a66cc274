// The studio's main window driven offscreen as a user drives it: buttons clicked, file dialogs
// and message boxes answered by the scripted Ui, the real codec engine, wave-editor control,
// playback device and MMF tool. What the window writes is read back by ffprobe.
#include "studio/main_window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "components/wave_editor/wave_edit_dispids.h"
#include "platform/folders.h"
#include "platform/help_books.h"
#include "platform/paths.h"
#include "platform/qt_ui.h"
#include "platform/scripted_ui.h"
#include "studio/app.h"
#include "studio/command_line.h"
#include "studio/job_state.h"
#include "studio/jobs.h"
#include "studio/main_window_dialogs.h"
#include "studio/main_window_logic.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "tests/support/accessibility.h"
#include "tests/support/test_support.h"
#include "uikit/skin_controls.h"

namespace {

using namespace studio;
using platform::ScopedScriptedUi;
using testing_support::HaveTool;
using testing_support::Probe;
using testing_support::RunTool;
using testing_support::TempDir;

constexpr double kSongSeconds = 4.0;
constexpr uint32_t kSongBytesPerSecond = 176400;  // 44100 Hz, 16-bit stereo

// With VX_SCREENSHOT_DIR set, keeps a picture of `widget` there for a person to look at.
void SaveScreenshot(QWidget* widget, const char* name) {
    testing_support::KeepScreenshot(widget->grab().toImage(), name);
}

bool WaitFor(const std::function<bool()>& condition, int ms = 20000) {
    return QTest::qWaitFor(condition, ms);
}

class MainWindow : public ::testing::Test {
  protected:
    studio::Session session;
    static void SetUpTestSuite() {
        RegisterEditorControl();
        // As start-up sets them before it runs the main window.
        platform::SetDialogColors(QColor(213, 224, 247), QColor(1, 34, 99));
    }

    void SetUp() override {
        if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe missing";
        ConstructApplication(session);
        window = std::make_unique<CRingsmithDlg>(session);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_FALSE(window->quitRequested()) << "start-up failed: " << Texts();
        ASSERT_TRUE(window->editor().IsCreated());
    }

    void TearDown() override {
        if (!window) return;
        window->Command(kCmdStop);
        WaitFor([this] { return !session.job.Running(); });
        window.reset();
    }

    // The generated song: a 440 Hz tone, 44100 Hz stereo, made into an MP3 by an outside encoder.
    std::string MakeSong(const std::string& name) {
        testing_support::ToneSpec spec;
        spec.seconds = kSongSeconds;
        const std::string mp3 = testing_support::LameMp3(dir, name + ".mp3", spec, {"-b", "128"});
        EXPECT_FALSE(mp3.empty()) << "lame could not make " << name;
        return mp3;
    }

    void Click(int id) {
        QWidget* button = window->Item(id);
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Opens `mp3` through "Open mp3" and waits until the editor shows it.
    void OpenSong(const std::string& mp3) {
        ui->QueueOpenFiles({mp3});
        Click(kCmdOpenMp3);
        WaitUntilShown();
    }

    void WaitUntilShown() {
        ASSERT_TRUE(WaitFor([this] { return !session.job.Running(); })) << "decode never ended";
        ASSERT_TRUE(WaitFor([this] {
            return window->editor().site().GetProperty(wave_editor::dispid::kLoadState).ToInt() ==
                   wave_editor::kLoadStateReady;
        })) << "the editor never showed the song";
    }

    // Marks a part by dragging across the editor from x0 to x1 (editor coordinates).
    void DragSelect(int x0, int x1) {
        QWidget* editor = window->editor().Widget();
        const int y = editor->height() / 2;
        QTest::mousePress(editor, Qt::LeftButton, {}, QPoint(x0, y));
        for (int x = x0; x <= x1; x += 20) QTest::mouseMove(editor, QPoint(x, y));
        QTest::mouseRelease(editor, Qt::LeftButton, {}, QPoint(x1, y));
    }

    void SetSelection(int32_t start, int32_t end) {
        window->editor().site().CallMethod(wave_editor::dispid::kSetSelection,
                                           {platform::Variant(start), platform::Variant(end)});
    }

    std::pair<int32_t, int32_t> Selection() {
        int32_t start = 0, end = 0;
        window->editor().GetSelection(start, end);
        return {start, end};
    }

    // Runs `answer` on a modal dialog of type T once it shows, while the returned timer lives.
    template <typename T>
    std::unique_ptr<QTimer> AnswerModal(std::function<void(T*)> answer) {
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [answer] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) answer(dialog);
        });
        timer->start(50);
        return timer;
    }

    std::string Texts() {
        std::string all;
        for (const auto& text : ui->messageTexts()) all += "[" + text + "] ";
        return all;
    }

    std::string LastMessage() {
        const auto texts = ui->messageTexts();
        return texts.empty() ? std::string() : texts.back();
    }

    TempDir dir;
    ScopedScriptedUi ui;
    std::unique_ptr<CRingsmithDlg> window;
};

TEST_F(MainWindow, RingtoneWorkflowFromOpenToMmf) {
    const std::string mp3 = MakeSong("Summer Tune");

    // Open: the decode runs on a worker and refuses other commands meanwhile.
    ui->QueueOpenFiles({mp3});
    Click(kCmdOpenMp3);
    ASSERT_TRUE(session.job.Running()) << "the decode job did not start: " << Texts();
    Click(kCmdSaveAsWav);
    EXPECT_EQ(LastMessage(), "Please wait...");
    Click(kCmdExit);
    EXPECT_EQ(LastMessage(), "Please wait...");
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->quitRequested());
    WaitUntilShown();
    EXPECT_EQ(window->currentFileName(), mp3);
    EXPECT_EQ(session.job.CurrentWavPath(), TempWavPath());
    const auto decoded = Probe(TempWavPath());
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(decoded->duration, kSongSeconds, 0.1);

    // Select a part with the mouse.
    DragSelect(150, 450);
    const auto [start, end] = Selection();
    ASSERT_GT(end - start, 7168) << start << ".." << end;
    const double selectedSeconds = 2.0 * ((end / 4 * 4) - (start / 4 * 4)) / kSongBytesPerSecond;

    // The window as it looks now: the background bitmap around the editor and the file name in
    // its colour at (20, 436).
    const QImage shot = window->grab().toImage();
    SaveScreenshot(window.get(), "ringsmith_selected.png");
    ASSERT_EQ(shot.size(), kMainWindowSize);
    const QImage background = skin::LoadSkinBitmap("studio", kBackgroundBitmap).toImage();
    EXPECT_EQ(shot.pixel(360, 5), background.pixel(360, 5));
    bool fileNameDrawn = false;
    for (int y = 436; y < 452 && !fileNameDrawn; ++y) {
        for (int x = 20; x < 200 && !fileNameDrawn; ++x) {
            fileNameDrawn = QColor(shot.pixel(x, y)) == QColor(0, 36, 138);
        }
    }
    EXPECT_TRUE(fileNameDrawn);

    // Play: the cursor moves; other commands wait for Stop.
    Click(kCmdPlay);
    ASSERT_TRUE(window->playing()) << Texts();
    EXPECT_TRUE(window->IsTimerRunning(4));
    int32_t firstCursor = -1;
    ASSERT_TRUE(WaitFor(
        [&] {
            firstCursor = window->editor().GetCursor();
            return firstCursor > 0;
        },
        3000));
    EXPECT_GE(firstCursor, start / 2 - 100);  // the cursor unit is 4 bytes, a position 2 bytes
    ASSERT_TRUE(WaitFor([&] { return window->editor().GetCursor() > firstCursor; }, 3000));
    Click(kCmdSaveAsMp3);
    EXPECT_EQ(LastMessage(), "Stop playing the song first!");
    Click(kCmdStop);
    EXPECT_FALSE(window->playing());
    EXPECT_FALSE(window->IsTimerRunning(4));
    EXPECT_EQ(window->editor().GetCursor(), -1);

    // Save as wav: the selection, cut on the spot.
    const std::string wavOut = dir.File("part.wav");
    ui->QueueSaveFile(wavOut);
    Click(kCmdSaveAsWav);
    EXPECT_EQ(LastMessage(), "Ring Tone Created!");
    EXPECT_EQ(ui->messages().back().icon, platform::MsgIcon::Information);
    const auto wavInfo = Probe(wavOut);
    ASSERT_TRUE(wavInfo);
    EXPECT_EQ(wavInfo->sampleRate, 44100);
    EXPECT_NEAR(wavInfo->duration, selectedSeconds, 0.01);

    // Save as mp3: encoded on a worker with the default settings (mono, 22050 Hz).
    const std::string mp3Out = dir.File("ring.mp3");
    ui->QueueSaveFile(mp3Out);
    Click(kCmdSaveAsMp3);
    ASSERT_TRUE(WaitFor([this] { return !session.job.Running(); }));
    EXPECT_EQ(LastMessage(), "Ring Tone Created!");
    EXPECT_EQ(ui->messages().back().icon, platform::MsgIcon::Information);
    EXPECT_EQ(window->progress()->value(), 100);
    EXPECT_FALSE(platform::FileExists(SegmentWavPath()));
    const auto mp3Info = Probe(mp3Out);
    ASSERT_TRUE(mp3Info);
    EXPECT_EQ(mp3Info->codec, "mp3");
    EXPECT_EQ(mp3Info->channels, 1);
    EXPECT_EQ(mp3Info->sampleRate, 22050);
    EXPECT_NEAR(mp3Info->duration, selectedSeconds, 0.15);

    // Save as MMF: the WAV goes to ~/Vexmorringtone, the steps are shown, the folder is opened
    // and the tool started.
    std::vector<std::string> stepTexts;
    QColor stepsBackground;
    auto answer = AnswerModal<CSaveMmfDlg>([&stepTexts, &stepsBackground](CSaveMmfDlg* steps) {
        SaveScreenshot(steps, "ringsmith_save_mmf.png");
        stepsBackground = steps->grab().toImage().pixelColor(4, 4);
        for (QLabel* label : steps->findChildren<QLabel*>()) {
            stepTexts.push_back(label->text().toStdString());
        }
        QTest::mouseClick(steps->Item(platform::IDOK), Qt::LeftButton);
    });
    Click(kCmdSaveAsMmf);
    answer.reset();
    const std::string handOver = platform::JoinPath(platform::HomeFolder(), "Vexmorringtone");
    const std::string handedWav = platform::JoinPath(handOver, "Summer Tune.wav");
    ASSERT_TRUE(platform::FileExists(handedWav)) << Texts();
    ASSERT_EQ(stepTexts.size(), 4u);
    EXPECT_EQ(stepsBackground, QColor(213, 224, 247));
    EXPECT_NE(stepTexts[2].find(handOver + "/"), std::string::npos) << stepTexts[2];
    const auto started = ui->started();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_TRUE(started[0].shellOpen);
    EXPECT_EQ(started[0].program, handOver);
    EXPECT_FALSE(started[1].shellOpen);
    EXPECT_EQ(started[1].program, platform::JoinPath(platform::SystemDirectory(), "wscma2u"));

    // The user hands the WAV to the tool; its ringtone is read back.
    const auto tool = RunTool({started[1].program, handedWav});
    ASSERT_EQ(tool.exitCode, 0) << tool.out;
    const auto mmfInfo = Probe(platform::JoinPath(handOver, "Summer Tune.mmf"));
    ASSERT_TRUE(mmfInfo);
    EXPECT_EQ(mmfInfo->codec, "adpcm_yamaha");
    EXPECT_EQ(mmfInfo->sampleRate, 8000);
    EXPECT_NEAR(mmfInfo->duration, selectedSeconds, 0.05);
    EXPECT_TRUE(ui->unexpected().empty());

    // New empties the editor and deletes the decoded song.
    Click(kCmdNew);
    EXPECT_FALSE(platform::FileExists(TempWavPath()));
    EXPECT_EQ(window->currentFileName(), "");
}

TEST_F(MainWindow, PlaybackEndsItselfAtTheSelectionsEnd) {
    OpenSong(MakeSong("short"));
    // 0.25 s from one second in: a start this far in needs a seek.
    SetSelection(88200, 88200 + 22050);
    Click(kCmdPlay);
    ASSERT_TRUE(window->playing());
    ASSERT_TRUE(WaitFor([this] { return !window->playing(); }, 5000));
    EXPECT_FALSE(window->IsTimerRunning(4));
    EXPECT_EQ(window->editor().GetCursor(), -1);
    EXPECT_TRUE(ui->messageTexts().empty()) << Texts();
}

TEST_F(MainWindow, RefusesTooShortSelectionsAndBadDrops) {
    OpenSong(MakeSong("tiny"));
    SetSelection(1000, 1000 + 7168);
    Click(kCmdPlay);
    EXPECT_EQ(LastMessage(), "Time is too short!");
    EXPECT_FALSE(window->playing());
    EXPECT_FALSE(window->IsTimerRunning(4));

    ui->QueueSaveFile(dir.File("none.wav"));
    Click(kCmdSaveAsWav);
    EXPECT_EQ(LastMessage(), "Time is too short!");
    EXPECT_FALSE(platform::FileExists(dir.File("none.wav")));

    // Drops arrive as the desktop delivers them.
    const auto drop = [this](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
    };
    drop({QUrl::fromLocalFile("/music/a.mp3"), QUrl::fromLocalFile("/music/b.mp3")});
    EXPECT_EQ(LastMessage(), "One file at a time, please.");
    drop({QUrl::fromLocalFile("/music/song.mp3x")});
    EXPECT_EQ(LastMessage(), "Invalid format");
    EXPECT_FALSE(session.job.Running());

    // An accepted drop (the extension in capitals) decodes and shows the song.
    const std::string upper = dir.File("LOUD.MP3");
    std::filesystem::copy_file(dir.File("tiny.mp3"), upper);
    drop({QUrl::fromLocalFile(QString::fromStdString(upper))});
    WaitUntilShown();
    EXPECT_EQ(window->currentFileName(), upper);
}

// A good song is open; a dropped file that is no MP3 and a ".wav" typed into "Open mp3" are
// refused, and the song still plays and saves under its own name.
TEST_F(MainWindow, AFailedOpenKeepsTheOpenSong) {
    const std::string mp3 = MakeSong("kept");
    OpenSong(mp3);
    const std::vector<uint8_t> decoded = testing_support::ReadFile(TempWavPath());
    ASSERT_GT(decoded.size(), 44u);

    const std::string fake = dir.File("fake.mp3");
    testing_support::WriteFile(fake, std::vector<uint8_t>(8000, 0x5a));
    window->DropFiles({fake});
    ASSERT_TRUE(WaitFor([this] { return !session.job.Running(); }));
    // A WAV is a song too now; a FLAC that FFmpeg cannot read is refused like the fake MP3.
    const std::string broken = dir.File("broken.flac");
    testing_support::WriteFile(broken, std::vector<uint8_t>(8000, 0x5a));
    ui->QueueOpenFiles({broken});
    Click(kCmdOpenMp3);
    ASSERT_TRUE(WaitFor([this] { return !session.job.Running(); }));

    const std::string refused = "The specified file is not supported by the software!";
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{refused, refused}));
    EXPECT_EQ(window->currentFileName(), mp3);
    EXPECT_EQ(session.job.CurrentWavPath(), TempWavPath());
    EXPECT_EQ(testing_support::ReadFile(TempWavPath()), decoded);

    SetSelection(0, 88200);
    Click(kCmdPlay);
    EXPECT_TRUE(window->playing());
    Click(kCmdStop);
    const std::string part = dir.File("part.wav");
    ui->QueueSaveFile(part);
    Click(kCmdSaveAsWav);
    EXPECT_EQ(LastMessage(), "Ring Tone Created!");
    const auto saved = Probe(part);
    ASSERT_TRUE(saved);
    EXPECT_NEAR(saved->duration, 1.0, 0.01);  // a position is two bytes
}

TEST_F(MainWindow, MmfHandOverNeedsAUsableFolder) {
    OpenSong(MakeSong("blocked"));
    SetSelection(0, 44100);
    const std::string handOver = platform::JoinPath(platform::HomeFolder(), "Vexmorringtone");
    std::filesystem::remove_all(handOver);
    testing_support::WriteFile(handOver, {'x'});  // a file where the folder should be
    Click(kCmdSaveAsMmf);
    EXPECT_EQ(LastMessage(), "Please select a valid path!");
    EXPECT_TRUE(ui->started().empty());
    std::filesystem::remove(handOver);

    // Without the folder it is made, with its parents.
    const auto answer =
        AnswerModal<CSaveMmfDlg>([](CSaveMmfDlg* steps) { steps->EndDialog(platform::IDOK); });
    Click(kCmdSaveAsMmf);
    EXPECT_EQ(ui->started().size(), 2u);
    EXPECT_TRUE(platform::FileExists(platform::JoinPath(handOver, "blocked.wav")));
}

// What cannot be started is named: the help viewer, the disc burner, the file browser and the
// MMF tool of the hand-over.
TEST_F(MainWindow, HelpersThatDoNotStartAreNamed) {
    ui->QueueShellResult(31);
    Click(kCmdHelp);
    ui->QueueShellResult(2);
    Click(kCmdMp3ToCd);
    OpenSong(MakeSong("handed"));
    SetSelection(0, 44100);
    ui->QueueShellResult(31);
    ui->QueueShellResult(0);
    const auto answer =
        AnswerModal<CSaveMmfDlg>([](CSaveMmfDlg* steps) { steps->EndDialog(platform::IDOK); });
    Click(kCmdSaveAsMmf);
    const std::string handOver = platform::JoinPath(platform::HomeFolder(), "Vexmorringtone");
    EXPECT_EQ(
        ui->messageTexts(),
        (std::vector<std::string>{"The help viewer (xdg-open) could not be started.",
                                  "The disc burner (discsmith) could not be started.",
                                  "The file browser (xdg-open) could not open " + handOver + ".",
                                  "The MMF tool (wscma2u) could not be started."}));
    for (const auto& message : ui->messages()) EXPECT_EQ(message.icon, platform::MsgIcon::Error);
}

// Without a sound output Play says so instead of ending by itself.
TEST_F(MainWindow, PlayWithoutASoundOutputSaysSo) {
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0) GTEST_SKIP() << "the sound output is already open";
    OpenSong(MakeSong("silent"));
    ::setenv("SDL_AUDIODRIVER", "no-such-output", 1);
    SetSelection(0, 88200);
    Click(kCmdPlay);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(window->playing());
    EXPECT_FALSE(window->IsTimerRunning(4));
    ASSERT_EQ(ui->messages().size(), 1u);
    EXPECT_EQ(ui->messages()[0].text,
              "The sound output could not be opened.\nCheck that a sound device is present and "
              "free.");
    EXPECT_EQ(ui->messages()[0].icon, platform::MsgIcon::Error);
}

// A song whose name holds Latin-1 bytes (not UTF-8) opens from a drop under its exact name.
TEST_F(MainWindow, ANameThatIsNotUtf8Opens) {
    const std::string made = MakeSong("plain");
    const std::string latin1 = dir.File("caf\xe9.mp3");
    std::filesystem::copy_file(made, latin1);
    QMimeData data;
    data.setUrls({QUrl::fromEncoded(QByteArray("file://") +
                                    QByteArray::fromStdString(latin1).toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent event(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &event);
    WaitUntilShown();
    EXPECT_TRUE(ui->messageTexts().empty()) << Texts();
    EXPECT_EQ(window->currentFileName(), latin1);
    const auto decoded = Probe(TempWavPath());
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(decoded->duration, kSongSeconds, 0.1);
}

// `ringsmith SONG.mp3`: the window the command line makes opens the song once it runs, under its
// exact bytes and with its folder remembered, as "Open mp3" would; a file it cannot open gets
// that command's message, one that does not exist says so, and both leave the window empty.
TEST_F(MainWindow, TheCommandLineSongOpensAsOpenMp3Would) {
    window.reset();
    const std::string latin1 = dir.File("caf\xe9.mp3");
    std::filesystem::copy_file(MakeSong("plain"), latin1);
    const StudioStart start = ParseStudioArguments({"./caf\xe9.mp3"}, dir.path());
    ASSERT_EQ(start.song, latin1);
    const auto run = [this](const std::string& song) {
        window.reset(static_cast<CRingsmithDlg*>(MakeMainWindowOpening(session, song).release()));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(WaitFor([this] { return !window->startPending(); }));
    };
    run(*start.song);
    WaitUntilShown();
    EXPECT_TRUE(ui->messageTexts().empty()) << Texts();
    EXPECT_EQ(window->currentFileName(), latin1);
    EXPECT_EQ(session.settings.openMp3Folder, dir.path() + "/");
    const auto decoded = Probe(TempWavPath());
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(decoded->duration, kSongSeconds, 0.1);

    // A file that does not exist is named as missing; one that is no MP3 is not supported.
    window.reset();
    run(dir.File("missing.mp3"));
    ASSERT_TRUE(WaitFor([this] { return !session.job.Running(); }));
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"The specified file does not exist:\n" +
                                                           dir.File("missing.mp3")});
    EXPECT_EQ(window->currentFileName(), "");
    ui->Clear();
    window.reset();
    testing_support::WriteFile(dir.File("notes.txt"), {'x'});
    run(dir.File("notes.txt"));
    ASSERT_TRUE(WaitFor([this] { return !session.job.Running(); }));
    EXPECT_EQ(ui->messageTexts(),
              std::vector<std::string>{"The specified file is not supported by the software!"});
    EXPECT_EQ(window->currentFileName(), "");

    EXPECT_EQ(ParseStudioArguments({"a.mp3", "b.mp3"}, "/").arguments.error, "one song at a time");
}

TEST_F(MainWindow, HelpBurnerAboutAndExit) {
    Click(kCmdHelp);
    Click(kCmdMp3ToCd);
    const auto started = ui->started();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_TRUE(started[0].shellOpen);
    EXPECT_EQ(started[0].program, platform::HelpBookEntry("ringsmith.chm"));
    EXPECT_EQ(started[1].program, platform::JoinPath(platform::ProgramFolder(), "discsmith"));

    // The About box is reached from the system menu (commands 16 to 31).
    std::string aboutTitle;
    auto answer = AnswerModal<CAboutDlg>([&aboutTitle](CAboutDlg* about) {
        SaveScreenshot(about, "ringsmith_about.png");
        aboutTitle = about->windowTitle().toStdString();
        about->EndDialog(platform::IDOK);
    });
    window->SysCommand(CRingsmithDlg::kIdmAboutBox + 5);
    EXPECT_EQ(aboutTitle, "About Ringsmith");
    aboutTitle.clear();
    QAction* aboutEntry = nullptr;
    for (QAction* action : window->systemMenu()->actions()) {
        if (action->text() == "&About Ringsmith...") aboutEntry = action;
    }
    ASSERT_NE(aboutEntry, nullptr);
    aboutEntry->trigger();
    answer.reset();
    EXPECT_EQ(aboutTitle, "About Ringsmith");

    // A press on the body drags the window; Minimize minimises it.
    const QPoint before = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(340, 30));
    QTest::mouseMove(window.get(), QPoint(380, 50));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(380, 50));
    EXPECT_EQ(window->pos(), before + QPoint(40, 20));
    Click(kCmdMinimize);
    EXPECT_TRUE(window->isMinimized());
    window->showNormal();

    // Esc and Enter never close the window; Exit asks first.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    ui->QueueMessageResult(platform::MsgResult::Cancel);
    Click(kCmdExit);
    EXPECT_EQ(LastMessage(), "Do you really want to exit?");
    EXPECT_EQ(ui->messages().back().caption, "Ringsmith");
    EXPECT_EQ(ui->messages().back().buttons, platform::MsgButtons::OkCancel);
    EXPECT_FALSE(window->quitRequested());
    ui->QueueMessageResult(platform::MsgResult::Ok);
    Click(kCmdExit);
    EXPECT_TRUE(window->quitRequested());
    EXPECT_TRUE(WaitFor([this] { return !window->isVisible(); }, 2000));
    EXPECT_TRUE(ui->unexpected().empty());
}

// The keys send the buttons' commands: the file dialogs they ask for, the part's edges, Play and
// Stop; Tab moves the focus over the buttons and Space then presses the focused one.
TEST_F(MainWindow, KeysRunTheButtonsCommands) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto key = [this](int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                        static_cast<Qt::Key>(k), mods);
    };
    // No button holds the focus at first: the window does.
    EXPECT_EQ(QApplication::focusWidget(), window.get());

    // Ctrl+O asks for an MP3 as "Open mp3" does, and opens the chosen one.
    const std::string mp3 = MakeSong("Key Song");
    ui->QueueOpenFiles({mp3});
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(ui->fileDialogs().size(), 1u);
    // The MP3 filter first, then "All audio files".
    EXPECT_EQ(ui->fileDialogs()[0].filter.rfind("MP3 files(*.mp3)|*.mp3|All audio files|", 0), 0u);
    EXPECT_EQ(ui->fileDialogs()[0].filter, OpenSongFilter());
    WaitUntilShown();
    EXPECT_EQ(window->currentFileName(), mp3);

    // Ctrl+Shift+S saves the part as WAV, Ctrl+S as MP3; both suggest a name from the song.
    ui->QueueSaveFile(std::nullopt);
    key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(ui->fileDialogs().size(), 2u);
    EXPECT_EQ(ui->fileDialogs()[1].filter, "WAV files(*.wav)|*.wav||");
    EXPECT_EQ(ui->fileDialogs()[1].initialName, "Key Song ringtone.wav");
    ui->QueueSaveFile(std::nullopt);
    key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([this] { return ui->fileDialogs().size() == 3u; }));
    ASSERT_TRUE(WaitFor([this] { return !session.job.Running(); }));
    EXPECT_EQ(ui->fileDialogs()[2].filter, "MP3 files(*.mp3)|*.mp3||");
    EXPECT_EQ(ui->fileDialogs()[2].initialName, "Key Song ringtone.mp3");

    // "[" and "]" do nothing while no play cursor is shown.
    const int32_t whole =
        window->editor().site().GetProperty(wave_editor::dispid::kLengthPositions).ToInt();
    SetSelection(whole / 8, whole * 7 / 8);
    key(Qt::Key_BracketLeft);
    EXPECT_EQ(Selection(), std::make_pair(whole / 8, whole * 7 / 8));

    // Space plays the part; while it plays "[" and "]" move its edges to the play cursor
    // (cursor c is byte 4c, position p byte 2p: 16-bit stereo gives p = 2c).
    key(Qt::Key_Space);
    ASSERT_TRUE(window->playing()) << Texts();
    ASSERT_TRUE(WaitFor([this, whole] { return window->editor().GetCursor() * 2 > whole / 4; }));
    const int32_t startCursor = window->editor().GetCursor();
    key(Qt::Key_BracketLeft);
    EXPECT_EQ(Selection(), std::make_pair(2 * startCursor, whole * 7 / 8));
    ASSERT_TRUE(WaitFor([&] { return window->editor().GetCursor() > startCursor + 2000; }));
    const int32_t endCursor = window->editor().GetCursor();
    key(Qt::Key_BracketRight);
    EXPECT_EQ(Selection(), std::make_pair(2 * startCursor, 2 * endCursor));
    key(Qt::Key_Space);
    EXPECT_FALSE(window->playing());

    // F1 opens the book, Ctrl+N empties the window.
    key(Qt::Key_F1);
    ASSERT_EQ(ui->started().size(), 1u);
    EXPECT_EQ(ui->started()[0].program, platform::HelpBookEntry("ringsmith.chm"));
    key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(window->currentFileName(), "");

    // Tab reaches the buttons in their order and shows the focus ring; Space presses the
    // focused button instead of playing.
    key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->Item(kCmdNew));
    key(Qt::Key_Tab);
    QWidget* open = window->Item(kCmdOpenMp3);
    ASSERT_EQ(QApplication::focusWidget(), open);
    const QImage ring = open->grab().toImage();
    EXPECT_EQ(ring.pixelColor(open->width() / 2, 0), CBitmapHoverButton::kFocusRingOuter);
    EXPECT_EQ(ring.pixelColor(open->width() / 2, 1), CBitmapHoverButton::kFocusRingInner);
    SaveScreenshot(window.get(), "ringsmith_tab_focus.png");
    ui->QueueOpenFiles({});
    key(Qt::Key_Space);
    EXPECT_EQ(ui->fileDialogs().size(), 4u);
    EXPECT_FALSE(window->playing());
    // Enter and Escape on a focused button still do nothing.
    key(Qt::Key_Return);
    key(Qt::Key_Escape);
    EXPECT_EQ(ui->fileDialogs().size(), 4u);
    EXPECT_TRUE(window->isVisible());

    // The tooltips name the keys.
    EXPECT_EQ(window->Item(kCmdOpenMp3)->toolTip(), "Open mp3 (Ctrl+O)");
    EXPECT_EQ(window->Item(kCmdSaveAsWav)->toolTip(), "Save as wav (Ctrl+Shift+S)");
    EXPECT_EQ(window->Item(kCmdPlay)->toolTip(), "Play (Space)");
    EXPECT_EQ(window->Item(kCmdMp3ToWav)->toolTip(), "Mp3 to wav");
    EXPECT_TRUE(ui->unexpected().empty());
}

// A screen reader finds every control named, with its role; the progress bar tells its value.
TEST_F(MainWindow, ScreenReadersFindEveryControlNamed) {
    EXPECT_EQ(testing_support::UnnamedInteractiveControls(window.get()),
              std::vector<std::string>{});
    int buttons = 0;
    for (const auto& control : testing_support::AccessibleControls(window.get())) {
        if (control.role == "Button") ++buttons;
    }
    EXPECT_EQ(buttons, 17);
    QAccessibleInterface* open = QAccessible::queryAccessibleInterface(window->Item(kCmdOpenMp3));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->role(), QAccessible::Button);
    EXPECT_EQ(open->text(QAccessible::Name), "Open mp3");
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window->progress());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    ASSERT_NE(bar->valueInterface(), nullptr);
    window->progress()->setValue(37);
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 37);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
}

// Under a real window system (run with QT_QPA_PLATFORM=xcb, under xvfb-run): Ctrl+O opens the
// desktop's Open dialog in the music folder or home, and Tab shows the focus on the next button.
TEST_F(MainWindow, UnderAWindowSystemCtrlOOpensTheOpenDialog) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X display";
    std::unique_ptr<platform::Ui> scripted = platform::SetUi(platform::MakeQtUi());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    std::string startFolder;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        QTest::qWait(700);
        startFolder = dialog->directory().absolutePath().toStdString();
        testing_support::KeepScreenshot(
            QGuiApplication::primaryScreen()->grabWindow(0).toImage(), "studio-ctrl-o.png");
        dialog->reject();
    });
    watch.start(100);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    watch.stop();
    EXPECT_EQ(startFolder, platform::DialogStartFolder(""));
    // Without a window manager nobody gives the window the focus back after the dialog.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (int tab = 0; tab < 2; ++tab) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), Qt::Key_Tab);
    }
    EXPECT_EQ(QApplication::focusWidget(), window->Item(kCmdOpenMp3));
    QTest::qWait(300);
    testing_support::KeepScreenshot(QGuiApplication::primaryScreen()->grabWindow(0).toImage(),
                                    "studio-tab-focus.png");
    platform::SetUi(std::move(scripted));
}

}  // namespace
