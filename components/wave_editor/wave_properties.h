// The wave editor's persistent properties and their 113-byte block, which a host stores with its
// dialog and hands to the control when it creates it.
//
// Layout (integers little-endian, colours 0x00BBGGRR):
//   0 extent width (pixels)      4 extent height (pixels)
//   8 background colour         12 wave colour
//  16 selection colour          20 cursor colour
//  24 font face, 32 bytes, NUL-padded ("Arial")
//  56 font size (points)
//  60 ruler background colour   64 ruler text colour
//  68 grid colour               72 centre-line colour
//  76 selected-wave colour      80 ruler height (pixels)
//  84 show ruler (0/1)          88 show grid (0/1)
//  92 handle grab width (pixels)
//  96 status-line height (pixels, 0 hides it)
// 100..111 reserved, 0         112 layout version (1)
#pragma once

#include <QColor>
#include <cstdint>
#include <string>
#include <vector>

namespace wave_editor {

inline constexpr size_t kPropertyBlockSize = 113;
inline constexpr uint8_t kPropertyBlockVersion = 1;

struct WaveEditProperties {
    int extentWidth = 700;
    int extentHeight = 305;
    QColor background{12, 27, 61};
    QColor wave{104, 170, 245};
    QColor selection{44, 86, 165};
    QColor cursor{255, 166, 38};
    std::string fontFace = "Arial";
    int fontPoints = 8;
    QColor rulerBackground{213, 224, 247};
    QColor rulerText{1, 34, 99};
    QColor grid{28, 48, 92};
    QColor centreLine{58, 86, 146};
    QColor selectedWave{226, 238, 255};
    int rulerHeight = 20;
    bool showRuler = true;
    bool showGrid = true;
    int handleGrab = 5;
    int statusHeight = 18;

    std::vector<uint8_t> ToBlock() const;
    // Reads a block. A block that is too short or of another layout version leaves `out` at its
    // defaults and returns false; out-of-range sizes are clamped to usable values.
    static bool FromBlock(const uint8_t* data, size_t size, WaveEditProperties* out);
};

}  // namespace wave_editor
