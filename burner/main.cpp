// The disc burner's entry point.
#include <QApplication>

#include "burner/app.h"
#include "platform/ui.h"
#include "platform/worker.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    platform::SetProgramName("Discsmith");
    burner::InitInstance();
    platform::ExitAfterWorkers(0);
}
