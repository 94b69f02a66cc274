#include "studio/main_window_logic.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/paths.h"
#include "platform/template_rect.h"
#include "studio/jobs.h"

using platform::Ltrb;

namespace studio {

const std::array<MainButton, 17>& MainButtons() {
    static const std::array<MainButton, 17> kButtons{{
        {kCmdNew, "NEW", 125, 146, Ltrb(14, 59, 63, 89)},
        {kCmdOpenMp3, "Open mp3", 127, 148, Ltrb(79, 59, 134, 89)},
        {kCmdSaveAsMmf, "Save as MMF", 128, 149, Ltrb(149, 59, 199, 89)},
        {kCmdSaveAsMp3, "Save as mp3", 129, 151, Ltrb(211, 59, 260, 89)},
        {kCmdSaveAsWav, "Save as wav", 130, 152, Ltrb(273, 59, 318, 89)},
        {kCmdMp3Info, "MP3 info", 154, 134, Ltrb(378, 31, 423, 54)},
        {kCmdMp3ToWav, "Mp3 to wav ", 116, 135, Ltrb(434, 31, 502, 54)},
        {kCmdWavToMp3, "Wav to mp3", 117, 136, Ltrb(510, 31, 575, 54)},
        {kCmdHelp, "Help", 119, 139, Ltrb(647, 31, 678, 54)},
        {kCmdMp3ToCd, "MP3 to CD", 122, 144, Ltrb(589, 58, 686, 82)},
        {kCmdBigToSmall, "Big MP3s To Small", 204, 205, Ltrb(492, 82, 686, 105)},
        {kCmdCdToMp3, "CD To MP3", 218, 219, Ltrb(373, 62, 494, 83)},
        {kCmdExtractFromCd, "Extract From CD", 220, 217, Ltrb(373, 83, 494, 105)},
        {kCmdPlay, "Play", 155, 159, Ltrb(9, 89, 41, 110)},
        {kCmdStop, "Stop", 157, 161, Ltrb(55, 89, 90, 110)},
        {kCmdMinimize, "Minimize", 123, 132, Ltrb(670, 2, 685, 25)},
        {kCmdExit, "Exit", 131, 133, Ltrb(685, 2, 702, 25)},
    }};
    return kButtons;
}

const std::vector<platform::Accelerator>& MainAccelerators() {
    static const std::vector<platform::Accelerator> kKeys{
        {QKeySequence(Qt::CTRL | Qt::Key_O), kCmdOpenMp3},
        {QKeySequence(Qt::CTRL | Qt::Key_S), kCmdSaveAsMp3},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), kCmdSaveAsWav},
        {QKeySequence(Qt::CTRL | Qt::Key_N), kCmdNew},
        {QKeySequence(Qt::Key_F1), kCmdHelp},
        {QKeySequence(Qt::Key_BracketLeft), kCmdMarkStart},
        {QKeySequence(Qt::Key_BracketRight), kCmdMarkEnd},
        {QKeySequence(Qt::Key_Space), kCmdPlayOrStop, true},
    };
    return kKeys;
}

std::string MainButtonName(const MainButton& button) {
    std::string name = button.caption;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

std::string MainButtonTip(const MainButton& button) {
    const int keysOf =
        button.id == kCmdPlay || button.id == kCmdStop ? int{kCmdPlayOrStop} : button.id;
    return platform::TipWithKeys(QString::fromStdString(MainButtonName(button)),
                                 MainAccelerators(), keysOf)
        .toStdString();
}

std::string SuggestedRingtoneFile(const std::string& currentFileName, const std::string& ext) {
    if (currentFileName.empty()) return {};
    return RingtoneName(currentFileName) + " ringtone." + ext;
}

std::string FileNameText(const std::string& currentFileName) { return "File-> " + currentFileName; }

std::string RingtoneName(const std::string& currentFileName) {
    if (currentFileName == "CD") return "CD";
    std::string name = platform::AfterLastSeparator(currentFileName);
    // The extension goes; a name without one is kept whole rather than losing its last letters.
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? "ringtone" : name;
}

DropVerdict CheckDrop(const std::vector<std::string>& paths) {
    if (paths.size() != 1) return DropVerdict::SeveralFiles;
    if (!IsSongFileName(paths.front())) return DropVerdict::InvalidFormat;
    return DropVerdict::Accept;
}

const char* DropMessage(DropVerdict verdict) {
    switch (verdict) {
        case DropVerdict::SeveralFiles:
            return "One file at a time, please.";
        case DropVerdict::InvalidFormat:
            return "Invalid format";
        case DropVerdict::Accept:
            break;
    }
    return "";
}

bool SelectionTooShort(int32_t start, int32_t end) {
    return static_cast<int64_t>(end) - start <= 7168;
}

std::optional<PlayPlan> PlanPlayback(int32_t start, int32_t end, uint32_t bytesPerSecond,
                                     uint32_t blockAlign) {
    if (bytesPerSecond == 0 || blockAlign == 0 || start < 0 || end < start) return std::nullopt;
    PlayPlan plan;
    plan.start = static_cast<int32_t>(start / blockAlign * blockAlign);
    plan.end = static_cast<int32_t>(end / blockAlign * blockAlign);
    const auto toMs = [bytesPerSecond](int32_t position) {
        const double ms = std::trunc(2.0 * position / bytesPerSecond * 1000.0);
        return static_cast<uint32_t>(std::min(ms, double(std::numeric_limits<uint32_t>::max())));
    };
    plan.seekMs = toMs(plan.start);
    plan.endMs = toMs(plan.end);
    return plan;
}

int32_t PlayCursorFor(uint32_t positionMs, uint32_t bytesPerSecond) {
    const double cursor = std::trunc(positionMs * 0.001 * bytesPerSecond * 0.25);
    return static_cast<int32_t>(std::min(cursor, double(std::numeric_limits<int32_t>::max())));
}

}  // namespace studio
