// The surroundings every test program runs in: a private home and XDG folders, offscreen Qt, the
// dummy SDL audio driver and the build tree's system directory. The two test mains (logic tests
// under QCoreApplication, window tests under QApplication) set them up alike.
#pragma once

#include <QTemporaryDir>

namespace testing_support {

// Sets the environment up inside `home`, which lives as long as the test program.
void PrepareTestEnvironment(const QTemporaryDir& home);

}  // namespace testing_support
