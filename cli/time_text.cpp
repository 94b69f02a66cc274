#include "cli/time_text.h"

#include <QStringList>
#include <cmath>

namespace cli {

std::optional<int64_t> ParseTimeText(const QString& text) {
    const QStringList fields = text.trimmed().split(':');
    if (fields.size() > 3) return std::nullopt;
    double seconds = 0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString& field = fields[i];
        // Only digits and one point: no signs, exponents or blanks inside.
        if (field.isEmpty() || field.count('.') > 1 || field == ".") return std::nullopt;
        for (const QChar c : field)
            if (!c.isDigit() && c != '.') return std::nullopt;
        const bool last = i == fields.size() - 1;
        if (!last && field.contains('.')) return std::nullopt;
        bool ok = false;
        const double value = field.toDouble(&ok);
        if (!ok || !std::isfinite(value)) return std::nullopt;
        if (i > 0 && value >= 60) return std::nullopt;
        seconds = seconds * 60 + value;
    }
    if (seconds > 1e9) return std::nullopt;
    return static_cast<int64_t>(std::llround(seconds * 1000));
}

QString FormatTimeText(int64_t milliseconds) {
    const int64_t ms = milliseconds % 1000;
    const int64_t totalSeconds = milliseconds / 1000;
    const int64_t hours = totalSeconds / 3600;
    const int64_t minutes = totalSeconds / 60 % 60;
    const int64_t seconds = totalSeconds % 60;
    if (hours > 0)
        return QString("%1:%2:%3.%4")
            .arg(hours)
            .arg(minutes, 2, 10, QChar('0'))
            .arg(seconds, 2, 10, QChar('0'))
            .arg(ms, 3, 10, QChar('0'));
    return QString("%1:%2.%3")
        .arg(minutes)
        .arg(seconds, 2, 10, QChar('0'))
        .arg(ms, 3, 10, QChar('0'));
}

}  // namespace cli
