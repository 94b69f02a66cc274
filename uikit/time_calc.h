// Playing times held as text ("m:ss", "mm:ss", "hh:mm:ss"), and the arithmetic on such texts
// that the track lists and the disc capacity line do.
#pragma once

#include <string>

// Result of Add and Subtract when an argument is not a duration text.
inline constexpr const char* kInvalidDuration = "-1";

class CTimeCalc {
public:
    // True for a text of length 4 with ':' at index 1, of length 5 with ':' at index 2, or of
    // length 8 with ':' at index 5. Fields have no range limit ("99:99" is valid).
    bool IsValid(std::string text) const;
    // The hours of an eight-character text; 0 for any other length.
    int GetHours(std::string text) const;
    // The first two characters of the last five (of the whole text when it is shorter).
    int GetMinutes(std::string text) const;
    // The last two characters.
    int GetSeconds(std::string text) const;

    // first + second as a duration text, or "-1" when either is invalid.
    std::string Add(std::string first, std::string second) const;
    // first - second, "00:00" when that is not positive, or "-1" when either is invalid.
    std::string Subtract(std::string first, std::string second) const;

private:
    long long TotalSeconds(const std::string& text) const;
};

// Whole seconds as "mm:ss" below one hour, else "hh:mm:ss" (fields zero-padded to two digits).
std::string FormatDuration(long long seconds);
