#include <QImage>
#include <QString>
#include <cstdlib>

#include "tests/support/test_support.h"

namespace testing_support {

void KeepScreenshot(const QImage& shot, const std::string& name) {
    if (const char* folder = std::getenv("VX_SCREENSHOT_DIR"))
        shot.save(QString::fromUtf8(folder) + "/" + QString::fromStdString(name));
}

}  // namespace testing_support
