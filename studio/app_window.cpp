// The window that start-up runs modally: the studio's main window.
#include <cstdio>
#include <fstream>

#include "components/wave_editor/wave_edit_dispids.h"
#include "platform/dialog.h"
#include "platform/state_report.h"
#include "studio/app.h"
#include "studio/main_window.h"
#include "studio/session.h"
#include "studio/wav.h"

namespace studio {
namespace {

const char* LoadStateName(int state) {
    switch (state) {
        case wave_editor::kLoadStateEmpty:
            return "empty";
        case wave_editor::kLoadStateLoading:
            return "loading";
        case wave_editor::kLoadStateReady:
            return "shown";
        default:
            return "failed";
    }
}

// The length of the current WAV's sound the editor shows, in seconds; 0 when there is none.
double ShownSeconds(CRingsmithDlg& window) {
    const int positions =
        window.editor().site().GetProperty(wave_editor::dispid::kLengthPositions).ToInt();
    const std::string wav = window.session().job.CurrentWavPath();
    std::ifstream in(wav, std::ios::binary);
    if (!in || positions <= 0) return 0.0;
    try {
        const WaveFormat format = ReadWavHeader(in, wav);
        // A position is two bytes of the sample data.
        return format.bytesPerSecond ? 2.0 * positions / format.bytesPerSecond : 0.0;
    } catch (const InvalidFileError&) {
        return 0.0;
    }
}

std::vector<std::string> StateLines(CRingsmithDlg& window) {
    const int state = window.editor().site().GetProperty(wave_editor::dispid::kLoadState).ToInt();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", ShownSeconds(window));
    return {"file=" + window.currentFileName(), std::string("editor=") + LoadStateName(state),
            std::string("seconds=") + seconds};
}

}  // namespace

std::unique_ptr<platform::Dialog> MakeMainWindow(Session& session) {
    return std::make_unique<CRingsmithDlg>(session);
}

std::unique_ptr<platform::Dialog> MakeMainWindowOpening(Session& session,
                                                        const std::optional<std::string>& song) {
    auto window = std::make_unique<CRingsmithDlg>(session);
    if (song) window->OpenAtStart(*song);
    if (const std::optional<std::string> report = platform::StateReportPath()) {
        CRingsmithDlg* w = window.get();
        platform::ReportWhenSettled(
            *w, *report,
            [w] {
                const int state =
                    w->editor().site().GetProperty(wave_editor::dispid::kLoadState).ToInt();
                return !w->startPending() && !w->session().job.Running() &&
                       state != wave_editor::kLoadStateLoading;
            },
            [w] { return StateLines(*w); });
    }
    return window;
}

}  // namespace studio
