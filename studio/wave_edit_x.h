// CMMWaveEditX: the studio's wrapper of the wave-editor control. It creates the control by its
// class id and calls it only by the fixed dispatch ids; it is also the selection source of the
// segment writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/wave_editor/wave_edit_dispids.h"
#include "platform/control_host.h"
#include "studio/wav.h"

class QWidget;

class CMMWaveEditX : public ISelectionSource {
  public:
    // The property block the main window's editor is created with: 700 x 305 pixels, the blue
    // skin's colours and the font "Arial" (113 bytes).
    static std::vector<uint8_t> DefaultPropertyBlock();

    // Creates the control as a child of `parent`; false when it is not registered or its module
    // does not load (site().LastError() tells why).
    bool Create(QWidget* parent,
                const std::vector<uint8_t>& propertyBlock = DefaultPropertyBlock());
    bool IsCreated() const { return site_.IsCreated(); }
    QWidget* Widget() const { return site_.Widget(); }

    // Dispatch id 15: shows a WAV file.
    void LoadFile(const std::string& path);
    // Dispatch id 20: empties the display.
    void Clear();
    // Dispatch id 23: moves the play cursor (byte 4 * position of the sample data); -1 removes it.
    void SetPlayCursor(int32_t position);
    // Dispatch id 24: the marked part in positions (byte 2 * p of the sample data); 0, 0 when
    // nothing is marked or there is no control.
    void GetSelection(int32_t& start, int32_t& end) override;
    // Property 10: the play cursor shown, -1 when none (0 without a control).
    int32_t GetCursor();

    // Beyond the five operations the main window's workflow relies on: the ringtone tools'.
    // Dispatch id 31: marks (start, end) in positions; start == end clears the mark.
    void SetSelection(int32_t start, int32_t end);
    // Dispatch id 33: the fade ramps drawn over the marked part, in ms (0: none).
    void SetFades(int32_t fadeInMs, int32_t fadeOutMs);
    // Dispatch id 34: the part's start (or end) moves to the play cursor; the editor then fires
    // SelectionChanged. Nothing happens while no cursor is shown.
    void MarkEdgeAtCursor(bool end);

    platform::ControlSite& site() { return site_; }

  private:
    platform::ControlSite site_;
};
