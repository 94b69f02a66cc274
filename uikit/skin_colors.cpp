#include "uikit/skin_colors.h"

#include <QString>
#include <algorithm>
#include <array>

namespace skin {

int GradientBandForRow(int row, int height) {
    if (height <= 1 || row <= 0)
        return 0;
    if (row >= height - 1)
        return kGradientBands - 1;
    return row * (kGradientBands - 1) / (height - 1);
}

QColor GradientBandColor(int band, bool hovered, bool pressed) {
    band = std::clamp(band, 0, kGradientBands - 1);
    const int d = 255 - band / 3;
    const int f = 255 - band / 4;
    const int e = 255 - band / 5;
    if (hovered)
        return QColor(f, f, pressed ? d : e);
    return QColor(d, d, pressed ? f : e);
}

namespace {

int LighterChannel(int c) { return c + 51 > 255 ? c : c + 51; }
int DarkerChannel(int c) { return c < 51 ? c : c - 51; }

}  // namespace

QColor LighterShade(const QColor& color) {
    return QColor(LighterChannel(color.red()), LighterChannel(color.green()),
                  LighterChannel(color.blue()));
}

QColor DarkerShade(const QColor& color) {
    return QColor(DarkerChannel(color.red()), DarkerChannel(color.green()),
                  DarkerChannel(color.blue()));
}

ProgressShades MakeProgressShades(const QColor& base, const QColor& darkShadow,
                                  const QColor& buttonShadow) {
    ProgressShades shades;
    shades.base = base;
    shades.lighter[0] = LighterShade(base);
    shades.lighter[1] = LighterShade(shades.lighter[0]);
    shades.lighter[2] = LighterShade(shades.lighter[1]);
    shades.darker[0] = DarkerShade(base);
    shades.darker[1] = DarkerShade(shades.darker[0]);
    shades.darkShadow = darkShadow;
    shades.buttonShadow = buttonShadow;
    shades.shadowMean = QColor((darkShadow.red() + buttonShadow.red()) / 2,
                               (darkShadow.green() + buttonShadow.green()) / 2,
                               (darkShadow.blue() + buttonShadow.blue()) / 2);
    return shades;
}

int ProgressFillLength(int pos, int lower, int upper, int extent) {
    if (upper <= lower || extent <= 0)
        return 0;
    const long long length =
        static_cast<long long>(std::clamp(pos, lower, upper) - lower) * extent / (upper - lower);
    return static_cast<int>(std::clamp<long long>(length, 0, extent));
}

int InitialBounceDirection(int textWidth, int labelWidth) {
    return textWidth < labelWidth ? 1 : -1;
}

ScrollState ScrollTick(ScrollMode mode, ScrollState state, int step, int textWidth,
                       int labelWidth) {
    switch (mode) {
    case ScrollMode::Still:
        break;
    case ScrollMode::Left:
        state.x -= step;
        if (state.x + textWidth <= 0)
            state.x = labelWidth;
        break;
    case ScrollMode::Right:
        state.x += step;
        if (state.x >= labelWidth)
            state.x = -textWidth;
        break;
    case ScrollMode::Bounce: {
        const int direction = state.direction >= 0 ? 1 : -1;
        int x = state.x + direction * step;
        // The two edges the text's left side may reach: a narrow text stays inside the label,
        // a wide one keeps the label covered.
        const int low = textWidth < labelWidth ? 0 : labelWidth - textWidth;
        const int high = textWidth < labelWidth ? labelWidth - textWidth : 0;
        if (x <= low) {
            x = low;
            state.direction = 1;
        } else if (x >= high) {
            x = high;
            state.direction = -1;
        } else {
            state.direction = direction;
        }
        state.x = x;
        break;
    }
    }
    return state;
}

int ScrollThumbTravel(int barLength) { return std::max(0, barLength - kScrollTravelReserve); }

int ScrollThumbOffset(int value, int maximum, int barLength) {
    const int travel = ScrollThumbTravel(barLength);
    if (maximum <= 0 || travel <= 0)
        return 0;
    return static_cast<int>(static_cast<long long>(std::clamp(value, 0, maximum)) * travel /
                            maximum);
}

int ScrollValueForOffset(int offset, int maximum, int barLength) {
    const int travel = ScrollThumbTravel(barLength);
    if (maximum <= 0 || travel <= 0)
        return 0;
    // Rounded, so that dragging the thumb back to where a value put it gives that value again.
    const long long scaled =
        (static_cast<long long>(std::clamp(offset, 0, travel)) * maximum * 2 + travel) /
        (2LL * travel);
    return static_cast<int>(std::clamp<long long>(scaled, 0, maximum));
}

ScrollZone ScrollZoneAt(int pos, int value, int maximum, int barLength) {
    if (pos < kScrollArrowLength)
        return ScrollZone::StartArrow;
    if (pos >= barLength - kScrollArrowLength)
        return ScrollZone::EndArrow;
    const int thumbStart = kScrollArrowLength + ScrollThumbOffset(value, maximum, barLength);
    if (pos < thumbStart)
        return ScrollZone::TrackBefore;
    if (pos < thumbStart + kScrollThumbLength)
        return ScrollZone::Thumb;
    return ScrollZone::TrackAfter;
}

std::string HyperlinkErrorText(int code) {
    switch (code) {
    case 0: return "The operating system is out\nof memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied\naccess to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred. ";
    case 27: return "The filename association is\nincomplete or invalid.";
    case 28:
        return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not\nbe completed because other DDE "
               "transactions\nwere being processed.";
    case 31: return "There is no application associated\nwith the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return QString::asprintf("Unknown Error (%d) occurred.", code).toStdString();
    }
}

std::string HyperlinkErrorMessage(int code) {
    return "Unable to open hyperlink:\n\n" + HyperlinkErrorText(code);
}

std::string BrowserCommandLine(const std::string& commandTemplate, const std::string& url) {
    static constexpr std::array<const char*, 5> kPlaceholders = {"%1", "%u", "%U", "%f", "%F"};
    std::string::size_type cut = std::string::npos;
    for (const char* placeholder : kPlaceholders)
        cut = std::min(cut, commandTemplate.find(placeholder));
    std::string command = commandTemplate;
    if (cut != std::string::npos) {
        if (cut > 0 && commandTemplate[cut - 1] == '"')
            --cut;
        command.resize(cut);
    }
    return command + " " + url;
}

}  // namespace skin
