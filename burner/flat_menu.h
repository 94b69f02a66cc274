// The owner-drawn look of the burner's help menu. In flat mode the items have a lightened image
// column on the left, a flat background, a highlighted item filled with a pale highlight colour
// and framed in the plain one, and images of 16 x 15 pixels whose RGB(192, 192, 192) is
// transparent. On a palette-based display, or with flat mode off, the platform's own menu look
// is used instead.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QProxyStyle>
#include <QSize>

class QMenu;

namespace burner {

// Moves each of red, green and blue from c to c + f * (255 - c), truncated, for 0 < f <= 1; any
// other f leaves the colour unchanged.
QColor LightenColor(const QColor& color, double f);

// The colours of the flat look, from the system's three-dimensional face, menu, highlight, menu
// text and grey text colours.
struct FlatMenuColors {
    QColor column;      // the image column
    QColor background;  // an item that is not highlighted
    QColor pen;         // the menu's frame
    QColor highlightFill;
    QColor highlightFrame;
    QColor checkSquare;  // behind a checked item's mark
    QColor text;
    QColor disabledText;
};
FlatMenuColors MakeFlatMenuColors(const QColor& face, const QColor& menu, const QColor& highlight,
                                  const QColor& menuText, const QColor& grayText);

// Geometry of the flat look, in pixels.
inline constexpr QSize kMenuImageSize{16, 15};
inline constexpr int kImageColumnWidth = 16 + 5;
// A separator: 0 wide, half the menu-bar height high. Other items: the text width plus
// 2 * 16 + 1, and the larger of the menu-bar height and 15 + 4 high.
QSize FlatMenuItemSize(bool separator, int textWidth, int menuBarHeight);
// Top-left of an item image inside an item rectangle: (left + 2, top + m + 2) with
// m = (height - 15 - 4) / 2, taken as 0 when negative.
QPoint FlatMenuImagePos(const QRect& item);

// A bitmap as a menu image: RGB(192, 192, 192) becomes transparent.
QPixmap MenuImage(const QPixmap& bitmap);

// The style that draws a menu's items in the flat look.
class CFlatMenuStyle : public QProxyStyle {
    Q_OBJECT
  public:
    // `flat` false (or a palette-based display) keeps the platform's look.
    explicit CFlatMenuStyle(bool flat = true);

    bool flatMode() const { return flat_; }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

    // The colours for a menu of `palette`.
    static FlatMenuColors ColorsFor(const QPalette& palette);
    // The system menu-bar height as this style reckons it for the menu font.
    static int MenuBarHeight();

  private:
    bool flat_;
};

}  // namespace burner
