// The colour and font dialogs of the window programs. They take Qt Gui types, so they are not
// part of platform::Ui (which the rules and the command line use without a window library): a Ui
// that can show them also derives from ColorFontDialogs, and GetColorFontDialogs finds them on the
// installed Ui.
#pragma once

#include <QColor>
#include <QFont>
#include <optional>

#include "platform/ui.h"

namespace platform {

// What a font dialog with effects returns: the font (with underline and strike-out) and the text
// colour chosen with it.
struct FontChoice {
    QFont font;
    QColor color;
};

class ColorFontDialogs {
  public:
    virtual ~ColorFontDialogs() = default;

    virtual std::optional<QColor> PickColor(const QColor& initial) = 0;
    virtual std::optional<QFont> PickFont(const QFont& initial) = 0;
    // Font dialog with effects: font, underline, strike-out and a text colour, preset from
    // `initial` and `initialColor`. Without an override it is the plain font dialog and the colour
    // stays as it was.
    virtual std::optional<FontChoice> PickFontAndColor(const QFont& initial,
                                                       const QColor& initialColor);
};

// A Ui with the colour and font dialogs (QtUi).
class GuiUi : public Ui, public ColorFontDialogs {};

// The colour and font dialogs of the installed Ui; Qt's own when that Ui has none.
ColorFontDialogs& GetColorFontDialogs();

}  // namespace platform
