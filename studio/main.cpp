// The ringtone studio's entry point.
#include <QApplication>

#include "platform/ui.h"
#include "platform/worker.h"
#include "studio/app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    platform::SetProgramName("Ringsmith");
    studio::ConstructApplication();
    studio::InitInstance();
    // A job may still be inside the codec engine when the window closes.
    platform::ExitAfterWorkers(0);
}
