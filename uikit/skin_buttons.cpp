#include "uikit/skin_buttons.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QResizeEvent>

#include "uikit/skin_bitmaps.h"
#include "uikit/skin_colors.h"

const QColor CXPButton::kHoverPens[4] = {{250, 196, 88}, {251, 202, 106}, {252, 210, 121},
                                         {229, 151, 0}};
const QColor CXPButton::kFocusPens[4] = {{153, 198, 252}, {162, 189, 252}, {162, 201, 255},
                                         {162, 201, 255}};
const QColor CXPButton::kFaceColor{222, 223, 236};
const QColor CXPButton::kCaptionColor{0, 0, 100};

CXPButton::CXPButton(QWidget* parent) : QPushButton(parent) { setAttribute(Qt::WA_Hover); }

CXPButton::CXPButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAttribute(Qt::WA_Hover);
}

void CXPButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect whole = rect();
    painter.fillRect(whole, kFaceColor);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(whole.adjusted(0, 0, -1, -1));

    const bool focus = hasFocus();
    const bool pressed = focus || isDown() || isDefault();
    const QRect face = whole.adjusted(kEdge, kEdge, -kEdge, -kEdge);
    if (face.isEmpty())
        return;

    // Rows of one band are filled together.
    const int height = face.height();
    for (int row = 0; row < height;) {
        const int band = skin::GradientBandForRow(row, height);
        int end = row + 1;
        while (end < height && skin::GradientBandForRow(end, height) == band)
            ++end;
        painter.fillRect(face.left(), face.top() + row, face.width(), end - row,
                         skin::GradientBandColor(band, hover_, pressed));
        row = end;
    }

    if (focus || hover_) {
        const QColor* pens = (hover_ || !focus) ? kHoverPens : kFocusPens;
        const int l = face.left(), r = face.right(), t = face.top(), b = face.bottom();
        // Left and right: 3 px wide, from two rows below the top to three rows above the bottom.
        painter.fillRect(QRect(QPoint(l, t + 2), QPoint(l + 2, b - 3)), pens[0]);
        painter.fillRect(QRect(QPoint(r - 2, t + 2), QPoint(r, b - 3)), pens[1]);
        // Top and bottom: 2 px high, from two columns inside the left edge to two inside the
        // right edge.
        painter.fillRect(QRect(QPoint(l + 2, t), QPoint(r - 2, t + 1)), pens[2]);
        painter.fillRect(QRect(QPoint(l + 2, b - 1), QPoint(r - 2, b)), pens[3]);
    }

    QRect captionRect = face;
    if (isDown())
        captionRect.translate(1, 1);
    painter.setPen(isEnabled() ? kCaptionColor : palette().color(QPalette::Disabled,
                                                                 QPalette::ButtonText));
    painter.setFont(font());
    painter.drawText(captionRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void CXPButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QPushButton::enterEvent(event);
}

void CXPButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

const QColor CBitmapHoverButton::kFocusRingOuter{1, 34, 99};
const QColor CBitmapHoverButton::kFocusRingInner{162, 201, 255};

void CBitmapHoverButton::DrawFocusRing(QPainter& painter, const QRect& rect) {
    if (rect.width() < 6 || rect.height() < 6) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    const QRectF outer = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(kFocusRingOuter, 1.0));
    painter.drawRoundedRect(outer, 3, 3);
    painter.setPen(QPen(kFocusRingInner, 1.0));
    painter.drawRoundedRect(outer.adjusted(1, 1, -1, -1), 2, 2);
    painter.restore();
}

CBitmapHoverButton::CBitmapHoverButton(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
}

void CBitmapHoverButton::SetBitmaps(int normalId, int focusId, int hoverId) {
    normalId_ = normalId;
    focusId_ = focusId;
    hoverId_ = hoverId;
    normal_ = skin::LoadSkinBitmap(normalId_);
    focus_ = focusId_ ? skin::LoadSkinBitmap(focusId_) : normal_;
    hoverBitmap_ = hoverId_ ? skin::LoadSkinBitmap(hoverId_) : normal_;
    updateGeometry();
    update();
}

QSize CBitmapHoverButton::sizeHint() const {
    return normal_.isNull() ? QPushButton::sizeHint() : normal_.size();
}

void CBitmapHoverButton::paintEvent(QPaintEvent*) {
    if (normal_.isNull()) {
        // The skin is incomplete: the program cannot show its window as designed and ends.
        if (!quitPosted_) {
            quitPosted_ = true;
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        }
        return;
    }
    QPainter painter(this);
    const QPixmap& base = (hover_ && !hoverBitmap_.isNull()) ? hoverBitmap_ : normal_;
    painter.drawTiledPixmap(rect(), base);
    const QPixmap& focus = focus_.isNull() ? normal_ : focus_;
    if (hasFocus())
        painter.drawTiledPixmap(rect(), focus);
    if (isDown() || isChecked())
        painter.drawTiledPixmap(rect(), focus);
    if (hasFocus())
        DrawFocusRing(painter, rect());
}

void CBitmapHoverButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QPushButton::enterEvent(event);
}

void CBitmapHoverButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

CGlyphButton::CGlyphButton(QWidget* parent) : QPushButton(parent) { setCheckable(true); }

bool CGlyphButton::SetBitmaps(int backgroundId, int glyphId) {
    const QPixmap background = skin::LoadSkinBitmap(backgroundId);
    const QPixmap glyph = skin::LoadSkinBitmap(glyphId);
    background_ = background.toImage();
    glyph_ = glyph.toImage();
    Rebuild();
    return !background.isNull() && !glyph.isNull();
}

QImage CGlyphButton::Compose(const QImage& background, const QImage& glyph) {
    QImage face = background.convertToFormat(QImage::Format_RGB32);
    if (face.isNull() || glyph.isNull())
        return face;
    // A transparent glyph pixel counts as white, so that it keeps the background.
    QImage opaqueGlyph(glyph.size(), QImage::Format_RGB32);
    opaqueGlyph.fill(Qt::white);
    {
        QPainter flatten(&opaqueGlyph);
        flatten.drawImage(0, 0, glyph);
    }
    QPainter painter(&face);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage((face.width() - glyph.width()) / 2, (face.height() - glyph.height()) / 2,
                      opaqueGlyph);
    return face;
}

void CGlyphButton::Rebuild() {
    if (background_.isNull() || width() <= 0 || height() <= 0) {
        face_ = QImage();
    } else {
        face_ = Compose(background_.scaled(size(), Qt::IgnoreAspectRatio,
                                           Qt::SmoothTransformation),
                        glyph_);
    }
    update();
}

void CGlyphButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    Rebuild();
}

void CGlyphButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool sunken = isDown() || isChecked();
    const QRect whole = rect();
    if (face_.isNull()) {
        painter.fillRect(whole, palette().button());
    } else {
        painter.drawImage(sunken ? QPoint(1, 1) : QPoint(0, 0), face_);
        if (sunken)
            painter.fillRect(whole, QColor(0, 0, 0, 40));
    }
    // A raised edge when released, a sunken one while checked or pressed.
    const QColor light(255, 255, 255);
    const QColor dark(40, 60, 110);
    const QColor topLeft = sunken ? dark : light;
    const QColor bottomRight = sunken ? light : dark;
    const int r = whole.right(), b = whole.bottom();
    painter.setPen(topLeft);
    painter.drawLine(0, 0, r, 0);
    painter.drawLine(0, 0, 0, b);
    painter.setPen(bottomRight);
    painter.drawLine(0, b, r, b);
    painter.drawLine(r, 0, r, b);
    if (hasFocus()) {
        QPen focusPen(QColor(255, 255, 255, 160));
        focusPen.setStyle(Qt::DotLine);
        painter.setPen(focusPen);
        painter.drawRect(whole.adjusted(2, 2, -3, -3));
    }
}
