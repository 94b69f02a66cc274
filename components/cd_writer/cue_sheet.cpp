#include "components/cd_writer/cue_sheet.h"

#include <QString>
#include <cstdio>

namespace cd_writer {

std::string CueText(const std::string& utf8) {
    constexpr qsizetype kMaxCharacters = 80;
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    if (text.size() > kMaxCharacters) text.truncate(kMaxCharacters);
    std::string out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"')
            out += '\'';
        else if (u < 0x20 || u == 0x7f)
            out += ' ';
        else if (u < 0x100)
            out += static_cast<char>(u);
        else
            out += '?';
    }
    return out;
}

std::string Msf(int64_t sectors) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                  static_cast<long long>(sectors / (75 * 60)),
                  static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
    return text;
}

std::string BuildCueSheet(const std::string& binName, const std::vector<CueTrack>& tracks) {
    std::string cue = "FILE \"" + CueText(binName) + "\" BINARY\n";
    int64_t start = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n", i + 1);
        cue += line;
        cue += "    TITLE \"" + CueText(tracks[i].text.title) + "\"\n";
        if (!tracks[i].text.performer.empty())
            cue += "    PERFORMER \"" + CueText(tracks[i].text.performer) + "\"\n";
        cue += "    INDEX 01 " + Msf(start) + "\n";
        start += tracks[i].sectors;
    }
    return cue;
}

std::string ImageBaseName(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char name[32];
    std::strftime(name, sizeof name, "disc-%Y%m%d-%H%M%S", &local);
    return name;
}

}  // namespace cd_writer
