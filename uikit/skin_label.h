// The scrolling label: a text on a coloured ground that stands still (aligned) or scrolls left,
// right or back and forth.
#pragma once

#include <QColor>
#include <QFont>
#include <QTimer>
#include <QWidget>

#include "uikit/skin_colors.h"

class QLabel;

class CScrollingLabel : public QWidget {
    Q_OBJECT
public:
    // Horizontal alignment values (used while still).
    static constexpr int kAlignLeft = 1;
    static constexpr int kAlignRight = 2;
    static constexpr int kAlignCentre = 3;
    // Vertical alignment values.
    static constexpr int kAlignTop = 16;
    static constexpr int kAlignBottom = 32;
    static constexpr int kAlignVCentre = 48;

    explicit CScrollingLabel(QWidget* parent = nullptr);
    CScrollingLabel(const QString& text, QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString text() const;
    void SetFont(const QFont& font);
    // 0 still, 1 scroll to the left, 2 scroll to the right, 3 bounce; other values are ignored.
    void SetMode(int mode);
    int mode() const { return static_cast<int>(mode_); }
    void SetTextColor(const QColor& color);
    void SetBkColor(const QColor& color);
    QColor textColor() const { return textColor_; }
    QColor bkColor() const { return bkColor_; }
    // Pixels per tick and tick period in ms while scrolling.
    void SetStep(int pixels);
    void SetInterval(int ms);
    int step() const { return step_; }
    int interval() const { return interval_; }
    // kAlignLeft, kAlignRight or kAlignCentre; applied in mode 0.
    void SetAlignment(int horizontal);
    // kAlignTop, kAlignBottom or kAlignVCentre.
    void SetVAlignment(int vertical);

    // Where the text stands inside the label, in label pixels.
    QRect textRect() const { return textRect_; }
    bool isScrolling() const { return timer_.isActive(); }
    // One scrolling step, as the timer does it.
    void Tick();

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Init(const QString& text);
    int TextWidth() const;
    int TextHeight() const;
    int TopForAlignment() const;
    void PlaceText();
    void ApplyColours();

    QLabel* inner_ = nullptr;
    QTimer timer_;
    skin::ScrollMode mode_ = skin::ScrollMode::Bounce;
    int step_ = 4;
    int interval_ = 200;
    int hAlign_ = kAlignLeft;
    int vAlign_ = kAlignTop;
    int direction_ = 1;
    QColor bkColor_{0, 0, 0};
    QColor textColor_{0, 255, 0};
    QRect textRect_;
};
