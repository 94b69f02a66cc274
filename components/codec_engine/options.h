// The engine's reading of an argument vector: the options of the encoder's command-line style
// and the placeholder paths.
#pragma once

#include <lame/lame.h>

#include <functional>
#include <string>
#include <vector>

namespace vxmpp {

// One encoder setting, applied to the encoder in the order the vector gave it, so that a later
// option overrides what an earlier preset set (as "-m s --preset voice" ends up mono).
using EncoderSetting = std::function<void(lame_global_flags*)>;

// Tag texts of the encoder's tag options (--tt title, --ta artist, --tl album, --tn track as
// "N" or "N/M", UTF-8); an MP3 gets an ID3v2 tag when one of them is given.
struct TagTexts {
    std::string title;
    std::string artist;
    std::string album;
    std::string track;
    bool any() const {
        return !title.empty() || !artist.empty() || !album.empty() || !track.empty();
    }
};

struct ParsedVector {
    bool decode = false;             // "--decode": MP3 to WAV instead of encoding
    // "--no-replace": the output takes its name only when nothing stands there (a concurrent
    // run may take the same name first); without it an existing output is replaced.
    bool noReplace = false;
    // "--copy-tags": an MP3 encoded from an MP3 gets the input's ID3v2 and ID3v1 tags (cover
    // pictures included); tag options given too are written over the copied fields.
    bool copyTags = false;
    std::vector<std::string> paths;  // the placeholder paths, in vector order (at most two)
    std::vector<EncoderSetting> settings;
    TagTexts tags;
};

// Reads elements 1 .. count-1 of `args` (element 0 is the caller's program path). Returns false
// with `error` set for an unknown option, a missing or bad option value, a null element or more
// than two paths. Empty elements (two adjacent spaces in a split command text) are skipped.
bool ParseVector(int count, char** args, ParsedVector& out, std::string& error);

// The output sample rates an MP3 stream can have, in Hz.
bool IsMp3SampleRate(int hz);

}  // namespace vxmpp
