#include "cli/engine_run.h"

#include <algorithm>
#include <chrono>
#include <future>

#include "cli/console.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "studio/codec_engine.h"
#include "studio/session.h"

namespace cli {

bool BindEngine(studio::Session& session, Console& console, const QString& file) {
    if (session.engine.bound() || session.BindCodecEngine()) return true;
    const std::string path = platform::JoinPath(platform::SystemDirectory(), kCodecEngineFile);
    console.Error(file, QString("the codec engine %1 is missing or broken (reinstall the program)")
                            .arg(QString::fromStdString(path)));
    return false;
}

int RunWithProgress(Console& console, const QString& what, const std::function<int()>& job,
                    const std::function<int()>& percent) {
    // `percent` is asked every 10 ms, so a Ctrl+C it passes on stops even a short job at once;
    // the progress line changes every 100 ms.
    std::future<int> result = std::async(std::launch::async, job);
    console.Progress(what, 0);
    int ticks = 0;
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        const int now = std::min(percent(), 99);
        if (++ticks % 10 == 0) console.Progress(what, now);
    }
    const int value = result.get();
    if (value == 0) console.Progress(what, 100);
    return value;
}

QString EngineResultText(CodecEngine& engine, int result) {
    // -1 is the binding's own: the engine has no mymp3/mymp3d to call.
    if (result == -1) return "the codec engine has no MP3 encoder";
    const std::optional<std::string> text = engine.ResultText(result);
    if (!text || *text == "unknown result")
        return QString("the codec engine failed (%1)").arg(result);
    return QString::fromStdString(*text);
}

}  // namespace cli
