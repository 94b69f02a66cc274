#include "uikit/track_rules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/paths.h"
#include "uikit/time_calc.h"

namespace {

constexpr std::string_view kM3uHeader = "#EXTM3U";
constexpr std::string_view kCrLf = "\r\n";

// Strips one line end: LF, and a CR before it (a text-mode read of CR LF).
void StripLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

std::string FormatTrackNumber(int position) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", position);
    return text;
}

long long DurationTextSeconds(const std::string& text) {
    const CTimeCalc calc;
    return calc.GetHours(text) * 3600LL + calc.GetMinutes(text) * 60LL + calc.GetSeconds(text);
}

std::string BuildM3uText(const std::vector<TrackEntry>& tracks) {
    std::string text(kM3uHeader);
    text += kCrLf;
    for (const TrackEntry& track : tracks) {
        // A title (from a tag) may hold line ends; written as they are they would add a line
        // that a reader takes for a path. The title is only informative, so they become blanks.
        std::string title = track.title;
        std::replace_if(
            title.begin(), title.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        text += "#EXTINF:" + std::to_string(DurationTextSeconds(track.time)) + "," + title + ".mp3";
        text += kCrLf;
        text += track.path;
        text += kCrLf;
    }
    return text;
}

M3uContents ReadM3uFile(const std::string& path) {
    M3uContents contents;
    if (!platform::IsRegularFile(path)) return contents;
    std::ifstream in(path, std::ios::binary);
    if (!in) return contents;

    // The header line is at most "#EXTM3U\r\n"; read one byte more than that to tell it apart from
    // a longer first line without reading the whole of a large file.
    std::string head;
    for (char c; head.size() <= kM3uHeader.size() + 1 && in.get(c);) {
        head += c;
        if (c == '\n') break;
    }
    if (in.bad()) return contents;
    if (head.empty()) {
        contents.status = M3uReadStatus::Empty;
        return contents;
    }
    const bool headerEnded = !head.empty() && head.back() == '\n';
    if (headerEnded) head.pop_back();
    StripLineEnd(head);
    if (head != kM3uHeader || (!headerEnded && !in.eof())) {
        contents.status = M3uReadStatus::NotM3u;
        return contents;
    }

    for (std::string line; std::getline(in, line);) {
        StripLineEnd(line);
        contents.lines.push_back(std::move(line));
    }
    if (in.bad()) return {};
    contents.status = M3uReadStatus::Ok;
    return contents;
}

bool IsExtInfLine(std::string_view line) {
    if (line.size() < 7) return false;
    std::string upper(line.substr(0, 7));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == "#EXTINF";
}
