// The disc burner's entry point: `discsmith [A.mp3 B.mp3 ... | PROJECT.m3u | PROJECT.vxl]`.
#include <QApplication>

#include "burner/app.h"
#include "burner/command_line.h"
#include "platform/state_report.h"
#include "platform/ui.h"
#include "platform/worker.h"

int main(int argc, char** argv) {
    if (const auto status = platform::AnswerHelpOrVersion(argc, argv, burner::BurnerHelp()))
        return *status;
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(burner::kDesktopId));
    platform::SetProgramName("Discsmith");
    // The application object has taken out its own options (-platform, -style, ...).
    burner::BurnerStart start =
        burner::ParseBurnerArguments(platform::ArgumentsOf(argc, argv), platform::WorkingFolder());
    if (const auto status = platform::AnswerWithoutWindow(start.arguments, burner::BurnerHelp()))
        return *status;
    platform::PrepareStateReport();
    burner::InitInstance(
        [&start] { return burner::MakeMainWindowOpening(std::move(start.files)); });
    platform::ExitAfterWorkers(0);
}
