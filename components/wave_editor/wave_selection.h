// What the user marks in the wave editor, and the units in which the host reads it.
//
// Inside the editor everything is counted in frames. The host reads a selection in positions
// (position p is byte 2 * p of the sample data: 16-bit sample values) and sets the play cursor in
// cursor units (cursor c is byte 4 * c of the sample data: frames of 16-bit stereo sound). The two
// differ by a factor of two for 16-bit stereo and are converted here only.
#pragma once

#include <cstdint>

namespace wave_editor {

// Selection edges in positions. The start is rounded down and the end up to whole positions,
// so the positions cover every marked byte; the end never passes the last whole position of the
// data. Results are capped to the 32-bit range of the interface.
int32_t StartFrameToPosition(int64_t frame, int blockAlign);
int32_t EndFrameToPosition(int64_t frame, int blockAlign, int64_t dataBytes);
// The frame holding byte 2 * position (for SetSelection).
int64_t PositionToFrame(int64_t position, int blockAlign);
// The frame at cursor unit `cursor` (byte 4 * cursor of the data); -1 for a negative cursor.
int64_t CursorToFrame(int64_t cursor, int blockAlign);
// The cursor unit of a frame (byte offset / 4, truncated).
int32_t FrameToCursor(int64_t frame, int blockAlign);

// Maps pixel columns of a view `width` pixels wide onto the frames [first, first + frames).
struct FrameScale {
    int64_t frames = 0;
    int width = 0;
    int64_t first = 0;
    // The frame boundary nearest to pixel x (first..first + frames).
    int64_t FrameAt(double x) const;
    // The pixel of a frame boundary (outside 0..width for frames out of view).
    double XOf(int64_t frame) const;
};

// The part of a sound in view: `count` frames from `first`.
struct ViewRange {
    int64_t first = 0;
    int64_t count = 0;
    bool operator==(const ViewRange&) const = default;
};

// Zooms `view` by `factor` (below 1 in, above 1 out) so that frame `anchor` stays under the same
// pixel. The result holds at least `minCount` frames (at most `total`) and lies inside the sound.
ViewRange ZoomView(ViewRange view, int64_t anchor, double factor, int64_t minCount, int64_t total);
// Moves `view` by `delta` frames, keeping it inside the sound.
ViewRange ScrollView(ViewRange view, int64_t delta, int64_t total);
// The view moved as little as needed (a page at a time) to show `frame`.
ViewRange FollowFrame(ViewRange view, int64_t frame, int64_t total);

// The marked part [start, end) in frames, edited by mouse gestures.
//
// A press starts a new selection at the pressed frame, unless it lands within `grabFrames` of an
// edge of the selection (a handle), which then follows the mouse; a shift-press moves the nearer
// edge to the pressed frame and keeps following the mouse. Dragging past the other edge swaps
// the edges. A press and release without movement leaves an empty selection.
class SelectionModel {
  public:
    void SetLength(int64_t frames);
    int64_t length() const { return length_; }

    int64_t start() const { return start_; }
    int64_t end() const { return end_; }
    bool HasSelection() const { return end_ > start_; }

    // Sets the selection, clamped to the sound and ordered.
    void Set(int64_t start, int64_t end);
    void Clear();
    // Moves one edge to `frame` (clamped to the sound), as the keys of audio editors do. The
    // other edge stays unless the move would pass it: then a new start takes the end to the
    // sound's end, a new end takes the start to the sound's start.
    void MoveStart(int64_t frame);
    void MoveEnd(int64_t frame);

    // Which edge a press at `frame` would take hold of: -1 start, 1 end, 0 none.
    int EdgeAt(int64_t frame, int64_t grabFrames) const;

    void Press(int64_t frame, bool shift, int64_t grabFrames);
    void Drag(int64_t frame);
    void Release(int64_t frame);
    bool dragging() const { return dragging_; }

  private:
    int64_t Clamp(int64_t frame) const;

    int64_t length_ = 0;
    int64_t start_ = 0;
    int64_t end_ = 0;
    int64_t anchor_ = 0;  // the edge that stays put while dragging
    bool dragging_ = false;
};

}  // namespace wave_editor
