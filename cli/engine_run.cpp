#include "cli/engine_run.h"

#include <algorithm>
#include <chrono>
#include <future>

#include "cli/console.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "studio/codec_engine.h"

namespace cli {
namespace {

}  // namespace

bool BindEngine(Console& console, const QString& file) {
    if (Engine().bound() || BindCodecEngine()) return true;
    const std::string path = platform::JoinPath(platform::SystemDirectory(), kCodecEngineFile);
    console.Error(file, QString("the codec engine %1 is missing or broken (reinstall the program)")
                            .arg(QString::fromStdString(path)));
    return false;
}

int RunWithProgress(Console& console, const QString& what, const std::function<int()>& job,
                    const std::function<int()>& percent) {
    std::future<int> result = std::async(std::launch::async, job);
    console.Progress(what, 0);
    while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
        console.Progress(what, std::min(percent(), 99));
    const int value = result.get();
    if (value == 0) console.Progress(what, 100);
    return value;
}

QString EngineResultText(int result) {
    // The engine's result codes (components/codec_engine/vxmpp.cpp).
    switch (result) {
        case -1:
            return "the codec engine has no MP3 encoder";
        case 1:
            return "the encoder options are not valid";
        case 2:
            return "not a readable MP3 or WAV file";
        case 3:
            return "the output could not be written (folder not writable or disk full?)";
        case 4:
            return "stopped";
        case 5:
            return "the encoder refused these options for this sound";
        case 6:
            return "another file took the output's name meanwhile";
        default:
            return QString("the codec engine failed (%1)").arg(result);
    }
}

}  // namespace cli
