// libmpg123 as the programs and the components use it: a quiet decoder handle, a stream opened
// with its output format fixed, and the rule of where a stream ends. Everything that decodes MP3
// (the codec engine, the CD writer, the playback device) goes through these, so what one of them
// keeps of a song, the others keep too.
#pragma once

#include <mpg123.h>

#include <cstddef>
#include <memory>
#include <string>

namespace media {

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const {
        if (h) {
            mpg123_close(h);
            mpg123_delete(h);
        }
    }
};
using Mpg123Ptr = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

struct Mpg123Options {
    // How many bytes of a damaged stretch in the middle of a file are skipped before the decoder
    // gives up; 0 keeps libmpg123's own limit (1 KB).
    long resyncLimit = 64 * 1024;
};

// A new decoder handle whose output is `encoding` (MPG123_ENC_SIGNED_16 or MPG123_ENC_FLOAT_32)
// at every rate and channel count; null when libmpg123 fails.
Mpg123Ptr NewMpg123(int encoding, const Mpg123Options& options = {});

// Opens `path` on `handle` and reads up to the first audio frame. False when the file cannot be
// opened or holds no MP3 audio. `rate` and `channels` receive the stream's format. The output
// keeps the first frame's format: frames of another rate or channel count further on (a joined
// or damaged stream) are converted to it by the decoder instead of changing the format midway.
bool OpenMp3(mpg123_handle* handle, const std::string& path, long& rate, int& channels);

// Opens `path` with the output fixed to `rate` Hz, `channels` channels and `encoding` whatever the stream
// holds: every frame is resampled and its channels doubled or mixed as needed. False when the
// file cannot be opened or holds no MP3 audio.
bool OpenMp3As(mpg123_handle* handle, const std::string& path, long rate, int channels,
               int encoding);

// One read of decoded samples: `bytes` of output, whole sample frames, and whether the stream
// ends with it. A stream ends when the decoder is done, when its format changes to another one,
// and at damage that decoding cannot pass (libmpg123 answers the read after the last good
// sample with an error when the last frame is cut short): what came before is kept.
struct ReadStep {
    size_t bytes = 0;
    bool ended = false;
};
ReadStep ReadSamples(mpg123_handle* handle, unsigned char* out, size_t size);

}  // namespace media
