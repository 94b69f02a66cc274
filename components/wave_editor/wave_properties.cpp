#include "components/wave_editor/wave_properties.h"

#include <algorithm>
#include <cstring>

namespace wave_editor {
namespace {

constexpr size_t kFaceBytes = 32;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* p, size_t at) {
    return static_cast<uint32_t>(p[at]) | static_cast<uint32_t>(p[at + 1]) << 8 |
           static_cast<uint32_t>(p[at + 2]) << 16 | static_cast<uint32_t>(p[at + 3]) << 24;
}
uint32_t ColorRef(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}
QColor FromColorRef(uint32_t v) {
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}
int Int(const uint8_t* p, size_t at) { return static_cast<int32_t>(Get32(p, at)); }

}  // namespace

std::vector<uint8_t> WaveEditProperties::ToBlock() const {
    std::vector<uint8_t> b(kPropertyBlockSize, 0);
    Put32(b, 0, static_cast<uint32_t>(extentWidth));
    Put32(b, 4, static_cast<uint32_t>(extentHeight));
    Put32(b, 8, ColorRef(background));
    Put32(b, 12, ColorRef(wave));
    Put32(b, 16, ColorRef(selection));
    Put32(b, 20, ColorRef(cursor));
    std::memcpy(b.data() + 24, fontFace.data(), std::min(fontFace.size(), kFaceBytes - 1));
    Put32(b, 56, static_cast<uint32_t>(fontPoints));
    Put32(b, 60, ColorRef(rulerBackground));
    Put32(b, 64, ColorRef(rulerText));
    Put32(b, 68, ColorRef(grid));
    Put32(b, 72, ColorRef(centreLine));
    Put32(b, 76, ColorRef(selectedWave));
    Put32(b, 80, static_cast<uint32_t>(rulerHeight));
    Put32(b, 84, showRuler ? 1u : 0u);
    Put32(b, 88, showGrid ? 1u : 0u);
    Put32(b, 92, static_cast<uint32_t>(handleGrab));
    Put32(b, 96, static_cast<uint32_t>(statusHeight));
    b[112] = kPropertyBlockVersion;
    return b;
}

bool WaveEditProperties::FromBlock(const uint8_t* data, size_t size, WaveEditProperties* out) {
    *out = WaveEditProperties{};
    if (!data || size < kPropertyBlockSize || data[112] != kPropertyBlockVersion) return false;
    WaveEditProperties p;
    p.extentWidth = std::clamp(Int(data, 0), 16, 16384);
    p.extentHeight = std::clamp(Int(data, 4), 16, 16384);
    p.background = FromColorRef(Get32(data, 8));
    p.wave = FromColorRef(Get32(data, 12));
    p.selection = FromColorRef(Get32(data, 16));
    p.cursor = FromColorRef(Get32(data, 20));
    const char* face = reinterpret_cast<const char*>(data + 24);
    p.fontFace.assign(face, strnlen(face, kFaceBytes));
    p.fontPoints = std::clamp(Int(data, 56), 4, 72);
    p.rulerBackground = FromColorRef(Get32(data, 60));
    p.rulerText = FromColorRef(Get32(data, 64));
    p.grid = FromColorRef(Get32(data, 68));
    p.centreLine = FromColorRef(Get32(data, 72));
    p.selectedWave = FromColorRef(Get32(data, 76));
    p.rulerHeight = std::clamp(Int(data, 80), 0, 200);
    p.showRuler = Get32(data, 84) != 0;
    p.showGrid = Get32(data, 88) != 0;
    p.handleGrab = std::clamp(Int(data, 92), 1, 50);
    p.statusHeight = std::clamp(Int(data, 96), 0, 200);
    *out = p;
    return true;
}

}  // namespace wave_editor
