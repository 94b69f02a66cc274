#include "burner/project_files.h"

#include <fstream>
#include <iterator>

#include "platform/paths.h"
#include "platform/text.h"
#include "uikit/track_rules.h"

namespace burner {
namespace {

constexpr size_t kMinDropLength = 5;
constexpr size_t kMaxDropLength = 260;

void AppendLine(std::string& text, std::string_view line) {
    for (char c : line) text += (c == '\r' || c == '\n') ? ' ' : c;
    text += "\r\n";
}

// The extension of the file name (not of a folder above it), without the dot.
std::string_view ExtensionOf(std::string_view path) {
    const size_t slash = path.find_last_of(platform::kSeparator);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

}  // namespace

std::string BuildTitleListText(const std::vector<TitledPath>& entries) {
    std::string text;
    for (const TitledPath& entry : entries) {
        AppendLine(text, entry.title);
        AppendLine(text, entry.path);
    }
    return text;
}

std::vector<TitledPath> ParseTitleList(std::string_view text) {
    size_t pos = 0;
    auto readLine = [&]() {
        if (pos >= text.size()) return std::string();
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    };
    std::vector<TitledPath> entries;
    while (pos < text.size()) {
        std::string title = readLine();
        std::string path = readLine();
        entries.push_back({std::move(title), std::move(path)});
    }
    return entries;
}

std::optional<std::vector<TitledPath>> ReadTitleListFile(const std::string& path) {
    if (platform::IsDirectory(path) || !platform::IsRegularFile(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return ParseTitleList(text);
}

ProjectFormat ProjectFormatOf(std::string_view path) {
    const std::string_view ext = ExtensionOf(path);
    if (platform::EqualsNoCase(ext, "m3u")) return ProjectFormat::M3u;
    if (platform::EqualsNoCase(ext, "vxl")) return ProjectFormat::TitleList;
    return ProjectFormat::None;
}

ProjectContents ReadProjectFile(const std::string& path) {
    ProjectContents contents;
    const ProjectFormat format = ProjectFormatOf(path);
    if (format == ProjectFormat::None) {
        contents.status = ProjectReadStatus::UnknownFormat;
        return contents;
    }
    if (format == ProjectFormat::M3u) {
        // Devices and pipes are no project files; reading them could wait for ever.
        if (platform::IsDirectory(path) || !platform::IsRegularFile(path)) return contents;
        const M3uContents playlist = ReadM3uFile(path);
        if (playlist.status == M3uReadStatus::CannotOpen) return contents;
        if (playlist.status == M3uReadStatus::NotM3u) {
            contents.status = ProjectReadStatus::NotM3u;
            return contents;
        }
        for (const std::string& line : playlist.lines)
            if (!IsExtInfLine(line) && !line.empty()) contents.entries.push_back({{}, line});
    } else {
        std::optional<std::vector<TitledPath>> entries = ReadTitleListFile(path);
        if (!entries) return contents;
        contents.entries = std::move(*entries);
    }
    contents.status = ProjectReadStatus::Ok;
    return contents;
}

DropAction ClassifyDrop(std::string_view path) {
    if (path.size() < kMinDropLength || path.size() >= kMaxDropLength) return DropAction::Skip;
    const std::string tail = platform::LowerTail(path, 4);
    if (tail == ".mp3") return DropAction::AddMp3;
    if (tail == ".m3u") return DropAction::LoadM3u;
    return DropAction::Skip;
}

}  // namespace burner
