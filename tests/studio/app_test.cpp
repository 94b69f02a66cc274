// Start-up: the installation check in its order, the control registration and the modal run.
#include "studio/app.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "platform/dialog.h"
#include "platform/paths.h"
#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;

class StartUp : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("VEXMOR_SYSTEM_DIR", system.path().c_str(), 1); }
    void TearDown() override {
        ::setenv("VEXMOR_SYSTEM_DIR", testing_support::BuildSystemDir().c_str(), 1);
        EXPECT_TRUE(ui->unexpected().empty());
    }

    void Install(const char* name) { testing_support::WriteFile(system.File(name), {0}); }

    // A main window that closes itself as soon as it runs; counts constructions and runs.
    studio::MainWindowFactory Counting() {
        return [this] {
            ++made;
            auto window = std::make_unique<platform::Dialog>();
            QTimer::singleShot(0, window.get(), [this, w = window.get()] {
                ++ran;
                w->EndDialog(0);
            });
            return window;
        };
    }

    TempDir system;
    platform::ScopedScriptedUi ui;
    int made = 0;
    int ran = 0;
};

TEST_F(StartUp, ChecksTheThreeFilesInOrder) {
    EXPECT_EQ(studio::FirstMissingComponent(), system.File("VxMpp.so"));
    Install("wscma2u");
    Install("vexmor.so");
    EXPECT_EQ(studio::FirstMissingComponent(), system.File("VxMpp.so"));
    Install("VxMpp.so");
    EXPECT_EQ(studio::FirstMissingComponent(), std::nullopt);
    std::filesystem::remove(system.File("vexmor.so"));
    EXPECT_EQ(studio::FirstMissingComponent(), system.File("vexmor.so"));
    Install("vexmor.so");
    std::filesystem::remove(system.File("wscma2u"));
    EXPECT_EQ(studio::FirstMissingComponent(), system.File("wscma2u"));
}

TEST_F(StartUp, EachMissingFileStopsWithOneMessageAndNoWindow) {
    for (const char* missing : studio::kRequiredComponents) {
        for (const char* name : studio::kRequiredComponents) Install(name);
        std::filesystem::remove(system.File(missing));
        ui->Clear();
        ran = 0;
        EXPECT_FALSE(studio::InitInstance(Counting())) << missing;
        EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Please reinstall it!"}))
            << missing;
        EXPECT_EQ(ran, 0) << missing;
    }
}

TEST_F(StartUp, WithEverythingInstalledTheMainWindowRunsWithTheStudioColours) {
    for (const char* name : studio::kRequiredComponents) Install(name);
    // A control library that does not load is skipped silently.
    EXPECT_FALSE(studio::InitInstance(Counting()));
    EXPECT_EQ(made, 1);
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_TRUE(platform::HaveDialogColors());
    EXPECT_EQ(platform::DialogBackgroundColor(), QColor(213, 224, 247));
    EXPECT_EQ(platform::DialogTextColor(), QColor(1, 34, 99));
}

TEST_F(StartUp, TheEditorControlIsRegisteredAtEveryStart) {
    const std::string control = testing_support::BuildSystemDir() + "/vexmor.so";
    if (!std::filesystem::exists(control)) GTEST_SKIP() << "wave-editor control not built";
    std::filesystem::copy_file(control, system.File("vexmor.so"));
    EXPECT_TRUE(studio::RegisterEditorControl());
    EXPECT_TRUE(studio::RegisterEditorControl());
    // A library without DllRegisterServer (the codec engine) is skipped.
    std::filesystem::remove(system.File("vexmor.so"));
    std::filesystem::copy_file(testing_support::BuildSystemDir() + "/VxMpp.so",
                               system.File("vexmor.so"));
    EXPECT_FALSE(studio::RegisterEditorControl());
}

}  // namespace
