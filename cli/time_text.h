// Times on the command line: "1:23.5" (minutes and seconds), "1:02:03" (hours too) or plain
// seconds ("83.5"), and the same form for lengths that commands print.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace cli {

// Milliseconds of a time text, rounded to the nearest; nullopt for anything else (negative
// values, a field of minutes or seconds from 60 on after a colon, letters, an empty text).
std::optional<int64_t> ParseTimeText(const QString& text);

// "m:ss.mmm", or "h:mm:ss.mmm" from one hour on.
QString FormatTimeText(int64_t milliseconds);

}  // namespace cli
