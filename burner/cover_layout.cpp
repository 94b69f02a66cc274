#include "burner/cover_layout.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/text.h"

namespace burner {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Text at its top-left corner, as the rows and the title are placed. A title that would run
// into the next column is cut with an ellipsis at `maxWidth` (none when 0).
void DrawTextAt(QPainter& painter, QPoint topLeft, const std::string& text, int maxWidth = 0) {
    const QFontMetrics metrics = painter.fontMetrics();
    QString shown = Q(text);
    if (maxWidth > 0) shown = metrics.elidedText(shown, Qt::ElideRight, maxWidth);
    if (painter.backgroundMode() == Qt::OpaqueMode) {
        painter.fillRect(QRect(topLeft, QSize(metrics.horizontalAdvance(shown), metrics.height())),
                         painter.background());
    }
    painter.drawText(QPoint(topLeft.x(), topLeft.y() + metrics.ascent()), shown);
}

// Text background as the device has it: transparent, or opaque in white.
void SetTextBackground(QPainter& painter, bool transparent) {
    painter.setBackground(QBrush(Qt::white));
    painter.setBackgroundMode(transparent ? Qt::TransparentMode : Qt::OpaqueMode);
}

// The printer font for `screenFont`: same face and effects, height scaled to the page and
// given in page units (0.1 mm) so that the page's transform sizes it.
QFont PageFont(const QFont& screenFont) {
    QFont font = screenFont;
    const double points = PrinterFontTenthsOfPoint(std::max(0, screenFont.pixelSize())) / 10.0;
    const int units = static_cast<int>(std::lround(points * 254.0 / 72.0));
    // A height of 0 would be the device's default; the smallest size stands in for it.
    font.setPixelSize(std::max(1, units));
    return font;
}

// A point of the page (0.1 mm, y upwards) in the painter's coordinates (0.1 mm, y downwards).
QPoint Down(QPoint p) { return QPoint(p.x(), -p.y()); }

}  // namespace

QFont CoverSettings::CoverFont(const std::string& family, int height, int weight) {
    QFont font(Q(family));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(height);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

bool CoverSettings::SetPicture(QImage image) {
    if (!picture.Attach(std::move(image))) return false;
    previewPicture = picture.Image().scaled(preview::kInside.size(), Qt::IgnoreAspectRatio,
                                            Qt::SmoothTransformation);
    cleared = false;
    colourMode = false;
    return true;
}

int preview::RowY(int row) { return 50 + 14 * row; }
int page::RowY(int row) { return -500 - 50 * row; }

std::array<QLine, 4> page::CropMarks() {
    return {QLine(350, -300, 1750, -300), QLine(1650, -200, 1650, -1600),
            QLine(1750, -1500, 350, -1500), QLine(450, -1600, 450, -200)};
}

int CoverRowCount(std::size_t titles) {
    return static_cast<int>(std::min<std::size_t>(titles, kMaxCoverRows));
}

int PrinterFontTenthsOfPoint(int screenHeight) { return screenHeight * 37 / 4; }

void PaintCoverPreview(QPainter& painter, const CoverSettings& cover) {
    using namespace preview;
    painter.save();
    painter.setPen(QPen(Qt::black, 0));
    const QPoint tl = kFrameTopLeft;
    const QPoint br = kFrameBottomRight;
    painter.drawLine(tl, QPoint(br.x(), tl.y()));
    painter.drawLine(QPoint(br.x(), tl.y()), br);
    painter.drawLine(br, QPoint(tl.x(), br.y()));
    painter.drawLine(QPoint(tl.x(), br.y()), tl);

    if (cover.cleared || cover.colourMode || cover.previewPicture.isNull()) {
        const bool white = cover.cleared || !cover.colourMode;
        painter.fillRect(kInside, white ? QColor(Qt::white) : cover.backColor);
    } else {
        painter.drawImage(kInside.topLeft(), cover.previewPicture);
    }

    painter.setClipRect(kInside);
    SetTextBackground(painter, cover.transparent);
    if (!cover.cleared) {
        painter.setPen(cover.listColor);
        painter.setFont(cover.listFont);
        const int rows = CoverRowCount(cover.titles.size());
        for (int i = 0; i < rows; ++i) {
            const int y = RowY(i);
            if (i < static_cast<int>(cover.tracks.size()))
                DrawTextAt(painter, QPoint(kTrackX, y), cover.tracks[i]);
            DrawTextAt(painter, QPoint(kTitleX, y), cover.titles[i], kTimeX - kTitleX - 6);
            if (i < static_cast<int>(cover.times.size()))
                DrawTextAt(painter, QPoint(kTimeX, y), cover.times[i]);
        }
    }
    painter.setPen(cover.titleColor);
    painter.setFont(cover.titleFont);
    DrawTextAt(painter, kAlbumTitle, cover.albumTitle);
    painter.restore();
}

void PaintCoverPage(QPainter& painter, const CoverSettings& cover, int dotsPerInch) {
    using namespace page;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // One painter unit is 0.1 mm.
    const double dotsPerUnit = dotsPerInch / 254.0;
    painter.scale(dotsPerUnit, dotsPerUnit);

    const QRect square(Down(QPoint(kLeft, kTop)), QSize(kSide, kSide));
    if (cover.cleared || cover.colourMode || cover.picture.IsNull()) {
        const bool white = cover.cleared || !cover.colourMode;
        painter.fillRect(square, white ? QColor(Qt::white) : cover.backColor);
    } else {
        painter.drawImage(QRectF(square), cover.picture.Image());
    }

    painter.setClipRect(square);
    SetTextBackground(painter, cover.transparent);
    if (!cover.cleared) {
        painter.setPen(cover.listColor);
        painter.setFont(PageFont(cover.listFont));
        const int rows = CoverRowCount(cover.titles.size());
        for (int i = 0; i < rows; ++i) {
            const int y = -RowY(i);
            DrawTextAt(painter, QPoint(kTitleX, y), cover.titles[i], kTimeX - kTitleX - 20);
            if (i < static_cast<int>(cover.times.size()))
                DrawTextAt(painter, QPoint(kTimeX, y), cover.times[i]);
            if (i < static_cast<int>(cover.tracks.size()))
                DrawTextAt(painter, QPoint(kTrackX, y), cover.tracks[i]);
        }
    }
    painter.setClipping(false);

    // Crop marks are hairlines of 0.1 mm.
    painter.setPen(QPen(kCropMarkColor, 1.0));
    for (const QLine& mark : CropMarks()) painter.drawLine(Down(mark.p1()), Down(mark.p2()));

    painter.setClipRect(square);
    painter.setPen(cover.titleColor);
    painter.setFont(PageFont(cover.titleFont));
    DrawTextAt(painter, Down(kAlbumTitle), cover.albumTitle);
    painter.restore();
}

bool PrintCover(QPagedPaintDevice& device, const CoverSettings& cover) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    PaintCoverPage(painter, cover, device.logicalDpiX());
    return painter.end();
}

std::string CoverDocumentTitle(const CoverSettings& cover) {
    const QString title = QString::fromStdString(platform::ShownUtf8(cover.albumTitle)).trimmed();
    return title.isEmpty() ? std::string("DISCSMITH SONG LIST") : title.toStdString();
}

std::string CoverPdfFileName(const CoverSettings& cover) {
    std::string name = CoverDocumentTitle(cover);
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '-';
    return name + ".pdf";
}

bool WriteCoverPdf(const std::string& path, const CoverSettings& cover) {
    QSaveFile file(Q(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(QString::fromStdString(CoverDocumentTitle(cover)));
        writer.setCreator(QStringLiteral("Discsmith"));
        writer.setResolution(600);
        // The page of the user's paper size with no margins: the cover's place is measured from
        // the paper's edges.
        const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        writer.setPageLayout(QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4),
                                         QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        if (!PrintCover(writer, cover)) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

}  // namespace burner
