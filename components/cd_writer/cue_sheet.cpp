#include "components/cd_writer/cue_sheet.h"

#include <QList>
#include <QString>
#include <cstdio>

#include "media/cd_frames.h"

namespace cd_writer {

namespace {

// Letters outside ISO-8859-1 that no decomposition takes back to a letter inside it.
char32_t FoldWithoutDecomposition(char32_t c) {
    switch (c) {
        case 0x0110: return 'D';  // Đ
        case 0x0111: return 'd';  // đ
        case 0x0126: return 'H';  // Ħ
        case 0x0127: return 'h';  // ħ
        case 0x0131: return 'i';  // ı
        case 0x0141: return 'L';  // Ł
        case 0x0142: return 'l';  // ł
        case 0x0166: return 'T';  // Ŧ
        case 0x0167: return 't';  // ŧ
        case 0x0152: return 'O';  // Œ
        case 0x0153: return 'o';  // œ
        case 0x0180: return 'b';  // ƀ
        case 0x0197: return 'I';  // Ɨ
        case 0x01B5: return 'Z';  // Ƶ
        case 0x01B6: return 'z';  // ƶ
        case 0x2018: case 0x2019: case 0x201A: case 0x2032: return '\'';
        case 0x201C: case 0x201D: case 0x201E: case 0x2033: return '"';
        case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2212: return '-';
        case 0x2026: return '.';
        default: return 0;
    }
}

// The nearest ISO-8859-1 character of one outside it; 0 when there is none.
char32_t FoldToLatin1(char32_t c) {
    if (const char32_t direct = FoldWithoutDecomposition(c)) return direct;
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
    for (const char32_t part : decomposed.toUcs4()) {
        // The base letter comes first; the marks after it are dropped.
        if (part >= 0x20 && part < 0x100 && part != 0x7f) return part;
        if (const char32_t folded = FoldWithoutDecomposition(part)) return folded;
        break;
    }
    return 0;
}

}  // namespace

std::string Latin1Text(const std::string& utf8) {
    constexpr size_t kMaxCharacters = 80;
    const QList<uint> text =
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUcs4();
    std::string out;
    for (const uint code : text) {
        if (out.size() == kMaxCharacters) break;
        const auto c = static_cast<char32_t>(code);
        if (c < 0x20 || (c >= 0x7f && c < 0xa0))
            out += ' ';
        else if (c < 0x100)
            out += static_cast<char>(c);
        else if (const char32_t folded = FoldToLatin1(c))
            out += static_cast<char>(folded);
        else
            out += '?';
    }
    return out;
}

std::string CueText(const std::string& utf8) {
    std::string out = Latin1Text(utf8);
    for (char& c : out)
        if (c == '"') c = '\'';
    return out;
}

std::string TocText(const std::string& utf8) {
    std::string out;
    for (const char c : Latin1Text(utf8)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string Msf(int64_t sectors) { return media::CdFrames(sectors).MsfText(); }

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

std::string BuildTocFile(const std::string& binName, const std::vector<CueTrack>& tracks) {
    // cdrdao reads raw audio files as big-endian: SWAP takes the BIN's little-endian samples as
    // they are. Every text field is given for the disc and every track alike, as a recorder's
    // CD-Text check wants.
    std::string toc =
        "CD_DA\n\nCD_TEXT {\n  LANGUAGE_MAP {\n    0 : EN\n  }\n  LANGUAGE 0 {\n"
        "    TITLE \"\"\n    PERFORMER \"\"\n  }\n}\n";
    const std::string file = TocText(binName);
    int64_t start = 0;
    for (const CueTrack& track : tracks) {
        toc += "\nTRACK AUDIO\nCD_TEXT {\n  LANGUAGE 0 {\n";
        toc += "    TITLE \"" + TocText(track.text.title) + "\"\n";
        toc += "    PERFORMER \"" + TocText(track.text.performer) + "\"\n";
        toc += "  }\n}\n";
        // Offset in bytes, start and length in samples (1/44100 s).
        toc += "AUDIOFILE \"" + file + "\" SWAP #" + std::to_string(media::CdFrames(start).bytes()) +
               " 0 " + std::to_string(media::CdFrames(track.sectors).samples()) + "\n";
        start += track.sectors;
    }
    return toc;
}

std::string ImageBaseName(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char name[32];
    std::strftime(name, sizeof name, "disc-%Y%m%d-%H%M%S", &local);
    return name;
}

}  // namespace cd_writer
