// The CD cover: what it shows, where the preview and the printed page put each part, and the
// painting of both. Plain code without a window: the print dialog and the tests call it.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "burner/dib.h"

class QPainter;
class QPagedPaintDevice;

namespace burner {

// The cover's settings and copies of the project's rows. Fonts carry their height as a pixel
// size on the screen.
struct CoverSettings {
    std::vector<std::string> titles;  // "MP3 Title" of every project entry, first row first
    std::vector<std::string> times;   // "Time"
    std::vector<std::string> tracks;  // "Track"
    std::string albumTitle = " DISCSMITH SONG LIST ";
    bool transparent = true;  // text background: transparent, or opaque in the device's colour
    bool cleared = false;     // white background and no song list
    bool colourMode = true;   // single-colour background; false: the picture
    QColor backColor = QColor(255, 255, 255);
    QColor titleColor = QColor(0, 0, 0);
    QColor listColor = QColor(0, 0, 0);
    QFont titleFont = CoverFont("Arial", 15, 700);
    QFont listFont = CoverFont("Arial", 12, 400);
    CDib picture;           // the background picture as chosen
    QImage previewPicture;  // the picture stretched once to the preview's inside

    // A font of `family` with `height` screen pixels and `weight` (400 normal, 700 bold).
    static QFont CoverFont(const std::string& family, int height, int weight);
    // Takes a picture as the background: the song list shows again and the preview's copy is
    // made once here. A null image changes nothing and returns false.
    bool SetPicture(QImage image);
};

// Geometry of the preview, in dialog pixels.
namespace preview {
inline constexpr QPoint kFrameTopLeft{10, 10};
inline constexpr QPoint kFrameBottomRight{380, 310};
// Inside of the frame, filled by the background: (11, 11) to (379, 309) inclusive.
inline constexpr QRect kInside{11, 11, 369, 299};
inline constexpr QPoint kAlbumTitle{20, 20};
inline constexpr int kTrackX = 20;
inline constexpr int kTitleX = 50;
inline constexpr int kTimeX = 320;
int RowY(int row);  // top of row `row`
}  // namespace preview

// Geometry of the printed page, in 0.1 mm units from the top left of the printable area, y
// growing upwards (so values below the top are negative).
namespace page {
// The 12 cm cover square, 4.5 cm from the left and 3 cm from the top.
inline constexpr int kLeft = 450;
inline constexpr int kTop = -300;
inline constexpr int kSide = 1200;
inline constexpr QPoint kAlbumTitle{500, -400};
inline constexpr int kTrackX = 500;
inline constexpr int kTitleX = 600;
inline constexpr int kTimeX = 1450;
inline constexpr QColor kCropMarkColor{100, 100, 100};
int RowY(int row);  // top of row `row`
// The four crop marks along the square's sides, each 1 cm beyond the square at both ends.
std::array<QLine, 4> CropMarks();
}  // namespace page

// Both the preview and the page list at most this many rows.
inline constexpr int kMaxCoverRows = 18;
// How many rows of a project of `titles` entries the cover lists.
int CoverRowCount(std::size_t titles);

// Height in tenths of a point of the printed font for a screen font `screenHeight` pixels high:
// 37/4 tenths of a point per pixel, which keeps the text in the page's proportion of the
// preview whatever the printer's resolution.
int PrinterFontTenthsOfPoint(int screenHeight);

// Paints the preview (frame, background, song list, album title) in dialog pixels.
void PaintCoverPreview(QPainter& painter, const CoverSettings& cover);
// Paints the page onto a painter open on a printer or PDF device of `dotsPerInch`.
void PaintCoverPage(QPainter& painter, const CoverSettings& cover, int dotsPerInch);
// Prints the cover as one page on `device`; false when the document could not be started.
bool PrintCover(QPagedPaintDevice& device, const CoverSettings& cover);
// The name a PDF of the cover goes by (its title, and its file name before ".pdf"): the album
// title without the blanks around it, "DISCSMITH SONG LIST" when it is blank. The file name has
// every "/" and control character as "-".
std::string CoverDocumentTitle(const CoverSettings& cover);
std::string CoverPdfFileName(const CoverSettings& cover);
// Writes the cover page to a PDF file, replacing `path` only when the whole file was written; the
// PDF's title is CoverDocumentTitle.
bool WriteCoverPdf(const std::string& path, const CoverSettings& cover);

}  // namespace burner
