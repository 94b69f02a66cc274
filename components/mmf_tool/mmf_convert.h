// Conversion of a sound file (normally a PCM WAV) into a SMAF ".mmf" ringtone: mono Yamaha
// ADPCM at one of the rates the format allows.
#pragma once

#include <string>

namespace mmf {

// The rate a ringtone is written at unless the user asks for another: the handsets of the oldest
// SMAF generation play 4000 and 8000 Hz ADPCM only.
inline constexpr int kDefaultSmafRate = 8000;

// Whether SMAF can hold ADPCM at `rate` Hz (4000, 8000, 11025, 22050 or 44100).
bool IsSmafRate(int rate);

// The ringtone written for `sourcePath`: the same folder and name with the extension ".mmf"
// (appended when the name has none).
std::string MmfPathFor(const std::string& sourcePath);

struct ConvertResult {
    bool ok = false;
    std::string outputPath;  // the file written (set also when writing failed)
    std::string error;       // a short English reason when !ok
    int sampleRate = 0;      // rate of the ringtone, Hz
    double seconds = 0.0;    // length of the ringtone's sound
};

// Reads `sourcePath`, mixes it down to mono, resamples it to `rate` (a SMAF rate) and writes the
// ringtone beside it, closed by the SMAF CRC, replacing an existing file of that name. A failed
// conversion leaves no partial file.
ConvertResult ConvertToMmf(const std::string& sourcePath, int rate = kDefaultSmafRate);

}  // namespace mmf
