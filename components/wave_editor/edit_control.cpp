#include "components/wave_editor/edit_control.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "components/wave_editor/wave_edit_dispids.h"

namespace wave_editor {

using platform::InvokeKind;
using platform::InvokeStatus;
using platform::Variant;
using platform::VariantList;

WaveEditControl::WaveEditControl(QWidget* parent, const WaveEditProperties& properties)
    : QWidget(parent), ControlBase(this), properties_(properties) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(properties_.extentWidth, properties_.extentHeight);
    progressTimer_.setInterval(100);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { update(); });
}

WaveEditControl::~WaveEditControl() { StopLoading(); }

QSize WaveEditControl::sizeHint() const {
    return QSize(properties_.extentWidth, properties_.extentHeight);
}

std::vector<uint8_t> WaveEditControl::SaveProperties() const {
    WaveEditProperties saved = properties_;
    saved.extentWidth = width();
    saved.extentHeight = height();
    return saved.ToBlock();
}

InvokeStatus WaveEditControl::Invoke(int dispatchId, InvokeKind kind, const VariantList& args,
                                     Variant* result) {
    *result = Variant();
    const bool method = kind == InvokeKind::Method;
    const bool get = kind == InvokeKind::PropertyGet;
    switch (dispatchId) {
        case dispid::kLoadFile:
            if (!method) return InvokeStatus::NotSupported;
            if (args.size() != 1 || !args[0].IsString()) return InvokeStatus::BadArguments;
            LoadFile(args[0].ToString());
            return InvokeStatus::Ok;
        case dispid::kClear:
            if (!method) return InvokeStatus::NotSupported;
            if (!args.empty()) return InvokeStatus::BadArguments;
            Clear();
            return InvokeStatus::Ok;
        case dispid::kSetPlayCursor:
            if (!method) return InvokeStatus::NotSupported;
            if (args.size() != 1) return InvokeStatus::BadArguments;
            SetCursor(args[0].ToInt());
            return InvokeStatus::Ok;
        case dispid::kGetSelection: {
            if (!method) return InvokeStatus::NotSupported;
            if (args.size() != 2 || !args[0].IsIntRef() || !args[1].IsIntRef())
                return InvokeStatus::BadArguments;
            int32_t start = 0, end = 0;
            if (state_ == LoadState::Ready && selection_.HasSelection()) {
                start = StartFrameToPosition(selection_.start(), format_.blockAlign);
                end = EndFrameToPosition(selection_.end(), format_.blockAlign, format_.dataBytes);
            }
            args[0].SetRef(start);
            args[1].SetRef(end);
            return InvokeStatus::Ok;
        }
        case dispid::kSetSelection: {
            if (!method) return InvokeStatus::NotSupported;
            if (args.size() != 2) return InvokeStatus::BadArguments;
            if (state_ != LoadState::Ready) return InvokeStatus::Ok;
            selection_.Set(PositionToFrame(args[0].ToInt(), format_.blockAlign),
                           PositionToFrame(args[1].ToInt(), format_.blockAlign));
            if (selection_.HasSelection())
                view_ = FollowFrame(view_, selection_.start(), format_.frames());
            update();
            return InvokeStatus::Ok;
        }
        case dispid::kMarkEdgeAtCursor: {
            if (!method) return InvokeStatus::NotSupported;
            if (args.size() != 1) return InvokeStatus::BadArguments;
            const int edge = args[0].ToInt();
            if (edge != 0 && edge != 1) return InvokeStatus::BadArguments;
            if (state_ != LoadState::Ready || cursor_ < 0) return InvokeStatus::Ok;
            const int64_t frame = CursorToFrame(cursor_, format_.blockAlign);
            if (edge == 0) selection_.MoveStart(frame);
            else selection_.MoveEnd(frame);
            update();
            NotifySelection();
            return InvokeStatus::Ok;
        }
        case dispid::kSetFades:
            if (!method) return InvokeStatus::NotSupported;
            if (args.size() != 2) return InvokeStatus::BadArguments;
            fadeInMs_ = std::max(0, args[0].ToInt());
            fadeOutMs_ = std::max(0, args[1].ToInt());
            update();
            return InvokeStatus::Ok;
        case dispid::kCursor:
            if (!get) return InvokeStatus::NotSupported;
            *result = Variant(cursor_);
            return InvokeStatus::Ok;
        case dispid::kLoadState: {
            if (!get) return InvokeStatus::NotSupported;
            int32_t value = kLoadStateEmpty;
            if (state_ == LoadState::Loading) value = kLoadStateLoading;
            if (state_ == LoadState::Ready) value = kLoadStateReady;
            if (state_ == LoadState::Failed) value = kLoadStateFailed;
            *result = Variant(value);
            return InvokeStatus::Ok;
        }
        case dispid::kLengthPositions:
            if (!get) return InvokeStatus::NotSupported;
            *result = Variant(
                state_ == LoadState::Ready
                    ? EndFrameToPosition(format_.frames(), format_.blockAlign, format_.dataBytes)
                    : int32_t{0});
            return InvokeStatus::Ok;
        default:
            return InvokeStatus::UnknownDispatchId;
    }
}

void WaveEditControl::StopLoading() {
    progressTimer_.stop();
    if (!job_) return;
    job_->cancel = true;
    if (job_->thread.joinable()) job_->thread.join();
    job_.reset();
}

void WaveEditControl::Clear() {
    StopLoading();
    state_ = LoadState::Empty;
    path_.clear();
    message_.clear();
    format_ = WaveFormat{};
    overview_.reset();
    selection_.SetLength(0);
    cursor_ = -1;
    view_ = {};
    update();
}

void WaveEditControl::LoadFile(const std::string& path) {
    Clear();
    path_ = path;
    const WaveHeader header = ReadWaveHeader(path);
    if (header.error != WaveError::None) {
        state_ = LoadState::Failed;
        message_ = WaveErrorText(header.error);
        Fire(eventid::kLoadFinished, {Variant(false)});
        update();
        return;
    }
    format_ = header.format;
    selection_.SetLength(format_.frames());
    view_ = {0, format_.frames()};
    state_ = LoadState::Loading;

    auto job = std::make_shared<LoadJob>();
    job_ = job;
    const WaveFormat format = format_;
    // The control joins the reader before it goes (StopLoading), and the completion is queued to
    // the control itself, so Qt drops it when the control is destroyed in between.
    job->thread = std::thread([this, job, path, format] {
        std::optional<WaveOverview> overview =
            BuildWaveOverview(path, format, kOverviewBuckets, &job->cancel, &job->percent);
        if (job->cancel) return;
        QMetaObject::invokeMethod(
            this,
            [this, job, result = std::move(overview)]() mutable {
                LoadDone(job, std::move(result));
            },
            Qt::QueuedConnection);
    });
    progressTimer_.start();
    update();
}

void WaveEditControl::LoadDone(const std::shared_ptr<LoadJob>& job,
                               std::optional<WaveOverview> overview) {
    if (job != job_) return;  // a file given to LoadFile later replaced this one
    progressTimer_.stop();
    if (job_->thread.joinable()) job_->thread.join();
    job_.reset();
    if (overview) {
        overview_ = std::move(overview);
        state_ = LoadState::Ready;
    } else {
        state_ = LoadState::Failed;
        message_ = WaveErrorText(WaveError::CannotOpen);
    }
    update();
    Fire(eventid::kLoadFinished, {Variant(state_ == LoadState::Ready)});
}

void WaveEditControl::SetCursor(int32_t cursor) {
    cursor_ = cursor < 0 ? -1 : cursor;
    // A zoomed view follows the playback.
    if (cursor_ >= 0 && state_ == LoadState::Ready)
        view_ = FollowFrame(view_, CursorToFrame(cursor_, format_.blockAlign), format_.frames());
    update();
}

void WaveEditControl::NotifySelection() {
    int32_t start = 0, end = 0;
    if (selection_.HasSelection()) {
        start = StartFrameToPosition(selection_.start(), format_.blockAlign);
        end = EndFrameToPosition(selection_.end(), format_.blockAlign, format_.dataBytes);
    }
    Fire(eventid::kSelectionChanged, {Variant(start), Variant(end)});
}

FrameScale WaveEditControl::Scale() const {
    const QRect wave = ComputeLayout(rect(), properties_).wave;
    const ViewRange view = view_.count > 0 ? view_ : ViewRange{0, format_.frames()};
    return FrameScale{view.count, wave.width(), view.first};
}

int64_t WaveEditControl::FrameAtX(int x) const {
    return Scale().FrameAt(x - ComputeLayout(rect(), properties_).wave.left());
}

int64_t WaveEditControl::GrabFrames() const {
    const FrameScale scale = Scale();
    if (scale.width <= 0) return 0;
    return static_cast<int64_t>(
        std::ceil(static_cast<double>(scale.frames) * properties_.handleGrab / scale.width));
}

WaveView WaveEditControl::View() const {
    WaveView v;
    v.properties = &properties_;
    v.state = state_;
    v.format = (state_ == LoadState::Loading || state_ == LoadState::Ready) ? &format_ : nullptr;
    v.overview = overview_ ? &*overview_ : nullptr;
    v.selectionStart = selection_.start();
    v.selectionEnd = selection_.end();
    v.fadeInFrames = static_cast<int64_t>(format_.sampleRate) * fadeInMs_ / 1000;
    v.fadeOutFrames = static_cast<int64_t>(format_.sampleRate) * fadeOutMs_ / 1000;
    v.cursorFrame = cursor_ >= 0 ? CursorToFrame(cursor_, format_.blockAlign) : -1;
    v.viewFirst = view_.first;
    v.viewFrames = view_.count;
    v.progressPercent = job_ ? job_->percent.load() : 0;
    const size_t slash = path_.find_last_of('/');
    v.fileName = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    v.message = message_;
    return v;
}

void WaveEditControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintWaveView(painter, rect(), View());
}

void WaveEditControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || state_ != LoadState::Ready) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int x = static_cast<int>(event->position().x());
    selection_.Press(FrameAtX(x), event->modifiers().testFlag(Qt::ShiftModifier), GrabFrames());
    update();
}

void WaveEditControl::mouseMoveEvent(QMouseEvent* event) {
    if (state_ != LoadState::Ready) return;
    const int x = static_cast<int>(event->position().x());
    const int64_t frame = FrameAtX(x);
    if (selection_.dragging()) {
        selection_.Drag(frame);
        update();
    }
    const bool onEdge = selection_.dragging() ? true : selection_.EdgeAt(frame, GrabFrames()) != 0;
    setCursor(onEdge && selection_.HasSelection() ? Qt::SizeHorCursor : Qt::IBeamCursor);
}

void WaveEditControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !selection_.dragging()) return;
    selection_.Release(FrameAtX(static_cast<int>(event->position().x())));
    update();
    NotifySelection();
}

void WaveEditControl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || state_ != LoadState::Ready) return;
    // A double click marks the whole sound.
    selection_.Set(0, format_.frames());
    update();
    NotifySelection();
}

void WaveEditControl::contextMenuEvent(QContextMenuEvent* event) {
    if (!HasEventSink()) {
        event->ignore();
        return;
    }
    Fire(eventid::kContextMenu, {Variant(event->pos().x()), Variant(event->pos().y())});
    event->accept();
}

void WaveEditControl::wheelEvent(QWheelEvent* event) {
    if (state_ != LoadState::Ready || !overview_) return;
    const FrameScale scale = Scale();
    const QPoint delta = event->angleDelta();
    const double steps = (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
    if (steps == 0.0) return;
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        // Down to four pixels per bucket of the overview: closer would only repeat columns.
        const int64_t minCount = std::max<int64_t>(
            scale.width, overview_->framesPerBucket * std::max(1, scale.width) / 4);
        const int64_t anchor = FrameAtX(static_cast<int>(event->position().x()));
        view_ = ZoomView(view_, anchor, std::pow(0.8, steps), minCount, format_.frames());
    } else {
        view_ = ScrollView(view_, -static_cast<int64_t>(steps * view_.count / 8), format_.frames());
    }
    update();
    event->accept();
}

}  // namespace wave_editor
