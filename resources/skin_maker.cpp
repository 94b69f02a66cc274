// Draws the skin bitmaps of both programs as PNG files named by resource id, and their icons for
// the desktop:
//   skin_maker <resources folder>  ->  <folder>/studio/<id>.png, <folder>/burner/<id>.png,
//                                      <folder>/desktop/icons/hicolor/<n>x<n>/.../<name>.png
// Everything is drawn from a small palette so that the pieces look like one skin.
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The studio's palette.
const QColor kGround(213, 224, 247);
const QColor kText(1, 34, 99);
const QColor kBase(49, 107, 197);
const QColor kDeep(24, 62, 140);
const QColor kPale(236, 242, 253);
const QColor kGlow(250, 196, 88);
// The burner's ground.
const QColor kBurnerGround(209, 224, 252);

QString g_root;

QImage NewImage(int w, int h, const QColor& fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void Save(const QImage& image, const char* set, int id) {
    const QString path = QStringLiteral("%1/%2/%3.png").arg(g_root).arg(set).arg(id);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

QFont UiFont(int pixelSize, bool bold = true) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A rounded pill face: `lit` is the focus/pressed look (deeper blue, white caption, warm rim).
void DrawPill(QPainter& p, const QRectF& r, bool lit, const QColor& ground) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal radius = std::min<qreal>(6, r.height() / 2.5);
    QPainterPath path;
    path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    if (lit) {
        g.setColorAt(0, QColor(120, 170, 240));
        g.setColorAt(0.45, kBase);
        g.setColorAt(0.55, kDeep);
        g.setColorAt(1, QColor(60, 110, 200));
    } else {
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(0.45, QColor(226, 235, 252));
        g.setColorAt(0.55, QColor(204, 219, 247));
        g.setColorAt(1, QColor(232, 240, 255));
    }
    p.fillPath(path, g);
    p.setPen(QPen(lit ? kGlow : QColor(120, 146, 200), 1));
    p.drawPath(path);
    Q_UNUSED(ground);
}

// Caption centred in `r`, on one line when it fits, else on two, shrinking the font as needed.
void DrawCaption(QPainter& p, const QRectF& r, const QString& text, const QColor& color) {
    const QString caption = text.trimmed();
    for (int size = 12; size >= 7; --size) {
        const QFont font = UiFont(size);
        const QFontMetrics fm(font);
        const int flags = Qt::AlignCenter;
        if (fm.horizontalAdvance(caption) <= r.width() - 6) {
            p.setFont(font);
            p.setPen(color);
            p.drawText(r, flags, caption);
            return;
        }
        const QRect wrapped = fm.boundingRect(r.adjusted(3, 1, -3, -1).toRect(),
                                              flags | Qt::TextWordWrap, caption);
        if (wrapped.width() <= r.width() - 4 && wrapped.height() <= r.height() - 2) {
            p.setFont(font);
            p.setPen(color);
            p.drawText(r.adjusted(2, 0, -2, 0), flags | Qt::TextWordWrap, caption);
            return;
        }
    }
    p.setFont(UiFont(7));
    p.setPen(color);
    p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, caption);
}

struct StudioButton {
    const char* caption;
    int normal;
    int lit;
    int left, top, right, bottom;
};

const StudioButton kStudioButtons[] = {
    {"NEW", 125, 146, 14, 59, 63, 89},
    {"Open mp3", 127, 148, 79, 59, 134, 89},
    {"Save as MMF", 128, 149, 149, 59, 199, 89},
    {"Save as mp3", 129, 151, 211, 59, 260, 89},
    {"Save as wav", 130, 152, 273, 59, 318, 89},
    {"MP3 info", 154, 134, 378, 31, 423, 54},
    {"Mp3 to wav", 116, 135, 434, 31, 502, 54},
    {"Wav to mp3", 117, 136, 510, 31, 575, 54},
    {"Help", 119, 139, 647, 31, 678, 54},
    {"MP3 to CD", 122, 144, 589, 58, 686, 82},
    {"Big MP3s To Small", 204, 205, 492, 82, 686, 105},
    {"CD To MP3", 218, 219, 373, 62, 494, 83},
    {"Extract From CD", 220, 217, 373, 83, 494, 105},
    {"Play", 155, 159, 9, 89, 41, 110},
    {"Stop", 157, 161, 55, 89, 90, 110},
    {"Minimize", 123, 132, 670, 2, 685, 25},
    {"Exit", 131, 133, 685, 2, 702, 25},
};

// The background of a button, taken from the window's background bitmap, so that a button's
// transparent corners show what lies beneath it.
QImage ButtonFace(const QImage& background, const StudioButton& b, bool lit) {
    const int w = b.right - b.left;
    const int h = b.bottom - b.top;
    QImage image = background.copy(b.left, b.top, w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QString caption = QString::fromLatin1(b.caption);
    if (caption == "Minimize" || caption == "Exit") {
        // Caption-bar buttons: small glyphs in the title band.
        const QRectF box(1.5, 4.5, w - 3, w - 3);
        QPainterPath path;
        path.addRoundedRect(box, 3, 3);
        QLinearGradient g(box.topLeft(), box.bottomLeft());
        const bool exit = caption == "Exit";
        const QColor top = lit ? (exit ? QColor(255, 150, 120) : QColor(255, 226, 160))
                               : QColor(150, 190, 250);
        const QColor bottom = lit ? (exit ? QColor(200, 40, 20) : QColor(229, 151, 0)) : kDeep;
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.fillPath(path, g);
        p.setPen(QPen(QColor(255, 255, 255, 200), 1));
        p.drawPath(path);
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
        const QPointF c = box.center();
        if (exit) {
            p.drawLine(c + QPointF(-3, -3), c + QPointF(3, 3));
            p.drawLine(c + QPointF(-3, 3), c + QPointF(3, -3));
        } else {
            p.drawLine(c + QPointF(-3, 3), c + QPointF(3, 3));
        }
        return image;
    }
    DrawPill(p, QRectF(0, 0, w, h), lit, kGround);
    DrawCaption(p, QRectF(0, 0, w, h), caption, lit ? Qt::white : kText);
    return image;
}

// A small waveform picture, used by the logo and the icon.
void DrawWave(QPainter& p, const QRectF& r, const QColor& color, int bars) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal step = r.width() / bars;
    const qreal mid = r.center().y();
    for (int i = 0; i < bars; ++i) {
        const qreal t = (i + 0.5) / bars;
        const qreal amp = (0.25 + 0.75 * std::abs(std::sin(t * 9.0)) * std::sin(t * 3.14159)) *
                          r.height() / 2;
        const QRectF bar(r.left() + i * step + step * 0.2, mid - amp, step * 0.6, amp * 2);
        p.fillRect(bar, color);
    }
}

QImage StudioBackground() {
    const int w = 704, h = 454;
    QImage image = NewImage(w, h, kGround);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Title band.
    QLinearGradient title(0, 0, 0, 27);
    title.setColorAt(0, QColor(96, 148, 228));
    title.setColorAt(0.5, kBase);
    title.setColorAt(1, kDeep);
    p.fillRect(QRect(0, 0, w, 27), title);
    p.fillRect(QRect(0, 27, w, 1), kGlow);
    DrawWave(p, QRectF(10, 6, 22, 15), QColor(255, 255, 255, 220), 7);
    p.setFont(UiFont(13));
    p.setPen(Qt::white);
    p.drawText(QRect(40, 0, 300, 27), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Ringsmith"));
    p.setFont(UiFont(10, false));
    p.setPen(QColor(220, 232, 252));
    p.drawText(QRect(130, 0, 300, 27), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("ringtone studio"));

    // Tool panels: the ringtone row on the left, the converters and tools on the right.
    auto panel = [&](const QRectF& r, const QString& label) {
        QPainterPath path;
        path.addRoundedRect(r, 7, 7);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(246, 249, 255));
        g.setColorAt(1, QColor(222, 232, 251));
        p.fillPath(path, g);
        p.setPen(QPen(QColor(150, 174, 222), 1));
        p.drawPath(path);
        if (!label.isEmpty()) {
            p.setFont(UiFont(9));
            p.setPen(QColor(70, 100, 160));
            p.drawText(r.adjusted(8, 2, -8, 0), Qt::AlignLeft | Qt::AlignTop, label);
        }
    };
    panel(QRectF(6.5, 33.5, 320, 75), QStringLiteral("RINGTONE"));
    panel(QRectF(366.5, 28.5, 331, 79), QString());
    p.setFont(UiFont(9));
    p.setPen(QColor(70, 100, 160));
    p.drawText(QRect(586, 31, 58, 23), Qt::AlignCenter, QStringLiteral("TOOLS"));

    // The wave editor's bed (the editor covers it) and the status strip.
    p.fillRect(QRect(1, 109, 702, 307), kDeep);
    QLinearGradient status(0, 416, 0, h);
    status.setColorAt(0, QColor(225, 234, 251));
    status.setColorAt(1, QColor(198, 214, 245));
    p.fillRect(QRect(0, 416, w, h - 416), status);
    p.setPen(QColor(150, 174, 222));
    p.drawRect(QRectF(9.5, 419.5, 683, 11));
    p.setPen(QColor(160, 180, 220));
    p.drawLine(QPointF(0, 433.5), QPointF(w, 433.5));

    // Window frame.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(kText);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
    return image;
}

// The wave of the smallest icons: five bars laid on whole pixels, so that they stay sharp.
void DrawCrispWave(QPainter& p, int size, const QColor& color) {
    const int bars = 5;
    const int width = static_cast<int>(std::lround(size * 0.68));
    const int pitch = width / bars;
    const int barWidth = std::max(1, pitch - 1);
    const int left = (size - (pitch * (bars - 1) + barWidth)) / 2;
    const qreal mid = size / 2.0;
    for (int i = 0; i < bars; ++i) {
        const qreal t = (i + 0.5) / bars;
        const qreal amp =
            (0.3 + 0.7 * std::abs(std::sin(t * 9.0)) * std::sin(t * 3.14159)) * size * 0.3;
        const int half = std::max(1, static_cast<int>(std::lround(amp)));
        p.fillRect(QRect(left + i * pitch, static_cast<int>(mid) - half, barWidth, 2 * half),
                   color);
    }
}

QImage AppIcon(int size, const QColor& ground) {
    QImage image = NewImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1, 1, size - 2, size - 2);
    QRadialGradient g(r.center() - QPointF(size * 0.2, size * 0.25), size * 0.9);
    g.setColorAt(0, QColor(140, 185, 250));
    g.setColorAt(0.6, kBase);
    g.setColorAt(1, kDeep);
    QPainterPath path;
    path.addRoundedRect(r, size * 0.22, size * 0.22);
    p.fillPath(path, g);
    p.setPen(QPen(ground.darker(150), std::max(1.0, size / 48.0)));
    p.drawPath(path);
    if (size < 32) {
        DrawCrispWave(p, size, Qt::white);
    } else {
        DrawWave(p, QRectF(size * 0.16, size * 0.22, size * 0.68, size * 0.56), Qt::white, 7);
    }
    return image;
}

// The kit's list and scroll-bar art (ids 300..309), the same in both skins.
void KitArt(const char* set) {
    QImage face = NewImage(1, 12);
    {
        QPainter p(&face);
        QLinearGradient g(0, 0, 0, 12);
        g.setColorAt(0, QColor(250, 252, 255));
        g.setColorAt(0.5, QColor(222, 232, 251));
        g.setColorAt(0.51, QColor(204, 219, 247));
        g.setColorAt(1, QColor(186, 204, 240));
        p.fillRect(face.rect(), g);
    }
    Save(face, set, 300);

    QImage separator = NewImage(2, 20);
    for (int y = 0; y < 20; ++y) {
        separator.setPixelColor(0, y, QColor(118, 140, 190));
        separator.setPixelColor(1, y, QColor(255, 255, 255));
    }
    Save(separator, set, 301);

    // Arrows and thumbs are drawn vertical and turned for the horizontal bar.
    auto box = [](bool thumb) {
        QImage image = NewImage(12, 26);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(0.5, 0.5, 11, 25);
        QPainterPath path;
        path.addRoundedRect(r, 3, 3);
        QLinearGradient g(r.topLeft(), r.topRight());
        if (thumb) {
            g.setColorAt(0, QColor(120, 170, 240));
            g.setColorAt(0.5, kBase);
            g.setColorAt(1, kDeep);
        } else {
            g.setColorAt(0, QColor(255, 255, 255));
            g.setColorAt(0.5, QColor(214, 226, 250));
            g.setColorAt(1, QColor(176, 196, 236));
        }
        p.fillPath(path, g);
        p.setPen(QPen(thumb ? kText : QColor(110, 136, 190), 1));
        p.drawPath(path);
        return image;
    };
    auto arrow = [&](bool up) {
        QImage image = box(false);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath tri;
        const qreal cy = 13;
        if (up) {
            tri.moveTo(6, cy - 3.5);
            tri.lineTo(9.5, cy + 2.5);
            tri.lineTo(2.5, cy + 2.5);
        } else {
            tri.moveTo(6, cy + 3.5);
            tri.lineTo(9.5, cy - 2.5);
            tri.lineTo(2.5, cy - 2.5);
        }
        tri.closeSubpath();
        p.fillPath(tri, kText);
        return image;
    };
    QImage thumb = box(true);
    {
        QPainter p(&thumb);
        p.setPen(QColor(255, 255, 255, 170));
        for (int y = 10; y <= 16; y += 3)
            p.drawLine(3, y, 8, y);
    }
    QTransform turn;
    turn.rotate(-90);
    Save(arrow(true), set, 302);
    Save(arrow(false), set, 303);
    Save(arrow(true).transformed(turn), set, 304);
    Save(arrow(false).transformed(turn), set, 305);
    Save(thumb, set, 306);
    Save(thumb.transformed(turn), set, 307);

    QImage trackV = NewImage(12, 1);
    QImage trackH = NewImage(1, 12);
    for (int i = 0; i < 12; ++i) {
        const int edge = std::min(i, 11 - i);
        const QColor c = edge == 0 ? QColor(150, 174, 222) : QColor(226 - edge * 2, 234 - edge, 251);
        trackV.setPixelColor(i, 0, c);
        trackH.setPixelColor(0, i, c);
    }
    Save(trackV, set, 308);
    Save(trackH, set, 309);
}

// Player panel: one shared button background and seven glyphs (dark on white; the button ANDs
// the glyph onto the background).
void PlayerArt(const char* set, int backgroundId, const int glyphIds[7], const QColor& ground) {
    QImage background = NewImage(40, 28);
    {
        QPainter p(&background);
        p.fillRect(background.rect(), ground);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(0.5, 0.5, 39, 27);
        QPainterPath path;
        path.addRoundedRect(r, 5, 5);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(0.48, QColor(228, 236, 252));
        g.setColorAt(0.52, QColor(206, 220, 248));
        g.setColorAt(1, QColor(236, 242, 255));
        p.fillPath(path, g);
        p.setPen(QPen(QColor(110, 136, 190), 1));
        p.drawPath(path);
    }
    Save(background.convertToFormat(QImage::Format_RGB32), set, backgroundId);

    enum Kind { Play, Pause, Stop, Previous, Back, Forward, Next };
    auto glyph = [](Kind kind) {
        QImage image(18, 12, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(kText);
        auto tri = [&](qreal x, bool right) {
            QPainterPath path;
            if (right) {
                path.moveTo(x, 1);
                path.lineTo(x + 7, 6);
                path.lineTo(x, 11);
            } else {
                path.moveTo(x + 7, 1);
                path.lineTo(x, 6);
                path.lineTo(x + 7, 11);
            }
            path.closeSubpath();
            p.drawPath(path);
        };
        switch (kind) {
        case Play: tri(5, true); break;
        case Pause:
            p.drawRect(QRectF(5, 1, 3, 10));
            p.drawRect(QRectF(10, 1, 3, 10));
            break;
        case Stop: p.drawRect(QRectF(4, 1, 10, 10)); break;
        case Previous:
            p.drawRect(QRectF(1, 1, 2, 10));
            tri(3, false);
            tri(9, false);
            break;
        case Back:
            tri(2, false);
            tri(9, false);
            break;
        case Forward:
            tri(2, true);
            tri(9, true);
            break;
        case Next:
            tri(1, true);
            tri(7, true);
            p.drawRect(QRectF(15, 1, 2, 10));
            break;
        }
        return image;
    };
    const Kind order[7] = {Play, Pause, Stop, Previous, Back, Forward, Next};
    for (int i = 0; i < 7; ++i)
        Save(glyph(order[i]), set, glyphIds[i]);
}


// ---- The burner's main window ------------------------------------------------------------------

struct BurnerButton {
    const char* name;
    int normal, focus, hover;  // 0: no image of its own
    int left, top, right, bottom;
};

const BurnerButton kBurnerButtons[] = {
    {"add", 151, 203, 187, 236, 459, 271, 492},
    {"sub", 168, 201, 185, 294, 456, 326, 489},
    {"open", 162, 205, 188, 184, 466, 216, 497},
    {"new", 161, 208, 189, 128, 473, 160, 507},
    {"burn", 153, 202, 186, 355, 456, 388, 489},
    {"save", 167, 204, 190, 415, 459, 448, 492},
    {"print", 164, 206, 191, 473, 466, 506, 497},
    {"website", 159, 207, 192, 532, 473, 565, 504},
    {"rename", 166, 200, 183, 14, 394, 45, 429},
    {"2top", 169, 195, 178, 10, 145, 52, 179},
    {"up", 172, 196, 179, 10, 179, 52, 213},
    {"play", 163, 197, 180, 10, 213, 52, 248},
    {"down", 155, 198, 181, 10, 248, 52, 283},
    {"2bottom", 152, 199, 182, 10, 283, 52, 317},
    {"help", 158, 0, 175, 24, 21, 65, 39},
    {"min", 160, 0, 173, 630, 13, 654, 35},
    {"exit", 156, 0, 174, 657, 14, 684, 34},
    {"exit2", 157, 0, 184, 621, 450, 666, 466},
};

// Outline of the burner's window: a body with round corners. The window's region is the set of
// pixels whose centres lie inside it, one rectangle per band of rows with the same span: 19
// bands down each corner and one between them, 45 rectangles in all.
constexpr int kBurnerWidth = 705;
constexpr int kBurnerHeight = 517;
constexpr qreal kBurnerCorner = 38;

struct Span {
    int left, right;  // right exclusive
};

Span BodySpan(int y) {
    const qreal cy = y + 0.5;
    qreal dy = 0;
    if (cy < kBurnerCorner) dy = kBurnerCorner - cy;
    if (cy > kBurnerHeight - kBurnerCorner) dy = cy - (kBurnerHeight - kBurnerCorner);
    if (dy <= 0) return {0, kBurnerWidth};
    const qreal dx = std::sqrt(std::max<qreal>(0, kBurnerCorner * kBurnerCorner - dy * dy));
    return {static_cast<int>(std::ceil(kBurnerCorner - dx - 0.5)),
            static_cast<int>(std::floor(kBurnerWidth - kBurnerCorner + dx - 0.5)) + 1};
}

// The body's rectangles (left, top, right, bottom; right and bottom exclusive), top to bottom.
std::vector<QRect> BodyBands() {
    std::vector<QRect> bands;
    int top = 0;
    Span span = BodySpan(0);
    for (int y = 1; y <= kBurnerHeight; ++y) {
        const Span next = y < kBurnerHeight ? BodySpan(y) : Span{-1, -1};
        if (next.left == span.left && next.right == span.right) continue;
        bands.push_back(QRect(QPoint(span.left, top), QPoint(span.right - 1, y - 1)));
        top = y;
        span = next;
    }
    return bands;
}

QRegion BodyRegion() {
    QRegion region;
    for (const QRect& band : BodyBands()) region += band;
    return region;
}

void Put32(std::vector<uint8_t>& out, int64_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Region resource 141: the byte count N of the region data, then 36 * N bytes that start with
// the region data (a 32-byte header, then the rectangles); the rest is zero.
void SaveBurnerRegion() {
    const std::vector<QRect> bands = BodyBands();
    std::vector<uint8_t> data;
    Put32(data, 32);
    Put32(data, 1);
    Put32(data, static_cast<int64_t>(bands.size()));
    Put32(data, static_cast<int64_t>(bands.size()) * 16);
    for (int v : {0, 0, kBurnerWidth, kBurnerHeight}) Put32(data, v);
    for (const QRect& r : bands) {
        for (int v : {r.left(), r.top(), r.right() + 1, r.bottom() + 1}) Put32(data, v);
    }
    std::vector<uint8_t> resource;
    Put32(resource, static_cast<int64_t>(data.size()));
    resource.insert(resource.end(), data.begin(), data.end());
    resource.resize(4 + 36 * data.size(), 0);
    const QString path = QStringLiteral("%1/burner/rgn/141").arg(g_root);
    QDir().mkpath(QFileInfo(path).absolutePath());
    FILE* file = std::fopen(qPrintable(path), "wb");
    if (!file || std::fwrite(resource.data(), 1, resource.size(), file) != resource.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    if (file) std::fclose(file);
}

void DrawDisc(QPainter& p, const QPointF& c, qreal r, qreal alpha) {
    QRadialGradient g(c, r);
    g.setColorAt(0, QColor(255, 255, 255, int(200 * alpha)));
    g.setColorAt(0.3, QColor(200, 220, 255, int(160 * alpha)));
    g.setColorAt(0.7, QColor(150, 190, 250, int(120 * alpha)));
    g.setColorAt(1, QColor(255, 255, 255, int(170 * alpha)));
    p.setPen(QPen(QColor(255, 255, 255, int(200 * alpha)), 1));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(24, 62, 140, int(255 * alpha)));
    p.drawEllipse(c, r * 0.18, r * 0.18);
}

QImage BurnerBackground() {
    QImage image = NewImage(kBurnerWidth, kBurnerHeight, QColor(76, 84, 118));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, 0.5, kBurnerWidth - 1, kBurnerHeight - 1), kBurnerCorner,
                        kBurnerCorner);
    QLinearGradient ground(0, 0, 0, kBurnerHeight);
    ground.setColorAt(0, QColor(232, 240, 255));
    ground.setColorAt(1, kBurnerGround);
    // The ground fills exactly the window's region, so no pixel outside the outline shows.
    p.setClipRegion(BodyRegion());
    p.fillRect(image.rect(), ground);
    p.setClipping(false);

    // Title band with the program's name and a disc.
    QLinearGradient title(0, 0, 0, 60);
    title.setColorAt(0, QColor(96, 148, 228));
    title.setColorAt(0.5, kBase);
    title.setColorAt(1, kDeep);
    p.save();
    p.setClipRegion(BodyRegion());
    p.fillRect(QRectF(0, 0, kBurnerWidth, 60), title);
    p.fillRect(QRectF(0, 60, kBurnerWidth, 2), kGlow);
    p.restore();
    DrawDisc(p, QPointF(110, 30), 20, 1.0);
    p.setFont(UiFont(22));
    p.setPen(Qt::white);
    p.drawText(QRect(140, 8, 300, 44), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Discsmith"));
    p.setFont(UiFont(11, false));
    p.setPen(QColor(220, 232, 252));
    p.drawText(QRect(284, 8, 300, 46), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("audio CD burner"));

    // Bed of the track list (62, 91, 588 x 298) with its skinned scroll bars, and the
    // capacity strip.
    auto panel = [&](const QRectF& r, qreal radius, const QColor& top, const QColor& bottom) {
        QPainterPath path;
        path.addRoundedRect(r, radius, radius);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.fillPath(path, g);
        p.setPen(QPen(QColor(130, 156, 210), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    };
    panel(QRectF(55.5, 80.5, 614, 356), 10, QColor(246, 249, 255), QColor(222, 232, 251));
    p.fillRect(QRect(61, 90, 603, 313), QColor(76, 84, 118));
    panel(QRectF(60.5, 408.5, 600, 21), 6, QColor(255, 255, 255), QColor(226, 235, 252));

    // Left rail for the move buttons, bottom dock for the project buttons.
    panel(QRectF(5.5, 138.5, 46, 186), 12, QColor(246, 249, 255), QColor(214, 226, 250));
    panel(QRectF(110.5, 448.5, 475, 62), 16, QColor(246, 249, 255), QColor(214, 226, 250));
    p.setFont(UiFont(9));
    p.setPen(QColor(70, 100, 160));
    p.drawText(QRect(8, 122, 44, 14), Qt::AlignCenter, QStringLiteral("ORDER"));

    DrawDisc(p, QPointF(660, 485), 28, 0.35);

    p.setPen(QPen(kText, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    return image;
}

enum class Look { Normal, Focus, Hover };

// White symbol for a burner button, drawn in a square of side `s` centred at `c`.
void DrawBurnerSymbol(QPainter& p, const QString& name, const QPointF& c, qreal s) {
    p.setPen(QPen(Qt::white, std::max<qreal>(1.6, s / 9), Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal h = s / 2;
    auto tri = [&](const QPointF& at, qreal size, bool up) {
        QPainterPath t;
        const qreal d = up ? -1 : 1;
        t.moveTo(at + QPointF(0, d * size * 0.6));
        t.lineTo(at + QPointF(size * 0.7, -d * size * 0.4));
        t.lineTo(at + QPointF(-size * 0.7, -d * size * 0.4));
        t.closeSubpath();
        p.fillPath(t, Qt::white);
    };
    if (name == "add") {
        p.drawLine(c + QPointF(-h * 0.6, 0), c + QPointF(h * 0.6, 0));
        p.drawLine(c + QPointF(0, -h * 0.6), c + QPointF(0, h * 0.6));
    } else if (name == "sub") {
        p.drawLine(c + QPointF(-h * 0.6, 0), c + QPointF(h * 0.6, 0));
    } else if (name == "open") {
        QPainterPath folder;
        folder.moveTo(c + QPointF(-h * 0.7, h * 0.5));
        folder.lineTo(c + QPointF(-h * 0.7, -h * 0.45));
        folder.lineTo(c + QPointF(-h * 0.25, -h * 0.45));
        folder.lineTo(c + QPointF(-h * 0.1, -h * 0.3));
        folder.lineTo(c + QPointF(h * 0.7, -h * 0.3));
        folder.lineTo(c + QPointF(h * 0.7, h * 0.5));
        folder.closeSubpath();
        p.drawPath(folder);
    } else if (name == "new") {
        QPainterPath sheet;
        sheet.moveTo(c + QPointF(-h * 0.45, -h * 0.6));
        sheet.lineTo(c + QPointF(h * 0.2, -h * 0.6));
        sheet.lineTo(c + QPointF(h * 0.45, -h * 0.35));
        sheet.lineTo(c + QPointF(h * 0.45, h * 0.6));
        sheet.lineTo(c + QPointF(-h * 0.45, h * 0.6));
        sheet.closeSubpath();
        p.drawPath(sheet);
    } else if (name == "burn") {
        p.drawEllipse(c, h * 0.62, h * 0.62);
        p.setBrush(Qt::white);
        p.drawEllipse(c, h * 0.14, h * 0.14);
    } else if (name == "save") {
        p.drawLine(c + QPointF(0, -h * 0.6), c + QPointF(0, h * 0.25));
        tri(c + QPointF(0, h * 0.2), h * 0.5, false);
        p.drawLine(c + QPointF(-h * 0.6, h * 0.6), c + QPointF(h * 0.6, h * 0.6));
    } else if (name == "print") {
        p.drawRect(QRectF(c + QPointF(-h * 0.65, -h * 0.15), QSizeF(h * 1.3, h * 0.55)));
        p.drawRect(QRectF(c + QPointF(-h * 0.35, -h * 0.6), QSizeF(h * 0.7, h * 0.45)));
        p.drawLine(c + QPointF(-h * 0.3, h * 0.6), c + QPointF(h * 0.3, h * 0.6));
    } else if (name == "website") {
        p.drawEllipse(c, h * 0.6, h * 0.6);
        p.drawEllipse(c, h * 0.25, h * 0.6);
        p.drawLine(c + QPointF(-h * 0.6, 0), c + QPointF(h * 0.6, 0));
    } else if (name == "rename") {
        p.drawLine(c + QPointF(-h * 0.45, -h * 0.55), c + QPointF(h * 0.45, -h * 0.55));
        p.drawLine(c + QPointF(0, -h * 0.55), c + QPointF(0, h * 0.6));
    } else if (name == "2top" || name == "2bottom") {
        const bool top = name == "2top";
        const qreal d = top ? -1 : 1;
        p.drawLine(c + QPointF(-h * 0.5, d * h * 0.55), c + QPointF(h * 0.5, d * h * 0.55));
        tri(c + QPointF(0, d * h * 0.05), h * 0.55, top);
    } else if (name == "up" || name == "down") {
        tri(c, h * 0.65, name == "up");
    } else if (name == "play") {
        QPainterPath t;
        t.moveTo(c + QPointF(-h * 0.35, -h * 0.5));
        t.lineTo(c + QPointF(h * 0.55, 0));
        t.lineTo(c + QPointF(-h * 0.35, h * 0.5));
        t.closeSubpath();
        p.fillPath(t, Qt::white);
    } else if (name == "min") {
        p.drawLine(c + QPointF(-h * 0.4, h * 0.3), c + QPointF(h * 0.4, h * 0.3));
    } else if (name == "exit") {
        p.drawLine(c + QPointF(-h * 0.35, -h * 0.35), c + QPointF(h * 0.35, h * 0.35));
        p.drawLine(c + QPointF(-h * 0.35, h * 0.35), c + QPointF(h * 0.35, -h * 0.35));
    }
}

QImage BurnerButtonFace(const QImage& background, const BurnerButton& b, Look look) {
    const int w = b.right - b.left;
    const int h = b.bottom - b.top;
    QImage image = background.copy(b.left, b.top, w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QString name = QString::fromLatin1(b.name);
    const bool wide = name == "help" || name == "exit2";

    QColor top(120, 170, 240), middle = kBase, bottom = kDeep;
    QColor rim(255, 255, 255, 220);
    if (look == Look::Focus) {
        top = QColor(70, 120, 210);
        middle = kDeep;
        bottom = QColor(10, 36, 96);
        rim = QColor(162, 201, 255);
    } else if (look == Look::Hover) {
        top = QColor(150, 196, 255);
        middle = QColor(70, 130, 220);
        rim = kGlow;
    }
    if (name == "exit" && look != Look::Normal) {
        top = QColor(255, 150, 120);
        middle = QColor(220, 70, 40);
        bottom = QColor(160, 30, 10);
    }
    QRectF shape;
    if (wide) {
        shape = QRectF(1, 1, w - 2, h - 2);
    } else {
        const qreal side = std::min(w, h) - 3;
        shape = QRectF((w - side) / 2.0, (h - side) / 2.0, side, side);
    }
    QPainterPath path;
    if (wide)
        path.addRoundedRect(shape, shape.height() / 2, shape.height() / 2);
    else
        path.addEllipse(shape);
    // A soft shadow below, then the glossy face.
    p.fillPath(path.translated(0, 1.2), QColor(1, 34, 99, 70));
    QLinearGradient g(shape.topLeft(), shape.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(0.5, middle);
    g.setColorAt(1, bottom);
    p.fillPath(path, g);
    QPainterPath gloss;
    gloss.addEllipse(QRectF(shape.left() + shape.width() * 0.18, shape.top() + 1.5,
                            shape.width() * 0.64, shape.height() * 0.42));
    p.fillPath(gloss, QColor(255, 255, 255, look == Look::Focus ? 40 : 80));
    p.setPen(QPen(rim, look == Look::Normal ? 1 : 1.6));
    p.drawPath(path);

    const QPointF shift = look == Look::Focus ? QPointF(0.5, 0.8) : QPointF(0, 0);
    if (wide) {
        p.setFont(UiFont(name == "help" ? 10 : 9));
        p.setPen(Qt::white);
        p.drawText(shape.translated(shift), Qt::AlignCenter,
                   name == "help" ? QStringLiteral("Help") : QStringLiteral("Exit"));
    } else {
        DrawBurnerSymbol(p, name, shape.center() + shift, shape.width() * 0.72);
    }
    return image;
}

QImage DiscIcon(int size) {
    QImage image = NewImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1, 1, size - 2, size - 2);
    QPainterPath path;
    path.addRoundedRect(r, size * 0.22, size * 0.22);
    QRadialGradient g(r.center() - QPointF(size * 0.2, size * 0.25), size * 0.9);
    g.setColorAt(0, QColor(140, 185, 250));
    g.setColorAt(0.6, kBase);
    g.setColorAt(1, kDeep);
    p.fillPath(path, g);
    DrawDisc(p, r.center(), size * 0.36, 1.0);
    return image;
}

// The icon of a saved project (.vxl) in file managers: a page with the song list's lines and a
// disc at its foot.
QImage ProjectFileIcon(int size) {
    QImage image = NewImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const qreal left = s * 0.16, top = s * 0.06, right = s * 0.84, bottom = s * 0.94;
    const qreal fold = s * 0.2;
    QPainterPath page;
    page.moveTo(left, top);
    page.lineTo(right - fold, top);
    page.lineTo(right, top + fold);
    page.lineTo(right, bottom);
    page.lineTo(left, bottom);
    page.closeSubpath();
    QLinearGradient paper(0, top, 0, bottom);
    paper.setColorAt(0, Qt::white);
    paper.setColorAt(1, kPale);
    p.fillPath(page, paper);
    p.setPen(QPen(kDeep, std::max(1.0, s / 32.0)));
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    p.fillPath(corner, kGround);
    p.drawPath(corner);
    // The song list: a number and a title per line.
    const int lines = size >= 32 ? 4 : 2;
    const qreal lineHeight = std::max(1.0, s / 24.0);
    for (int i = 0; i < lines; ++i) {
        const qreal y = top + fold + s * 0.06 + i * s * 0.1;
        p.fillRect(QRectF(left + s * 0.08, y, s * 0.08, lineHeight), kGlow.darker(120));
        // The lines beside the disc stop short of it.
        const qreal length = i < 2 ? (i % 2 ? 0.3 : 0.38) : 0.18;
        p.fillRect(QRectF(left + s * 0.2, y, s * length, lineHeight), kBase);
    }
    QRadialGradient back(QPointF(s * 0.62, s * 0.74), s * 0.2);
    back.setColorAt(0, kBase);
    back.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawEllipse(QPointF(s * 0.62, s * 0.74), s * 0.17, s * 0.17);
    DrawDisc(p, QPointF(s * 0.62, s * 0.74), s * 0.15, 1.0);
    return image;
}

// The desktop's icons, in the icon theme's folder layout (hicolor/<n>x<n>/<context>/<name>.png).
void SaveDesktopIcons() {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder =
            QStringLiteral("%1/desktop/icons/hicolor/%2x%2/").arg(g_root).arg(size);
        const auto save = [&folder](const QImage& image, const char* context, const char* name) {
            const QString path = folder + context + "/" + name + ".png";
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!image.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        };
        save(AppIcon(size, kGround), "apps", "org.example.vexmor.Ringsmith");
        save(DiscIcon(size), "apps", "org.example.vexmor.Discsmith");
        save(ProjectFileIcon(size), "mimetypes", "application-x-vexmor-playlist");
    }
}

// Menu image of "Help topic..": 16 x 15, RGB(192, 192, 192) is transparent.
QImage HelpMenuImage() {
    QImage image(16, 15, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kText, 1));
    p.setBrush(kBase);
    p.drawEllipse(QRectF(1.5, 1, 13, 13));
    p.setPen(Qt::white);
    p.setFont(UiFont(10));
    p.drawText(QRectF(1.5, 1, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

// Background of the studio's tool dialogs (batch down-sizer, CD ripper): dark enough for white
// texts, lighter towards the bottom where the output-path row lies.
QImage ToolDialogBackground() {
    const int w = 640, h = 480;
    QImage image = NewImage(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, kDeep);
    g.setColorAt(0.08, kBase);
    g.setColorAt(0.5, QColor(60, 112, 196));
    g.setColorAt(1, kDeep);
    p.fillRect(image.rect(), g);
    p.fillRect(QRect(0, 38, w, 1), kGlow);
    DrawWave(p, QRectF(14, 6, 50, 26), QColor(255, 255, 255, 90), 12);
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 14), 30));
        p.drawEllipse(QPointF(w + 40, h + 60), 160.0 + i * 70, 160.0 + i * 70);
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: skin_maker <resources folder>\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);

    const QImage background = StudioBackground();
    Save(background.convertToFormat(QImage::Format_RGB32), "studio", 114);
    for (const StudioButton& b : kStudioButtons) {
        Save(ButtonFace(background, b, false), "studio", b.normal);
        Save(ButtonFace(background, b, true), "studio", b.lit);
    }
    Save(AppIcon(32, kGround), "studio", 113);

    // Player panel ids: Play, Pause, Stop, Previous, Back, Forward, Next.
    const int studioGlyphs[7] = {212, 211, 215, 213, 208, 214, 210};
    const int burnerGlyphs[7] = {243, 244, 245, 246, 263, 247, 248};
    PlayerArt("studio", 209, studioGlyphs, kGround);
    PlayerArt("burner", 242, burnerGlyphs, kBurnerGround);

    Save(ToolDialogBackground(), "studio", 236);

    const QImage burner = BurnerBackground();
    Save(burner.convertToFormat(QImage::Format_RGB32), "burner", 132);
    for (const BurnerButton& b : kBurnerButtons) {
        Save(BurnerButtonFace(burner, b, Look::Normal), "burner", b.normal);
        if (b.focus)
            Save(BurnerButtonFace(burner, b, Look::Focus), "burner", b.focus);
        if (b.hover)
            Save(BurnerButtonFace(burner, b, Look::Hover), "burner", b.hover);
    }
    Save(DiscIcon(32), "burner", 128);
    Save(HelpMenuImage(), "burner", 217);
    SaveBurnerRegion();

    KitArt("studio");
    KitArt("burner");
    SaveDesktopIcons();
    return 0;
}
