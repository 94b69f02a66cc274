// The arithmetic behind the skinned controls, kept apart from any window so that tests can call
// it directly: the gradient of the gradient push button, the shades of the progress bar, the
// scrolling label's movement, the skinned scroll bar's thumb mapping and the hyperlink's error
// texts.
#pragma once

#include <QColor>
#include <string>

namespace skin {

// ---- Gradient push button -------------------------------------------------------------------

// The face is 64 horizontal bands; band 0 is the top one.
inline constexpr int kGradientBands = 64;

// Band shown by row `row` (0 = top) of a face `height` rows high: the top row is band 0 and the
// bottom row band 63, rows in between in proportion (a face lower than 64 rows skips bands).
int GradientBandForRow(int row, int height);

// Colour of band `band` (0..63). With d = 255 - band/3, f = 255 - band/4, e = 255 - band/5:
// hovered: red = green = f, blue = pressed ? d : e; otherwise red = green = d, blue = pressed ?
// f : e.
QColor GradientBandColor(int band, bool hovered, bool pressed);

// ---- Progress bar ---------------------------------------------------------------------------

// Base colour of the studio's progress bars; the burner uses the palette's highlight colour.
inline const QColor kStudioProgressBase{49, 107, 197};
// Colour of the empty part of every progress bar.
inline const QColor kProgressTrack{209, 223, 252};

struct ProgressShades {
    QColor base;
    QColor lighter[3];  // each adds 51 to every channel of the previous one
    QColor darker[2];   // each takes 51 from every channel of the previous one
    QColor darkShadow;
    QColor buttonShadow;
    QColor shadowMean;  // channel-wise mean of the two shadows
};

// One lighter step: 51 added to each channel; a channel that would pass 255 keeps its value.
QColor LighterShade(const QColor& color);
// One darker step: 51 taken from each channel; a channel below 51 keeps its value.
QColor DarkerShade(const QColor& color);
ProgressShades MakeProgressShades(const QColor& base, const QColor& darkShadow,
                                  const QColor& buttonShadow);

// Pixels of a bar `extent` pixels long that show position `pos` of the range lower..upper:
// (pos - lower) * extent / (upper - lower), kept within 0..extent. An empty or reversed range
// shows nothing.
int ProgressFillLength(int pos, int lower, int upper, int extent);

// ---- Scrolling label ------------------------------------------------------------------------

enum class ScrollMode { Still = 0, Left = 1, Right = 2, Bounce = 3 };

struct ScrollState {
    int x = 0;          // left edge of the text inside the label, in pixels
    int direction = 1;  // bounce mode: +1 right, -1 left
};

// Direction a bounce starts with: a text narrower than the label first moves right, a wider one
// left (towards its hidden end).
int InitialBounceDirection(int textWidth, int labelWidth);

// One timer tick. Left: move left by `step`; once the text has left the label completely it
// comes back at the right edge. Right: the mirror image. Bounce: move in the current direction
// and turn at the label's edges (a narrow text never leaves the label, a wide one never uncovers
// the label's edges). Still: nothing moves.
ScrollState ScrollTick(ScrollMode mode, ScrollState state, int step, int textWidth,
                       int labelWidth);

// ---- Skinned scroll bar ---------------------------------------------------------------------

inline constexpr int kScrollBarThickness = 12;
inline constexpr int kScrollArrowLength = 26;  // arrow zone at each end
inline constexpr int kScrollThumbLength = 26;
// The thumb's travel is the bar's length less this many pixels.
inline constexpr int kScrollTravelReserve = 75;

int ScrollThumbTravel(int barLength);
// Thumb offset (0..travel, measured from the end of the first arrow zone) for scroll value
// `value` of 0..maximum.
int ScrollThumbOffset(int value, int maximum, int barLength);
// Scroll value for a thumb dragged to `offset`, in proportion: travel maps to 0..maximum.
int ScrollValueForOffset(int offset, int maximum, int barLength);

enum class ScrollZone { StartArrow, TrackBefore, Thumb, TrackAfter, EndArrow };
// What lies at `pos` (pixels from the bar's start) on a bar showing `value` of 0..maximum.
ScrollZone ScrollZoneAt(int pos, int value, int maximum, int barLength);

// ---- Hyperlink label ------------------------------------------------------------------------

// Text of the error report for a failed open, without the prefix; unknown codes give
// "Unknown Error (%d) occurred.".
std::string HyperlinkErrorText(int code);
// The whole message: "Unable to open hyperlink:\n\n" followed by the error text.
std::string HyperlinkErrorMessage(int code);

// Command line of the HTML handler for `url`: the handler's command template cut at its
// placeholder ("%1", or the desktop's "%u", "%U", "%f", "%F"; at the opening double quote when
// the placeholder stands in quotes; the whole template when there is none), a blank and the URL.
std::string BrowserCommandLine(const std::string& commandTemplate, const std::string& url);

}  // namespace skin
