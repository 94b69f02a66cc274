#include "studio/phone_ringtone.h"

#include <algorithm>

#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
#include "studio/wav.h"

namespace studio {
namespace {

constexpr PhoneFormatInfo kFormats[4] = {
    {PhoneFormat::M4r, "m4r", "iPhone ringtone (*.m4r)"},
    {PhoneFormat::Ogg, "ogg", "Android ringtone (*.ogg)"},
    {PhoneFormat::Mp3, "mp3", "MP3 ringtone (*.mp3)"},
    {PhoneFormat::Opus, "opus", "Opus (*.opus)"},
};

}  // namespace

const PhoneFormatInfo (&PhoneFormats())[4] { return kFormats; }

std::string PhoneRingtoneFilter() {
    std::string filter;
    for (const PhoneFormatInfo& info : kFormats)
        filter += std::string(info.label) + "|*." + info.extension + "|";
    return filter + "|";
}

std::optional<PhoneFormat> PhoneFormatForPath(const std::string& path) {
    const std::string name = platform::AfterLastSeparator(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return std::nullopt;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const PhoneFormatInfo& info : kFormats)
        if (ext == info.extension) return info.format;
    return std::nullopt;
}

PhoneEncodeSpec SpecFor(PhoneFormat format, int channels) {
    switch (format) {
        case PhoneFormat::M4r:
            return {"aac", "ipod", 44100, 2, 128000};
        case PhoneFormat::Ogg:
            return {"libvorbis", "ogg", 0, 0, 0};
        case PhoneFormat::Opus:
            return {"libopus", "opus", 48000, 0, channels > 1 ? 96000 : 64000};
        case PhoneFormat::Mp3:
            break;
    }
    return {"", "", 0, 0, 0};
}

bool PhoneRingtoneEncoder::Encode(const CWave& sound, PhoneFormat format, const std::string& target,
                                  const std::function<void(int)>& onProgress) {
    error_.clear();
    percent_ = 0;
    cancel_ = false;
    if (format == PhoneFormat::Mp3) {
        error_ = "MP3 ringtones are made by the codec engine";
        return false;
    }
    const auto encode =
        platform::SystemModuleSymbol<PhoneEncodeFn>(kPhoneEncodeModule, kPhoneEncodeSymbol);
    if (!encode) {
        error_ = std::string("the ringtone encoder ") + kPhoneEncodeModule + " is missing";
        return false;
    }
    // The unfinished file's name is claimed before the encoder opens it (which would follow a
    // link standing there and write over the file it leads to).
    std::string why;
    const std::optional<std::string> claimed = platform::ClaimUnfinishedName(target, &why);
    if (!claimed) {
        error_ = "cannot create the ringtone file: " + why;
        return false;
    }
    const std::string& partial = *claimed;
    bool ok = false;
    {
        const PhonePcm pcm{sound.format.formatTag,     sound.format.channels,
                           sound.format.sampleRate, sound.format.bitsPerSample,
                           sound.format.blockAlign,    sound.ElementCount(),
                           sound.samples.data()};
        const PhoneEncodeJob job{pcm,
                                 SpecFor(format, sound.format.channels),
                                 partial.c_str(),
                                 title_.c_str(),
                                 artist_.c_str(),
                                 &percent_,
                                 &cancel_,
                                 &onProgress,
                                 &error_};
        ok = encode(&job);
    }
    // On the disk before it takes its name (RenameIntoPlace flushes it first).
    if (ok && !platform::RenameIntoPlace(partial, target)) {
        ok = false;
        error_ = "cannot create the ringtone file";
    }
    if (!ok) platform::RemoveFile(partial);
    if (ok) percent_ = 100;
    return ok;
}

}  // namespace studio
