#include "components/wave_editor/wave_selection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wave_editor {
namespace {

int32_t Cap32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

int32_t StartFrameToPosition(int64_t frame, int blockAlign) {
    if (frame <= 0 || blockAlign <= 0) return 0;
    return Cap32(frame * blockAlign / 2);
}

int32_t EndFrameToPosition(int64_t frame, int blockAlign, int64_t dataBytes) {
    if (frame <= 0 || blockAlign <= 0) return 0;
    const int64_t bytes = std::min(frame * blockAlign, dataBytes);
    // Rounded up, but a position whose bytes are not all in the data is not handed out: the
    // segment cut copies 2 * (end - start) bytes.
    return Cap32(std::min((bytes + 1) / 2, dataBytes / 2));
}

int64_t PositionToFrame(int64_t position, int blockAlign) {
    if (position <= 0 || blockAlign <= 0) return 0;
    return position * 2 / blockAlign;
}

int64_t CursorToFrame(int64_t cursor, int blockAlign) {
    if (cursor < 0 || blockAlign <= 0) return -1;
    return cursor * 4 / blockAlign;
}

int32_t FrameToCursor(int64_t frame, int blockAlign) {
    if (frame <= 0 || blockAlign <= 0) return 0;
    return Cap32(frame * blockAlign / 4);
}

int64_t FrameScale::FrameAt(double x) const {
    if (width <= 0 || frames <= 0) return first;
    const double f = std::round(x * static_cast<double>(frames) / width);
    return first + std::clamp<int64_t>(static_cast<int64_t>(f), 0, frames);
}

double FrameScale::XOf(int64_t frame) const {
    if (frames <= 0) return 0.0;
    return static_cast<double>(frame - first) * width / static_cast<double>(frames);
}

ViewRange ZoomView(ViewRange view, int64_t anchor, double factor, int64_t minCount, int64_t total) {
    if (total <= 0) return {};
    if (view.count <= 0) view = {0, total};
    const double wanted = static_cast<double>(view.count) * factor;
    const int64_t count =
        std::clamp<int64_t>(static_cast<int64_t>(std::llround(wanted)),
                            std::min(std::max<int64_t>(minCount, 1), total), total);
    // Keep the anchor at the same fraction of the view.
    const double at = static_cast<double>(anchor - view.first) / static_cast<double>(view.count);
    const int64_t first = anchor - static_cast<int64_t>(std::llround(at * count));
    return {std::clamp<int64_t>(first, 0, total - count), count};
}

ViewRange ScrollView(ViewRange view, int64_t delta, int64_t total) {
    if (total <= 0) return {};
    view.count = std::clamp<int64_t>(view.count, 1, total);
    view.first = std::clamp<int64_t>(view.first + delta, 0, total - view.count);
    return view;
}

ViewRange FollowFrame(ViewRange view, int64_t frame, int64_t total) {
    if (view.count <= 0 || total <= 0) return view;
    if (frame >= view.first && frame < view.first + view.count) return view;
    // The frame comes in a tenth of the way across, so playback runs on into the new page.
    return ScrollView(view, frame - view.count / 10 - view.first, total);
}

void SelectionModel::SetLength(int64_t frames) {
    length_ = std::max<int64_t>(frames, 0);
    Clear();
}

int64_t SelectionModel::Clamp(int64_t frame) const {
    return std::clamp<int64_t>(frame, 0, length_);
}

void SelectionModel::Set(int64_t start, int64_t end) {
    start = Clamp(start);
    end = Clamp(end);
    start_ = std::min(start, end);
    end_ = std::max(start, end);
    dragging_ = false;
}

void SelectionModel::MoveStart(int64_t frame) {
    start_ = Clamp(frame);
    if (end_ <= start_) end_ = length_;
    dragging_ = false;
}

void SelectionModel::MoveEnd(int64_t frame) {
    end_ = Clamp(frame);
    if (start_ >= end_) start_ = 0;
    dragging_ = false;
}

void SelectionModel::Clear() {
    start_ = end_ = anchor_ = 0;
    dragging_ = false;
}

int SelectionModel::EdgeAt(int64_t frame, int64_t grabFrames) const {
    if (!HasSelection()) return 0;
    const int64_t toStart = std::llabs(frame - start_);
    const int64_t toEnd = std::llabs(frame - end_);
    if (toStart > grabFrames && toEnd > grabFrames) return 0;
    return toStart <= toEnd ? -1 : 1;
}

void SelectionModel::Press(int64_t frame, bool shift, int64_t grabFrames) {
    frame = Clamp(frame);
    if (shift && HasSelection()) {
        // The edge nearer to the press moves there; the other one stays.
        anchor_ = (std::llabs(frame - start_) <= std::llabs(frame - end_)) ? end_ : start_;
    } else {
        const int edge = EdgeAt(frame, grabFrames);
        if (edge != 0) {
            anchor_ = edge < 0 ? end_ : start_;
            dragging_ = true;
            return;  // a handle is taken without moving it
        }
        anchor_ = frame;
    }
    dragging_ = true;
    Drag(frame);
}

void SelectionModel::Drag(int64_t frame) {
    if (!dragging_) return;
    frame = Clamp(frame);
    start_ = std::min(anchor_, frame);
    end_ = std::max(anchor_, frame);
}

void SelectionModel::Release(int64_t frame) {
    Drag(frame);
    dragging_ = false;
}

}  // namespace wave_editor
