// The ringtone tools in the studio's window: the waveform's right-click menu, the fade ramps it
// shows, snapping new selections, the looped (and shaped) preview on the dummy audio driver and
// a shaped "Save as wav".
#include "studio/ringtone_tools.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <fstream>

#include "components/wave_editor/wave_edit_dispids.h"
#include "platform/dialog.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/scripted_ui.h"
#include "studio/app.h"
#include "studio/job_state.h"
#include "studio/main_window.h"
#include "studio/main_window_logic.h"
#include "studio/ringtone_options.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "tests/support/test_support.h"

namespace {

using namespace studio;
using testing_support::TempDir;

constexpr int kRate = 44100;

// The section the studio's start-up writes, without the folder keys the save commands add.
std::string GeneralSection() {
    std::ifstream in(platform::ProfilePath(SettingsFileName()));
    std::string line, text;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') inside = line == "[GENERAL]";
        if (inside && line.find("_Path=") == std::string::npos) text += line + "\n";
    }
    return text;
}

QAction* FindAction(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
        if (action->menu())
            if (QAction* found = FindAction(action->menu(), text)) return found;
    }
    return nullptr;
}

class RingtoneToolsWindow : public ::testing::Test {
  protected:
    studio::Session session;
    static void SetUpTestSuite() {
        RegisterEditorControl();
        platform::SetDialogColors(QColor(213, 224, 247), QColor(1, 34, 99));
    }

    void SetUp() override {
        ConstructApplication(session);
        session.ringtone = RingtoneOptions{};
        general = GeneralSection();
        ASSERT_FALSE(general.empty());
        window = std::make_unique<CRingsmithDlg>(session);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_NE(window->ringtoneTools(), nullptr);
        // The song: 3 s of a 187 Hz tone at half scale, 44100 Hz stereo, shown in the editor.
        testing_support::ToneSpec tone;
        tone.seconds = 3.0;
        tone.frequency = 187.0;
        song = dir.File("song.wav");
        songBytes = testing_support::MakeToneWav(tone);
        testing_support::WriteFile(song, songBytes);
        session.job.SetCurrentWavPath(song);
        window->editor().LoadFile(song);
        ASSERT_TRUE(QTest::qWaitFor([this] {
            return window->editor().site().GetProperty(wave_editor::dispid::kLoadState).ToInt() ==
                   wave_editor::kLoadStateReady;
        }));
    }

    void TearDown() override {
        if (window) window->Command(kCmdStop);
        window.reset();
        // None of the tools' choices touches the section the studio's start-up writes.
        EXPECT_EQ(GeneralSection(), general);
    }

    void Choose(const QString& text) {
        QAction* action = FindAction(window->ringtoneTools()->menu(), text);
        ASSERT_NE(action, nullptr) << text.toStdString();
        action->trigger();
    }

    void SetSelection(int32_t start, int32_t end) { window->editor().SetSelection(start, end); }

    std::pair<int32_t, int32_t> Selection() {
        int32_t start = 0, end = 0;
        window->editor().GetSelection(start, end);
        return {start, end};
    }

    int32_t Mix(int64_t frame) const {
        const size_t at = 44 + static_cast<size_t>(frame) * 4;
        return static_cast<int16_t>(songBytes[at] | (songBytes[at + 1] << 8)) +
               static_cast<int16_t>(songBytes[at + 2] | (songBytes[at + 3] << 8));
    }
    bool OnCrossing(int64_t b) const { return Mix(b) == 0 || (Mix(b - 1) < 0) != (Mix(b) < 0); }

    // Plays the selection and counts how often the play cursor (the device's position) starts
    // over, until `wraps` or 8 s; the cursors seen go to `seen`.
    int PlayAndCountWraps(int wraps, std::vector<int32_t>* seen) {
        QTest::mouseClick(window->Item(kCmdPlay), Qt::LeftButton);
        EXPECT_TRUE(window->playing());
        int count = 0;
        int32_t last = -1;
        (void)QTest::qWaitFor(
            [&] {
                const int32_t cursor = window->editor().GetCursor();
                if (cursor >= 0) {
                    if (last >= 0 && cursor < last) ++count;
                    last = cursor;
                    seen->push_back(cursor);
                }
                return count >= wraps || !window->playing();
            },
            8000);
        return count;
    }

    TempDir dir;
    platform::ScopedScriptedUi ui;
    std::unique_ptr<CRingsmithDlg> window;
    std::string general;
    std::string song;
    std::vector<uint8_t> songBytes;
};

TEST_F(RingtoneToolsWindow, RightClickOnTheWaveShowsTheToolsMenuWithItsRamps) {
    QWidget* editor = window->editor().Widget();
    const QPoint at(300, 150);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, editor->mapToGlobal(at));
    QApplication::sendEvent(editor, &click);
    QMenu* menu = window->ringtoneTools()->menu();
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    EXPECT_FALSE(window->systemMenu()->isVisible());
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) texts << action->text();
    EXPECT_EQ(texts, QStringList({"Fade in", "Fade out", "Snap to zero crossings", "Loop preview",
                                  "Normalise", "Save as phone ringtone\u2026"}));
    QStringList lengths;
    for (QAction* action : menu->actions().front()->menu()->actions()) lengths << action->text();
    EXPECT_EQ(lengths, QStringList({"0.5 s", "1 s", "2 s", "Off"}));
    // Outside the waveform the window's own menu still answers.
    QContextMenuEvent body(QContextMenuEvent::Mouse, QPoint(20, 20),
                           window->mapToGlobal(QPoint(20, 20)));
    menu->hide();
    QApplication::sendEvent(window.get(), &body);
    EXPECT_TRUE(window->systemMenu()->isVisible());
    window->systemMenu()->hide();

    // Fades of 1 s in and 0.5 s out over the selection 0.5 s to 2.5 s, shown as ramps.
    SetSelection(kRate, 5 * kRate);
    QAction* inOneSecond = menu->actions()[0]->menu()->actions()[1];
    inOneSecond->trigger();
    menu->actions()[1]->menu()->actions()[0]->trigger();
    EXPECT_EQ(session.ringtone.fadeInMs, 1000);
    EXPECT_EQ(session.ringtone.fadeOutMs, 500);
    Choose("Normalise");

    const QImage plain = editor->grab().toImage();
    testing_support::KeepScreenshot(plain, "fade_ramps.png");
    // The ramp runs from the lane's centre at the selection's start: above the centre, right
    // after the start, the wave is shaded over; in the middle of the selection it is not.
    window->editor().SetFades(0, 0);
    const QImage without = editor->grab().toImage();
    window->editor().SetFades(1000, 500);
    int changedNearStart = 0, changedInMiddle = 0;
    const int xStart = 2 + (editor->width() - 4) / 6;  // the selection's start, about
    for (int y = 0; y < editor->height(); ++y) {
        changedNearStart += plain.pixel(xStart + 10, y) != without.pixel(xStart + 10, y);
        changedInMiddle +=
            plain.pixel(editor->width() * 7 / 12, y) != without.pixel(editor->width() * 7 / 12, y);
    }
    // Between the fades only the ramp's level line runs along each lane's edges.
    EXPECT_GT(changedNearStart, 40);
    EXPECT_LE(changedInMiddle, 12);

    // The menu as a user sees it, with the fade-in lengths open, for the help book.
    menu->popup(window->mapToGlobal(QPoint(300, 200)));
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    menu->setActiveAction(menu->actions().front());
    QMenu* sub = menu->actions().front()->menu();
    sub->popup(menu->mapToGlobal(QPoint(menu->width() - 4, 0)));
    ASSERT_TRUE(QTest::qWaitFor([sub] { return sub->isVisible(); }, 2000));
    QImage shot = window->grab().toImage();
    {
        QPainter painter(&shot);
        painter.drawImage(menu->pos() - window->pos(), menu->grab().toImage());
        painter.drawImage(sub->pos() - window->pos(), sub->grab().toImage());
    }
    testing_support::KeepScreenshot(shot, "ringtone_menu.png");
    sub->hide();
    menu->hide();

    // The choices are read again on the next start.
    session.ringtone.Load(SettingsFileName());
    EXPECT_EQ(session.ringtone.fadeInMs, 1000);
    EXPECT_TRUE(session.ringtone.normalise);
}

TEST_F(RingtoneToolsWindow, SnapMovesNewSelectionsOntoZeroCrossings) {
    const std::pair<int32_t, int32_t> asked{12345 * 2, 67891 * 2};
    SetSelection(asked.first, asked.second);
    Choose("Snap to zero crossings");  // snaps the selection that stands
    auto [start, end] = Selection();
    EXPECT_TRUE(OnCrossing(start / 2)) << start;
    EXPECT_TRUE(OnCrossing(end / 2)) << end;
    EXPECT_LE(std::abs(start - asked.first) / 2, kRate / 100);

    // A selection made with the mouse snaps as it is made.
    QWidget* editor = window->editor().Widget();
    const int y = editor->height() / 2;
    QTest::mousePress(editor, Qt::LeftButton, {}, QPoint(101, y));
    for (int x = 101; x <= 443; x += 19) QTest::mouseMove(editor, QPoint(x, y));
    QTest::mouseRelease(editor, Qt::LeftButton, {}, QPoint(443, y));
    std::tie(start, end) = Selection();
    ASSERT_GT(end, start);
    EXPECT_TRUE(OnCrossing(start / 2)) << start;
    EXPECT_TRUE(OnCrossing(end / 2)) << end;
    EXPECT_TRUE(session.ringtone.snapToZero);
}

TEST_F(RingtoneToolsWindow, LoopPreviewPlaysTheSelectionUntilStop) {
    Choose("Loop preview");
    // 0.3 s from one second in.
    const int32_t start = kRate * 2, end = start + kRate * 6 / 10;
    SetSelection(start, end);
    std::vector<int32_t> seen;
    EXPECT_GE(PlayAndCountWraps(2, &seen), 2);
    EXPECT_TRUE(window->playing());
    // The cursor stays in the part; it may pass the end by the timer's lag on a busy machine.
    constexpr int32_t kLag = kRate / 4;
    for (int32_t cursor : seen) {
        EXPECT_GE(cursor, start / 2 - 1);
        EXPECT_LE(cursor, end / 2 + kLag);
    }
    QTest::mouseClick(window->Item(kCmdStop), Qt::LeftButton);
    EXPECT_FALSE(window->playing());
    EXPECT_EQ(window->editor().GetCursor(), -1);

    // With a fade the shaped part plays (a file of its own), and loops the same way.
    Choose("0.5 s");
    seen.clear();
    EXPECT_GE(PlayAndCountWraps(2, &seen), 2);
    for (int32_t cursor : seen) {
        EXPECT_GE(cursor, start / 2 - 1);
        EXPECT_LE(cursor, end / 2 + kLag);
    }
    QTest::mouseClick(window->Item(kCmdStop), Qt::LeftButton);
    EXPECT_FALSE(window->playing());
    EXPECT_TRUE(ui->messageTexts().empty());
}

TEST_F(RingtoneToolsWindow, SaveAsWavGetsTheSameCleanCut) {
    QAction* fadeIn = window->ringtoneTools()->menu()->actions()[0]->menu()->actions()[0];
    fadeIn->trigger();  // 0.5 s
    SetSelection(kRate * 2, kRate * 2 * 2);
    const std::string target = dir.File("cut.wav");
    ui->QueueSaveFile(target);
    QTest::mouseClick(window->Item(kCmdSaveAsWav), Qt::LeftButton);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Ring Tone Created!"});
    const std::vector<uint8_t> cut = testing_support::ReadFile(target);
    ASSERT_EQ(cut.size(), 44u + kRate * 4);
    auto sample = [&cut](int64_t frame) {
        return std::abs(static_cast<int16_t>(cut[44 + frame * 4] | (cut[45 + frame * 4] << 8)));
    };
    int early = 0, late = 0;
    for (int64_t f = 0; f < 100; ++f) early = std::max(early, sample(f));
    for (int64_t f = kRate / 2; f < kRate / 2 + 300; ++f) late = std::max(late, sample(f));
    EXPECT_LT(early, 200);
    EXPECT_GT(late, 16000);
    // The song in the editor is not changed.
    EXPECT_EQ(testing_support::ReadFile(song), songBytes);
}

}  // namespace
