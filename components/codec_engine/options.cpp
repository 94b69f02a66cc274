#include "components/codec_engine/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace vxmpp {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Numbers are read the same in every locale: the studio runs with the user's locale, in which
// the decimal separator may be a comma, but its vectors always use a point.
std::optional<double> ParseNumber(const std::string& text) {
    double value = 0;
    const char* first = text.c_str();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseInt(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < -100000 || value > 100000) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// Bit rates of MPEG-1, -2 and -2.5 layer III together, kbit/s. The encoder picks the nearest one
// its output sample rate allows.
bool IsMp3Bitrate(int kbps) {
    static constexpr int kRates[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                     96, 112, 128, 144, 160, 192, 224, 256, 320};
    return std::find(std::begin(kRates), std::end(kRates), kbps) != std::end(kRates);
}

// The named presets of the encoder's older style map onto bit-rate presets, some of them mono.
struct NamedPreset {
    const char* name;
    int kbps;
    bool mono;
};
constexpr NamedPreset kNamedPresets[] = {
    {"phone", 16, true},  {"sw", 24, true},      {"voice", 56, true},
    {"fm", 112, false},   {"radio", 112, false}, {"tape", 112, false},
    {"hifi", 160, false}, {"cd", 192, false},    {"studio", 256, false},
};

class Reader {
  public:
    Reader(int count, char** args) : count_(count), args_(args) {}

    bool Done() const { return index_ >= count_; }
    const char* Peek() const { return index_ < count_ ? args_[index_] : nullptr; }
    const char* Next() { return index_ < count_ ? args_[index_++] : nullptr; }

  private:
    int count_;
    char** args_;
    int index_ = 1;
};

bool ParsePreset(Reader& reader, ParsedVector& out, std::string& error) {
    const char* word = reader.Next();
    if (!word) {
        error = "--preset needs a name";
        return false;
    }
    std::string name = Lower(word);
    bool fast = false;
    if (name == "fast") {
        const char* next = reader.Next();
        if (!next) {
            error = "--preset fast needs a name";
            return false;
        }
        fast = true;
        name = Lower(next);
    }
    if (name == "standard" || name == "medium" || name == "extreme" || name == "insane") {
        preset_mode preset = STANDARD;
        if (name == "standard") preset = fast ? STANDARD_FAST : STANDARD;
        if (name == "medium") preset = fast ? MEDIUM_FAST : MEDIUM;
        if (name == "extreme") preset = fast ? EXTREME_FAST : EXTREME;
        if (name == "insane") {
            if (fast) {
                error = "there is no fast insane preset";
                return false;
            }
            preset = INSANE;
        }
        out.settings.push_back([preset](lame_global_flags* gf) { lame_set_preset(gf, preset); });
        return true;
    }
    if (fast) {
        error = "unknown preset fast " + name;
        return false;
    }
    if (name == "cbr") {
        const char* value = reader.Next();
        const std::optional<int> kbps = value ? ParseInt(value) : std::nullopt;
        if (!kbps || (*kbps != -1 && !IsMp3Bitrate(*kbps))) {
            error = "--preset cbr needs a bit rate";
            return false;
        }
        // -1 is the studio's "DEFAULT" bit rate: constant bit rate at the encoder's own choice.
        if (*kbps == -1) {
            out.settings.push_back([](lame_global_flags* gf) { lame_set_VBR(gf, vbr_off); });
            return true;
        }
        const int rate = *kbps;
        out.settings.push_back([rate](lame_global_flags* gf) {
            lame_set_preset(gf, rate);
            lame_set_VBR(gf, vbr_off);
            lame_set_brate(gf, rate);
        });
        return true;
    }
    for (const NamedPreset& preset : kNamedPresets) {
        if (name == preset.name) {
            const NamedPreset p = preset;
            out.settings.push_back([p](lame_global_flags* gf) {
                lame_set_preset(gf, p.kbps);
                if (p.mono) lame_set_mode(gf, MONO);
            });
            return true;
        }
    }
    // A plain number is an average-bit-rate preset.
    if (const std::optional<int> kbps = ParseInt(name); kbps && *kbps >= 8 && *kbps <= 320) {
        const int rate = *kbps;
        out.settings.push_back([rate](lame_global_flags* gf) { lame_set_preset(gf, rate); });
        return true;
    }
    error = "unknown preset " + name;
    return false;
}

}  // namespace

bool IsMp3SampleRate(int hz) {
    static constexpr int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    return std::find(std::begin(kRates), std::end(kRates), hz) != std::end(kRates);
}

bool ParseVector(int count, char** args, ParsedVector& out, std::string& error) {
    out = ParsedVector{};
    if (count < 1 || !args) {
        error = "empty argument vector";
        return false;
    }
    for (int i = 1; i < count; ++i) {
        if (!args[i]) {
            error = "argument " + std::to_string(i) + " is missing";
            return false;
        }
    }
    Reader reader(count, args);
    auto value = [&](const std::string& option) -> std::optional<std::string> {
        const char* v = reader.Next();
        if (!v) {
            error = option + " needs a value";
            return std::nullopt;
        }
        return std::string(v);
    };
    while (!reader.Done()) {
        const std::string arg = reader.Next();
        if (arg.empty()) continue;
        if (arg == "--decode") {
            out.decode = true;
        } else if (arg == "--no-replace") {
            out.noReplace = true;
        } else if (arg == "--copy-tags") {
            out.copyTags = true;
        } else if (arg == "-m") {
            const auto v = value(arg);
            if (!v) return false;
            const std::string m = Lower(*v);
            MPEG_mode mode;
            if (m == "s")
                mode = STEREO;
            else if (m == "j")
                mode = JOINT_STEREO;
            else if (m == "m")
                mode = MONO;
            else {
                error = "unknown channel mode " + *v;
                return false;
            }
            out.settings.push_back([mode](lame_global_flags* gf) { lame_set_mode(gf, mode); });
        } else if (arg == "--resample") {
            const auto v = value(arg);
            if (!v) return false;
            std::optional<double> rate = ParseNumber(*v);
            // Rates under 1000 are kHz ("22.05"), larger ones Hz ("22050").
            if (rate && *rate > 0 && *rate < 1000) *rate *= 1000.0;
            const int hz = rate ? static_cast<int>(std::lround(*rate)) : 0;
            if (!IsMp3SampleRate(hz)) {
                error = "unsupported sample rate " + *v;
                return false;
            }
            out.settings.push_back(
                [hz](lame_global_flags* gf) { lame_set_out_samplerate(gf, hz); });
        } else if (arg == "--preset" || arg == "--alt-preset") {
            if (!ParsePreset(reader, out, error)) return false;
        } else if (arg == "-h") {
            out.settings.push_back([](lame_global_flags* gf) { lame_set_quality(gf, 2); });
        } else if (arg == "-b") {
            const auto v = value(arg);
            if (!v) return false;
            const std::optional<int> kbps = ParseInt(*v);
            if (!kbps || (*kbps != -1 && !IsMp3Bitrate(*kbps))) {
                error = "unsupported bit rate " + *v;
                return false;
            }
            // -1 leaves the encoder's own choice.
            if (*kbps != -1) {
                const int rate = *kbps;
                out.settings.push_back([rate](lame_global_flags* gf) {
                    lame_set_brate(gf, rate);
                    lame_set_VBR_min_bitrate_kbps(gf, rate);
                });
            }
        } else if (arg == "--scale" || arg == "--scale-l" || arg == "--scale-r") {
            const auto v = value(arg);
            if (!v) return false;
            const std::optional<double> factor = ParseNumber(*v);
            // A factor of 0 on both channels would encode nothing but silence.
            if (!factor || *factor < 0 || *factor > 1000 || (arg == "--scale" && *factor == 0)) {
                error = "bad scale factor " + *v;
                return false;
            }
            const auto f = static_cast<float>(*factor);
            if (arg == "--scale") {
                out.settings.push_back([f](lame_global_flags* gf) { lame_set_scale(gf, f); });
            } else if (arg == "--scale-l") {
                out.settings.push_back([f](lame_global_flags* gf) { lame_set_scale_left(gf, f); });
            } else {
                out.settings.push_back([f](lame_global_flags* gf) { lame_set_scale_right(gf, f); });
            }
        } else if (arg == "-V") {
            const auto v = value(arg);
            if (!v) return false;
            const std::optional<double> quality = ParseNumber(*v);
            if (!quality || *quality < 0 || *quality >= 10) {
                error = "bad VBR quality " + *v;
                return false;
            }
            const auto q = static_cast<float>(*quality);
            out.settings.push_back([q](lame_global_flags* gf) {
                lame_set_VBR(gf, vbr_default);
                lame_set_VBR_quality(gf, q);
            });
        } else if (arg == "--tt" || arg == "--ta" || arg == "--tl" || arg == "--tn") {
            const auto v = value(arg);
            if (!v) return false;
            std::string& field = arg == "--tt"   ? out.tags.title
                                 : arg == "--ta" ? out.tags.artist
                                 : arg == "--tl" ? out.tags.album
                                                 : out.tags.track;
            field = *v;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            if (out.paths.size() == 2) {
                error = "more than two paths in the vector";
                return false;
            }
            out.paths.push_back(arg);
        }
    }
    return true;
}

}  // namespace vxmpp
