// The burner's main window driven offscreen as a user drives it: buttons clicked, drops, the
// list's menu, file dialogs and message boxes answered by the scripted Ui. Project files are
// read back byte for byte; the window's shape and capacity strip are checked on its pictures.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAccessible>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidgetItem>
#include <algorithm>
#include <regex>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "burner/app.h"
#include "burner/burner_dialogs.h"
#include "burner/burner_dlg.h"
#include "burner/burner_layout.h"
#include "burner/burner_list.h"
#include "burner/capacity_line.h"
#include "burner/print_cover.h"
#include "burner/record_dialog.h"
#include "platform/dialog.h"
#include "platform/help_books.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"
#include "tests/support/accessibility.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"
#include "uikit/skin_bitmaps.h"
#include "uikit/skin_buttons.h"

namespace {

using namespace burner;
using platform::ScopedScriptedUi;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

class BurnerWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::SetProgramName("Discsmith");
        platform::SetDialogColors(QColor(209, 224, 252), QColor(1, 34, 99));
    }

    void SetUp() override {
        if (!testing_support::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
        window = std::make_unique<CBurnerDlg>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_FALSE(window->quitRequested()) << Texts();
    }

    CBurnerListCtrl& list() { return *window->list(); }

    // An MP3 named `name` whose playing time is `seconds`.
    std::string Song(const std::string& name, int seconds = 2) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(track_fixtures::MakeMp3Lasting(path, seconds)) << path;
        return path;
    }

    void Click(int id) {
        QWidget* button = window->Item(id);
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < list().RowCount(); ++row)
            texts.push_back(list().CellText(row, column));
        return texts;
    }
    std::vector<std::string> Titles() { return Column(CTrackListCtrl::kTitleColumn); }

    std::string Texts() {
        std::string all;
        for (const auto& text : ui->messageTexts()) all += "[" + text + "] ";
        return all;
    }

    // Runs `answer` on the modal dialog of type T once it shows, while the returned timer lives.
    template <typename T>
    std::unique_ptr<QTimer> AnswerModal(std::function<void(T*)> answer) {
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [answer] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) answer(dialog);
        });
        timer->start(30);
        return timer;
    }

    QImage Strip() { return window->grab(kCapacityTextRect).toImage(); }

    TempDir dir;
    ScopedScriptedUi ui;
    std::unique_ptr<CBurnerDlg> window;
};

TEST_F(BurnerWindow, ShapedFrameButtonsAndKeys) {
    EXPECT_EQ(window->windowTitle(), "Discsmith");
    // Centred on the screen, which is larger than the window.
    EXPECT_EQ(window->size(), QSize(705, 517));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_GT(screen.width(), 710);
    EXPECT_EQ(window->pos(),
              screen.topLeft() + QPoint((screen.width() - 705) / 2, (screen.height() - 517) / 2));
    const QRegion shape = window->mask();
    EXPECT_EQ(shape.rectCount(), 45);
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_TRUE(shape.contains(QPoint(352, 258)));

    // The skin's art lies inside the shape: every band's first and last pixels show the body,
    // not the colour painted outside it.
    const QImage shot = window->grab().toImage();
    const QImage background = skin::LoadSkinBitmap("burner", kBackgroundBitmap).toImage();
    const QRgb outside = background.pixel(0, 0);
    for (const QRect& band : shape) {
        EXPECT_NE(background.pixel(band.left(), band.top()), outside)
            << band.left() << "," << band.top();
        EXPECT_NE(background.pixel(band.right(), band.bottom()), outside);
    }
    testing_support::KeepScreenshot(shot, "burner_empty.png");

    // Eighteen buttons where the skin puts them, sixteen with tips; "help" has no focus image.
    int tips = 0;
    for (const SkinButton& spec : SkinButtons()) {
        CBitmapHoverButton* b = window->button(spec.name);
        ASSERT_NE(b, nullptr) << spec.name;
        EXPECT_EQ(b->geometry(), spec.rect) << spec.name;
        if (!b->toolTip().isEmpty()) ++tips;
    }
    EXPECT_EQ(tips, 16);
    EXPECT_EQ(window->button("help")->focusId(), window->button("help")->normalId());
    EXPECT_EQ(window->button("exit")->toolTip(), "Exit from Discsmith");
    EXPECT_EQ(list().geometry(), kListRect);
    EXPECT_EQ(list().headerItem()->text(1), "Track");

    // Enter and Escape are swallowed.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(&list(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->quitRequested());

    // Both exits end the window.
    for (const char* exit : {"exit2", "exit"}) {
        auto other = std::make_unique<CBurnerDlg>();
        int code = -1;
        QTimer::singleShot(0, [&] { QTest::mouseClick(other->button(exit), Qt::LeftButton); });
        code = other->DoModal();
        EXPECT_EQ(code, platform::IDCANCEL) << exit;
        EXPECT_TRUE(other->quitRequested()) << exit;
    }
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST_F(BurnerWindow, CapacityLineFollowsAddsDeletesAndNewList) {
    const QImage emptyStrip = Strip();
    EXPECT_EQ(window->capacityText(),
              "Total time: 00:00 time left:<74min disc>01:14:00<80min disc>01:20:00");

    // Two songs of 35 minutes through the file dialog: 70 minutes, a total written with hours.
    const std::string a = Song("a.mp3", 35 * 60);
    const std::string b = Song("b.mp3", 35 * 60);
    ui->QueueOpenFiles({a, b});
    Click(kCmdAdd);
    ASSERT_EQ(ui->fileDialogs().size(), 1u);
    EXPECT_EQ(ui->fileDialogs()[0].title, "Add MP3 files:");
    EXPECT_TRUE(ui->fileDialogs()[0].multiSelect);
    EXPECT_EQ(window->capacityText(),
              "Total time: 01:10:00 time left:<74min disc>04:00<80min disc>10:00");
    // The strip is painted again with the new text.
    QCoreApplication::processEvents();
    EXPECT_NE(Strip(), emptyStrip);

    // 74 minutes exactly, then 01:15:30.
    ui->QueueOpenFiles({Song("c.mp3", 4 * 60)});
    Click(kCmdAdd);
    EXPECT_EQ(window->capacityText(),
              "Total time: 01:14:00 time left:<74min disc>00:00<80min disc>06:00");
    ui->QueueOpenFiles({Song("d.mp3", 90)});
    Click(kCmdAdd);
    EXPECT_EQ(window->capacityText(),
              "Total time: 01:15:30 time left:<74min disc>00:00<80min disc>04:30");

    // A delete subtracts; the new list goes back to the empty line.
    list().SelectRow(3);
    Click(kCmdDelete);
    EXPECT_EQ(list().total(), "01:14:00");
    Click(kCmdNewList);
    EXPECT_EQ(list().RowCount(), 0);
    EXPECT_EQ(window->capacityText(), InitialCapacityText());
    QCoreApplication::processEvents();
    EXPECT_EQ(Strip(), emptyStrip);

    // Cancelling the dialog adds nothing.
    ui->QueueOpenFiles({});
    Click(kCmdAdd);
    EXPECT_EQ(list().RowCount(), 0);
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST_F(BurnerWindow, DropsFollowNameRulesAndOrder) {
    const std::string upper = Song("UPPER.MP3");
    const std::string wav = dir.File("tone.wav");
    track_fixtures::MakeWav(wav, 1.0);
    std::filesystem::create_directory(dir.File("folder.mp3"));
    window->DropFiles({upper, wav, dir.File("folder.mp3"), dir.File("x.vxl"), "a.mp", ""});
    EXPECT_EQ(Titles(), std::vector<std::string>{"UPPER"});

    // An MP3 then a playlist: the playlist replaces the list, the MP3 is gone.
    const std::string one = Song("one.mp3");
    const std::string two = Song("two.mp3");
    const std::string m3u = dir.File("list.M3U");
    WriteFile(m3u, [&] {
        const std::string text = "#EXTM3U\r\n" + one + "\r\n" + two + "\r\n";
        return std::vector<uint8_t>(text.begin(), text.end());
    }());
    window->DropFiles({Song("first.mp3"), m3u});
    EXPECT_EQ(Titles(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(Column(CTrackListCtrl::kNumberColumn), (std::vector<std::string>{"01", "02"}));
    EXPECT_TRUE(ui->messageTexts().empty()) << Texts();
}

TEST_F(BurnerWindow, MovesRenameAndTheListMenu) {
    ui->QueueOpenFiles({Song("one.mp3"), Song("two.mp3"), Song("three.mp3")});
    Click(kCmdAdd);
    ASSERT_EQ(list().RowCount(), 3);

    list().SelectRow(0);
    Click(kCmdMoveBottom);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "three", "one"}));
    Click(kCmdMoveUp);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "one", "three"}));
    Click(kCmdMoveTop);
    Click(kCmdMoveDown);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "one", "three"}));
    EXPECT_EQ(Column(CTrackListCtrl::kNumberColumn), (std::vector<std::string>{"01", "02", "03"}));
    EXPECT_EQ(list().SelectedRow(), 1);

    // Rename: an empty name is refused and the dialog stays; then a real name.
    int answered = 0;
    auto timer = AnswerModal<CRenameDlg>([&](CRenameDlg* dialog) {
        auto* edit = dialog->Control<QLineEdit>(CRenameDlg::kNameEditId);
        if (answered++ == 0) {
            EXPECT_EQ(edit->text(), "one");
            edit->setText("  ");
            dialog->Command(platform::IDOK);
            return;
        }
        edit->setText("Opening Song");
        dialog->Command(platform::IDOK);
    });
    Click(kCmdRename);
    timer.reset();
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{kEmptyNameMessage});
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "Opening Song", "three"}));

    // The list's right-click menu: seven items; "Rename" opens the dialog, Cancel keeps the title.
    list().SelectRow(2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            list().viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(list().viewport(), &event);
    QMenu* menu = list().lastMenu();
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction* action : menu->actions()) items << action->text();
    EXPECT_EQ(items, (QStringList{"Play", "Move to top", "Move up", "Move down", "Move to bottom",
                                  "Delete", "Rename"}));
    auto cancel = AnswerModal<CRenameDlg>([](CRenameDlg* dialog) {
        dialog->Control<QLineEdit>(CRenameDlg::kNameEditId)->setText("never");
        dialog->Command(platform::IDCANCEL);
    });
    menu->actions()[6]->trigger();
    cancel.reset();
    menu->close();
    EXPECT_EQ(Titles()[2], "three");
    menu->actions()[1]->trigger();  // Move to top
    EXPECT_EQ(Titles(), (std::vector<std::string>{"three", "two", "Opening Song"}));

    // With nothing selected the commands say so and change nothing.
    ui->Clear();
    list().SelectRow(-1);
    for (int id : {kCmdMoveUp, kCmdDelete, kCmdRename, kCmdPlay}) Click(id);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>(4, kSelectTrackFirstMessage));
    EXPECT_EQ(list().RowCount(), 3);
}

TEST_F(BurnerWindow, TitleListsAndPlaylistsRoundTrip) {
    const std::string one = Song("one.mp3", 3);
    const std::string two = Song("two.mp3", 65);
    ui->QueueOpenFiles({one, two});
    Click(kCmdAdd);
    list().SetCellText(0, CTrackListCtrl::kTitleColumn, "First title");

    // Upper-case .VXL is the title list: four CR LF lines.
    const std::string vxl = dir.File("project.VXL");
    ui->QueueSaveFile(vxl);
    Click(kCmdSave);
    ASSERT_FALSE(ui->fileDialogs().empty());
    EXPECT_TRUE(ui->fileDialogs().back().overwritePrompt);
    EXPECT_EQ(ui->fileDialogs().back().defaultExt, "M3U");
    EXPECT_EQ(ReadText(vxl), "First title\r\n" + one + "\r\ntwo\r\n" + two + "\r\n");

    // A name typed without extension is written as an M3U playlist.
    ui->QueueSaveFile(dir.File("typed"));
    Click(kCmdSave);
    EXPECT_EQ(ReadText(dir.File("typed.M3U")).substr(0, 9), "#EXTM3U\r\n");

    // Loading rebuilds numbers and times from the files and keeps the saved titles.
    Click(kCmdNewList);
    ui->QueueOpenFiles({vxl});
    Click(kCmdOpen);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"First title", "two"}));
    EXPECT_EQ(Column(CTrackListCtrl::kNumberColumn), (std::vector<std::string>{"01", "02"}));
    EXPECT_EQ(Column(CTrackListCtrl::kTimeColumn), (std::vector<std::string>{"00:03", "01:05"}));
    EXPECT_EQ(list().total(), "01:08");

    auto load = [&](const std::string& name, const std::string& text) {
        WriteFile(dir.File(name), std::vector<uint8_t>(text.begin(), text.end()));
        ui->QueueOpenFiles({dir.File(name)});
        Click(kCmdOpen);
        return Titles();
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(load("lf.vxl", "A\n" + one + "\nB\n" + two + "\n"), (V{"A", "B"}));
    EXPECT_EQ(load("nolast.vxl", "A\r\n" + one + "\r\nB\r\n"), (V{"A"}));
    // The blank line shifts the pairs: "B" is read as a path and the second file as a title.
    EXPECT_EQ(load("blank.vxl", "A\r\n" + one + "\r\n\r\nB\r\n" + two + "\r\n"), (V{"A"}));
    EXPECT_EQ(load("missing.vxl", "Gone\r\n" + dir.File("gone.mp3") + "\r\nB\r\n" + two + "\r\n"),
              (V{"B"}));
    EXPECT_EQ(load("empty.vxl", ""), V{});
    EXPECT_EQ(window->capacityText(), InitialCapacityText());

    // An empty project saves as a 0-byte title list; other extensions do nothing.
    ui->QueueSaveFile(dir.File("empty2.vxl"));
    Click(kCmdSave);
    EXPECT_EQ(std::filesystem::file_size(dir.File("empty2.vxl")), 0u);
    ui->QueueSaveFile(dir.File("notes.txt"));
    Click(kCmdSave);
    EXPECT_FALSE(std::filesystem::exists(dir.File("notes.txt")));

    // The M3U written by the window is read back by the outside player as the same two files.
    load("back.vxl", "A\r\n" + one + "\r\nB\r\n" + two + "\r\n");
    const std::string m3u = dir.File("project.m3u");
    ui->QueueSaveFile(m3u);
    Click(kCmdSave);
    if (testing_support::HaveTool("mpg123")) {
        const auto played = testing_support::RunTool({"mpg123", "-t", "-q", "-@", m3u});
        EXPECT_EQ(played.exitCode, 0) << played.out;
    }
    Click(kCmdNewList);
    ui->QueueOpenFiles({m3u});
    Click(kCmdOpen);
    EXPECT_EQ(Column(CTrackListCtrl::kPathColumn), (V{one, two}));
    EXPECT_TRUE(ui->messageTexts().empty()) << Texts();
    EXPECT_TRUE(ui->unexpected().empty());
}

// Titles in a single-byte code page keep their bytes through loading, moves, a rename that
// leaves them as shown, a rename of another row and saving; they are shown as Latin-1. A name
// typed without extension with "Vexmor playlist (*.vxl)" chosen is saved as a title list.
TEST_F(BurnerWindow, TitlesKeepTheirBytesAndTypedNamesTakeTheChosenType) {
    const std::string one = Song("one.mp3"), two = Song("two.mp3");
    const std::string text = "Caf\xe9 au lait\r\n" + one + "\r\nPl\xc3\xa4ne\r\n" + two + "\r\n";
    WriteFile(dir.File("code_page.vxl"), std::vector<uint8_t>(text.begin(), text.end()));
    ui->QueueOpenFiles({dir.File("code_page.vxl")});
    Click(kCmdOpen);
    ASSERT_EQ(Titles(), (std::vector<std::string>{"Caf\xe9 au lait", "Pl\xc3\xa4ne"}));
    EXPECT_EQ(list().topLevelItem(0)->text(CTrackListCtrl::kTitleColumn),
              QStringLiteral("Caf\u00e9 au lait"));
    EXPECT_EQ(list().topLevelItem(1)->text(CTrackListCtrl::kTitleColumn),
              QStringLiteral("Pl\u00e4ne"));

    // OK on the title as shown keeps its bytes; the other row gets a new name.
    QString offered;
    auto keep = AnswerModal<CRenameDlg>([&](CRenameDlg* dialog) {
        offered = dialog->Control<QLineEdit>(CRenameDlg::kNameEditId)->text();
        dialog->Command(platform::IDOK);
    });
    list().SelectRow(0);
    Click(kCmdRename);
    keep.reset();
    EXPECT_EQ(offered, QStringLiteral("Caf\u00e9 au lait"));
    auto rename = AnswerModal<CRenameDlg>([](CRenameDlg* dialog) {
        dialog->Control<QLineEdit>(CRenameDlg::kNameEditId)->setText(QStringLiteral("Zw\u00f6lf"));
        dialog->Command(platform::IDOK);
    });
    list().SelectRow(1);
    Click(kCmdRename);
    rename.reset();
    Click(kCmdMoveTop);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Zw\xc3\xb6lf", "Caf\xe9 au lait"}));

    ui->QueueSaveFileTyped(dir.File("typed"), 1);
    Click(kCmdSave);
    EXPECT_FALSE(std::filesystem::exists(dir.File("typed.M3U")));
    EXPECT_EQ(ReadText(dir.File("typed.vxl")),
              "Zw\xc3\xb6lf\r\n" + two + "\r\nCaf\xe9 au lait\r\n" + one + "\r\n");
    Click(kCmdNewList);
    ui->QueueOpenFiles({dir.File("typed.vxl")});
    Click(kCmdOpen);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Zw\xc3\xb6lf", "Caf\xe9 au lait"}));

    // The first filter still gives the playlist its default extension.
    ui->QueueSaveFileTyped(dir.File("list"), 0);
    Click(kCmdSave);
    EXPECT_EQ(ReadText(dir.File("list.M3U")).substr(0, 9), "#EXTM3U\r\n");
    EXPECT_TRUE(ui->messageTexts().empty()) << Texts();
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST_F(BurnerWindow, ASaveThatCannotBeWrittenIsReportedAndKeepsTheOldFile) {
    ui->QueueOpenFiles({Song("one.mp3")});
    Click(kCmdAdd);
    const std::string vxl = dir.File("project.vxl");
    const std::string m3u = dir.File("project.m3u");
    WriteFile(vxl, {'o', 'l', 'd'});
    WriteFile(m3u, {'o', 'l', 'd'});
    // A disk that fills up after a few bytes, for every user: the file-size limit.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::vector<std::string> shown;
    for (const std::string& path : {vxl, m3u}) {
        ui->QueueSaveFile(path);
        Click(kCmdSave);
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{kPlaylistNotWrittenMessage + vxl,
                                                            kPlaylistNotWrittenMessage + m3u}));
    EXPECT_EQ(ReadText(vxl), "old");
    EXPECT_EQ(ReadText(m3u), "old");
    // Nothing is left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST_F(BurnerWindow, HelpMenuOpensTheBookAboutAndLinks) {
    ui->QueueOpenFiles(
        {Song("Morning.mp3"), Song("Noon.mp3"), Song("Evening.mp3"), Song("Night.mp3", 185)});
    Click(kCmdAdd);
    list().SelectRow(1);

    Click(kCmdHelp);
    QMenu* menu = window->helpMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QStringList items;
    for (QAction* action : menu->actions()) items << action->text();
    EXPECT_EQ(items, (QStringList{"Help topic..", "About...", "Website...", "Contact"}));
    EXPECT_FALSE(menu->actions()[0]->icon().isNull());
    // Opened at the lower-left corner of the "help" button.
    const QWidget* help = window->Item(kCmdHelp);
    EXPECT_EQ(menu->pos(), help->mapToGlobal(QPoint(0, help->height())));

    // The picture a user sees: the window cut to its shape, with its menu open.
    QImage shot(window->size(), QImage::Format_ARGB32);
    shot.fill(Qt::transparent);
    {
        QPainter painter(&shot);
        painter.setClipRegion(window->mask());
        painter.drawPixmap(0, 0, window->grab());
        painter.setClipping(false);
        painter.drawPixmap(window->mapFromGlobal(menu->pos()), menu->grab());
    }
    testing_support::KeepScreenshot(shot, "burner_help_menu.png");

    menu->setActiveAction(menu->actions()[0]);
    QTest::keyClick(menu, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui->started().empty(); }, 2000));
    const auto started = ui->started().back();
    EXPECT_TRUE(started.shellOpen);
    EXPECT_TRUE(started.program.ends_with("/help/discsmith/index.html")) << started.program;
    EXPECT_TRUE(std::filesystem::exists(started.program));

    window->Command(kCmdWebsite);
    window->Command(kCmdContact);
    const auto all = ui->started();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[all.size() - 2].program, kWebsiteUrl);
    EXPECT_EQ(all.back().program, kContactUrl);

    auto close = AnswerModal<CBurnerAboutDlg>([](CBurnerAboutDlg* about) {
        testing_support::KeepScreenshot(about->grab().toImage(), "burner_about.png");
        about->Command(platform::IDOK);
    });
    window->Command(kCmdAbout);
    EXPECT_TRUE(ui->messageTexts().empty()) << Texts();
}

// The keys send the buttons' commands while the list has the focus; Tab reaches the buttons.
TEST_F(BurnerWindow, KeysRunTheButtonsCommands) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_EQ(QApplication::focusWidget(), &list());
    // After a modal dialog the window is made active again, as the window manager does.
    const auto key = [this](int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        if (!window->isActiveWindow()) {
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), static_cast<Qt::Key>(k), mods);
    };

    // Insert adds songs through the same dialog as "add".
    ui->QueueOpenFiles({Song("one.mp3"), Song("two.mp3"), Song("three.mp3")});
    key(Qt::Key_Insert);
    ASSERT_EQ(ui->fileDialogs().size(), 1u);
    EXPECT_EQ(ui->fileDialogs()[0].title, "Add MP3 files:");
    ASSERT_EQ(Titles(), (std::vector<std::string>{"one", "two", "three"}));

    // Ctrl+Down and Ctrl+Up move the selected row (the list's own Up/Down would only select).
    list().SelectRow(0);
    key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "one", "three"}));
    EXPECT_EQ(list().SelectedRow(), 1);
    key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "three", "one"}));
    key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "one", "three"}));
    EXPECT_EQ(Column(CTrackListCtrl::kNumberColumn), (std::vector<std::string>{"01", "02", "03"}));

    // F2 renames the selected title.
    auto rename = AnswerModal<CRenameDlg>([](CRenameDlg* dialog) {
        dialog->Control<QLineEdit>(CRenameDlg::kNameEditId)->setText("First Song");
        dialog->Command(platform::IDOK);
    });
    key(Qt::Key_F2);
    rename.reset();
    EXPECT_EQ(Titles()[1], "First Song");

    // Delete removes it, once.
    key(Qt::Key_Delete);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"two", "three"}));

    // Ctrl+S and Ctrl+O ask for project files; Ctrl+N clears the list.
    ui->QueueSaveFile(std::nullopt);
    key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(ui->fileDialogs().size(), 2u);
    EXPECT_TRUE(ui->fileDialogs()[1].overwritePrompt);
    ui->QueueOpenFiles({});
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(ui->fileDialogs().size(), 3u);
    EXPECT_TRUE(ui->fileDialogs()[2].mustExist);

    // Ctrl+P opens the cover dialog, Ctrl+B the recording dialog.
    bool printed = false, recorded = false;
    auto print = AnswerModal<CPrintCoverDlg>([&printed](CPrintCoverDlg* dialog) {
        printed = true;
        dialog->EndDialog(platform::IDCANCEL);
    });
    key(Qt::Key_P, Qt::ControlModifier);
    print.reset();
    EXPECT_TRUE(printed);
    auto record = AnswerModal<CRecordDlg>([&recorded](CRecordDlg* dialog) {
        recorded = true;
        dialog->EndDialog(platform::IDCANCEL);
    });
    key(Qt::Key_B, Qt::ControlModifier);
    record.reset();
    EXPECT_TRUE(recorded);

    // F1 opens the book.
    key(Qt::Key_F1);
    ASSERT_FALSE(ui->started().empty());
    EXPECT_EQ(ui->started().back().program, platform::HelpBookEntry("help.chm"));

    key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(list().RowCount(), 0);

    // Tab leaves the list for the first button, which shows the focus ring; Space presses it.
    key(Qt::Key_Tab);
    CBitmapHoverButton* add = window->button("add");
    ASSERT_EQ(QApplication::focusWidget(), add);
    EXPECT_EQ(add->grab().toImage().pixelColor(add->width() / 2, 0),
              CBitmapHoverButton::kFocusRingOuter);
    testing_support::KeepScreenshot(window->grab().toImage(), "burner_tab_focus.png");
    ui->QueueOpenFiles({});
    key(Qt::Key_Space);
    EXPECT_EQ(ui->fileDialogs().size(), 4u);

    // The tooltips name the keys; the Part's text comes first.
    EXPECT_EQ(window->button("add")->toolTip(), "Add mp3 files (Insert)");
    EXPECT_EQ(window->button("sub")->toolTip(), "Delete the selected mp3 file (Delete)");
    EXPECT_EQ(window->button("up")->toolTip(), "Move the selected mp3 up a level in the list (Ctrl+Up)");
    EXPECT_EQ(window->button("2top")->toolTip(), "Move the selected mp3 to the top of the list");
    EXPECT_TRUE(ui->unexpected().empty());
}

// A screen reader finds every control named, with its role, and the list's rows and columns.
TEST_F(BurnerWindow, ScreenReadersFindEveryControlNamedAndTheListsCells) {
    ui->QueueOpenFiles({Song("one.mp3", 2), Song("two.mp3", 3)});
    Click(kCmdAdd);
    ASSERT_EQ(list().RowCount(), 2);

    EXPECT_EQ(testing_support::UnnamedInteractiveControls(window.get()),
              std::vector<std::string>{});
    int buttons = 0, scrollBars = 0;
    for (const auto& control : testing_support::AccessibleControls(window.get())) {
        if (control.role == "Button") ++buttons;
        if (control.role == "ScrollBar") ++scrollBars;
    }
    EXPECT_EQ(buttons, 18);
    EXPECT_EQ(scrollBars, 2);  // the skinned pair; the list's own are hidden
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window->button("exit2"))
                  ->text(QAccessible::Name),
              "Exit from Discsmith");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window->button("add"))
                  ->text(QAccessible::Name),
              "Add mp3 files");

    // The list lays its rows out in the event loop, before a reader can ask for them.
    QTest::qWait(50);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&list());
    ASSERT_NE(table, nullptr);
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 2);
    EXPECT_EQ(cells->columnCount(), 4);
    QAccessibleInterface* title = cells->cellAt(1, CTrackListCtrl::kTitleColumn);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(QAccessible::Name), "two");
    QAccessibleInterface* time = cells->cellAt(1, CTrackListCtrl::kTimeColumn);
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->text(QAccessible::Name), QString::fromStdString(Column(CTrackListCtrl::kTimeColumn)[1]));
    ASSERT_NE(cells->columnDescription(0), QString());
    EXPECT_EQ(cells->columnDescription(0), "MP3 Title");
}

TEST(BurnerStartUp, RunsTheWindowWithTheBurnerColoursAndNoWriterControl) {
    ScopedScriptedUi ui;
    // A system directory without the CD-writer control: start-up goes on without a word.
    TempDir empty;
    const std::string saved =
        std::getenv("VEXMOR_SYSTEM_DIR") ? std::getenv("VEXMOR_SYSTEM_DIR") : "";
    ::setenv("VEXMOR_SYSTEM_DIR", empty.path().c_str(), 1);
    EXPECT_FALSE(RegisterWriterControl());
    int ran = 0;
    EXPECT_FALSE(InitInstance([&ran] {
        ++ran;
        auto window = std::make_unique<platform::Dialog>();
        QTimer::singleShot(0, window.get(), [w = window.get()] { w->EndDialog(platform::IDOK); });
        return window;
    }));
    ::setenv("VEXMOR_SYSTEM_DIR", saved.c_str(), 1);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(platform::DialogBackgroundColor(), QColor(209, 224, 252));
    EXPECT_EQ(platform::DialogTextColor(), QColor(1, 34, 99));
    EXPECT_TRUE(ui->messageTexts().empty());
}


TEST_F(BurnerWindow, TooltipsShowInAnInactiveWindowAndLongTimesFit) {
    int withTips = 0;
    for (auto* button : window->findChildren<CBitmapHoverButton*>()) {
        if (button->toolTip().isEmpty()) continue;
        ++withTips;
        EXPECT_TRUE(button->testAttribute(Qt::WA_AlwaysShowToolTips))
            << button->toolTip().toStdString();
    }
    EXPECT_EQ(withTips, 16);

    // The list font keeps 12 points and weight 600, with an average character width of at most
    // 8 pixels, and a time of an hour or more fits the 60-pixel Time column inside its margins.
    const QFont font = list().font();
    EXPECT_EQ(font.pointSize(), 12);
    EXPECT_EQ(font.weight(), QFont::DemiBold);
    const QFontMetrics metrics(font);
    EXPECT_LE(metrics.averageCharWidth(), 8);
    EXPECT_EQ(list().columnWidth(CTrackListCtrl::kTimeColumn), 60);
    const int margin =
        list().style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list()) + 1;
    EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("01:02:03")), 60 - 4 * margin);
    auto* row = new QTreeWidgetItem(
        QStringList{QStringLiteral("A long concert"), QStringLiteral("1"),
                    QStringLiteral("01:02:03"), QStringLiteral("/music/concert.mp3")});
    list().addTopLevelItem(row);
    testing_support::KeepScreenshot(window->grab().toImage(), "burner_long_time.png");
}

TEST_F(BurnerWindow, AboutNamesTheProjectVersion) {
    // The version of the project, read from the build's own description.
    const std::string cmake = ReadText(std::string(VX_SOURCE_DIR) + "/CMakeLists.txt");
    const std::smatch found = [&] {
        std::smatch m;
        std::regex_search(cmake, m, std::regex(R"(project\([^)]*VERSION ([0-9.]+))"));
        return m;
    }();
    ASSERT_EQ(found.size(), 2u);
    const std::string version = found[1];
    CBurnerAboutDlg about(window.get());
    std::vector<std::string> texts;
    for (auto* label : about.findChildren<QLabel*>()) texts.push_back(label->text().toStdString());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Discsmith Version " + version), texts.end());
}

}  // namespace
