#include "components/cd_access/disc_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "components/cd_access/a1.h"
#include "media/disc_images.h"

namespace cd_access {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kMaxFrames = media::CdFrames::FromMsf(100, 0, 0).count();  // beyond any disc

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits `text` into words and quoted strings; an unbalanced quote runs to the end of the line.
// With `slashComments` a "//" outside quotes starts a comment up to the end of the line.
std::vector<std::vector<Token>> TokenLines(const std::string& text, bool slashComments) {
    std::vector<std::vector<Token>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<Token> tokens;
        size_t i = 0;
        while (i < line.size()) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            if (std::isspace(c) || c == 0) {
                ++i;
            } else if (slashComments && line.compare(i, 2, "//") == 0) {
                break;
            } else if (c == '"') {
                const size_t end = line.find('"', i + 1);
                const size_t stop = end == std::string::npos ? line.size() : end;
                tokens.push_back({line.substr(i + 1, stop - i - 1), true});
                i = stop + 1;
            } else if (slashComments && (c == '{' || c == '}')) {
                tokens.push_back({std::string(1, static_cast<char>(c)), false});
                ++i;
            } else {
                size_t end = i;
                while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])) &&
                       line[end] != '"' &&
                       !(slashComments && (line[end] == '{' || line[end] == '}')) &&
                       !(slashComments && line.compare(end, 2, "//") == 0))
                    ++end;
                tokens.push_back({line.substr(i, end - i), false});
                i = end;
            }
        }
        lines.push_back(std::move(tokens));
    }
    return lines;
}

// "mm:ss:ff" in frames; -1 when it is not such a time.
int32_t Msf(const std::string& text) {
    int m = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%3d:%2d:%2d%c", &m, &s, &f, &tail) != 3) return -1;
    if (m < 0 || s < 0 || s > 59 || f < 0 || f > 74) return -1;
    return static_cast<int32_t>(media::CdFrames::FromMsf(m, s, f).count());
}

// A cdrdao length: "mm:ss:ff", or a number of samples (588 a frame); -1 when neither.
int32_t TocLength(const std::string& text) {
    if (text.find(':') != std::string::npos) return Msf(text);
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), IsDigit))
        return -1;
    const long long samples = std::stoll(text);
    if (samples % media::kCdSamplesPerFrame != 0 || samples / media::kCdSamplesPerFrame > kMaxFrames)
        return -1;
    return static_cast<int32_t>(samples / media::kCdSamplesPerFrame);
}

uint64_t SizeOf(const std::string& path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<uint64_t>(size);
}

// The track list and lead-out of a layout make sense: numbers 1..99 counting up by one, starts
// that increase within the disc.
bool CheckTracks(const ImageLayout& layout, std::string& problem) {
    if (layout.tracks.empty()) {
        problem = "it holds no track";
        return false;
    }
    for (size_t i = 0; i < layout.tracks.size(); ++i) {
        const ImageTrack& t = layout.tracks[i];
        if (t.number < 1 || t.number > 99 ||
            (i > 0 && t.number != layout.tracks[i - 1].number + 1)) {
            problem = "its track numbers do not count up from one to the next";
            return false;
        }
        const int32_t next =
            i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadOut;
        if (t.start < 0 || next <= t.start) {
            char text[64];
            std::snprintf(text, sizeof text, "its track %02d holds no frames", t.number);
            problem = text;
            return false;
        }
    }
    if (layout.leadOut > kMaxFrames) {
        problem = "it is longer than any disc";
        return false;
    }
    return true;
}

void AddPiece(ImageLayout& layout, ImagePiece piece) {
    if (piece.frames <= 0) return;
    layout.leadOut += piece.frames;
    layout.pieces.push_back(std::move(piece));
}

// Sector size and data flag of a CUE track type; 0 for an unknown type.
int CueSectorBytes(const std::string& type, bool& data) {
    data = type != "AUDIO";
    if (type == "AUDIO" || type == "MODE1/2352" || type == "MODE2/2352") return 2352;
    if (type == "MODE1/2048") return 2048;
    if (type == "MODE2/2336") return 2336;
    if (type == "CDG") return 2448;
    return 0;
}

// Sector size and data flag of a cdrdao track mode; 0 for an unknown mode.
int TocSectorBytes(const std::string& mode, bool& data) {
    data = mode != "AUDIO";
    if (mode == "AUDIO" || mode == "MODE1_RAW" || mode == "MODE2_RAW") return 2352;
    if (mode == "MODE1" || mode == "MODE2_FORM1") return 2048;
    if (mode == "MODE2" || mode == "MODE2_FORM_MIX") return 2336;
    if (mode == "MODE2_FORM2") return 2324;
    return 0;
}

uint64_t BigEndian(const uint8_t* at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | at[i];
    return value;
}

class ImageReader : public FrameReader {
  public:
    ImageReader(const ImageLayout& layout, FrameRanges unreadable)
        : pieces_(layout.pieces), unreadable_(std::move(unreadable)) {
        int32_t at = 0;
        for (const ImagePiece& p : pieces_) {
            starts_.push_back(at);
            at += p.frames;
        }
    }
    ~ImageReader() override {
        for (auto& [path, file] : files_)
            if (file) std::fclose(file);
    }
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    bool Read(int32_t first, int32_t count, uint8_t* out, ReadFailure& failure) override {
        const int32_t last = first + count - 1;
        for (const auto& [from, to] : unreadable_) {
            if (from <= last && to >= first) {
                failure = {A1_STATUS_ERROR, kErrorMedium};
                return false;
            }
        }
        for (int32_t frame = first; frame <= last; ++frame) {
            uint8_t* sector = out + static_cast<size_t>(frame - first) * kCdFrameBytes;
            if (!ReadFrame(frame, sector)) {
                failure = {A1_STATUS_ERROR, kErrorMedium};
                return false;
            }
        }
        return true;
    }

  private:
    bool ReadFrame(int32_t frame, uint8_t* sector) {
        const auto after = std::upper_bound(starts_.begin(), starts_.end(), frame);
        if (after == starts_.begin()) return false;
        const size_t index = static_cast<size_t>(after - starts_.begin()) - 1;
        const ImagePiece& piece = pieces_[index];
        const int32_t within = frame - starts_[index];
        if (within >= piece.frames) return false;
        std::memset(sector, 0, kCdFrameBytes);
        if (piece.file.empty()) return true;
        std::FILE*& file = files_[piece.file];
        if (!file) file = std::fopen(piece.file.c_str(), "rb");
        if (!file) return false;
        const size_t bytes = static_cast<size_t>(std::min(piece.sectorBytes, kCdFrameBytes));
        const uint64_t at = piece.offset + uint64_t(within) * uint64_t(piece.sectorBytes);
        if (fseeko(file, static_cast<off_t>(at), SEEK_SET) != 0 ||
            std::fread(sector, 1, bytes, file) != bytes)
            return false;
        if (piece.bigEndian) {
            for (size_t i = 0; i + 1 < bytes; i += 2) std::swap(sector[i], sector[i + 1]);
        }
        return true;
    }

    std::vector<ImagePiece> pieces_;
    std::vector<int32_t> starts_;
    FrameRanges unreadable_;
    std::map<std::string, std::FILE*> files_;
};

}  // namespace

std::string FindImageFile(const std::string& folder, const std::string& name) {
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (relative.empty()) return "";
    std::error_code ec;
    const fs::path exact = relative[0] == '/' ? fs::path(relative) : fs::path(folder) / relative;
    if (fs::is_regular_file(exact, ec)) return exact.string();
    // A sheet made elsewhere may name its file in another letter case or with a foreign folder.
    const std::string wanted = disc_images::LowerAscii(fs::path(relative).filename().string());
    std::vector<std::string> matches;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (disc_images::LowerAscii(it->path().filename().string()) == wanted &&
            it->is_regular_file(typeError))
            matches.push_back(it->path().string());
    }
    if (matches.empty()) return "";
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

bool ParseCueSheet(const std::string& text, const std::string& folder, ImageLayout& layout,
                   std::string& problem) {
    layout = ImageLayout{};
    struct CueFile {
        std::string path;
        bool bigEndian = false;
    };
    struct CueTrack {
        ImageTrack track;
        size_t file = 0;
        int sectorBytes = kCdFrameBytes;
        int32_t index0 = -1, index1 = -1;  // frames within the file
        int32_t pregap = 0, postgap = 0;   // silence
    };
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    int lineNumber = 0;
    for (const std::vector<Token>& line : TokenLines(text, false)) {
        ++lineNumber;
        if (line.empty()) continue;
        const std::string keyword = Upper(line[0].text);
        auto arg = [&](size_t i) { return i < line.size() ? line[i].text : std::string(); };
        auto bad = [&](const char* what) {
            problem = "line " + std::to_string(lineNumber) + " " + what;
            return false;
        };
        if (keyword == "FILE") {
            const std::string name = arg(1);
            const std::string type = Upper(arg(2));
            if (name.empty()) return bad("names no file");
            if (type != "BINARY" && type != "MOTOROLA") {
                problem = "the file " + name + " it names is of type " +
                          (type.empty() ? std::string("(none)") : type) +
                          ", not BINARY or MOTOROLA";
                return false;
            }
            const std::string path = FindImageFile(folder, name);
            if (path.empty()) {
                problem = "the file " + name + " it names is missing";
                return false;
            }
            files.push_back({path, type == "MOTOROLA"});
        } else if (keyword == "TRACK") {
            if (files.empty()) return bad("has a TRACK before any FILE");
            CueTrack t;
            const std::string number = arg(1);
            if (number.empty() || number.size() > 2 ||
                !std::all_of(number.begin(), number.end(), IsDigit))
                return bad("has no track number");
            t.track.number = std::stoi(number);
            t.sectorBytes = CueSectorBytes(Upper(arg(2)), t.track.data);
            if (t.sectorBytes == 0) return bad("has a track type that is not read");
            t.file = files.size() - 1;
            tracks.push_back(t);
        } else if (keyword == "INDEX" || keyword == "PREGAP" || keyword == "POSTGAP") {
            if (tracks.empty()) return bad("has a time before any TRACK");
            CueTrack& t = tracks.back();
            const int32_t time = Msf(arg(keyword == "INDEX" ? 2 : 1));
            if (time < 0) return bad("has a time that is not mm:ss:ff");
            if (keyword == "PREGAP") {
                t.pregap = time;
            } else if (keyword == "POSTGAP") {
                t.postgap = time;
            } else if (arg(1) == "00" || arg(1) == "0") {
                t.index0 = time;
            } else if (arg(1) == "01" || arg(1) == "1") {
                t.index1 = time;
            }
        } else if (keyword == "TITLE" || keyword == "PERFORMER") {
            std::string& field = tracks.empty()
                                     ? (keyword == "TITLE" ? layout.title : layout.performer)
                                     : (keyword == "TITLE" ? tracks.back().track.title
                                                           : tracks.back().track.performer);
            field = arg(1);
        } else if (keyword == "FLAGS" && !tracks.empty()) {
            for (size_t i = 1; i < line.size(); ++i) {
                const std::string flag = Upper(line[i].text);
                if (flag == "PRE") tracks.back().track.preemphasis = true;
                if (flag == "DCP") tracks.back().track.copyPermitted = true;
            }
        }
    }
    if (files.empty()) {
        problem = "it names no file";
        return false;
    }
    if (tracks.empty()) {
        problem = "it holds no track";
        return false;
    }
    // Byte offsets within each file: a track's stretch begins at its first index and ends where
    // the next track of the same file begins, or at the end of the file.
    std::vector<uint64_t> begin(tracks.size(), 0);
    for (size_t i = 0; i < tracks.size(); ++i) {
        CueTrack& t = tracks[i];
        char number[8];
        std::snprintf(number, sizeof number, "%02d", t.track.number);
        if (t.index1 < 0) {
            problem = std::string("its track ") + number + " has no INDEX 01";
            return false;
        }
        if (t.index0 > t.index1) {
            problem = std::string("its track ") + number + " has INDEX 00 after INDEX 01";
            return false;
        }
        const int32_t firstIndex = t.index0 >= 0 ? t.index0 : t.index1;
        if (i > 0 && tracks[i - 1].file == t.file) {
            const CueTrack& p = tracks[i - 1];
            const int32_t previousFirst = p.index0 >= 0 ? p.index0 : p.index1;
            if (firstIndex <= p.index1) {
                problem =
                    std::string("its track ") + number + " does not start after the one before";
                return false;
            }
            begin[i] =
                begin[i - 1] + uint64_t(firstIndex - previousFirst) * uint64_t(p.sectorBytes);
        } else {
            begin[i] = uint64_t(firstIndex) * uint64_t(t.sectorBytes);
        }
    }
    for (size_t i = 0; i < tracks.size(); ++i) {
        CueTrack& t = tracks[i];
        const CueFile& file = files[t.file];
        const uint64_t size = SizeOf(file.path);
        const uint64_t end =
            i + 1 < tracks.size() && tracks[i + 1].file == t.file ? begin[i + 1] : size;
        if (end > size || begin[i] > end) {
            problem = "the file " + fs::path(file.path).filename().string() +
                      " it names is shorter than its tracks";
            return false;
        }
        const uint64_t frames = (end - begin[i]) / uint64_t(t.sectorBytes);
        const int32_t gap = t.index0 >= 0 ? t.index1 - t.index0 : 0;
        if (frames > uint64_t(kMaxFrames)) {
            problem = "it is longer than any disc";
            return false;
        }
        AddPiece(layout, {t.pregap, "", 0, kCdFrameBytes, false});
        AddPiece(layout, {std::min<int32_t>(gap, static_cast<int32_t>(frames)), file.path, begin[i],
                          t.sectorBytes, file.bigEndian && !t.track.data});
        t.track.start = layout.leadOut;
        AddPiece(layout, {static_cast<int32_t>(frames) - gap, file.path,
                          begin[i] + uint64_t(gap) * uint64_t(t.sectorBytes), t.sectorBytes,
                          file.bigEndian && !t.track.data});
        AddPiece(layout, {t.postgap, "", 0, kCdFrameBytes, false});
        layout.tracks.push_back(t.track);
        if (layout.leadOut > kMaxFrames) break;
    }
    return CheckTracks(layout, problem);
}

bool ParseTocFile(const std::string& text, const std::string& folder, ImageLayout& layout,
                  std::string& problem) {
    layout = ImageLayout{};
    std::vector<Token> tokens;
    for (std::vector<Token>& line : TokenLines(text, true))
        for (Token& t : line) tokens.push_back(std::move(t));

    struct TocTrackPlan {
        ImageTrack track;
        int sectorBytes = kCdFrameBytes;
        std::vector<ImagePiece> pieces;
        int32_t startAt = 0;  // frames of the track before its START (its pregap)
    };
    std::vector<TocTrackPlan> tracks;
    std::map<std::string, uint64_t> cursor;  // where the next DATAFILE of a file goes on
    size_t i = 0;
    auto word = [&](size_t at) { return at < tokens.size() ? tokens[at].text : std::string(); };
    auto length = [](const std::vector<ImagePiece>& pieces) {
        int32_t total = 0;
        for (const ImagePiece& p : pieces) total += p.frames;
        return total;
    };
    auto fail = [&](const std::string& why) {
        problem = why;
        return false;
    };
    while (i < tokens.size()) {
        const Token& token = tokens[i];
        const std::string keyword = token.quoted ? std::string() : Upper(token.text);
        if (keyword == "CD_TEXT") {
            // CD_TEXT { LANGUAGE_MAP { ... } LANGUAGE 0 { TITLE "..." PERFORMER "..." } }: the
            // texts of the first language block.
            size_t at = i + 1;
            if (word(at) != "{") return fail("its CD_TEXT block has no {");
            int depth = 0;
            int languageBlocks = 0;
            bool inLanguage = false;
            int languageDepth = 0;
            for (; at < tokens.size(); ++at) {
                const std::string w = tokens[at].quoted ? std::string() : Upper(tokens[at].text);
                if (w == "{") {
                    ++depth;
                } else if (w == "}") {
                    if (inLanguage && depth == languageDepth) inLanguage = false;
                    if (--depth == 0) break;
                } else if (w == "LANGUAGE") {
                    ++languageBlocks;
                    inLanguage = languageBlocks == 1;
                    languageDepth = depth + 1;
                } else if (inLanguage && (w == "TITLE" || w == "PERFORMER") &&
                           at + 1 < tokens.size() && tokens[at + 1].quoted) {
                    std::string& field = tracks.empty()
                                             ? (w == "TITLE" ? layout.title : layout.performer)
                                             : (w == "TITLE" ? tracks.back().track.title
                                                             : tracks.back().track.performer);
                    field = tokens[++at].text;
                }
            }
            if (depth != 0) return fail("its CD_TEXT block is not closed");
            i = at + 1;
            continue;
        }
        if (keyword == "TRACK") {
            TocTrackPlan t;
            t.sectorBytes = TocSectorBytes(Upper(word(i + 1)), t.track.data);
            if (t.sectorBytes == 0) return fail("its track mode " + word(i + 1) + " is not read");
            const std::string sub = Upper(word(i + 2));
            if (sub == "RW" || sub == "RW_RAW") return fail("its sub-channel data is not read");
            t.track.number = static_cast<int>(tracks.size()) + 1;
            tracks.push_back(std::move(t));
            i += 2;
            continue;
        }
        if (tracks.empty()) {
            ++i;  // CD_DA, CD_ROM, CATALOG and their like
            continue;
        }
        TocTrackPlan& t = tracks.back();
        if (keyword == "COPY" || keyword == "PRE_EMPHASIS") {
            const bool no = i > 0 && Upper(tokens[i - 1].text) == "NO";
            (keyword == "COPY" ? t.track.copyPermitted : t.track.preemphasis) = !no;
            ++i;
        } else if (keyword == "FILE" || keyword == "AUDIOFILE" || keyword == "DATAFILE") {
            const bool datafile = keyword == "DATAFILE";
            const std::string name = word(i + 1);
            if (i + 1 >= tokens.size() || !tokens[i + 1].quoted)
                return fail("its " + keyword + " statement names no file");
            if (disc_images::LowerAscii(fs::path(name).extension().string()) == ".wav")
                return fail("the file " + name + " it names is a WAVE file, which is not read");
            const std::string path = FindImageFile(folder, name);
            if (path.empty()) return fail("the file " + name + " it names is missing");
            i += 2;
            bool swap = false;
            bool haveOffset = false;
            uint64_t offset = 0;
            std::vector<int32_t> times;
            // Arguments: SWAP, #byte-offset, then start and length (FILE) or length (DATAFILE).
            while (i < tokens.size() && !tokens[i].quoted) {
                const std::string w = tokens[i].text;
                if (Upper(w) == "SWAP") {
                    swap = true;
                } else if (!w.empty() && w[0] == '#') {
                    const std::string digits = w.substr(1);
                    if (digits.empty() || digits.size() > 15 ||
                        !std::all_of(digits.begin(), digits.end(), IsDigit))
                        return fail("its byte offset " + w + " is not a number");
                    offset = std::stoull(digits);
                    haveOffset = true;
                } else if (TocLength(w) >= 0) {
                    times.push_back(TocLength(w));
                } else {
                    break;
                }
                ++i;
            }
            const uint64_t size = SizeOf(path);
            const int bytes = datafile ? t.sectorBytes : kCdFrameBytes;
            uint64_t from = offset;
            if (datafile) {
                if (!haveOffset) from = cursor[path];
            } else if (!times.empty()) {
                from += uint64_t(times[0]) * kCdFrameBytes;
            }
            const size_t lengthAt = datafile ? 0 : 1;
            if (from > size)
                return fail("the file " + name + " it names is shorter than its tracks");
            uint64_t frames = (size - from) / uint64_t(bytes);
            if (times.size() > lengthAt) {
                if (uint64_t(times[lengthAt]) > frames)
                    return fail("the file " + name + " it names is shorter than its tracks");
                frames = uint64_t(times[lengthAt]);
            }
            if (frames > uint64_t(kMaxFrames)) return fail("it is longer than any disc");
            // Raw samples of FILE/AUDIOFILE are big-endian unless SWAP; DATAFILE holds them as
            // they are on the disc.
            const bool bigEndian = !t.track.data && !datafile && !swap;
            t.pieces.push_back({static_cast<int32_t>(frames), path, from, bytes, bigEndian});
            cursor[path] = from + frames * uint64_t(bytes);
        } else if (keyword == "SILENCE" || keyword == "ZERO" || keyword == "PREGAP") {
            size_t at = i + 1;
            if (keyword == "ZERO" && TocLength(word(at)) < 0) ++at;  // ZERO <mode> <length>
            const int32_t frames = TocLength(word(at));
            if (frames < 0) return fail("its " + keyword + " length is not understood");
            if (keyword == "PREGAP") {
                if (!t.pieces.empty()) return fail("its PREGAP comes after the track's data");
                t.startAt = frames;
            }
            t.pieces.push_back({frames, "", 0, kCdFrameBytes, false});
            i = at + 1;
        } else if (keyword == "START") {
            const int32_t at = TocLength(word(i + 1));
            t.startAt = at >= 0 ? at : length(t.pieces);
            i += at >= 0 ? 2 : 1;
        } else {
            ++i;  // ISRC, INDEX, NO, TWO_CHANNEL_AUDIO and their like
        }
    }
    for (TocTrackPlan& t : tracks) {
        const int32_t total = length(t.pieces);
        if (t.startAt >= total) {
            char text[80];
            std::snprintf(text, sizeof text, "its track %02d holds no frames after its START",
                          t.track.number);
            return fail(text);
        }
        t.track.start = layout.leadOut + t.startAt;
        for (ImagePiece& p : t.pieces) AddPiece(layout, std::move(p));
        layout.tracks.push_back(t.track);
        if (layout.leadOut > kMaxFrames) break;
    }
    return CheckTracks(layout, problem);
}

bool ReadNrgImage(const std::string& path, ImageLayout& layout, std::string& problem) {
    layout = ImageLayout{};
    std::ifstream in(path, std::ios::binary);
    const uint64_t size = SizeOf(path);
    auto fail = [&](const char* why) {
        problem = why;
        return false;
    };
    if (!in || size < 12) return fail("it is too short for an NRG image");
    uint8_t tail[12];
    in.seekg(static_cast<std::streamoff>(size - 12));
    in.read(reinterpret_cast<char*>(tail), 12);
    uint64_t chunks = 0;
    int offsetBytes = 0;
    if (std::memcmp(tail, "NER5", 4) == 0) {
        chunks = BigEndian(tail + 4, 8);
        offsetBytes = 8;
    } else if (std::memcmp(tail + 4, "NERO", 4) == 0) {
        chunks = BigEndian(tail + 8, 4);
        offsetBytes = 4;
    } else {
        return fail("it has no NRG footer");
    }
    if (chunks >= size) return fail("its NRG footer points outside the file");
    in.seekg(static_cast<std::streamoff>(chunks));
    std::vector<uint8_t> dao;
    bool ended = false;
    while (!ended) {
        uint8_t head[8];
        if (!in.read(reinterpret_cast<char*>(head), 8)) break;
        const uint64_t length = BigEndian(head + 4, 4);
        if (length > size) return fail("its NRG chunks are damaged");
        const std::string id(reinterpret_cast<char*>(head), 4);
        std::vector<uint8_t> body(static_cast<size_t>(length));
        if (!in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(length)))
            return fail("its NRG chunks are damaged");
        if (id == (offsetBytes == 8 ? "DAOX" : "DAOI") && dao.empty()) dao = std::move(body);
        ended = id == "END!";
    }
    // DAO chunk: 22 bytes (size, catalog number, type, first and last track), then per track
    // 12 bytes ISRC, 2 sector size, 4 mode, and the offsets of index 0, index 1 and the end.
    constexpr size_t kHeader = 22;
    const size_t entry = 18 + 3 * static_cast<size_t>(offsetBytes);
    if (dao.size() < kHeader + entry) return fail("it has no track list (DAO chunk)");
    const int first = dao[20];
    const size_t count = (dao.size() - kHeader) / entry;
    if (first < 1 || count != static_cast<size_t>(dao[21] - first + 1))
        return fail("its track list (DAO chunk) is damaged");
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* e = dao.data() + kHeader + k * entry;
        const int sectorBytes = static_cast<int>(BigEndian(e + 12, 2));
        const int mode = e[14];
        const uint64_t index0 = BigEndian(e + 18, offsetBytes);
        const uint64_t index1 = BigEndian(e + 18 + offsetBytes, offsetBytes);
        const uint64_t end = BigEndian(e + 18 + 2 * offsetBytes, offsetBytes);
        if (sectorBytes < 2048 || sectorBytes > 2448 || index0 > index1 || index1 >= end ||
            end > chunks)
            return fail("its track list (DAO chunk) is damaged");
        ImageTrack track;
        track.number = first + static_cast<int>(k);
        track.data = mode != 7;  // mode 7: audio
        const auto frames = [&](uint64_t bytes) {
            return static_cast<int32_t>(
                std::min<uint64_t>(bytes / uint64_t(sectorBytes), uint64_t(kMaxFrames)));
        };
        AddPiece(layout, {frames(index1 - index0), path, index0, sectorBytes, false});
        track.start = layout.leadOut;
        AddPiece(layout, {frames(end - index1), path, index1, sectorBytes, false});
        layout.tracks.push_back(track);
        if (layout.leadOut > kMaxFrames) break;
    }
    return CheckTracks(layout, problem);
}

bool ReadImageLayout(const std::string& path, ImageLayout& layout, std::string& problem) {
    const disc_images::Kind kind = disc_images::KindOf(path);
    if (kind == disc_images::Kind::Nrg) return ReadNrgImage(path, layout, problem);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        // An empty file reads as nothing at all.
        if (!in || SizeOf(path) != 0) {
            problem = "it cannot be read";
            return false;
        }
    }
    std::string folder = fs::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    if (kind == disc_images::Kind::Toc) return ParseTocFile(text.str(), folder, layout, problem);
    return ParseCueSheet(text.str(), folder, layout, problem);
}

std::unique_ptr<FrameReader> MakeImageReader(const ImageLayout& layout, FrameRanges unreadable) {
    return std::make_unique<ImageReader>(layout, std::move(unreadable));
}

}  // namespace cd_access
