// Paints the wave editor: time ruler, one lane per channel with the min/max picture, the marked
// part, the play cursor and a status line. Stateless: everything it draws is in WaveView.
#pragma once

#include <QRect>
#include <cstdint>
#include <string>

#include "components/wave_editor/wave_format.h"
#include "components/wave_editor/wave_overview.h"
#include "components/wave_editor/wave_properties.h"

class QPainter;

namespace wave_editor {

enum class LoadState { Empty, Loading, Ready, Failed };

struct WaveView {
    const WaveEditProperties* properties = nullptr;  // required
    LoadState state = LoadState::Empty;
    const WaveFormat* format = nullptr;      // Loading, Ready
    const WaveOverview* overview = nullptr;  // Ready
    int64_t selectionStart = 0;              // frames
    int64_t selectionEnd = 0;
    int64_t fadeInFrames = 0;  // ramps drawn over the selection; 0: none
    int64_t fadeOutFrames = 0;
    int64_t cursorFrame = -1;  // -1: no cursor
    int64_t viewFirst = 0;     // the frames in view; viewFrames 0 shows the whole sound
    int64_t viewFrames = 0;
    int progressPercent = 0;  // Loading
    std::string fileName;     // shown while loading
    std::string message;      // Failed
};

struct WaveLayout {
    QRect ruler;
    QRect wave;  // all channel lanes
    QRect status;
};

WaveLayout ComputeLayout(const QRect& rect, const WaveEditProperties& properties);

// The ruler's tick step in seconds for `secondsPerPixel`, so that labels stay at least
// `minLabelPixels` apart.
double RulerStep(double secondsPerPixel, int minLabelPixels);
// "m:ss", "h:mm:ss", with tenths or hundredths when `step` is below a second.
std::string FormatRulerTime(double seconds, double step);

// The gain of a fade ramp at `frame` of the selection [start, end): 0 at the start, rising
// linearly over `fadeIn` frames, falling linearly to 0 at the last frame over `fadeOut` frames;
// 1 outside the ramps.
double FadeGainAt(int64_t frame, int64_t start, int64_t end, int64_t fadeIn, int64_t fadeOut);

void PaintWaveView(QPainter& painter, const QRect& rect, const WaveView& view);

}  // namespace wave_editor
