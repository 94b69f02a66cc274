#include "platform/dialog.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <thread>
#include <vector>

namespace {

using platform::ControlKind;
using platform::ControlSpec;
using platform::Dialog;
using platform::DialogTemplate;
using platform::Notify;

DialogTemplate SampleTemplate() {
    DialogTemplate t;
    t.caption = "Sample";
    t.size = QSize(300, 200);
    t.controls = {
        {.id = platform::IDOK, .kind = ControlKind::Button, .caption = "OK",
         .rect = {10, 160, 60, 24}, .defaultButton = true},
        {.id = platform::IDCANCEL, .kind = ControlKind::Button, .caption = "Cancel",
         .rect = {80, 160, 60, 24}},
        {.id = 1010, .kind = ControlKind::Button, .caption = "Test", .rect = {150, 160, 60, 24}},
        {.id = -1, .kind = ControlKind::Static, .caption = "Device:", .rect = {10, 10, 50, 16}},
        {.id = 1038, .kind = ControlKind::Static, .caption = "status", .rect = {10, 30, 200, 16}},
        {.id = 1039, .kind = ControlKind::ComboBox, .rect = {70, 10, 120, 20}},
        {.id = 1007, .kind = ControlKind::CheckBox, .caption = "Cache", .rect = {10, 60, 100, 20}},
        {.id = 1037, .kind = ControlKind::Progress, .rect = {10, 90, 200, 16}},
        {.id = 1020, .kind = ControlKind::ListView, .rect = {10, 110, 200, 40}},
        {.id = 1100, .kind = ControlKind::Edit, .caption = "abc", .rect = {220, 10, 70, 20}},
        {.id = 1200, .kind = ControlKind::Custom, .rect = {220, 40, 70, 20},
         .factory = [](QWidget* parent) { return new QLabel("custom", parent); }},
    };
    return t;
}

// Records what reaches the virtual handlers.
class ProbeDialog : public Dialog {
public:
    ProbeDialog() : Dialog(SampleTemplate()) {}

    std::vector<int> timerIds;
    std::vector<std::tuple<unsigned, platform::WParam, platform::LParam, bool>> messages;
    int initCount = 0;

protected:
    void OnInitDialog() override { ++initCount; }
    void OnTimer(int id) override { timerIds.push_back(id); }
    void OnMessage(unsigned msg, platform::WParam w, platform::LParam l) override {
        messages.emplace_back(msg, w, l, QThread::currentThread() == thread());
    }
};

// Spins the event loop until `done` holds or `ms` pass.
template <typename Pred>
bool WaitFor(Pred done, int ms = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QTest::qWait(5);
    return done();
}

TEST(DialogTemplateTest, ControlsAreFoundByIdWithTheirKindAndCaption) {
    Dialog dialog(SampleTemplate());
    EXPECT_EQ(dialog.windowTitle(), "Sample");
    ASSERT_NE(dialog.Control<QPushButton>(1010), nullptr);
    EXPECT_EQ(dialog.Control<QPushButton>(1010)->text(), "Test");
    EXPECT_TRUE(dialog.Control<QPushButton>(platform::IDOK)->isDefault());
    EXPECT_EQ(dialog.Control<QLabel>(1038)->text(), "status");
    EXPECT_NE(dialog.Control<QComboBox>(1039), nullptr);
    EXPECT_NE(dialog.Control<QCheckBox>(1007), nullptr);
    EXPECT_EQ(dialog.Control<QProgressBar>(1037)->maximum(), 100);
    EXPECT_NE(dialog.Control<QTreeWidget>(1020), nullptr);
    EXPECT_EQ(dialog.Control<QLabel>(1200)->text(), "custom");
    EXPECT_EQ(dialog.Control<QLabel>(1200)->parentWidget(), &dialog);
    // A wrong kind or an unknown id gives null, and labels with id -1 are not looked up.
    EXPECT_EQ(dialog.Control<QPushButton>(1038), nullptr);
    EXPECT_EQ(dialog.Item(4242), nullptr);
    EXPECT_EQ(dialog.Item(platform::IDC_STATIC), nullptr);
    EXPECT_EQ(dialog.Item(1010)->geometry(), QRect(150, 160, 60, 24));
    EXPECT_EQ(dialog.ItemText(1100), "abc");
    dialog.SetItemText(1038, "Write complete!");
    EXPECT_EQ(dialog.ItemText(1038), "Write complete!");
}

TEST(DialogTemplateTest, DialogUnitsScaleByTheFontBaseUnits) {
    QFont font;
    font.setPointSize(12);
    const QSize base = platform::DialogBaseUnits(font);
    ASSERT_GT(base.width(), 0);
    ASSERT_GT(base.height(), 0);
    const QRect px = platform::DialogUnitsToPixels(QRect(4, 8, 40, 16), font);
    EXPECT_EQ(px, QRect(base.width(), base.height(), base.width() * 10, base.height() * 2));

    DialogTemplate t;
    t.units = platform::TemplateUnits::DialogUnits;
    t.fontPointSize = 12;
    t.size = QSize(200, 164);
    t.controls = {{.id = 5, .kind = ControlKind::Static, .caption = "x", .rect = {4, 8, 40, 16}}};
    Dialog dialog(t);
    EXPECT_EQ(dialog.size(), platform::DialogUnitsToPixels(QSize(200, 164), dialog.font()));
    EXPECT_EQ(dialog.Item(5)->geometry(),
              platform::DialogUnitsToPixels(QRect(4, 8, 40, 16), dialog.font()));
}

TEST(DialogCommandTest, ClicksReachTheRegisteredHandler) {
    Dialog dialog(SampleTemplate());
    int tests = 0;
    int checks = 0;
    int selections = 0;
    dialog.OnCommand(1010, [&] { ++tests; });
    dialog.OnCommand(1007, [&] { ++checks; });
    dialog.OnCommand(1039, [&] { ++selections; }, Notify::SelChange);
    dialog.show();
    QTest::mouseClick(dialog.Control<QPushButton>(1010), Qt::LeftButton);
    QTest::mouseClick(dialog.Control<QCheckBox>(1007), Qt::LeftButton);
    EXPECT_EQ(tests, 1);
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(dialog.Control<QCheckBox>(1007)->isChecked());

    // A selection made by the program is not a command; one made by the user is.
    auto* combo = dialog.Control<QComboBox>(1039);
    combo->addItems({"a", "b"});
    combo->setCurrentIndex(1);
    EXPECT_EQ(selections, 0);
    emit combo->activated(0);
    EXPECT_EQ(selections, 1);

    // Registering again replaces the handler; an unhandled command reports so.
    dialog.OnCommand(1010, [&] { tests += 10; });
    EXPECT_TRUE(dialog.Command(1010));
    EXPECT_EQ(tests, 11);
    EXPECT_FALSE(dialog.Command(4242));
}

TEST(DialogCommandTest, MemberFunctionHandlers) {
    struct Owner : Dialog {
        Owner() : Dialog(SampleTemplate()) { OnCommand(1010, &Owner::OnTest); }
        void OnTest() { ++count; }
        int count = 0;
    } dialog;
    QTest::mouseClick(dialog.Control<QPushButton>(1010), Qt::LeftButton);
    EXPECT_EQ(dialog.count, 1);
}

TEST(DialogModalTest, OkAndCancelEndWithTheirCodes) {
    {
        Dialog dialog(SampleTemplate());
        QTimer::singleShot(0, &dialog, [&] {
            QTest::mouseClick(dialog.Control<QPushButton>(platform::IDOK), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    }
    {
        Dialog dialog(SampleTemplate());
        QTimer::singleShot(0, &dialog, [&] {
            QTest::mouseClick(dialog.Control<QPushButton>(platform::IDCANCEL), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    }
    {
        // The close box is the cancel command; a handler may refuse it.
        Dialog dialog(SampleTemplate());
        int refused = 0;
        dialog.OnCommand(platform::IDCANCEL, [&] {
            if (++refused == 2) dialog.EndDialog(77);
        });
        QTimer::singleShot(0, &dialog, [&] {
            dialog.close();
            EXPECT_TRUE(dialog.isVisible());
            dialog.close();
        });
        EXPECT_EQ(dialog.DoModal(), 77);
        EXPECT_EQ(refused, 2);
    }
}

TEST(DialogModalTest, InitRunsOnceBeforeShowing) {
    ProbeDialog dialog;
    EXPECT_EQ(dialog.initCount, 0);
    QTimer::singleShot(0, &dialog, [&] { dialog.EndDialog(platform::IDOK); });
    dialog.DoModal();
    dialog.show();
    EXPECT_EQ(dialog.initCount, 1);
}

TEST(DialogKeyTest, EscAndEnterAreSwallowedWhenAsked) {
    Dialog dialog(SampleTemplate());
    int oks = 0;
    int cancels = 0;
    dialog.OnCommand(platform::IDOK, [&] { ++oks; });
    dialog.OnCommand(platform::IDCANCEL, [&] { ++cancels; });
    dialog.show();
    QLineEdit* edit = dialog.Control<QLineEdit>(1100);
    edit->setFocus();

    dialog.SetSwallowEscEnter(true);
    QTest::keyClick(edit, Qt::Key_Escape);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Enter);
    QTest::keyClick(dialog.Control<QPushButton>(1010), Qt::Key_Return);
    EXPECT_EQ(oks, 0);
    EXPECT_EQ(cancels, 0);
    EXPECT_TRUE(dialog.isVisible());
    // Other keys still reach the controls.
    QTest::keyClick(edit, Qt::Key_D);
    EXPECT_EQ(edit->text(), "abcd");

    dialog.SetSwallowEscEnter(false);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(oks, 1);
}

TEST(DialogTimerTest, TimersFireWithTheirIdsAndStopWhenKilled) {
    ProbeDialog dialog;
    dialog.SetTimer(1, 10);
    dialog.SetTimer(4, 15);
    ASSERT_TRUE(WaitFor([&] {
        return std::count(dialog.timerIds.begin(), dialog.timerIds.end(), 1) >= 2 &&
               std::count(dialog.timerIds.begin(), dialog.timerIds.end(), 4) >= 2;
    }));
    EXPECT_TRUE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(5));
    EXPECT_FALSE(dialog.IsTimerRunning(1));
    EXPECT_TRUE(dialog.IsTimerRunning(4));
    dialog.timerIds.clear();
    QTest::qWait(60);
    EXPECT_EQ(std::count(dialog.timerIds.begin(), dialog.timerIds.end(), 1), 0);
    EXPECT_GT(std::count(dialog.timerIds.begin(), dialog.timerIds.end(), 4), 0);

    // Setting a running id again restarts it with the new interval.
    dialog.KillTimer(4);
    dialog.SetTimer(2, 5000);
    dialog.SetTimer(2, 10);
    dialog.timerIds.clear();
    EXPECT_TRUE(WaitFor([&] { return !dialog.timerIds.empty(); }, 1000));
    EXPECT_EQ(dialog.timerIds.front(), 2);
}

TEST(DialogTimerTest, AWorkerMayStartAndStopATimer) {
    ProbeDialog dialog;
    std::thread worker([&] { dialog.SetTimer(5, 10); });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return !dialog.timerIds.empty(); }));
    EXPECT_EQ(dialog.timerIds.front(), 5);
    std::thread stopper([&] { dialog.KillTimer(5); });
    stopper.join();
    EXPECT_TRUE(WaitFor([&] { return !dialog.IsTimerRunning(5); }));
}

TEST(DialogMessageTest, MessagesFromAWorkerArriveInOrderOnTheGuiThread) {
    ProbeDialog dialog;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) dialog.PostMessage(106, static_cast<platform::WParam>(i), -i);
        dialog.PostMessage(104);
    });
    worker.join();
    // Nothing is delivered before the GUI thread runs its event loop.
    EXPECT_TRUE(dialog.messages.empty());
    ASSERT_TRUE(WaitFor([&] { return dialog.messages.size() == 51; }));
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(std::get<0>(dialog.messages[i]), 106u);
        EXPECT_EQ(std::get<1>(dialog.messages[i]), static_cast<platform::WParam>(i));
        EXPECT_EQ(std::get<2>(dialog.messages[i]), -i);
        EXPECT_TRUE(std::get<3>(dialog.messages[i]));
    }
    EXPECT_EQ(std::get<0>(dialog.messages.back()), 104u);
}

TEST(DialogMessageTest, RegisteredMessageHandlersAndProgressFromAWorker) {
    Dialog dialog(SampleTemplate());
    platform::LParam got = 0;
    dialog.OnMessageId(104, [&](platform::WParam, platform::LParam l) { got = l; });
    std::thread worker([&] {
        dialog.SetProgressPos(1037, 42);
        dialog.PostMessage(104, 0, 7);
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return got == 7; }));
    EXPECT_EQ(dialog.Control<QProgressBar>(1037)->value(), 42);
}

TEST(DialogMessageTest, PostingToAClosedDialogIsRefusedSafely) {
    platform::MessagePoster poster;
    EXPECT_FALSE(poster.PostMessage(104));
    {
        ProbeDialog dialog;
        poster = dialog.Poster();
        EXPECT_TRUE(poster.PostMessage(106));
    }
    // The dialog is gone with a message still queued: nothing is delivered, nothing crashes.
    QTest::qWait(10);
    EXPECT_FALSE(poster.PostMessage(104));
    EXPECT_FALSE(poster.SetProgressPos(1037, 5));
}

TEST(DialogMessageTest, EndDialogFromAWorker) {
    Dialog dialog(SampleTemplate());
    std::thread worker;
    QTimer::singleShot(0, &dialog, [&] {
        worker = std::thread([&] { dialog.EndDialog(platform::IDOK); });
    });
    EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    worker.join();
}

TEST(DialogColorTest, DialogsTakeTheApplicationColours) {
    const QColor background(213, 224, 247);
    const QColor text(1, 34, 99);
    platform::SetDialogColors(background, text);
    Dialog dialog(SampleTemplate());
    EXPECT_EQ(dialog.palette().color(QPalette::Window), background);
    EXPECT_EQ(dialog.palette().color(QPalette::WindowText), text);
    EXPECT_EQ(dialog.Item(1038)->palette().color(QPalette::WindowText), text);
    dialog.show();
    // The top-left corner holds no control: it shows the dialog's own background.
    const QImage image = dialog.grab().toImage();
    EXPECT_EQ(image.pixelColor(2, 2), background);
}


// Under a dark desktop theme every control of a dialog draws in the dialog colours: no field,
// box or button keeps the theme's dark ground under the dark dialog text.
TEST(DialogColorsTest, EveryControlTakesTheDialogColoursUnderADarkTheme) {
    const QPalette before = QApplication::palette();
    QPalette dark(QColor(40, 40, 40), QColor(30, 30, 30));
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    const QColor background(213, 224, 247);
    const QColor text(1, 34, 99);
    platform::SetDialogColors(background, text);
    {
        platform::DialogTemplate t;
        t.caption = "MP3 SETTINGS:";
        t.size = QSize(300, 150);
        t.controls = {
            {1080, platform::ControlKind::CheckBox, "use scale mode", QRect(10, 10, 150, 22)},
            {1078, platform::ControlKind::ComboBox, "", QRect(10, 40, 120, 26)},
            {1079, platform::ControlKind::ComboBox, "", QRect(140, 40, 120, 26), false, false,
             true},
            {1062, platform::ControlKind::Edit, "Album", QRect(10, 74, 150, 24)},
            {1, platform::ControlKind::Button, "OK", QRect(180, 110, 100, 28), true},
        };
        platform::Dialog dialog(t);
        dialog.Control<QCheckBox>(1080)->setChecked(true);
        dialog.Control<QComboBox>(1078)->addItem("0.25");
        dialog.Control<QComboBox>(1079)->addItem("Both");
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        for (int id : {1080, 1078, 1062, 1}) {
            const QPalette p = dialog.Item(id)->palette();
            EXPECT_EQ(p.color(QPalette::Active, QPalette::Base), QColor(Qt::white)) << id;
            EXPECT_EQ(p.color(QPalette::Active, QPalette::Button), background) << id;
            EXPECT_EQ(p.color(QPalette::Active, QPalette::Window), background) << id;
            for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
                EXPECT_EQ(p.color(QPalette::Active, role), text) << id;
            // Disabled text is greyed, between the text and the dialog face.
            EXPECT_NE(p.color(QPalette::Disabled, QPalette::Text), text) << id;
            EXPECT_GT(p.color(QPalette::Disabled, QPalette::Text).lightness(), text.lightness());
        }
        // No dark pixel in the picture but text and frames: the check box's mark sits on white.
        const QImage shot = dialog.grab().toImage();
        testing_support::KeepScreenshot(shot, "dialog_dark_theme.png");
        int darkGround = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (QColor(shot.pixel(x, y)) == QColor(20, 20, 20) ||
                    QColor(shot.pixel(x, y)) == QColor(40, 40, 40) ||
                    QColor(shot.pixel(x, y)) == QColor(30, 30, 30))
                    ++darkGround;
        EXPECT_EQ(darkGround, 0);
    }
    QApplication::setPalette(before);
}

}  // namespace
