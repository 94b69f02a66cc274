#include "studio/ringtone_options.h"

#include <algorithm>
#include <iterator>

#include "platform/paths.h"
#include "platform/profile.h"
#include "studio/settings.h"

namespace {

constexpr const char* kFadeInKey = "FadeInMs";
constexpr const char* kFadeOutKey = "FadeOutMs";
constexpr const char* kSnapKey = "SnapToZero";
constexpr const char* kLoopKey = "LoopPreview";
constexpr const char* kNormaliseKey = "Normalise";
constexpr const char* kPhoneFolderKey = "SavePhone_Path";

int ReadFade(const std::string& key, const std::string& file) {
    const int ms = ReadIntKey(kRingtoneSection, key, 0, file);
    return std::find(std::begin(kFadeChoicesMs), std::end(kFadeChoicesMs), ms) !=
                   std::end(kFadeChoicesMs)
               ? ms
               : 0;
}

bool ReadFlag(const std::string& key, const std::string& file) {
    return ReadIntKey(kRingtoneSection, key, 0, file) != 0;
}

}  // namespace

void RingtoneOptions::Load(const std::string& file) {
    fadeInMs = ReadFade(kFadeInKey, file);
    fadeOutMs = ReadFade(kFadeOutKey, file);
    snapToZero = ReadFlag(kSnapKey, file);
    loopPreview = ReadFlag(kLoopKey, file);
    normalise = ReadFlag(kNormaliseKey, file);
    phoneFolder = platform::GetPrivateProfileString(kRingtoneSection, kPhoneFolderKey, "", file);
}

bool RingtoneOptions::SetFadeInMs(int ms, const std::string& file) {
    fadeInMs = ms;
    return WriteIntKey(kRingtoneSection, kFadeInKey, ms, file);
}

bool RingtoneOptions::SetFadeOutMs(int ms, const std::string& file) {
    fadeOutMs = ms;
    return WriteIntKey(kRingtoneSection, kFadeOutKey, ms, file);
}

bool RingtoneOptions::SetSnapToZero(bool on, const std::string& file) {
    snapToZero = on;
    return WriteIntKey(kRingtoneSection, kSnapKey, on ? 1 : 0, file);
}

bool RingtoneOptions::SetLoopPreview(bool on, const std::string& file) {
    loopPreview = on;
    return WriteIntKey(kRingtoneSection, kLoopKey, on ? 1 : 0, file);
}

bool RingtoneOptions::SetNormalise(bool on, const std::string& file) {
    normalise = on;
    return WriteIntKey(kRingtoneSection, kNormaliseKey, on ? 1 : 0, file);
}

bool RingtoneOptions::RememberPhoneFolderOf(const std::string& chosenFile,
                                            const std::string& file) {
    const std::string folder = platform::FolderOfFile(chosenFile);
    if (folder.empty() || folder.size() > platform::kProfileValueMax) return false;
    phoneFolder = folder;
    return platform::WritePrivateProfileString(kRingtoneSection, kPhoneFolderKey, folder, file);
}

RingtoneOptions& CurrentRingtoneOptions() {
    static RingtoneOptions options = [] {
        RingtoneOptions loaded;
        loaded.Load(SettingsFileName());
        return loaded;
    }();
    return options;
}

void ReloadRingtoneOptions() {
    RingtoneOptions fresh;
    fresh.Load(SettingsFileName());
    CurrentRingtoneOptions() = fresh;
}
