// The main of the window tests: the test surroundings (offscreen Qt), a QApplication, a scripted
// Ui with the colour and font dialogs, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "platform/scripted_gui_ui.h"
#include "tests/support/test_environment.h"

int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + "/vxtest-XXXXXX");
    testing_support::PrepareTestEnvironment(home);

    QApplication app(argc, argv);
    // No test may open a real dialog: it would wait for a user forever.
    platform::SetUi(std::make_unique<platform::ScriptedGuiUi>());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
