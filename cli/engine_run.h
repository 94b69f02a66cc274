// The codec engine on the command line: binding it from the system directory with a message
// that says what is missing, running one of its jobs with progress, and the reason of a failed
// result in words.
#pragma once

#include <QString>
#include <functional>

class CodecEngine;
namespace studio {
class Session;
}

namespace cli {

class Console;

// Binds the codec engine of the command's session (once). False, after "vexmor: FILE: the codec
// engine ... is missing or broken" naming `file`, when it cannot be bound.
bool BindEngine(studio::Session& session, Console& console, const QString& file);

// Runs `job` on a thread of its own while this thread reports `percent()` as the progress of
// `what` every 100 ms, then 100 when the job succeeded (returned 0). Returns the job's result.
int RunWithProgress(Console& console, const QString& what, const std::function<int()>& job,
                    const std::function<int()>& percent);

// The reason of a failed result of the engine's mymp3, for an error message.
QString EngineResultText(CodecEngine& engine, int result);

}  // namespace cli
