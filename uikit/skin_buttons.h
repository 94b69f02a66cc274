// The skinned buttons: the gradient push button, the bitmap hover button and the glyph button of
// the player panel.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QPushButton>

// Push button with a 64-band vertical gradient face, an orange frame while the pointer is over it
// and a blue frame while it has the keyboard focus.
class CXPButton : public QPushButton {
    Q_OBJECT
public:
    explicit CXPButton(QWidget* parent = nullptr);
    CXPButton(const QString& text, QWidget* parent = nullptr);

    bool isHovered() const { return hover_; }

    // Pens of the inner frame, as left, right, top, bottom colours with widths 3, 3, 2, 2 px.
    static const QColor kHoverPens[4];
    static const QColor kFocusPens[4];
    static const QColor kFaceColor;     // RGB(222, 223, 236)
    static const QColor kCaptionColor;  // RGB(0, 0, 100)
    // Width of the system edge between the boundary and the gradient.
    static constexpr int kEdge = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hover_ = false;
};

// Button painted from three skin bitmaps: normal, focus (also shown while pressed) and hover.
// Focus and hover fall back to the normal bitmap when given as 0. While it has the keyboard
// focus a ring in the skin's blues is drawn over the face, so the focus shows on buttons whose
// focus bitmap is their normal one too.
class CBitmapHoverButton : public QPushButton {
    Q_OBJECT
public:
    explicit CBitmapHoverButton(QWidget* parent = nullptr);

    // Bitmap resource ids of the current skin set (skin::SetSkinSet).
    void SetBitmaps(int normalId, int focusId = 0, int hoverId = 0);
    int normalId() const { return normalId_; }
    int focusId() const { return focusId_ ? focusId_ : normalId_; }
    int hoverId() const { return hoverId_ ? hoverId_ : normalId_; }
    bool isHovered() const { return hover_; }

    QSize sizeHint() const override;

    // The focus ring: an outer line in the dialogs' text blue RGB(1, 34, 99) and an inner one in
    // the light focus blue RGB(162, 201, 255) of the gradient button, with rounded corners.
    static const QColor kFocusRingOuter;
    static const QColor kFocusRingInner;
    static void DrawFocusRing(QPainter& painter, const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int normalId_ = 0;
    int focusId_ = 0;
    int hoverId_ = 0;
    QPixmap normal_;
    QPixmap focus_;
    QPixmap hoverBitmap_;
    bool hover_ = false;
    bool quitPosted_ = false;
};

// Check-box button of the player panel: a shared background stretched to the button with a glyph
// combined onto its centre (bitwise AND: white glyph pixels keep the background, dark ones darken
// it). Its check state shows the panel's play state.
class CGlyphButton : public QPushButton {
    Q_OBJECT
public:
    explicit CGlyphButton(QWidget* parent = nullptr);

    // Bitmap resource ids of the current skin set. False when either bitmap is missing.
    bool SetBitmaps(int backgroundId, int glyphId);
    // The combined face at the button's current size.
    const QImage& face() const { return face_; }

    // Combines `glyph` centred onto `background` (already at its final size) with a bitwise AND.
    static QImage Compose(const QImage& background, const QImage& glyph);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Rebuild();

    QImage background_;
    QImage glyph_;
    QImage face_;
};
