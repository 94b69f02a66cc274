#include "platform/ui.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QFontDialog>
#include <QPushButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <thread>

#include "platform/dialog.h"
#include "platform/qt_ui.h"
#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"

namespace {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

TEST(ScriptedUi, RecordsMessagesAndAnswersFromTheQueue) {
    platform::ScopedScriptedUi ui;
    platform::SetProgramName("Discsmith");
    EXPECT_EQ(platform::ShowMessage("Write complete!"), MsgResult::Ok);
    ui->QueueMessageResult(MsgResult::No);
    EXPECT_EQ(platform::GetUi().MessageBox("Overwrite?", "Confirm", MsgButtons::YesNo,
                                           MsgIcon::Question),
              MsgResult::No);
    ASSERT_EQ(ui->messages().size(), 2u);
    EXPECT_EQ(ui->messages()[0].caption, "Discsmith");
    EXPECT_EQ(ui->messages()[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Write complete!", "Overwrite?"}));
    EXPECT_TRUE(ui->unexpected().empty());
    platform::SetProgramName("Ringsmith");

    // A question nobody queued an answer for is an unexpected dialog, answered as a cancel.
    EXPECT_EQ(platform::GetUi().MessageBox("Sure?", "x", MsgButtons::OkCancel, MsgIcon::None),
              MsgResult::Cancel);
    EXPECT_EQ(platform::GetUi().SaveFile({.filter = "A|*.a||"}), std::nullopt);
    EXPECT_EQ(ui->unexpected().size(), 2u);
}

TEST(ScriptedUi, FileDialogsAndStartsAreRecorded) {
    platform::ScopedScriptedUi ui;
    ui->QueueOpenFiles({"/a.mp3", "/b.mp3"});
    ui->QueueShellResult(31);
    const auto files = platform::GetUi().OpenFiles({.filter = "MP3|*.mp3||", .multiSelect = true});
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(platform::GetUi().ShellOpen("/x/help.html"), 31);
    EXPECT_EQ(platform::GetUi().StartProgram("/bin/discsmith", {"-a"}), platform::kShellOk);
    ASSERT_EQ(ui->fileDialogs().size(), 1u);
    EXPECT_TRUE(ui->fileDialogs()[0].multiSelect);
    ASSERT_EQ(ui->started().size(), 2u);
    EXPECT_TRUE(ui->started()[0].shellOpen);
    EXPECT_EQ(ui->started()[1].args, std::vector<std::string>{"-a"});
}

TEST(ScriptedUi, WorkersMayShowMessages) {
    platform::ScopedScriptedUi ui;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([] {
            for (int j = 0; j < 50; ++j) platform::ShowMessage("Complete!");
        });
    }
    for (std::thread& t : workers) t.join();
    EXPECT_EQ(ui->messages().size(), 200u);
}

TEST(ScriptedUi, ScopeRestoresThePreviousUi) {
    platform::Ui* before = &platform::GetUi();
    {
        platform::ScopedScriptedUi ui;
        EXPECT_EQ(&platform::GetUi(), &*ui);
    }
    EXPECT_EQ(&platform::GetUi(), before);
}

TEST(QtUi, StartsRefuseMissingOrNonExecutableFiles) {
    const auto ui = platform::MakeQtUi();
    testing_support::TempDir dir;
    EXPECT_EQ(ui->StartProgram(dir.File("discsmith"), {}), 2);
    testing_support::WriteFile(dir.File("plain"), {'x'});
    EXPECT_EQ(ui->StartProgram(dir.File("plain"), {}), 5);
    EXPECT_EQ(ui->ShellOpen(dir.File("missing.html")), 2);
    EXPECT_EQ(ui->StartProgram("/bin/true", {}), platform::kShellOk);
}

TEST(QtUi, MessageBoxesTakeTheDialogColours) {
    const QColor background(209, 224, 252);
    platform::SetDialogColors(background, QColor(1, 34, 99));
    const auto ui = platform::MakeQtUi();
    QColor seen;
    QString text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->palette().color(QPalette::Window);
            text = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    EXPECT_EQ(ui->MessageBox("Stop writing disk first!", "Discsmith", MsgButtons::YesNo,
                             MsgIcon::Exclamation),
              MsgResult::No);
    EXPECT_EQ(text, "Stop writing disk first!");
    EXPECT_EQ(seen, background);
}

// A short text still leaves the title bar room for the program's name; good news carries the
// information icon, failures the critical one.
TEST(QtUi, MessageBoxesAreWideEnoughForTheirCaption) {
    platform::SetDialogColors(QColor(213, 224, 247), QColor(1, 34, 99));
    struct Shot {
        const char* text;
        MsgIcon icon;
        QMessageBox::Icon shown;
        const char* file;
    };
    for (const Shot& shot :
         {Shot{"Ring Tone Created!", MsgIcon::Information, QMessageBox::Information,
               "message_ring_tone_created.png"},
          Shot{"File created!", MsgIcon::Information, QMessageBox::Information,
               "message_file_created.png"},
          Shot{"The help viewer (xdg-open) could not be started.", MsgIcon::Error,
               QMessageBox::Critical, "message_help_viewer_missing.png"},
          Shot{"The disc burner (discsmith) could not be started.", MsgIcon::Error,
               QMessageBox::Critical, "message_burner_missing.png"},
          Shot{"The sound output could not be opened.\nCheck that a sound device is present and "
               "free.",
               MsgIcon::Error, QMessageBox::Critical, "message_no_sound_output.png"}}) {
        const auto box =
            platform::BuildMessageBox(shot.text, "Ringsmith", MsgButtons::Ok, shot.icon);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        EXPECT_EQ(box->icon(), shot.shown) << shot.text;
        // The caption in a bold title font, the window icon and three title-bar buttons.
        QFont bold = box->font();
        bold.setBold(true);
        const int caption = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Ringsmith"));
        EXPECT_GE(box->width(), caption + 4 * 32) << shot.text;
        EXPECT_EQ(box->palette().color(QPalette::Window), QColor(213, 224, 247));
        testing_support::KeepScreenshot(box->grab().toImage(), shot.file);
        box->close();
    }
}

// A chosen file whose name is not UTF-8 comes back with its exact bytes (a desktop's file chooser
// answers with URLs); a UTF-8 name and a plain answer without a URL stay as they are.
TEST(QtUi, ChosenPathsKeepTheirBytes) {
    const QList<QUrl> urls{QUrl::fromEncoded("file:///music/caf%E9.mp3"),
                           QUrl::fromLocalFile(QStringLiteral("/music/\u00e9t\u00e9.mp3"))};
    const QStringList files{QStringLiteral("/music/caf\ufffd.mp3"),
                            QStringLiteral("/music/\u00e9t\u00e9.mp3")};
    EXPECT_EQ(platform::LocalPathsBytes(urls, files),
              (std::vector<std::string>{"/music/caf\xe9.mp3", "/music/\xc3\xa9t\xc3\xa9.mp3"}));
    EXPECT_EQ(platform::LocalPathsBytes({}, {QStringLiteral("/music/a.mp3")}),
              (std::vector<std::string>{"/music/a.mp3"}));
    EXPECT_EQ(platform::LocalPathBytes(QUrl(QStringLiteral("http://example.invalid/a.mp3"))), "");
}

// A name typed without extension takes the extension of the filter chosen with it; the default
// extension stands for the first filter, one in another case and one without an extension.
TEST(SaveDialogs, TypedNamesTakeTheChosenFiltersExtension) {
    const platform::FileDialogOptions project{
        .defaultExt = "M3U",
        .filter = "M3U playlist (*.m3u)|*.m3u|Vexmor playlist (*.vxl)|*.vxl|All Files (*.*)|*.*||"};
    EXPECT_EQ(platform::SaveExtensionFor(project, 0), "M3U");
    EXPECT_EQ(platform::SaveExtensionFor(project, 1), "vxl");
    EXPECT_EQ(platform::SaveExtensionFor(project, 2), "M3U");
    EXPECT_EQ(platform::SaveExtensionFor(project, 3), "M3U");  // past the last filter
    EXPECT_EQ(platform::SaveExtensionFor(project, -1), "M3U");
    EXPECT_EQ(platform::SaveExtensionFor({.defaultExt = "MP3", .filter = "A|*.wav;*.mp3|B|*.MP3||"},
                                         1),
              "MP3");
    EXPECT_EQ(platform::SaveExtensionFor({.filter = "A|*.wav||B|*.mp3||"}, 1), "");

    platform::ScopedScriptedUi ui;
    ui->QueueSaveFileTyped("/p/name", 1);
    ui->QueueSaveFileTyped("/p/name.m3u", 1);
    ui->QueueSaveFile(std::string("/p/as_given"));
    EXPECT_EQ(platform::GetUi().SaveFile(project), "/p/name.vxl");
    EXPECT_EQ(platform::GetUi().SaveFile(project), "/p/name.m3u");
    EXPECT_EQ(platform::GetUi().SaveFile(project), "/p/as_given");
}

// The real save dialog: choosing the second filter and typing a bare name gives its extension;
// the first filter gives the default extension.
TEST(QtUi, SaveDialogGivesTheChosenFiltersExtension) {
    testing_support::TempDir dir;
    const auto ui = platform::MakeQtUi();
    const platform::FileDialogOptions options{
        .defaultExt = "M3U",
        .filter = "M3U playlist (*.m3u)|*.m3u|Vexmor playlist (*.vxl)|*.vxl||",
        .initialFolder = dir.path()};
    for (int filter : {1, 0}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!types || !name) {
                dialog->reject();
                return;
            }
            seen = true;
            types->setCurrentIndex(filter);  // as the user picks it
            name->setText(QStringLiteral("project"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const auto chosen = ui->SaveFile(options);
        ASSERT_TRUE(seen);
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(*chosen, dir.File(filter == 1 ? "project.vxl" : "project.M3U"));
    }
}

TEST(QtUi, FontDialogWithColourReturnsThePresetOrNothing) {
    const auto ui = platform::MakeQtUi();
    // A family that is not installed, with a pixel size, as the cover dialog presets its fonts.
    QFont preset(QStringLiteral("Arial"));
    preset.setPixelSize(20);
    preset.setUnderline(true);
    const QColor colour(200, 10, 10);
    // Accepting unchanged gives the preset back; cancelling gives nothing.
    for (auto button : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
        bool hadFonts = false;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) return;
            hadFonts = dialog->findChild<QFontDialog*>() != nullptr;
            testing_support::KeepScreenshot(dialog->grab().toImage(), "font_and_colour.png");
            if (auto* box = dialog->findChild<QDialogButtonBox*>()) box->button(button)->click();
        });
        const auto choice = ui->PickFontAndColor(preset, colour);
        EXPECT_TRUE(hadFonts);
        ASSERT_EQ(choice.has_value(), button == QDialogButtonBox::Ok);
        if (choice) {
            EXPECT_EQ(choice->color, colour);
            EXPECT_EQ(choice->font.family(), QFontInfo(preset).family());
            EXPECT_EQ(choice->font.pointSize(), 15);  // 20 pixels at 96 dots per inch
            EXPECT_TRUE(choice->font.underline());
            EXPECT_FALSE(choice->font.italic());
            EXPECT_EQ(choice->font.weight(), QFont::Normal);
        }
    }
}


// Escape and Return pressed inside the embedded font chooser end the whole dialog: Escape as
// Cancel, Return as OK, also with the focus on the colour button (which Return does not press).
TEST(QtUi, FontDialogWithColourEndsOnEscapeAndReturn) {
    const auto ui = platform::MakeQtUi();
    const QFont preset(QStringLiteral("DejaVu Sans"), 14);
    struct Case {
        Qt::Key key;
        bool onColourButton;
        bool chosen;
    };
    for (const Case& c : {Case{Qt::Key_Escape, false, false}, Case{Qt::Key_Return, false, true},
                          Case{Qt::Key_Enter, false, true}, Case{Qt::Key_Return, true, true}}) {
        bool stillOpen = false;
        bool otherDialog = false;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            QWidget* target = nullptr;
            if (c.onColourButton) {
                for (auto* b : dialog->findChildren<QPushButton*>())
                    if (b->text().startsWith(QStringLiteral("Colour"))) target = b;
            } else if (auto* fonts = dialog->findChild<QFontDialog*>()) {
                // The family list, which accepts the embedded chooser on Return.
                for (auto* view : fonts->findChildren<QAbstractItemView*>())
                    if (!target && view->isVisible()) target = view;
            }
            ASSERT_NE(target, nullptr);
            target->setFocus();
            if (c.key == Qt::Key_Escape)
                testing_support::KeepScreenshot(dialog->grab().toImage(), "font_and_colour_keys.png");
            QTest::keyClick(target, c.key);
            // Whatever is still open a moment later is closed, so that the test ends.
            QTimer::singleShot(100, [&, dialog] {
                QWidget* now = QApplication::activeModalWidget();
                otherDialog = now && now != dialog;
                if (otherDialog) now->close();
                stillOpen = dialog->isVisible();
                if (stillOpen) static_cast<QDialog*>(dialog)->reject();
            });
        });
        const auto choice = ui->PickFontAndColor(preset, Qt::black);
        EXPECT_FALSE(otherDialog) << c.key;
        EXPECT_FALSE(stillOpen) << c.key << (c.onColourButton ? " on the colour button" : "");
        EXPECT_EQ(choice.has_value(), c.chosen) << c.key;
        if (choice) {
            EXPECT_EQ(choice->font.family(), QStringLiteral("DejaVu Sans"));
        }
    }
}

TEST(ScriptedUi, SuccessMessagesCarryTheInformationIcon) {
    platform::ScopedScriptedUi ui;
    platform::ShowSuccess("Complete!");
    ASSERT_EQ(ui->messages().size(), 1u);
    EXPECT_EQ(ui->messages()[0].icon, MsgIcon::Information);
}

}  // namespace
