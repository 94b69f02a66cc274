#include "media/audio_decoder.h"

#include <algorithm>
#include <cstdio>

#include "media/audio_decode_module.h"
#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace media {
namespace {

// The decoding module's two entries; null when it is not (yet) loaded.
struct DecodeModule {
    AudioProbeFn probe = nullptr;
    AudioDecodeFn decode = nullptr;
};

// The decoding module's entries, from the module kept loaded once it is found (see
// platform::SystemModuleSymbol); both null unless the module has both.
DecodeModule LoadedModule() {
    DecodeModule module{
        platform::SystemModuleSymbol<AudioProbeFn>(kAudioDecodeModule, kAudioProbeSymbol),
        platform::SystemModuleSymbol<AudioDecodeFn>(kAudioDecodeModule, kAudioDecodeSymbol)};
    if (!module.probe || !module.decode) module = {};
    return module;
}

std::string MissingModule() {
    return std::string("the decoder module ") + kAudioDecodeModule + " is missing";
}

}  // namespace

const std::vector<std::string>& DecodedExtensions() {
    static const std::vector<std::string> extensions = {"wav", "flac", "ogg", "oga", "opus",
                                                        "m4a", "aac",  "wma"};
    return extensions;
}

bool IsDecodedFileName(std::string_view path) {
    const std::string name = platform::AfterLastSeparator(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = platform::ToLowerAscii(name.substr(dot + 1));
    const auto& known = DecodedExtensions();
    return std::find(known.begin(), known.end(), ext) != known.end();
}

std::optional<AudioInfo> ProbeAudio(const std::string& path, std::string& why) {
    const DecodeModule module = LoadedModule();
    if (!module.probe) {
        why = MissingModule();
        return std::nullopt;
    }
    AudioInfo info;
    const AudioProbeJob job{path.c_str(), &info, &why};
    if (!module.probe(&job)) return std::nullopt;
    return info;
}

bool AudioDecoder::DecodeToWav(const std::string& input, const std::string& output) {
    error_.clear();
    percent_ = 0.0;
    const DecodeModule module = LoadedModule();
    if (!module.decode) {
        error_ = MissingModule();
        std::remove(output.c_str());
        return false;
    }
    const AudioDecodeJob job{input.c_str(), output.c_str(), &percent_, &cancel_, &error_};
    return module.decode(&job);
}

}  // namespace media
