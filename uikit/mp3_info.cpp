#include "uikit/mp3_info.h"

#include <memory>
#include <vector>

std::optional<int> DescribeMp3File(const std::string& path, bool requireKind2) {
    CPlay play;
    auto info = std::make_unique<MPEGINFOS>();
    info->filled = kInfoNotFilled;
    // GetInfo takes a writable string.
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    if (!play.GetInfo(buffer.data(), info.get())) return std::nullopt;
    if (info->filled == kInfoNotFilled) return std::nullopt;
    const char* letters = info->mpeg;
    if (letters[0] != 'M' && letters[1] != 'P' && letters[2] != 'E' && letters[3] != 'G')
        return std::nullopt;
    if (requireKind2 && info->kind != kStreamKindLayer3) return std::nullopt;
    return info->seconds;
}
