// The output-folder picker: its status line, and a run through the scripted and the real Ui.
#include "studio/tools/folder_picker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "platform/qt_ui.h"
#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"

namespace {

using studio::CFolderPicker;

TEST(FolderPickerStatusText, LongFoldersKeepTheirEndFromASeparator) {
    const std::string fits = "/home/user/" + std::string(44, 'a');  // 55 characters
    EXPECT_EQ(CFolderPicker::StatusText(fits), fits);
    EXPECT_EQ(CFolderPicker::StatusText(""), "");

    // 56 characters: the last 53 start inside "home" ("me/user/..."), so the text starts at the
    // next '/'.
    const std::string longer = "/home/user/music/" + std::string(30, 'b') + "/" + "cccccccc";
    ASSERT_EQ(longer.size(), 56u);
    EXPECT_EQ(CFolderPicker::StatusText(longer),
              ".../user/music/" + std::string(30, 'b') + "/cccccccc");

    // No separator among the last 53 characters: all 53 are kept.
    const std::string oneName = "/" + std::string(70, 'd');
    EXPECT_EQ(CFolderPicker::StatusText(oneName), "..." + std::string(53, 'd'));

    // A separator that is the first of the 53 stays in front.
    const std::string atEdge = std::string(10, 'e') + "/" + std::string(52, 'f');
    EXPECT_EQ(CFolderPicker::StatusText(atEdge), ".../" + std::string(52, 'f'));

    // Letters count as one character however many bytes they take, and are never cut.
    const std::string umlauts = "/" + [] {
        std::string s;
        for (int i = 0; i < 60; ++i) s += "\xC3\xBC";  // ü
        return s;
    }();
    const std::string shortened = CFolderPicker::StatusText(umlauts);
    EXPECT_EQ(shortened.substr(0, 3), "...");
    EXPECT_EQ(shortened.size(), 3u + 53u * 2u);
    const std::string fewUmlauts = "/" + umlauts.substr(1, 54 * 2);  // 55 characters, 109 bytes
    EXPECT_EQ(CFolderPicker::StatusText(fewUmlauts), fewUmlauts);
}

TEST(FolderPicker, RunsTheUisFolderDialogWithTitleAndStatusLine) {
    platform::ScopedScriptedUi ui;
    const std::string deep = "/srv/" + std::string(40, 'x') + "/output/phone";
    ui->QueuePickFolder(deep);
    ui->QueuePickFolder(std::nullopt);

    CFolderPicker picker(nullptr, studio::kOutputFolderTitleId);
    picker.SetFlags(studio::kBrowseFileSystemOnly | studio::kBrowseStatusText);
    picker.SetInitialFolder("");
    ASSERT_TRUE(picker.Run());
    EXPECT_EQ(picker.Folder(), deep);
    EXPECT_FALSE(picker.Run()) << "a cancelled dialog chooses nothing";
    EXPECT_EQ(picker.Folder(), deep);

    const auto shown = ui->folderDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_FALSE(shown[0].title.empty());
    EXPECT_EQ(shown[0].title, studio::StudioString(studio::kOutputFolderTitleId));
    EXPECT_EQ(shown[0].statusTexts,
              (std::vector<std::string>{"", CFolderPicker::StatusText(deep)}));
    EXPECT_EQ(CFolderPicker::StatusText(deep).substr(0, 4), ".../");

    // Without the status flag the dialog shows no status line.
    ui->QueuePickFolder("/tmp");
    CFolderPicker plain(nullptr, studio::kOutputFolderTitleId);
    plain.SetFlags(studio::kBrowseFileSystemOnly);
    EXPECT_TRUE(plain.Run());
    EXPECT_TRUE(ui->folderDialogs().back().statusTexts.empty());
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(FolderPicker, TheRealDialogShowsTheShortenedFolderAsItChanges) {
    testing_support::TempDir dir;
    const std::string start = dir.File(std::string(30, 's') + "/" + std::string(30, 't'));
    const std::string inner = start + "/inner";
    std::filesystem::create_directories(inner);

    std::unique_ptr<platform::Ui> previous = platform::SetUi(platform::MakeQtUi());
    std::vector<std::string> statusSeen;
    std::string title;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        auto* status = dialog->findChild<QLabel*>("statusText");
        if (!status) return;
        title = dialog->windowTitle().toStdString();
        if (statusSeen.empty()) {
            statusSeen.push_back(status->text().toStdString());
            testing_support::KeepScreenshot(dialog->grab().toImage(), "folder_picker.png");
            dialog->setDirectory(QString::fromStdString(inner));
            emit dialog->directoryEntered(QString::fromStdString(inner));
            return;
        }
        statusSeen.push_back(status->text().toStdString());
        static_cast<QDialog*>(dialog)->accept();
    });
    answer.start(50);

    CFolderPicker picker(nullptr, studio::kOutputFolderTitleId);
    picker.SetFlags(studio::kBrowseFileSystemOnly | studio::kBrowseStatusText);
    picker.SetInitialFolder(start);
    const bool chosen = picker.Run();
    answer.stop();
    platform::SetUi(std::move(previous));

    ASSERT_TRUE(chosen);
    EXPECT_EQ(std::filesystem::canonical(picker.Folder()), std::filesystem::canonical(inner));
    EXPECT_EQ(title, studio::StudioString(studio::kOutputFolderTitleId));
    ASSERT_EQ(statusSeen.size(), 2u);
    EXPECT_EQ(statusSeen[0], CFolderPicker::StatusText(start));
    EXPECT_EQ(statusSeen[1], CFolderPicker::StatusText(inner));
    EXPECT_EQ(statusSeen[1].substr(0, 4), ".../");
}

}  // namespace
