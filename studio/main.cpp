// The ringtone studio's entry point: `ringsmith [SONG]`, SONG an MP3 or another music file the
// studio opens (studio::IsSongFileName).
#include <QApplication>
#include <QTimer>

#include "platform/interrupt.h"
#include "platform/qt_ui.h"
#include "platform/state_report.h"
#include "platform/ui.h"
#include "studio/app.h"
#include "studio/command_line.h"
#include "studio/session.h"

int main(int argc, char** argv) {
    if (const auto status = platform::AnswerHelpOrVersion(argc, argv, studio::StudioHelp()))
        return *status;
    QApplication application(argc, argv);
    platform::UseQtUiByDefault();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(studio::kDesktopId));
    platform::SetProgramName("Ringsmith");
    // The application object has taken out its own options (-platform, -style, ...).
    studio::Session session;
    session.arguments = platform::ArgumentsOf(argc, argv);
    const studio::StudioStart start =
        studio::ParseStudioArguments(session.arguments, platform::WorkingFolder());
    if (const auto status = platform::AnswerWithoutWindow(start.arguments, studio::StudioHelp()))
        return *status;
    platform::PrepareStateReport();
    // SIGTERM, SIGHUP (a logout) and Ctrl+C end the studio as closing it would, without its
    // question: the session's jobs are asked to stop (an encode or a decode is cancelled, a rip
    // stopped) and every window's loop ends; the windows then wait for their jobs as they close.
    const platform::InterruptCatcher stopSignals;
    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, [&session] {
        if (!platform::InterruptCatcher::Caught()) return;
        session.workers.RequestStop();
        QApplication::exit(0);
    });
    signalWatch.start(100);
    studio::ConstructApplication(session);
    studio::InitInstance(
        [&session, &start] { return studio::MakeMainWindowOpening(session, start.song); });
    // The main window has joined its jobs when it closed; the session joins any that are left.
    return 0;
}
