#include "burner/flat_menu.h"

#include <QApplication>
#include <QBitmap>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <algorithm>

namespace burner {
namespace {

// Lightening factors of the flat look.
constexpr double kColumnLight = 0.35;
constexpr double kHighlightLightSame = 0.85;
constexpr double kHighlightLightOther = 0.7;
constexpr double kCheckLight = 0.85;
constexpr double kGrayLight = 0.55;

// Gap between the image column and the item text.
constexpr int kTextGap = 6;

QFont MenuFont() { return QApplication::font("QMenu"); }

bool PaletteBasedDisplay() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->depth() <= 8;
}

}  // namespace

QColor LightenColor(const QColor& color, double f) {
    if (!(f > 0.0 && f <= 1.0)) return color;
    auto up = [f](int c) { return static_cast<int>(c + f * (255 - c)); };
    return QColor(up(color.red()), up(color.green()), up(color.blue()));
}

FlatMenuColors MakeFlatMenuColors(const QColor& face, const QColor& menu, const QColor& highlight,
                                  const QColor& menuText, const QColor& grayText) {
    const bool same = face.rgb() == menu.rgb();
    FlatMenuColors colors;
    colors.column = same ? LightenColor(face, kColumnLight) : face;
    colors.background = same ? QColor(Qt::white) : menu;
    colors.pen = colors.background;
    colors.highlightFill =
        LightenColor(highlight, same ? kHighlightLightSame : kHighlightLightOther);
    colors.highlightFrame = highlight;
    colors.checkSquare = LightenColor(highlight, kCheckLight);
    colors.text = menuText;
    colors.disabledText = same ? LightenColor(grayText, kGrayLight) : grayText;
    return colors;
}

QSize FlatMenuItemSize(bool separator, int textWidth, int menuBarHeight) {
    if (separator) return QSize(0, menuBarHeight / 2);
    return QSize(textWidth + 2 * 16 + 1, std::max(menuBarHeight, kMenuImageSize.height() + 4));
}

QPoint FlatMenuImagePos(const QRect& item) {
    const int m = std::max(0, (item.height() - kMenuImageSize.height() - 4) / 2);
    return QPoint(item.left() + 2, item.top() + m + 2);
}

QPixmap MenuImage(const QPixmap& bitmap) {
    if (bitmap.isNull()) return bitmap;
    QPixmap image = bitmap;
    image.setMask(bitmap.createMaskFromColor(QColor(192, 192, 192)));
    return image;
}

CFlatMenuStyle::CFlatMenuStyle(bool flat)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))),
      flat_(flat && !PaletteBasedDisplay()) {}

FlatMenuColors CFlatMenuStyle::ColorsFor(const QPalette& palette) {
    return MakeFlatMenuColors(palette.color(QPalette::Active, QPalette::Button),
                              palette.color(QPalette::Active, QPalette::Window),
                              palette.color(QPalette::Active, QPalette::Highlight),
                              palette.color(QPalette::Active, QPalette::WindowText),
                              palette.color(QPalette::Disabled, QPalette::WindowText));
}

int CFlatMenuStyle::MenuBarHeight() { return QFontMetrics(MenuFont()).height() + 6; }

int CFlatMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                const QWidget* widget) const {
    if (flat_) {
        switch (metric) {
            case PM_MenuPanelWidth:
                return 1;
            case PM_MenuHMargin:
            case PM_MenuVMargin:
                return 0;
            default:
                break;
        }
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QSize CFlatMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                       const QSize& size, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!flat_ || type != CT_MenuItem || !item)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    const bool separator = item->menuItemType == QStyleOptionMenuItem::Separator;
    const int textWidth = QFontMetrics(MenuFont()).horizontalAdvance(item->text);
    return FlatMenuItemSize(separator, textWidth, MenuBarHeight());
}

void CFlatMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (!flat_ || (element != PE_PanelMenu && element != PE_FrameMenu))
        return QProxyStyle::drawPrimitive(element, option, painter, widget);
    const FlatMenuColors colors = ColorsFor(option->palette);
    painter->save();
    if (element == PE_PanelMenu) painter->fillRect(option->rect, colors.background);
    painter->setPen(colors.pen.darker(element == PE_FrameMenu ? 160 : 100));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

void CFlatMenuStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!flat_ || element != CE_MenuItem || !item)
        return QProxyStyle::drawControl(element, option, painter, widget);
    const FlatMenuColors colors = ColorsFor(option->palette);
    const QRect r = option->rect;
    const QRect column(r.left(), r.top(), kImageColumnWidth, r.height());
    painter->save();
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        painter->fillRect(r, colors.background);
        painter->fillRect(column, colors.column);
        const int y = r.top() + r.height() / 2;
        const int x = column.right() + 1 + 4;
        painter->setPen(colors.column.darker(130));
        painter->drawLine(x, y - 1, r.right(), y - 1);
        painter->setPen(Qt::white);
        painter->drawLine(x, y, r.right(), y);
        painter->restore();
        return;
    }
    const bool enabled = option->state & State_Enabled;
    const bool highlighted = enabled && (option->state & State_Selected);
    if (highlighted) {
        painter->fillRect(r, colors.highlightFill);
        painter->setPen(colors.highlightFrame);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        painter->fillRect(r, colors.background);
        painter->fillRect(column, colors.column);
    }
    const QPoint imagePos = FlatMenuImagePos(r);
    if (item->checked) {
        painter->fillRect(QRect(imagePos - QPoint(1, 1), kMenuImageSize + QSize(2, 2)),
                          colors.checkSquare);
    }
    if (!item->icon.isNull()) {
        const QPixmap image =
            item->icon.pixmap(kMenuImageSize, painter->device()->devicePixelRatioF(),
                              enabled ? QIcon::Normal : QIcon::Disabled);
        painter->drawPixmap(QRect(imagePos, kMenuImageSize), image);
    } else if (item->checked) {
        painter->setPen(colors.text);
        painter->drawText(QRect(imagePos, kMenuImageSize), Qt::AlignCenter,
                          QStringLiteral("\u2713"));
    }
    painter->setFont(MenuFont());
    painter->setPen(enabled ? colors.text : colors.disabledText);
    const QRect textRect(column.right() + 1 + kTextGap, r.top(),
                         r.width() - kImageColumnWidth - kTextGap, r.height());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                      item->text);
    painter->restore();
}

}  // namespace burner
