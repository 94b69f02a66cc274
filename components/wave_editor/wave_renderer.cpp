#include "components/wave_editor/wave_renderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "components/wave_editor/wave_selection.h"

namespace wave_editor {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The pixel of a frame in `r`, held a little outside the rectangle for frames out of view.
int PixelOf(const FrameScale& scale, int64_t frame, const QRect& r, bool roundUp) {
    const double x = roundUp ? std::ceil(scale.XOf(frame)) : std::floor(scale.XOf(frame));
    return r.left() + static_cast<int>(std::clamp(x, -16.0, r.width() + 16.0));
}

// Time of a frame boundary with millisecond precision, for the status line.
std::string FormatExactTime(double seconds) {
    const int64_t ms = static_cast<int64_t>(std::llround(seconds * 1000.0));
    const int64_t h = ms / 3600000, m = (ms / 60000) % 60, s = (ms / 1000) % 60, f = ms % 1000;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(h),
                      static_cast<long long>(m), static_cast<long long>(s),
                      static_cast<long long>(f));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(m),
                      static_cast<long long>(s), static_cast<long long>(f));
    return text;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

void PaintRuler(QPainter& p, const QRect& r, const WaveView& v, const FrameScale& scale) {
    const WaveEditProperties& pr = *v.properties;
    p.fillRect(r, pr.rulerBackground);
    const QColor band = Mix(pr.rulerBackground, pr.rulerText, 0.18);
    if (v.selectionEnd > v.selectionStart) {
        const int x0 = PixelOf(scale, v.selectionStart, r, false);
        const int x1 = PixelOf(scale, v.selectionEnd, r, true);
        p.fillRect(QRect(QPoint(x0, r.top()), QPoint(std::max(x0, x1 - 1), r.bottom())), band);
    }
    p.setPen(pr.rulerText);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    if (!v.format || v.format->sampleRate <= 0 || scale.frames <= 0) return;

    const double rate = v.format->sampleRate;
    const double t0 = static_cast<double>(scale.first) / rate;
    const double seconds = static_cast<double>(scale.frames) / rate;
    const double step = RulerStep(seconds / std::max(1, r.width()), 64);
    const double minor = step / 5.0;
    const QFontMetrics metrics(p.font());
    for (int64_t k = static_cast<int64_t>(std::ceil(t0 / minor - 1e-9));; ++k) {
        const double t = static_cast<double>(k) * minor;
        if (t > t0 + seconds + 1e-9) break;
        const int x = r.left() + static_cast<int>(std::lround((t - t0) / seconds * r.width()));
        const bool major = k % 5 == 0;
        p.drawLine(x, r.bottom() - (major ? 7 : 3), x, r.bottom());
        if (major) {
            const QString label = Q(FormatRulerTime(t, step));
            const int w = metrics.horizontalAdvance(label);
            if (x + 3 + w <= r.right()) p.drawText(x + 3, r.top() + metrics.ascent() + 1, label);
        }
    }
    // When zoomed in, a thin bar along the bottom shows which part of the sound is in view.
    const int64_t total = v.format->frames();
    if (total > 0 && scale.frames < total) {
        const int x0 = r.left() + static_cast<int>(scale.first * r.width() / total);
        const int w = std::max<int>(4, static_cast<int>(scale.frames * r.width() / total));
        p.fillRect(QRect(x0, r.bottom() - 2, w, 2), Mix(pr.rulerBackground, pr.rulerText, 0.6));
    }
}

void PaintLane(QPainter& p, const QRect& lane, int channel, const WaveView& v,
               const FrameScale& scale) {
    const WaveEditProperties& pr = *v.properties;
    const int mid = lane.top() + lane.height() / 2;
    const double half = std::max(1, lane.height() / 2 - 2);
    if (pr.showGrid) {
        p.setPen(pr.grid);
        const int quarter = lane.height() / 4;
        p.drawLine(lane.left(), mid - quarter, lane.right(), mid - quarter);
        p.drawLine(lane.left(), mid + quarter, lane.right(), mid + quarter);
    }
    p.setPen(pr.centreLine);
    p.drawLine(lane.left(), mid, lane.right(), mid);
    if (!v.overview || v.overview->empty()) return;

    // Brighter towards the centre line, the plain wave colour at full scale.
    QLinearGradient shade(0, lane.top(), 0, lane.bottom());
    QLinearGradient shadeSelected = shade;
    shade.setColorAt(0.0, pr.wave.darker(135));
    shade.setColorAt(0.5, pr.wave.lighter(125));
    shade.setColorAt(1.0, pr.wave.darker(135));
    shadeSelected.setColorAt(0.0, Mix(pr.selectedWave, pr.selection, 0.35));
    shadeSelected.setColorAt(0.5, pr.selectedWave);
    shadeSelected.setColorAt(1.0, Mix(pr.selectedWave, pr.selection, 0.35));
    const QPen plain(QBrush(shade), 1);
    const QPen marked(QBrush(shadeSelected), 1);
    for (int x = 0; x < lane.width(); ++x) {
        int64_t f0 = scale.FrameAt(x);
        int64_t f1 = scale.FrameAt(x + 1);
        if (f1 <= f0) f1 = f0 + 1;
        int16_t lo = 0, hi = 0;
        if (!v.overview->Range(channel, f0, f1, &lo, &hi)) continue;
        const int yTop = mid - static_cast<int>(std::lround(hi / 32768.0 * half));
        const int yBottom = mid - static_cast<int>(std::lround(lo / 32768.0 * half));
        const int64_t centre = (f0 + f1) / 2;
        const bool selected = centre >= v.selectionStart && centre < v.selectionEnd;
        p.setPen(selected ? marked : plain);
        p.drawLine(lane.left() + x, yTop, lane.left() + x, std::max(yTop, yBottom));
    }
    if (v.overview->channels > 1) {
        // The channel's name on a chip of background, readable over a loud wave.
        const QString name = channel == 0 ? QStringLiteral("L") : QStringLiteral("R");
        const QFontMetrics metrics(p.font());
        const QRect chip(lane.left() + 3, lane.top() + 3, metrics.horizontalAdvance(name) + 8,
                         metrics.height() + 2);
        p.fillRect(chip, pr.background);
        p.setPen(Mix(pr.centreLine, pr.wave, 0.6));
        p.drawText(chip, Qt::AlignCenter, name);
    }
}

void PaintHandle(QPainter& p, int x, const QRect& wave, const QColor& colour) {
    // Small flags at the top and bottom of the edge mark where it can be taken.
    QPainterPath top;
    top.moveTo(x - 5, wave.top());
    top.lineTo(x + 5, wave.top());
    top.lineTo(x, wave.top() + 6);
    top.closeSubpath();
    QPainterPath bottom;
    bottom.moveTo(x - 5, wave.bottom() + 1);
    bottom.lineTo(x + 5, wave.bottom() + 1);
    bottom.lineTo(x, wave.bottom() - 5);
    bottom.closeSubpath();
    p.fillPath(top, colour);
    p.fillPath(bottom, colour);
}

void PaintStatus(QPainter& p, const QRect& r, const WaveView& v) {
    const WaveEditProperties& pr = *v.properties;
    p.fillRect(r, pr.rulerBackground);
    p.setPen(Mix(pr.rulerBackground, pr.rulerText, 0.35));
    p.drawLine(r.topLeft(), r.topRight());
    p.setPen(pr.rulerText);
    const QRect text = r.adjusted(6, 1, -6, 0);
    if ((v.state != LoadState::Ready && v.state != LoadState::Loading) || !v.format) return;
    const WaveFormat& f = *v.format;
    const QString left =
        QStringLiteral("%1 Hz, %2-bit, %3, %4")
            .arg(f.sampleRate)
            .arg(f.bitsPerSample)
            .arg(f.channels == 2 ? QStringLiteral("stereo") : QStringLiteral("mono"))
            .arg(Q(FormatExactTime(f.seconds())));
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, left);
    QString right;
    if (v.state == LoadState::Loading) {
        right = QStringLiteral("Reading the file ...");
    } else if (v.selectionEnd > v.selectionStart) {
        const double rate = f.sampleRate;
        right = QStringLiteral("Selection %1 - %2  (%3 s)")
                    .arg(Q(FormatExactTime(v.selectionStart / rate)))
                    .arg(Q(FormatExactTime(v.selectionEnd / rate)))
                    .arg((v.selectionEnd - v.selectionStart) / rate, 0, 'f', 3);
    } else {
        right = QStringLiteral("Drag across the wave to mark a part");
    }
    p.drawText(text, Qt::AlignRight | Qt::AlignVCenter, right);
}

}  // namespace

WaveLayout ComputeLayout(const QRect& rect, const WaveEditProperties& properties) {
    WaveLayout l;
    int top = rect.top();
    int bottom = rect.bottom() + 1;
    if (properties.showRuler && properties.rulerHeight > 0) {
        const int h = std::min(properties.rulerHeight, rect.height() / 3);
        l.ruler = QRect(rect.left(), top, rect.width(), h);
        top += h;
    }
    if (properties.statusHeight > 0) {
        const int h = std::min(properties.statusHeight, rect.height() / 3);
        l.status = QRect(rect.left(), bottom - h, rect.width(), h);
        bottom -= h;
    }
    l.wave = QRect(rect.left(), top, rect.width(), std::max(0, bottom - top));
    return l;
}

double RulerStep(double secondsPerPixel, int minLabelPixels) {
    static constexpr double kSteps[] = {0.01, 0.02, 0.05, 0.1,  0.2,   0.5,  1,   2,
                                        5,    10,   15,   30,   60,    120,  300, 600,
                                        900,  1800, 3600, 7200, 18000, 36000};
    const double wanted = secondsPerPixel * minLabelPixels;
    for (double s : kSteps) {
        if (s >= wanted) return s;
    }
    return kSteps[std::size(kSteps) - 1];
}

std::string FormatRulerTime(double seconds, double step) {
    const int decimals = step < 0.1 ? 2 : (step < 1.0 ? 1 : 0);
    const double scale = decimals == 2 ? 100.0 : (decimals == 1 ? 10.0 : 1.0);
    const int64_t units = static_cast<int64_t>(std::llround(seconds * scale));
    const int64_t whole = units / static_cast<int64_t>(scale);
    const int64_t frac = units % static_cast<int64_t>(scale);
    const long long h = whole / 3600, m = (whole / 60) % 60, s = whole % 60;
    char text[48];
    int n = h > 0 ? std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s)
                  : std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    if (decimals > 0 && n > 0)
        std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ".%0*lld", decimals,
                      static_cast<long long>(frac));
    return text;
}

double FadeGainAt(int64_t frame, int64_t start, int64_t end, int64_t fadeIn, int64_t fadeOut) {
    if (end <= start || frame < start || frame >= end) return 1.0;
    const int64_t length = end - start;
    double gain = 1.0;
    fadeIn = std::min(fadeIn, length);
    fadeOut = std::min(fadeOut, length);
    if (fadeIn > 0 && frame - start < fadeIn)
        gain *= static_cast<double>(frame - start) / static_cast<double>(fadeIn);
    if (fadeOut > 0 && end - 1 - frame < fadeOut)
        gain *= static_cast<double>(end - 1 - frame) / static_cast<double>(fadeOut);
    return gain;
}

namespace {

// The fade ramps over the selection: the part a fade takes away is shaded, and the ramp's edge
// is drawn as a line from silence (the lane's centre) up to full level and back.
void PaintFades(QPainter& p, const QRect& wave, int lanes, const WaveView& v,
                const FrameScale& scale) {
    if (v.selectionEnd <= v.selectionStart || (v.fadeInFrames <= 0 && v.fadeOutFrames <= 0))
        return;
    const WaveEditProperties& pr = *v.properties;
    const int xs = std::max(PixelOf(scale, v.selectionStart, wave, false), wave.left());
    const int xe = std::min(PixelOf(scale, v.selectionEnd, wave, true), wave.right() + 1);
    QColor shadeColour = pr.background;
    shadeColour.setAlpha(150);
    QPen ramp(pr.cursor, 2);
    ramp.setCosmetic(true);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int c = 0; c < lanes; ++c) {
        const int top = wave.top() + wave.height() * c / lanes;
        const int bottom = wave.top() + wave.height() * (c + 1) / lanes;
        const double mid = top + (bottom - top) / 2.0;
        const double half = std::max(1, (bottom - top) / 2 - 2);
        QPolygonF upper, lower;
        for (int x = xs; x < xe; ++x) {
            const int64_t frame = scale.FrameAt(x - wave.left());
            const double gain = FadeGainAt(frame, v.selectionStart, v.selectionEnd,
                                           v.fadeInFrames, v.fadeOutFrames);
            upper << QPointF(x, mid - gain * half);
            lower << QPointF(x, mid + gain * half);
        }
        if (upper.isEmpty()) continue;
        // Shade above the upper ramp and below the lower one: what the fade removes.
        QPolygonF above = upper, below = lower;
        above << QPointF(xe - 1, mid - half) << QPointF(xs, mid - half);
        below << QPointF(xe - 1, mid + half) << QPointF(xs, mid + half);
        p.setPen(Qt::NoPen);
        p.setBrush(shadeColour);
        p.drawPolygon(above);
        p.drawPolygon(below);
        p.setBrush(Qt::NoBrush);
        p.setPen(ramp);
        p.drawPolyline(upper);
        p.drawPolyline(lower);
    }
    p.restore();
}

}  // namespace

void PaintWaveView(QPainter& p, const QRect& rect, const WaveView& v) {
    const WaveEditProperties& pr = *v.properties;
    QFont font(Q(pr.fontFace));
    font.setPointSize(pr.fontPoints);
    p.setFont(font);
    const WaveLayout l = ComputeLayout(rect, pr);
    p.fillRect(l.wave, pr.background);

    const int64_t frames = v.format ? v.format->frames() : 0;
    const FrameScale scale{v.viewFrames > 0 ? std::min(v.viewFrames, frames) : frames,
                           l.wave.width(), v.viewFrames > 0 ? v.viewFirst : 0};
    const bool ready = v.state == LoadState::Ready && v.format && v.overview;
    if (!l.ruler.isEmpty()) {
        WaveView rulerView = v;
        if (!ready) rulerView.format = nullptr;
        PaintRuler(p, l.ruler, rulerView, scale);
    }
    if (!l.status.isEmpty()) PaintStatus(p, l.status, v);

    p.save();
    p.setClipRect(l.wave);
    if (ready) {
        const bool marked = v.selectionEnd > v.selectionStart;
        const int xs = PixelOf(scale, v.selectionStart, l.wave, false);
        const int xe = PixelOf(scale, v.selectionEnd, l.wave, true);
        if (marked)
            p.fillRect(
                QRect(QPoint(xs, l.wave.top()), QPoint(std::max(xs, xe - 1), l.wave.bottom())),
                pr.selection);
        const int lanes = std::max(1, v.overview->channels);
        for (int c = 0; c < lanes; ++c) {
            const int top = l.wave.top() + l.wave.height() * c / lanes;
            const int bottom = l.wave.top() + l.wave.height() * (c + 1) / lanes;
            PaintLane(p, QRect(l.wave.left(), top, l.wave.width(), bottom - top), c, v, scale);
            if (c > 0) {
                p.setPen(pr.grid);
                p.drawLine(l.wave.left(), top, l.wave.right(), top);
            }
        }
        PaintFades(p, l.wave, lanes, v, scale);
        if (marked) {
            p.setPen(pr.selectedWave);
            p.drawLine(xs, l.wave.top(), xs, l.wave.bottom());
            p.drawLine(xe - 1, l.wave.top(), xe - 1, l.wave.bottom());
            PaintHandle(p, xs, l.wave, pr.selectedWave);
            PaintHandle(p, xe - 1, l.wave, pr.selectedWave);
        }
        if (v.cursorFrame >= 0 && v.cursorFrame <= frames) {
            const int x = PixelOf(scale, v.cursorFrame, l.wave, false);
            p.fillRect(QRect(x, l.wave.top(), 2, l.wave.height()), pr.cursor);
        }
    } else {
        QString text;
        QColor colour = Mix(pr.background, pr.wave, 0.7);
        if (v.state == LoadState::Loading) {
            text = QStringLiteral("Reading %1 ... %2%").arg(Q(v.fileName)).arg(v.progressPercent);
            const int w = std::min(240, l.wave.width() - 40);
            const QRect bar(l.wave.center().x() - w / 2, l.wave.center().y() + 14, w, 4);
            p.fillRect(bar, pr.grid);
            p.fillRect(QRect(bar.left(), bar.top(), w * std::clamp(v.progressPercent, 0, 100) / 100,
                             bar.height()),
                       pr.wave);
        } else if (v.state == LoadState::Failed) {
            text = Q(v.message);
            colour = pr.cursor;
        } else {
            text = QStringLiteral("No sound loaded");
            p.setPen(pr.centreLine);
            const int mid = l.wave.center().y();
            p.drawLine(l.wave.left(), mid, l.wave.right(), mid);
        }
        const QRect box = l.wave.adjusted(12, 0, -12, v.state == LoadState::Loading ? -8 : 0);
        // The text sits on a patch of background so the centre line does not run through it.
        const QRect used =
            p.fontMetrics().boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, text);
        p.fillRect(used.adjusted(-8, -2, 8, 2), pr.background);
        p.setPen(colour);
        p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
    }
    p.restore();
}

}  // namespace wave_editor
