#include "studio/ringtone_options.h"

#include <algorithm>
#include <iterator>
#include <mutex>

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

// Held while a field of a set of choices changes and while one is copied.
std::mutex& OptionsMutex() {
    static std::mutex mutex;
    return mutex;
}

// Sets `field` under the lock.
template <typename T>
void Assign(T& field, const T& value) {
    std::lock_guard<std::mutex> lock(OptionsMutex());
    field = value;
}

bool ReadFlag(const std::string& key, const std::string& file) {
    return ReadIntKey(kRingtoneSection, key, 0, file) != 0;
}

}  // namespace

void RingtoneOptions::Load(const std::string& file) {
    RingtoneOptions read;
    read.fadeInMs = ReadFade(kFadeInKey, file);
    read.fadeOutMs = ReadFade(kFadeOutKey, file);
    read.snapToZero = ReadFlag(kSnapKey, file);
    read.loopPreview = ReadFlag(kLoopKey, file);
    read.normalise = ReadFlag(kNormaliseKey, file);
    read.phoneFolder =
        platform::GetPrivateProfileString(kRingtoneSection, kPhoneFolderKey, "", file);
    Assign(*this, read);
}

bool RingtoneOptions::SetFadeInMs(int ms, const std::string& file) {
    Assign(fadeInMs, ms);
    return WriteIntKey(kRingtoneSection, kFadeInKey, ms, file);
}

bool RingtoneOptions::SetFadeOutMs(int ms, const std::string& file) {
    Assign(fadeOutMs, ms);
    return WriteIntKey(kRingtoneSection, kFadeOutKey, ms, file);
}

bool RingtoneOptions::SetSnapToZero(bool on, const std::string& file) {
    Assign(snapToZero, on);
    return WriteIntKey(kRingtoneSection, kSnapKey, on ? 1 : 0, file);
}

bool RingtoneOptions::SetLoopPreview(bool on, const std::string& file) {
    Assign(loopPreview, on);
    return WriteIntKey(kRingtoneSection, kLoopKey, on ? 1 : 0, file);
}

bool RingtoneOptions::SetNormalise(bool on, const std::string& file) {
    Assign(normalise, on);
    return WriteIntKey(kRingtoneSection, kNormaliseKey, on ? 1 : 0, file);
}

bool RingtoneOptions::RememberPhoneFolderOf(const std::string& chosenFile,
                                            const std::string& file) {
    const std::string folder = platform::FolderOfFile(chosenFile);
    if (folder.empty() || folder.size() > platform::kProfileValueMax) return false;
    Assign(phoneFolder, folder);
    return platform::WritePrivateProfileString(kRingtoneSection, kPhoneFolderKey, folder, file);
}

RingtoneOptions RingtoneOptionsSnapshot(const RingtoneOptions& options) {
    std::lock_guard<std::mutex> lock(OptionsMutex());
    return options;
}
