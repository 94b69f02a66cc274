// The main of the logic tests: the test surroundings, a QCoreApplication (the libraries under
// test have no window), a scripted Ui, then GoogleTest.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "platform/scripted_ui.h"
#include "tests/support/test_environment.h"

int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + "/vxtest-XXXXXX");
    testing_support::PrepareTestEnvironment(home);

    QCoreApplication app(argc, argv);
    // Nobody answers a dialog in a test: every one is scripted.
    platform::SetUi(std::make_unique<platform::ScriptedUi>());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
