#include "uikit/skin_list.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTreeView>
#include <QWheelEvent>

#include "uikit/skin_accessible.h"
#include "uikit/skin_bitmaps.h"

const QColor CSkinHeader::kBackground{76, 84, 118};
const QColor CSkinHeader::kCaptionColor{0, 0, 100};

CSkinHeader::CSkinHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    face_ = skin::LoadSkinBitmap(skin::kHeaderFace);
    separator_ = skin::LoadSkinBitmap(skin::kHeaderSeparator);
    setSectionsClickable(false);
    setHighlightSections(false);
    setMinimumSectionSize(8);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QSize CSkinHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(kHeight);
    return size;
}

void CSkinHeader::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    // The ground beyond the last item (the style would paint its own there).
    int end = 0;
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (!isSectionHidden(logical))
            end = std::max(end, sectionViewportPosition(logical) + sectionSize(logical));
    }
    QPainter painter(viewport());
    const QRect ground = viewport()->rect();
    if (end < ground.right() + 1)
        painter.fillRect(QRect(end, 0, ground.right() + 1 - end, ground.height()), kBackground);
    if (ground.height() > kHeight)
        painter.fillRect(QRect(0, kHeight, ground.width(), ground.height() - kHeight),
                         kBackground);
}

void CSkinHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    painter->save();
    const QRect item(rect.left(), rect.top(), rect.width(), kHeight);
    if (face_.isNull())
        painter->fillRect(item, QColor(200, 214, 243));
    else
        painter->drawPixmap(item, face_);
    if (separator_.isNull())
        painter->fillRect(QRect(item.left(), item.top(), 2, item.height()), kBackground);
    else
        painter->drawPixmap(QRect(item.left(), item.top(), separator_.width(), item.height()),
                            separator_);

    Qt::Alignment align = defaultAlignment();
    if (model()) {
        const QVariant value =
            model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole);
        if (value.isValid())
            align = Qt::Alignment(value.toInt());
    }
    align = (align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
    const QString caption =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString()
                : QString();
    painter->setPen(kCaptionColor);
    painter->setFont(font());
    const QRect textRect = item.adjusted(6, 0, -4, 0);
    painter->drawText(textRect, int(align),
                      painter->fontMetrics().elidedText(caption, Qt::ElideRight,
                                                        textRect.width()));
    painter->restore();
}

CSkinHeader* AttachSkinHeader(QTreeView* view) {
    QHeaderView* old = view->header();
    QList<int> widths;
    if (old) {
        for (int i = 0; i < old->count(); ++i)
            widths.append(old->sectionSize(i));
    }
    const bool stretchLast = old ? old->stretchLastSection() : false;
    auto* header = new CSkinHeader(view);
    view->setHeader(header);
    header->setStretchLastSection(stretchLast);
    for (int i = 0; i < widths.size() && i < header->count(); ++i)
        header->resizeSection(i, widths[i]);
    return header;
}

CSkinScrollBar::CSkinScrollBar(Qt::Orientation orientation, QAbstractScrollArea* list,
                               QWidget* parent)
    : QWidget(parent), orientation_(orientation), list_(list) {
    skin::InstallAccessibleSkinControls();
    const bool vertical = orientation_ == Qt::Vertical;
    arrowStart_ = skin::LoadSkinBitmap(vertical ? skin::kArrowUp : skin::kArrowLeft);
    arrowEnd_ = skin::LoadSkinBitmap(vertical ? skin::kArrowDown : skin::kArrowRight);
    thumb_ = skin::LoadSkinBitmap(vertical ? skin::kThumbVertical : skin::kThumbHorizontal);
    track_ = skin::LoadSkinBitmap(vertical ? skin::kTrackVertical : skin::kTrackHorizontal);

    delayTimer_.setSingleShot(true);
    delayTimer_.setInterval(kRepeatDelayMs);
    repeatTimer_.setInterval(kRepeatPeriodMs);
    connect(&delayTimer_, &QTimer::timeout, this, [this] { repeatTimer_.start(); });
    connect(&repeatTimer_, &QTimer::timeout, this, [this] { StepLine(); });
    if (QScrollBar* bar = target()) {
        connect(bar, &QScrollBar::valueChanged, this, [this] { update(); });
        connect(bar, &QScrollBar::rangeChanged, this, [this] { update(); });
    }
}

QScrollBar* CSkinScrollBar::target() const {
    if (!list_)
        return nullptr;
    return orientation_ == Qt::Vertical ? list_->verticalScrollBar()
                                        : list_->horizontalScrollBar();
}

void CSkinScrollBar::Sync() { update(); }

int CSkinScrollBar::length() const {
    return orientation_ == Qt::Vertical ? height() : width();
}

int CSkinScrollBar::thumbOffset() const {
    const QScrollBar* bar = target();
    if (!bar)
        return 0;
    return skin::ScrollThumbOffset(bar->value() - bar->minimum(),
                                   bar->maximum() - bar->minimum(), length());
}

QSize CSkinScrollBar::sizeHint() const {
    const int along = 3 * skin::kScrollArrowLength;
    return orientation_ == Qt::Vertical ? QSize(skin::kScrollBarThickness, along)
                                        : QSize(along, skin::kScrollBarThickness);
}

int CSkinScrollBar::Along(const QPointF& point) const {
    return orientation_ == Qt::Vertical ? int(point.y()) : int(point.x());
}

void CSkinScrollBar::StepLine() {
    QScrollBar* bar = target();
    if (!bar)
        return;
    bar->triggerAction(pressed_ == skin::ScrollZone::StartArrow
                           ? QAbstractSlider::SliderSingleStepSub
                           : QAbstractSlider::SliderSingleStepAdd);
}

void CSkinScrollBar::StopRepeat() {
    delayTimer_.stop();
    repeatTimer_.stop();
}

void CSkinScrollBar::mousePressEvent(QMouseEvent* event) {
    QScrollBar* bar = target();
    if (event->button() != Qt::LeftButton || !bar) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int pos = Along(event->position());
    pressed_ = skin::ScrollZoneAt(pos, bar->value() - bar->minimum(),
                                  bar->maximum() - bar->minimum(), length());
    pressing_ = true;
    switch (pressed_) {
    case skin::ScrollZone::StartArrow:
    case skin::ScrollZone::EndArrow:
        StepLine();
        delayTimer_.start();
        break;
    case skin::ScrollZone::Thumb:
        dragging_ = true;
        dragGrab_ = pos - skin::kScrollArrowLength - thumbOffset();
        break;
    default:
        break;
    }
    update();
}

void CSkinScrollBar::mouseMoveEvent(QMouseEvent* event) {
    QScrollBar* bar = target();
    if (!dragging_ || !bar)
        return;
    const int offset = Along(event->position()) - skin::kScrollArrowLength - dragGrab_;
    bar->setValue(bar->minimum() + skin::ScrollValueForOffset(
                                       offset, bar->maximum() - bar->minimum(), length()));
}

void CSkinScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    QScrollBar* bar = target();
    StopRepeat();
    const bool wasPressing = pressing_;
    pressing_ = false;
    dragging_ = false;
    if (wasPressing && bar && event->button() == Qt::LeftButton &&
        (pressed_ == skin::ScrollZone::TrackBefore || pressed_ == skin::ScrollZone::TrackAfter)) {
        // A page only when the press and the release are both on the track.
        const skin::ScrollZone released =
            skin::ScrollZoneAt(Along(event->position()), bar->value() - bar->minimum(),
                               bar->maximum() - bar->minimum(), length());
        if (released == skin::ScrollZone::TrackBefore)
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        else if (released == skin::ScrollZone::TrackAfter)
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    }
    update();
}

void CSkinScrollBar::wheelEvent(QWheelEvent* event) {
    if (QScrollBar* bar = target()) {
        const int notches = event->angleDelta().y() / 120;
        bar->setValue(bar->value() - notches * 3 * bar->singleStep());
        event->accept();
    }
}

void CSkinScrollBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool vertical = orientation_ == Qt::Vertical;
    const int len = length();
    auto zone = [&](int start, int extent) {
        return vertical ? QRect(0, start, width(), extent) : QRect(start, 0, extent, height());
    };

    if (track_.isNull())
        painter.fillRect(rect(), QColor(200, 214, 243));
    else
        painter.drawPixmap(rect(), track_);

    const QScrollBar* bar = target();
    const bool active = bar && bar->maximum() > bar->minimum();
    const QRect thumbRect = zone(skin::kScrollArrowLength + thumbOffset(), skin::kScrollThumbLength);
    if (thumb_.isNull())
        painter.fillRect(thumbRect, QColor(49, 107, 197));
    else
        painter.drawPixmap(thumbRect.topLeft(), thumb_);
    if (!active)
        painter.fillRect(thumbRect, QColor(213, 224, 247, 150));

    // The arrows lie over the thumb's ends when it stands at the far end of its travel.
    const QRect startRect = zone(0, skin::kScrollArrowLength);
    const QRect endRect = zone(len - skin::kScrollArrowLength, skin::kScrollArrowLength);
    for (const auto& [pixmap, where, zoneId] :
         {std::tuple{arrowStart_, startRect, skin::ScrollZone::StartArrow},
          std::tuple{arrowEnd_, endRect, skin::ScrollZone::EndArrow}}) {
        if (pixmap.isNull())
            painter.fillRect(where, QColor(120, 150, 215));
        else
            painter.drawPixmap(where.topLeft(), pixmap);
        if (pressing_ && pressed_ == zoneId)
            painter.fillRect(where, QColor(0, 20, 80, 60));
    }
}

namespace {

// Keeps the skinned bars beside their list whenever the list moves or changes size.
class ScrollBarPlacer : public QObject {
public:
    ScrollBarPlacer(QAbstractScrollArea* list, QWidget* parent, SkinScrollBars bars)
        : QObject(list), watched_(list), list_(list), parent_(parent) {
        bars_.vertical = bars.vertical;
        bars_.horizontal = bars.horizontal;
        list->installEventFilter(this);
        Place();
    }

    void Place() {
        if (!list_ || !parent_)
            return;
        const QRect r(list_->mapTo(parent_, QPoint(0, 0)), list_->size());
        const int t = skin::kScrollBarThickness;
        if (bars_.vertical)
            bars_.vertical->setGeometry(r.right() + 1, r.top(), t, r.height() + t);
        if (bars_.horizontal)
            bars_.horizontal->setGeometry(r.left(), r.bottom() + 1, r.width(), t);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Compared as plain objects: the list also sends events (its Hide) from inside its
        // destructor, when it is no longer a scroll area and a typed pointer to it is invalid.
        if (watched != watched_)
            return false;
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            Place();
        } else if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
            const bool visible = event->type() == QEvent::Show;
            if (bars_.vertical)
                bars_.vertical->setVisible(visible);
            if (bars_.horizontal)
                bars_.horizontal->setVisible(visible);
        }
        return false;
    }

private:
    QObject* const watched_;
    // Only its geometry is needed, which a widget has until the end of its destruction.
    QPointer<QWidget> list_;
    QPointer<QWidget> parent_;
    struct {
        QPointer<CSkinScrollBar> vertical;
        QPointer<CSkinScrollBar> horizontal;
    } bars_;
};

}  // namespace

SkinScrollBars AttachScrollBars(QAbstractScrollArea* list, QWidget* parent) {
    SkinScrollBars bars;
    if (!list || !parent)
        return bars;
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bars.vertical = new CSkinScrollBar(Qt::Vertical, list, parent);
    bars.horizontal = new CSkinScrollBar(Qt::Horizontal, list, parent);
    new ScrollBarPlacer(list, parent, bars);
    // The bars live in the parent but belong to the list: they go with it.
    QObject::connect(list, &QObject::destroyed, bars.vertical, &QObject::deleteLater);
    QObject::connect(list, &QObject::destroyed, bars.horizontal, &QObject::deleteLater);
    bars.vertical->setVisible(!list->isHidden());
    bars.horizontal->setVisible(!list->isHidden());
    bars.vertical->raise();
    bars.horizontal->raise();
    return bars;
}

CSkinSlider::CSkinSlider(Qt::Orientation orientation, QWidget* parent)
    // The system window colour is the ground of list and edit windows, the palette's base
    // colour (its "window" colour is the dialog face).
    : QSlider(orientation, parent), bkColor_(palette().color(QPalette::Base)) {}

void CSkinSlider::SetBkColor(const QColor& color) {
    bkColor_ = color;
    update();
}

void CSkinSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), bkColor_);

    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const bool horizontal = orientation() == Qt::Horizontal;

    // Groove: a sunken channel through the middle, filled up to the handle.
    QRectF groove = horizontal ? QRectF(4, height() / 2.0 - 2.5, width() - 8, 5)
                               : QRectF(width() / 2.0 - 2.5, 4, 5, height() - 8);
    // A disabled slider is drawn in greys: the fill, the key and their frames.
    const bool enabled = isEnabled();
    painter.setPen(enabled ? QColor(90, 110, 150) : QColor(160, 160, 160));
    painter.setBrush(enabled ? QColor(250, 252, 255) : QColor(236, 236, 236));
    painter.drawRoundedRect(groove, 2.5, 2.5);
    QRectF filled = groove;
    if (horizontal)
        filled.setRight(handle.center().x());
    else
        filled.setTop(handle.center().y());
    painter.setPen(Qt::NoPen);
    painter.setBrush(enabled ? QColor(49, 107, 197) : QColor(176, 176, 176));
    painter.drawRoundedRect(filled.adjusted(1, 1, -1, -1), 2, 2);

    // Handle: a rounded key with a light top.
    const QRectF key = QRectF(handle).adjusted(1, 1, -1, -1);
    QLinearGradient shine(key.topLeft(), key.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255));
    shine.setColorAt(0.5, enabled ? QColor(200, 216, 245) : QColor(222, 222, 222));
    shine.setColorAt(1, enabled ? QColor(120, 152, 214) : QColor(180, 180, 180));
    painter.setPen(QPen(enabled ? QColor(1, 34, 99) : QColor(140, 140, 140), 1));
    painter.setBrush(shine);
    painter.drawRoundedRect(key, 3, 3);
    if (hasFocus()) {
        painter.setPen(QPen(QColor(250, 196, 88), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(key.adjusted(1, 1, -1, -1), 2, 2);
    }
}
