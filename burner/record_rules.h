// Rules of the recording dialog that need no window: the speed list, the progress formulas, the
// capacity texts and the texts of the CD writer's error events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace burner {

struct SpeedEntry {
    std::string text;  // "48x", or "Default"
    int speed = 0;     // attached speed; 0 for "Default"
};

// The entries for a recorder whose highest speed is `max`: "Default" alone when max <= 0, else
// max, then max - 4 while above 4, then halves down to 1 (48: 48x, 44x, ..., 4x, 2x, 1x).
std::vector<SpeedEntry> BuildSpeedList(int max);

// Percentage of the current track: trunc(written / size * 100); 0 for a size of 0 or less.
int TrackPercent(int32_t written, int32_t size);
// Percentage of the disc when track `track` (from 1) of `trackCount` is at `trackPercent`:
// trunc((trackPercent / 100 + track - 1) / trackCount * 100); 0 without tracks.
int TotalPercent(int trackPercent, int track, int trackCount);
// Percentage of the track being cached, as TrackPercent.
int CachingPercent(int32_t amount, int32_t size);

// "Total time:<total>" and "Time left(74min):<left74>  (80min):<left80>".
std::string TotalTimeText(const std::string& total);
std::string TimeLeftText(const std::string& total);

// The message of a write error of kind `kind` and code `code`.
std::string WriteErrorText(int32_t kind, int32_t code);
// The device-error text of `code`; empty outside 1000-1053.
std::string DeviceErrorText(int32_t code);
// The status text of a file error.
std::string FileErrorText(int32_t kind, const std::string& file);

}  // namespace burner
