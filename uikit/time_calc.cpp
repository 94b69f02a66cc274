#include "uikit/time_calc.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Leading-digits conversion of at most `count` characters starting at `from`: optional blanks and
// sign, then digits; 0 when there is no digit.
int DecimalValue(const std::string& text, size_t from, size_t count) {
    if (from >= text.size()) return 0;
    return std::atoi(text.substr(from, count).c_str());
}

}  // namespace

bool CTimeCalc::IsValid(std::string text) const {
    switch (text.size()) {
        case 4: return text[1] == ':';
        case 5: return text[2] == ':';
        case 8: return text[5] == ':';
        default: return false;
    }
}

int CTimeCalc::GetHours(std::string text) const {
    return text.size() == 8 ? DecimalValue(text, 0, 3) : 0;
}

int CTimeCalc::GetMinutes(std::string text) const {
    const size_t from = text.size() > 5 ? text.size() - 5 : 0;
    return DecimalValue(text, from, 2);
}

int CTimeCalc::GetSeconds(std::string text) const {
    const size_t from = text.size() > 2 ? text.size() - 2 : 0;
    return DecimalValue(text, from, 2);
}

long long CTimeCalc::TotalSeconds(const std::string& text) const {
    return GetHours(text) * 3600LL + GetMinutes(text) * 60LL + GetSeconds(text);
}

std::string CTimeCalc::Add(std::string first, std::string second) const {
    if (!IsValid(first) || !IsValid(second)) return kInvalidDuration;
    return FormatDuration(TotalSeconds(first) + TotalSeconds(second));
}

std::string CTimeCalc::Subtract(std::string first, std::string second) const {
    if (!IsValid(first) || !IsValid(second)) return kInvalidDuration;
    const long long a = TotalSeconds(first), b = TotalSeconds(second);
    if (a <= b) return "00:00";
    return FormatDuration(a - b);
}

std::string FormatDuration(long long seconds) {
    // A playing time is never negative; a negative total (only from texts such as "-9:00")
    // is shown as nothing played rather than as a text no caller could read back.
    if (seconds < 0) seconds = 0;
    char text[32];
    if (seconds < 3600) {
        std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600,
                      (seconds % 3600) / 60, seconds % 60);
    }
    return text;
}
