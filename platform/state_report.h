// A hook for tests of the installed programs, which have no scripted Ui inside them: with
// VEXMOR_STATE_REPORT naming a file, a program runs as if nobody sat at the screen (message boxes
// take their default answer and are recorded, dialogs count as cancelled) and, once the work it
// was started with has settled, writes what its main window shows into that file, keeps a
// picture of the window beside it (FILE.png) and ends.
//
// The report is text, one "key=value" line each; the program adds its own lines, then follow a
// "message=TEXT" line per message box shown and an "unexpected=CALL" line per dialog that was
// cancelled for want of a user. Line ends inside a value are written as "\n".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Dialog;

inline constexpr const char* kStateReportVariable = "VEXMOR_STATE_REPORT";

// The report file the environment asks for; nullopt when none is asked for.
std::optional<std::string> StateReportPath();

// When a report is asked for, installs the Ui that answers for nobody. Called once at start-up,
// before anything could show a message.
void PrepareStateReport();

// From the time `window` runs, asks `settled` every 50 ms on the user-interface thread; once it
// held at two asks in a row (so that work queued by the last one has run), writes the report
// with `lines` and the picture, and ends the window. A window that ends before that writes its
// report as it ends.
void ReportWhenSettled(Dialog& window, const std::string& path, std::function<bool()> settled,
                       std::function<std::vector<std::string>()> lines);

}  // namespace platform
