// Small text rules shared by the programs: the comparisons of stored names and extensions are
// ASCII case-insensitive.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string ToLowerAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace platform
