// The skinned header and scroll bars of the track lists, and the skinned slider.
#pragma once

#include <QHeaderView>
#include <QPixmap>
#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <QWidget>

#include "uikit/skin_colors.h"

class QAbstractScrollArea;
class QScrollBar;
class QTreeView;

// Header painted from the skin: a dark ground, a 1 x 12 face bitmap stretched to each item and
// 20 pixels high, a 2-pixel separator at each item's left edge, captions in RGB(0, 0, 100) with
// the item's alignment.
class CSkinHeader : public QHeaderView {
    Q_OBJECT
public:
    static constexpr int kHeight = 20;
    static const QColor kBackground;    // RGB(76, 84, 118)
    static const QColor kCaptionColor;  // RGB(0, 0, 100)

    explicit CSkinHeader(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    QPixmap face_;
    QPixmap separator_;
};

// Replaces the view's header with a skinned one, keeping the section widths. Returns it.
CSkinHeader* AttachSkinHeader(QTreeView* view);

// A 12-pixel-thick scroll bar that drives a list's scroll position: arrow zones of 26 pixels at
// both ends (a press scrolls one line, and after 250 ms keeps scrolling every 50 ms until the
// release), a 26-pixel thumb dragged in proportion, and paging by a click on the track.
class CSkinScrollBar : public QWidget {
    Q_OBJECT
public:
    // Arrow auto-repeat: delay before repeating, then the repeat period, in ms.
    static constexpr int kRepeatDelayMs = 250;
    static constexpr int kRepeatPeriodMs = 50;

    CSkinScrollBar(Qt::Orientation orientation, QAbstractScrollArea* list,
                   QWidget* parent = nullptr);

    Qt::Orientation orientation() const { return orientation_; }
    // The list's scroll bar that this one mirrors (hidden, but it keeps the range and value).
    QScrollBar* target() const;
    // Takes the list's scroll position again and redraws the thumb.
    void Sync();
    // Length of the bar along its orientation, in pixels.
    int length() const;
    // Thumb offset from the end of the first arrow zone, in pixels.
    int thumbOffset() const;
    bool isRepeating() const { return repeatTimer_.isActive(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int Along(const QPointF& point) const;
    void StepLine();
    void StopRepeat();

    Qt::Orientation orientation_;
    QPointer<QAbstractScrollArea> list_;
    QTimer delayTimer_;
    QTimer repeatTimer_;
    skin::ScrollZone pressed_ = skin::ScrollZone::TrackBefore;
    bool pressing_ = false;
    bool dragging_ = false;
    int dragGrab_ = 0;  // where in the thumb the drag took hold, in pixels
    QPixmap arrowStart_, arrowEnd_, thumb_, track_;
};

struct SkinScrollBars {
    CSkinScrollBar* vertical = nullptr;
    CSkinScrollBar* horizontal = nullptr;
};

// Turns off the list's own scroll bars and places two skinned bars in `parent` (normally the
// list's parent): the vertical one along the list's right edge, one bar thickness longer than the
// list, the horizontal one along its bottom edge. The bars follow the list when it moves or is
// resized, and follow its scroll position whatever changes it (wheel, keys, code).
SkinScrollBars AttachScrollBars(QAbstractScrollArea* list, QWidget* parent);

// Slider on a solid background colour (by default the system window colour: the palette's base
// colour, the ground of list and edit windows).
class CSkinSlider : public QSlider {
    Q_OBJECT
public:
    explicit CSkinSlider(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

    void SetBkColor(const QColor& color);
    QColor bkColor() const { return bkColor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor bkColor_;
};
