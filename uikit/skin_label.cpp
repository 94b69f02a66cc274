#include "uikit/skin_label.h"

#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "uikit/skin_accessible.h"

CScrollingLabel::CScrollingLabel(QWidget* parent) : QWidget(parent) { Init(QString()); }

CScrollingLabel::CScrollingLabel(const QString& text, QWidget* parent) : QWidget(parent) {
    Init(text);
}

void CScrollingLabel::Init(const QString& text) {
    skin::InstallAccessibleSkinControls();
    inner_ = new QLabel(text, this);
    inner_->setAttribute(Qt::WA_TransparentForMouseEvents);
    inner_->setAutoFillBackground(true);
    inner_->setWordWrap(false);
    inner_->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    ApplyColours();
    connect(&timer_, &QTimer::timeout, this, &CScrollingLabel::Tick);
    SetMode(static_cast<int>(mode_));
}

QString CScrollingLabel::text() const { return inner_->text(); }

int CScrollingLabel::TextWidth() const {
    return inner_->fontMetrics().horizontalAdvance(inner_->text());
}

int CScrollingLabel::TextHeight() const { return inner_->fontMetrics().height(); }

int CScrollingLabel::TopForAlignment() const {
    switch (vAlign_) {
    case kAlignBottom: return height() - TextHeight();
    case kAlignVCentre: return (height() - TextHeight()) / 2;
    default: return 0;
    }
}

void CScrollingLabel::PlaceText() {
    if (mode_ == skin::ScrollMode::Still) {
        textRect_ = QRect(0, TopForAlignment(), width(), TextHeight());
        Qt::Alignment align = Qt::AlignLeft;
        if (hAlign_ == kAlignRight)
            align = Qt::AlignRight;
        else if (hAlign_ == kAlignCentre)
            align = Qt::AlignHCenter;
        inner_->setAlignment(align | Qt::AlignVCenter);
    } else {
        textRect_ = QRect(textRect_.left(), TopForAlignment(), TextWidth(), TextHeight());
        inner_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    inner_->setGeometry(textRect_);
}

void CScrollingLabel::SetText(const QString& text) {
    inner_->setText(text);
    if (mode_ != skin::ScrollMode::Still) {
        textRect_.moveLeft(0);
        direction_ = skin::InitialBounceDirection(TextWidth(), width());
    }
    PlaceText();
    update();
}

void CScrollingLabel::SetFont(const QFont& font) {
    inner_->setFont(font);
    PlaceText();
    update();
}

void CScrollingLabel::SetMode(int mode) {
    if (mode < 0 || mode > 3)
        return;
    mode_ = static_cast<skin::ScrollMode>(mode);
    if (mode_ == skin::ScrollMode::Still) {
        timer_.stop();
        textRect_.moveLeft(0);
    } else {
        textRect_.moveLeft(0);
        direction_ = skin::InitialBounceDirection(TextWidth(), width());
        timer_.start(interval_);
    }
    PlaceText();
    update();
}

void CScrollingLabel::SetTextColor(const QColor& color) {
    textColor_ = color;
    ApplyColours();
    update();
}

void CScrollingLabel::SetBkColor(const QColor& color) {
    bkColor_ = color;
    ApplyColours();
    update();
}

void CScrollingLabel::ApplyColours() {
    QPalette palette = inner_->palette();
    palette.setColor(QPalette::Window, bkColor_);
    palette.setColor(QPalette::WindowText, textColor_);
    inner_->setPalette(palette);
}

void CScrollingLabel::SetStep(int pixels) { step_ = pixels; }

void CScrollingLabel::SetInterval(int ms) {
    interval_ = ms;
    if (timer_.isActive())
        timer_.start(interval_);
}

void CScrollingLabel::SetAlignment(int horizontal) {
    hAlign_ = horizontal;
    PlaceText();
}

void CScrollingLabel::SetVAlignment(int vertical) {
    vAlign_ = vertical;
    PlaceText();
}

void CScrollingLabel::Tick() {
    const skin::ScrollState next = skin::ScrollTick(mode_, {textRect_.left(), direction_}, step_,
                                                    TextWidth(), width());
    direction_ = next.direction;
    textRect_.moveLeft(next.x);
    inner_->move(textRect_.topLeft());
}

void CScrollingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), bkColor_);
}

void CScrollingLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceText();
}

void CScrollingLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}
