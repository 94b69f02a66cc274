#include "studio/wave_edit_x.h"

#include <iterator>

namespace {
using platform::Variant;
namespace dispid = wave_editor::dispid;
}  // namespace

std::vector<uint8_t> CMMWaveEditX::DefaultPropertyBlock() {
    // The editor's persisted state as the main window's dialog stores it: extent 700 x 305,
    // the dark display and blue-skin ruler colours, the font "Arial" at 8 points, a 20-pixel
    // ruler, grid on, 5-pixel handles, an 18-pixel status line, layout version 1.
    static const uint8_t kBlock[] = {
        0xBC, 0x02, 0x00, 0x00, 0x31, 0x01, 0x00, 0x00, 0x0C, 0x1B, 0x3D, 0x00, 0x68, 0xAA, 0xF5,
        0x00, 0x2C, 0x56, 0xA5, 0x00, 0xFF, 0xA6, 0x26, 0x00, 0x41, 0x72, 0x69, 0x61, 0x6C, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00,
        0xD5, 0xE0, 0xF7, 0x00, 0x01, 0x22, 0x63, 0x00, 0x1C, 0x30, 0x5C, 0x00, 0x3A, 0x56, 0x92,
        0x00, 0xE2, 0xEE, 0xFF, 0x00, 0x14, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
    };
    return std::vector<uint8_t>(std::begin(kBlock), std::end(kBlock));
}

bool CMMWaveEditX::Create(QWidget* parent, const std::vector<uint8_t>& propertyBlock) {
    return site_.Create(wave_editor::kWaveEditClassId, parent, propertyBlock);
}

void CMMWaveEditX::LoadFile(const std::string& path) {
    site_.CallMethod(dispid::kLoadFile, {Variant(path)});
}

void CMMWaveEditX::Clear() { site_.CallMethod(dispid::kClear); }

void CMMWaveEditX::SetPlayCursor(int32_t position) {
    site_.CallMethod(dispid::kSetPlayCursor, {Variant(position)});
}

void CMMWaveEditX::GetSelection(int32_t& start, int32_t& end) {
    int32_t s = 0, e = 0;
    if (site_.Invoke(dispid::kGetSelection, platform::InvokeKind::Method,
                     {Variant(&s), Variant(&e)}) != platform::InvokeStatus::Ok) {
        s = e = 0;
    }
    start = s;
    end = e;
}

int32_t CMMWaveEditX::GetCursor() { return site_.GetProperty(dispid::kCursor).ToInt(); }

void CMMWaveEditX::SetSelection(int32_t start, int32_t end) {
    site_.CallMethod(dispid::kSetSelection, {Variant(start), Variant(end)});
}

void CMMWaveEditX::SetFades(int32_t fadeInMs, int32_t fadeOutMs) {
    site_.CallMethod(dispid::kSetFades, {Variant(fadeInMs), Variant(fadeOutMs)});
}

void CMMWaveEditX::MarkEdgeAtCursor(bool end) {
    site_.CallMethod(dispid::kMarkEdgeAtCursor, {Variant(end ? 1 : 0)});
}
