#include "uikit/track_rules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/paths.h"
#include "platform/text.h"
#include "uikit/time_calc.h"

namespace {

constexpr std::streamoff kId3v1Size = 128;
constexpr size_t kId3v1TitleOffset = 3;
constexpr size_t kId3v1TitleSize = 30;
constexpr std::string_view kM3uHeader = "#EXTM3U";
constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string Trimmed(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

// Tag texts are bytes of some single-byte code page; the lists hold UTF-8.
std::string TagTextToUtf8(std::string_view bytes) { return platform::ShownUtf8(bytes); }

// Strips one line end: LF, and a CR before it (a text-mode read of CR LF).
void StripLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

std::optional<std::string> ReadId3v1Title(const std::string& path) {
    if (!platform::IsRegularFile(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < kId3v1Size) return std::nullopt;
    in.seekg(size - kId3v1Size);
    std::array<char, kId3v1Size> tag{};
    if (!in.read(tag.data(), kId3v1Size)) return std::nullopt;
    if (std::string_view(tag.data(), 3) != "TAG") return std::nullopt;
    std::string_view title(tag.data() + kId3v1TitleOffset, kId3v1TitleSize);
    title = title.substr(0, title.find('\0'));
    std::string trimmed = Trimmed(title);
    if (trimmed.empty()) return std::nullopt;
    return TagTextToUtf8(trimmed);
}

std::string TitleFromPath(std::string_view path) {
    std::string name = platform::AfterLastSeparator(path);
    if (platform::LowerTail(name, 4) == ".mp3") name.resize(name.size() - 4);
    return name;
}

std::string FindTrackTitle(const std::string& path) {
    if (auto title = ReadId3v1Title(path)) return *title;
    return TitleFromPath(path);
}

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
