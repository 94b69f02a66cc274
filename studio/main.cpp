// The ringtone studio's entry point: `ringsmith [SONG]`, SONG an MP3 or another music file the
// studio opens (studio::IsSongFileName).
#include <QApplication>

#include "platform/qt_ui.h"
#include "platform/state_report.h"
#include "platform/ui.h"
#include "platform/worker.h"
#include "studio/app.h"
#include "studio/command_line.h"

int main(int argc, char** argv) {
    if (const auto status = platform::AnswerHelpOrVersion(argc, argv, studio::StudioHelp()))
        return *status;
    QApplication application(argc, argv);
    platform::UseQtUiByDefault();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(studio::kDesktopId));
    platform::SetProgramName("Ringsmith");
    // The application object has taken out its own options (-platform, -style, ...).
    const studio::StudioStart start =
        studio::ParseStudioArguments(platform::ArgumentsOf(argc, argv), platform::WorkingFolder());
    if (const auto status = platform::AnswerWithoutWindow(start.arguments, studio::StudioHelp()))
        return *status;
    platform::PrepareStateReport();
    studio::ConstructApplication();
    studio::InitInstance([&start] { return studio::MakeMainWindowOpening(start.song); });
    // A job may still be inside the codec engine when the window closes.
    platform::ExitAfterWorkers(0);
}
