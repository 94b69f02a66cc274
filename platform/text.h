// Small text rules shared by the programs: the comparisons of stored names and extensions are
// ASCII case-insensitive; bytes that are not UTF-8 are shown as Latin-1.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string ToLowerAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Bytes of a name or title as UTF-8 text to show: valid UTF-8 as it is, anything else read as
// Latin-1 (a single-byte code page), so no byte turns into a replacement character.
std::string ShownUtf8(std::string_view bytes);

}  // namespace platform
