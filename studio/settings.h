// The ringtone studio's settings: MP3 encoder options, the remembered folders and the CD ripper's
// options, held in one record per session (studio/session.h) and backed by "ringsmith.ini",
// section "GENERAL".
//
// Start-up sets the defaults, reads the file over them and writes the record straight back, so
// after the first start the file holds every MP3 and ripper key. Folder keys are written one at a
// time, the moment the user has chosen a file or folder. Every other line of the file (unknown
// keys, other sections, comments) is kept by each write, and each write replaces the file
// atomically.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The section that holds every key of the studio.
inline constexpr const char* kSettingsSection = "GENERAL";

// "ringsmith.ini": a bare name, which the profile functions place in the settings folder. Every
// reader and writer of the settings asks this function for the name.
std::string SettingsFileName();

// Value parsers: whole-text, case-insensitive comparisons against the known texts; anything else
// gives the fallback named in each comment. " 32" is not "32".
int ParseBitrate(std::string_view text);      // 8..320 kbit/s of the list, else -1
int ParseSmallChoice(std::string_view text);  // "0", "1", "2", else 0
int ParsePresetIndex(std::string_view text);  // "0".."18", else 0
int ParseSampleRate(std::string_view text);   // "-1" or a rate of the list in Hz, else 44100
int ParseVbrQuality(std::string_view text);   // "0".."9", else 1
int ParseEncoderName(std::string_view text);  // "MP3" 2, else 0
// The leading decimal number of the text (after blanks), read the same in every locale; 0.0 when
// there is none or when it is not a finite number.
double ParseScaleFactor(std::string_view text);
// The scale factor as it is stored: two decimals with a '.' in every locale ("1.00").
std::string FormatScaleFactor(double value);

// The ripper's encoder coding: 0 is stored as "WAV", any other value as "False".
std::string EncoderNameText(int encoder);

// Integer keys written with "%d"; ReadIntKey returns the leading decimal integer of the stored
// text (the default when the key is absent, 0 when the text has no number).
bool WriteIntKey(const std::string& section, const std::string& key, int value,
                 const std::string& file);
int ReadIntKey(const std::string& section, const std::string& key, int defaultValue,
               const std::string& file);
// The leading decimal integer of a text, clamped to the int range; 0 when there is none.
int LeadingInt(std::string_view text);

// Writes one folder key to the settings file. Returns false when the file could not be written.
bool WriteFolderKey(const std::string& key, const std::string& folder);

// The CD ripper's option block.
struct RipperOptions {
    int encoder = 2;     // "Encoder": read "MP3" as 2, anything else 0
    int wavEncoder = 2;  // "WAVEnc": same coding
    std::string tempFolder;
    int wavChannels = 1;    // index: 0 mono, 1 stereo
    int wavSampleRate = 2;  // index into kRipperSampleRates
    int wavSampleBits = 1;  // index into kRipperSampleBits
    // Track file-name patterns; none of them has a key in the file.
    std::vector<std::string> namePatterns{"$a-$t", "$n-$t", "$l-$n-$t", "$a-$l-$n-$t"};
    std::string currentPattern = "$a-$t";
};

inline constexpr int kRipperSampleRates[] = {0, 32000, 44100, 48000};
inline constexpr int kRipperSampleBits[] = {8, 16};
inline constexpr const char* kRipperChannelNames[] = {"Mono", "Stereo"};

// The remembered folders, one per kind of file.
enum class FolderSlot {
    SaveAsWav,    // "SaveAsWAV_Path"
    SaveAsMp3,    // "SaveAsMP3_Path"
    SaveAsMmf,    // "SaveAsMMF_Path", read at start-up only
    BatchAdd,     // "AddBToSPath"
    BatchOutput,  // "SaveBToSPath"
    OpenMp3,      // "OpenMP3Path"
    RipOutput,    // "CD2MP3Path"
};

const char* FolderKeyName(FolderSlot slot);

// Longest folder text a settings value holds, in bytes.
inline constexpr size_t kFolderValueMax = 255;

class StudioSettings {
public:
    // MP3 encoder options.
    int bitrate = 32;          // kbit/s, -1 for the encoder's default
    int channelMode = 2;       // 0 stereo, 1 joint stereo, 2 mono
    int scaleEnabled = 0;      // 0/1
    int vbrEnabled = 1;        // 0/1
    int preset = 18;           // 0..18, 18 no preset
    int resampleRate = 22050;  // Hz, -1 keeps the input's rate
    int scaleChannel = 0;      // 0 both, 1 left, 2 right
    int vbrQuality = 1;        // 0..9, 0 best
    double scaleFactor = 1.0;

    // Remembered folders, each with a trailing separator (the open-MP3 folder starts empty).
    std::string saveAsWavFolder;
    std::string saveAsMp3Folder;
    std::string saveAsMmfFolder;
    std::string batchAddFolder;
    std::string batchOutputFolder;
    std::string openMp3Folder;
    std::string ripOutputFolder;

    RipperOptions ripper;

    // Sets every start-up value; the folders default to the home folder.
    void SetDefaults();
    // Reads every key from `file` over the current values.
    void Load(const std::string& file = SettingsFileName());
    // Writes the fifteen MP3 and ripper keys (not the folder keys) in one atomic replacement of
    // `file`. Returns false when the file could not be written; the old file is then unchanged.
    bool Save(const std::string& file = SettingsFileName()) const;

    std::string& Folder(FolderSlot slot);
    const std::string& Folder(FolderSlot slot) const;

    // Remembers the folder of a file the user chose ("/a/b/c.mp3" gives "/a/b/"): updates the
    // field, then writes its key. A folder longer than kFolderValueMax bytes cannot be stored
    // whole; it is not remembered at all (a shortened text would name another folder). Returns
    // false when the folder was too long, or when its key could not be written (the field then
    // holds the folder for this run only).
    bool RememberFolderOf(FolderSlot slot, const std::string& chosenFile);
    // Remembers a folder the user chose or typed, with a trailing separator appended when it has
    // none; the same rules as RememberFolderOf.
    bool RememberFolder(FolderSlot slot, const std::string& folder);
};

// Creates `folder` with every missing parent. '\' is taken as a separator. The prefixes of the
// path are made from the shortest to the longest; a prefix that exists as a folder is kept, one
// that cannot be created fails the whole operation, and the folder itself must end up writable.
bool CreateFolderWithParents(const std::string& folder);
