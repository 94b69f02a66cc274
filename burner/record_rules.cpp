#include "burner/record_rules.h"

#include <array>

#include "uikit/time_calc.h"

namespace burner {

std::vector<SpeedEntry> BuildSpeedList(int max) {
    std::vector<SpeedEntry> list;
    if (max <= 0) {
        list.push_back({"Default", 0});
        return list;
    }
    for (int n = max; n > 0; n = n > 4 ? n - 4 : n / 2)
        list.push_back({std::to_string(n) + "x", n});
    return list;
}

int TrackPercent(int32_t written, int32_t size) {
    if (size <= 0) return 0;
    return static_cast<int>(static_cast<double>(written) / size * 100.0);
}

int TotalPercent(int trackPercent, int track, int trackCount) {
    if (trackCount <= 0) return 0;
    return static_cast<int>((trackPercent * 0.01 + (track - 1)) / trackCount * 100.0);
}

int CachingPercent(int32_t amount, int32_t size) { return TrackPercent(amount, size); }

std::string TotalTimeText(const std::string& total) { return "Total time:" + total; }

std::string TimeLeftText(const std::string& total) {
    const CTimeCalc calc;
    const std::string left80 = calc.Subtract("80:00", total);
    const std::string left74 = calc.Subtract("74:00", total);
    return "Time left(74min):" + left74 + "  (80min):" + left80;
}

std::string DeviceErrorText(int32_t code) {
    static const std::array<const char*, 54> kTexts = {
        "No additional error data was reported",
        "Abnormal I/O Termination",
        "The drive is not ready",
        "Communication with drive unit failed",
        "The drive could not track properly",
        "Writing error of unknown origin",
        "Writing occurred, but recovery is needed",
        "Recovery attempt failed",
        "A buffer under-run has occurred",
        "The disc could not be read",
        "The drive's attempts at reading retries failed",
        "The read timed out",
        "While reading, the LEC was not recovered",
        "The CIRC could not be validated",
        "Reading of the UPC failed",
        "Reading of the ISRC failed",
        "Streaming while reading was interrupted",
        "Drive could not position media",
        "An incompatible parameter length was sent to the drive",
        "A transfer error occurred to the drive",
        "An invalid command was sent to the drive",
        "Error trying to write past the end of the media",
        "Invalid command field",
        "An incompatible parameter field was sent to the drive",
        "A command parameter is not supported",
        "A command parameter had an invalid value",
        "The SCSI/ATAPI bus was reset and caused a write failure",
        "A command parameter changed while in progress",
        "The disc is not compatible with the drive mode",
        "The drive does not recognize the format of the disc",
        "The disc format is not compatible with the drive",
        "The disc is of an unknown format",
        "The drive cannot write because of an incompatible format",
        "A disc is not present",
        "The drive had an unknown failure",
        "The drive has timed out while completing a command",
        "The disc could not be erased",
        "The Table of Contents is unrecoverable",
        "Error trying to write past the user area of the media",
        "Packet recording is not configured correctly",
        "The current track mode is incompatible with the disc format",
        "Packet recording has incorrect size",
        "A generic session closing error occurred",
        "Error closing Lead-in area",
        "Error closing Lead-out area",
        "While closing, the track was never completed",
        "Error attempting to write to a reserved track",
        "Power calibration area is full",
        "A flaw exists in the Power calibration area",
        "The disc's PMA could not be updated",
        "The disc's PMA is full",
        "Unknown error - use extended data for more information",
        "No Error Reported",
        "A seek command was interrupted by another command",
    };
    if (code < 1000 || code > 1053) return {};
    return kTexts[static_cast<size_t>(code - 1000)];
}

std::string WriteErrorText(int32_t kind, int32_t code) {
    switch (kind) {
        case 0:
            return "The read buffer could not be initialized...check your memory/disc resources.";
        case 1:
            return "The write buffer could not be initialized...check your memory/disc resources.";
        case 2:
            return "A file error was encountered while writing the disc.";
        case 3:
            return code == 1051 ? "An unknown device error has occurred " : DeviceErrorText(code);
        case 4:
            return "Tracks have been added the disc image...Please add tracks and try again.";
        case 5:
            return "Tracks have been added the disc image with an invalid format...Please try "
                   "again.";
        default:
            return {};
    }
}

std::string FileErrorText(int32_t kind, const std::string& file) {
    switch (kind) {
        case 0:
            return "Error opening file: " + file;
        case 1:
            return "Error reading file: " + file;
        case 2:
            return "Error writing file: " + file;
        case 4:
            return "Error buffering file: " + file;
        default:
            return "Unknown file error!:";
    }
}

}  // namespace burner
