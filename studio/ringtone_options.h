// The ringtone tools' choices (fades, zero-crossing snap, looped preview, normalise, the folder
// of phone ringtones), kept in a section of their own ("RINGTONE") of the settings file.
//
// Nothing is written at start-up: a key is written only when the user changes that choice, so
// the "GENERAL" section stays exactly as the studio's start-up writes it.
#pragma once

#include <string>

inline constexpr const char* kRingtoneSection = "RINGTONE";

// Fade lengths the menu offers, in ms; 0 is off.
inline constexpr int kFadeChoicesMs[] = {500, 1000, 2000, 0};

struct RingtoneOptions {
    int fadeInMs = 0;
    int fadeOutMs = 0;
    bool snapToZero = false;
    bool loopPreview = false;
    bool normalise = false;
    // Where "Save as phone ringtone..." opens, with a trailing separator; empty: the home folder.
    std::string phoneFolder;

    // Reads the section over the defaults; a missing or unreadable key keeps its default, and a
    // fade length outside kFadeChoicesMs reads as off.
    void Load(const std::string& file);

    // Each setter changes the field and writes its one key.
    bool SetFadeInMs(int ms, const std::string& file);
    bool SetFadeOutMs(int ms, const std::string& file);
    bool SetSnapToZero(bool on, const std::string& file);
    bool SetLoopPreview(bool on, const std::string& file);
    bool SetNormalise(bool on, const std::string& file);
    bool RememberPhoneFolderOf(const std::string& chosenFile, const std::string& file);
};

// A copy of `options` taken under the lock the setters change them under: safe to take on a
// worker while the user-interface thread changes them.
RingtoneOptions RingtoneOptionsSnapshot(const RingtoneOptions& options);
