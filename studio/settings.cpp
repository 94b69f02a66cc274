#include "studio/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <initializer_list>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

// The number whose decimal text equals `text`, taken from `accepted`, or `fallback`.
int MatchNumber(std::string_view text, std::initializer_list<int> accepted, int fallback) {
    for (int value : accepted) {
        if (platform::EqualsNoCase(text, std::to_string(value))) return value;
    }
    return fallback;
}

std::string FormatInt(int value) { return std::to_string(value); }

// The design's "c:\" default, on this platform the home folder with a trailing separator.
std::string DefaultFolder() { return platform::MapDesignFolder("c:\\"); }

struct FolderKey {
    FolderSlot slot;
    const char* key;
};

// In the order in which Load reads them.
constexpr FolderKey kFolderKeys[] = {
    {FolderSlot::SaveAsWav, "SaveAsWAV_Path"}, {FolderSlot::SaveAsMp3, "SaveAsMP3_Path"},
    {FolderSlot::SaveAsMmf, "SaveAsMMF_Path"}, {FolderSlot::BatchAdd, "AddBToSPath"},
    {FolderSlot::BatchOutput, "SaveBToSPath"}, {FolderSlot::OpenMp3, "OpenMP3Path"},
    {FolderSlot::RipOutput, "CD2MP3Path"},
};

template <typename T, size_t N>
int IndexOf(const T (&table)[N], T value, int fallback) {
    for (size_t i = 0; i < N; ++i) {
        if (table[i] == value) return static_cast<int>(i);
    }
    return fallback;
}

template <typename T, size_t N>
T At(const T (&table)[N], int index, T fallback) {
    return index >= 0 && static_cast<size_t>(index) < N ? table[index] : fallback;
}

}  // namespace

std::string SettingsFileName() { return "ringsmith.ini"; }

int ParseBitrate(std::string_view text) {
    return MatchNumber(
        text, {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320}, -1);
}

int ParseSmallChoice(std::string_view text) { return MatchNumber(text, {0, 1, 2}, 0); }

int ParsePresetIndex(std::string_view text) {
    return MatchNumber(text, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}, 0);
}

int ParseSampleRate(std::string_view text) {
    return MatchNumber(text, {-1, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
                       44100);
}

int ParseVbrQuality(std::string_view text) {
    return MatchNumber(text, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 1);
}

int ParseEncoderName(std::string_view text) { return platform::EqualsNoCase(text, "MP3") ? 2 : 0; }

double ParseScaleFactor(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    // from_chars reads no leading '+'; a '-' it reads itself.
    if (at < text.size() && text[at] == '+') ++at;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + text.size(), value,
                                           std::chars_format::general);
    (void)end;
    if (ec != std::errc() || !std::isfinite(value)) return 0.0;
    return value;
}

std::string FormatScaleFactor(double value) {
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (ec != std::errc()) return "0.00";
    return std::string(buffer, end);
}

std::string EncoderNameText(int encoder) { return encoder == 0 ? "WAV" : "False"; }

int LeadingInt(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    long long value = 0;
    bool any = false;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        any = true;
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[at] - '0');
    }
    if (!any) return 0;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool WriteIntKey(const std::string& section, const std::string& key, int value,
                 const std::string& file) {
    return platform::WritePrivateProfileString(section, key, FormatInt(value), file);
}

int ReadIntKey(const std::string& section, const std::string& key, int defaultValue,
               const std::string& file) {
    return LeadingInt(
        platform::GetPrivateProfileString(section, key, FormatInt(defaultValue), file));
}

bool WriteFolderKey(const std::string& key, const std::string& folder) {
    return platform::WritePrivateProfileString(kSettingsSection, key, folder, SettingsFileName());
}

const char* FolderKeyName(FolderSlot slot) {
    for (const FolderKey& entry : kFolderKeys) {
        if (entry.slot == slot) return entry.key;
    }
    return "";
}

void StudioSettings::SetDefaults() {
    bitrate = 32;
    channelMode = 2;
    scaleEnabled = 0;
    vbrEnabled = 1;
    preset = 18;
    resampleRate = 22050;
    scaleChannel = 0;
    vbrQuality = 1;
    scaleFactor = 1.0;

    for (const FolderKey& entry : kFolderKeys) Folder(entry.slot) = DefaultFolder();
    openMp3Folder.clear();

    ripper = RipperOptions();
    ripper.encoder = 2;
    ripper.wavEncoder = ripper.encoder;
    ripper.tempFolder.clear();
    ripper.wavChannels = 1;
    ripper.wavSampleRate = 2;
    ripper.wavSampleBits = 1;
}

void StudioSettings::Load(const std::string& file) {
    platform::ProfileFile profile(platform::ProfilePath(file));
    profile.Load();
    const auto get = [&](const char* key, const std::string& fallback) {
        return profile.Get(kSettingsSection, key, fallback);
    };

    for (const FolderKey& entry : kFolderKeys) {
        Folder(entry.slot) =
            get(entry.key, entry.slot == FolderSlot::OpenMp3 ? std::string() : DefaultFolder());
    }

    bitrate = ParseBitrate(get("MP3bitrates", "32"));
    channelMode = ParseSmallChoice(get("MP3channels", "2"));
    scaleEnabled = ParseSmallChoice(get("MP3IsScaleMode", "0"));
    vbrEnabled = ParseSmallChoice(get("MP3IsVBRMode", "0"));
    preset = ParsePresetIndex(get("MP3MPEG", "18"));
    resampleRate = ParseSampleRate(get("MP3SAMPLE", "22050"));
    scaleChannel = ParseSmallChoice(get("MP3scale_channel", "0"));
    vbrQuality = ParseVbrQuality(get("MP3VBRQuality", "1"));
    scaleFactor = ParseScaleFactor(get("MP3Scales", "1"));

    ripper.encoder = ParseEncoderName(get("Encoder", "False"));
    ripper.tempFolder = get("Tmpfolder", ripper.tempFolder);
    ripper.wavEncoder = ParseEncoderName(get("WAVEnc", "False"));
    // The three WAV format keys are read but not used: the ripper always writes 44100 Hz,
    // 16-bit stereo, and the next save stores exactly that.
    (void)get("WAVChannels", kRipperChannelNames[ripper.wavChannels == 0 ? 0 : 1]);
    (void)LeadingInt(
        get("WAVSamplerate", FormatInt(At(kRipperSampleRates, ripper.wavSampleRate, 0))));
    (void)LeadingInt(
        get("WAVSamplebits", FormatInt(At(kRipperSampleBits, ripper.wavSampleBits, 0))));
    ripper.wavChannels = 1;
    ripper.wavSampleRate = IndexOf(kRipperSampleRates, 44100, 2);
    ripper.wavSampleBits = IndexOf(kRipperSampleBits, 16, 1);
}

bool StudioSettings::Save(const std::string& file) const {
    // A folder key written on another thread between this read and the replace would be lost.
    std::lock_guard lock(platform::ProfileWriteMutex());
    platform::ProfileFile profile(platform::ProfilePath(file));
    profile.Load();
    const auto set = [&](const char* key, const std::string& value) {
        profile.Set(kSettingsSection, key, value);
    };
    set("MP3bitrates", FormatInt(bitrate));
    set("MP3channels", FormatInt(channelMode));
    set("MP3IsScaleMode", FormatInt(scaleEnabled));
    set("MP3IsVBRMode", FormatInt(vbrEnabled));
    set("MP3MPEG", FormatInt(preset));
    set("MP3SAMPLE", FormatInt(resampleRate));
    set("MP3scale_channel", FormatInt(scaleChannel));
    set("MP3VBRQuality", FormatInt(vbrQuality));
    set("MP3Scales", FormatScaleFactor(scaleFactor));
    set("Encoder", EncoderNameText(ripper.encoder));
    set("Tmpfolder", ripper.tempFolder);
    set("WAVEnc", EncoderNameText(ripper.wavEncoder));
    set("WAVChannels", kRipperChannelNames[ripper.wavChannels == 0 ? 0 : 1]);
    set("WAVSamplerate", FormatInt(At(kRipperSampleRates, ripper.wavSampleRate, 44100)));
    set("WAVSamplebits", FormatInt(At(kRipperSampleBits, ripper.wavSampleBits, 16)));
    return profile.Save();
}

std::string& StudioSettings::Folder(FolderSlot slot) {
    return const_cast<std::string&>(static_cast<const StudioSettings&>(*this).Folder(slot));
}

const std::string& StudioSettings::Folder(FolderSlot slot) const {
    switch (slot) {
        case FolderSlot::SaveAsWav:
            return saveAsWavFolder;
        case FolderSlot::SaveAsMp3:
            return saveAsMp3Folder;
        case FolderSlot::SaveAsMmf:
            return saveAsMmfFolder;
        case FolderSlot::BatchAdd:
            return batchAddFolder;
        case FolderSlot::BatchOutput:
            return batchOutputFolder;
        case FolderSlot::OpenMp3:
            return openMp3Folder;
        case FolderSlot::RipOutput:
            break;
    }
    return ripOutputFolder;
}

bool StudioSettings::RememberFolderOf(FolderSlot slot, const std::string& chosenFile) {
    return RememberFolder(slot, platform::CutAtLastSeparator(chosenFile));
}

bool StudioSettings::RememberFolder(FolderSlot slot, const std::string& folder) {
    const std::string text = platform::WithTrailingSeparator(folder);
    if (text.size() > kFolderValueMax) return false;
    Folder(slot) = text;
    return WriteFolderKey(FolderKeyName(slot), text);
}

bool CreateFolderWithParents(const std::string& folder) {
    const std::string path =
        platform::WithTrailingSeparator(platform::ToPlatformSeparators(folder));

    // "/a/b/" gives "/a/b", "/a" and "" (the root, which always exists).
    std::vector<std::string> prefixes;
    std::string rest = path;
    while (rest.find(platform::kSeparator) != std::string::npos) {
        rest = platform::CutAtLastSeparator(rest);
        if (!rest.empty()) prefixes.push_back(rest);
    }
    if (prefixes.empty()) return false;

    for (auto it = prefixes.rbegin(); it != prefixes.rend(); ++it) {
        // A parent the user may not write to (such as /home) is fine as long as it exists.
        if (platform::IsDirectory(*it)) continue;
        if (::mkdir(it->c_str(), 0777) != 0 && !(errno == EEXIST && platform::IsDirectory(*it)))
            return false;
    }
    return platform::IsWritable(prefixes.front());
}
