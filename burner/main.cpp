// The disc burner's entry point: `discsmith [A.mp3 B.mp3 ... | PROJECT.m3u | PROJECT.vxl]`.
#include <QApplication>
#include <QTimer>

#include "burner/app.h"
#include "burner/command_line.h"
#include "burner/record_dialog.h"
#include "platform/interrupt.h"
#include "platform/qt_ui.h"
#include "platform/state_report.h"
#include "platform/ui.h"

namespace {

// SIGTERM, SIGHUP (a logout) and Ctrl+C end the program as its windows would: a running write is
// stopped as by "Stop", and once every write has ended the windows close.
void EndOnSignals(QTimer& watch) {
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (!platform::InterruptCatcher::Caught()) return;
        bool writing = false;
        for (QWidget* widget : QApplication::allWidgets()) {
            auto* record = qobject_cast<burner::CRecordDlg*>(widget);
            if (!record || record->idle()) continue;
            writing = true;
            record->writer().AbortWrite();
        }
        if (!writing) QApplication::exit(0);
    });
    watch.start(100);
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = platform::AnswerHelpOrVersion(argc, argv, burner::BurnerHelp()))
        return *status;
    QApplication application(argc, argv);
    platform::UseQtUiByDefault();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(burner::kDesktopId));
    platform::SetProgramName("Discsmith");
    // The application object has taken out its own options (-platform, -style, ...).
    burner::BurnerStart start =
        burner::ParseBurnerArguments(platform::ArgumentsOf(argc, argv), platform::WorkingFolder());
    if (const auto status = platform::AnswerWithoutWindow(start.arguments, burner::BurnerHelp()))
        return *status;
    platform::PrepareStateReport();
    const platform::InterruptCatcher stopSignals;
    QTimer signalWatch;
    EndOnSignals(signalWatch);
    burner::InitInstance(
        [&start] { return burner::MakeMainWindowOpening(std::move(start.files)); });
    // The writers are joined when their windows close.
    return 0;
}
