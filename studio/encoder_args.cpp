#include "studio/encoder_args.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/folders.h"
#include "studio/settings.h"

namespace {

// The words after "--preset" for the preset indexes 0 to 16 (7 is "-h" and takes no words).
const std::vector<std::vector<const char*>>& PresetWords() {
    static const std::vector<std::vector<const char*>> words = {
        {"standard"}, {"fast", "standard"},
        {"medium"},   {"fast", "medium"},
        {"extreme"},  {"fast", "extreme"},
        {"insane"},   {},
        {"voice"},    {"phone"},
        {"sw"},       {"fm"},
        {"radio"},    {"tape"},
        {"hifi"},     {"cd"},
        {"studio"},
    };
    return words;
}

std::string Printf(const char* format, long value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Printf(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Slot 0 before the splitter has run.
char kEmptyProgramPath[] = "";

}  // namespace

EncoderArgs::EncoderArgs() { slot[0] = kEmptyProgramPath; }

void EncoderArgs::AllocateSlots() {
    if (buffers_) return;
    buffers_ = std::make_unique<std::array<std::array<char, kSlotBytes>, kSlotCount - 1>>();
    for (int i = 1; i < kSlotCount; ++i) {
        (*buffers_)[i - 1][0] = '\0';
        slot[i] = (*buffers_)[i - 1].data();
    }
}

bool EncoderArgs::SetSlot(int index, std::string_view text) {
    if (index < 1 || index >= kSlotCount || text.size() >= kSlotBytes) return false;
    AllocateSlots();
    std::memcpy(slot[index], text.data(), text.size());
    slot[index][text.size()] = '\0';
    return true;
}

std::vector<std::string> EncoderArgs::Arguments() const {
    std::vector<std::string> out;
    for (int i = 1; i < count && i < kSlotCount; ++i) out.emplace_back(slot[i] ? slot[i] : "");
    return out;
}

void BuildEncoderArgs(EncoderArgs& args, const StudioSettings& s) {
    std::vector<std::string> out;
    out.push_back("-m");
    out.push_back(s.channelMode == 0 ? "s" : s.channelMode == 1 ? "j" : "m");
    if (s.resampleRate != -1) {
        out.push_back("--resample");
        out.push_back(Printf("%ld", static_cast<long>(s.resampleRate)));
    }
    if (s.preset == 7) {
        out.push_back("-h");
    } else if (s.preset != 18) {
        out.push_back("--preset");
        if (s.preset == 17) {
            out.push_back("cbr");
            out.push_back(Printf("%d", s.bitrate));
        } else if (s.preset >= 0 && s.preset < static_cast<int>(PresetWords().size())) {
            for (const char* word : PresetWords()[s.preset]) out.push_back(word);
        }
    }
    if (s.preset != 17 && s.preset != 18) {
        out.push_back("-b");
        out.push_back(Printf("%d", s.bitrate));
    }
    if (s.scaleEnabled != 0) {
        out.push_back(s.scaleChannel == 0   ? "--scale"
                      : s.scaleChannel == 1 ? "--scale-l"
                                            : "--scale-r");
        // "%.2lf" in the C locale: a decimal comma would make the engine refuse the factor.
        out.push_back(FormatScaleFactor(s.scaleFactor));
    }
    if (s.vbrEnabled != 0) {
        out.push_back("-V");
        out.push_back(Printf("%d", s.vbrQuality));
    }
    out.push_back(args.inputIsWav != 0 ? kPlaceholderWav : kPlaceholderMp3);
    out.push_back(kPlaceholderMp3);

    args.AllocateSlots();
    int index = 1;
    for (const std::string& a : out) args.SetSlot(index++, a);  // every piece is short
    args.count = index;
}

void AddTitleAndArtist(EncoderArgs& args, const std::string& title, const std::string& artist) {
    args.AllocateSlots();
    const std::pair<const char*, const std::string&> tags[] = {{"--tt", title}, {"--ta", artist}};
    for (const auto& [option, text] : tags) {
        if (text.empty() || args.count + 2 > EncoderArgs::kSlotCount) continue;
        // Cut before a character, never inside one of UTF-8's several bytes.
        size_t keep = std::min(text.size(), EncoderArgs::kSlotBytes - 1);
        while (keep < text.size() && keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
            --keep;
        args.SetSlot(args.count, option);
        args.SetSlot(args.count + 1, std::string_view(text).substr(0, keep));
        args.count += 2;
    }
}

bool SplitCommandLine(EncoderArgs& args, const std::string& text) {
    std::vector<std::string> pieces;
    size_t from = 0;
    for (;;) {
        const size_t space = text.find(' ', from);
        pieces.push_back(
            text.substr(from, space == std::string::npos ? std::string::npos : space - from));
        if (space == std::string::npos) break;
        from = space + 1;
    }
    if (static_cast<int>(pieces.size()) - 1 > EncoderArgs::kMaxSpaces) return false;
    if (std::any_of(pieces.begin(), pieces.end(),
                    [](const std::string& p) { return p.size() >= EncoderArgs::kSlotBytes; })) {
        return false;
    }
    args.AllocateSlots();
    args.programPath_ = platform::ProgramPath();
    args.slot[0] = args.programPath_.data();
    int index = 1;
    for (const std::string& p : pieces) args.SetSlot(index++, p);
    args.count = index;
    return true;
}
