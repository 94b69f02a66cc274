#include "media/mp3_decode.h"

#include <mutex>

namespace media {
namespace {

void InitMpg123Once() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

bool OpenAndReadFormat(mpg123_handle* handle, const std::string& path, long& rate, int& channels,
                       int& encoding) {
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) return false;
    if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) return false;
    return channels >= 1 && channels <= 2 && rate > 0;
}

}  // namespace

Mpg123Ptr NewMpg123(int encoding, const Mpg123Options& options) {
    InitMpg123Once();
    int err = MPG123_OK;
    Mpg123Ptr handle(mpg123_new(nullptr, &err));
    if (!handle) return nullptr;
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // The default limit (1 KB) ends many merely scratched files early.
    if (options.resyncLimit > 0)
        mpg123_param(handle.get(), MPG123_RESYNC_LIMIT, options.resyncLimit, 0.0);
    mpg123_format_none(handle.get());
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
        mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, encoding);
    }
    return handle;
}

bool OpenMp3(mpg123_handle* handle, const std::string& path, long& rate, int& channels) {
    int encoding = 0;
    if (!OpenAndReadFormat(handle, path, rate, channels, encoding)) return false;
    mpg123_format_none(handle);
    mpg123_format(handle, rate, channels, encoding);
    return true;
}

bool OpenMp3As(mpg123_handle* handle, const std::string& path, long rate, int channels,
               int encoding) {
    mpg123_format_none(handle);
    if (mpg123_format(handle, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, encoding) !=
        MPG123_OK)
        return false;
    long gotRate = 0;
    int gotChannels = 0;
    return OpenAndReadFormat(handle, path, gotRate, gotChannels, encoding) && gotRate == rate &&
           gotChannels == channels;
}

ReadStep ReadSamples(mpg123_handle* handle, unsigned char* out, size_t size) {
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat2(handle, &rate, &channels, &encoding, 0);
    const size_t frameBytes =
        static_cast<size_t>(channels > 0 ? channels : 1) *
        static_cast<size_t>(mpg123_encsize(encoding) > 0 ? mpg123_encsize(encoding) : 2);
    ReadStep step;
    const int rc = mpg123_read(handle, out, size, &step.bytes);
    step.bytes -= step.bytes % frameBytes;
    if (rc == MPG123_NEW_FORMAT) {
        long newRate = 0;
        int newChannels = 0, newEncoding = 0;
        mpg123_getformat(handle, &newRate, &newChannels, &newEncoding);
        step.ended = newRate != rate || newChannels != channels;
        return step;
    }
    step.ended = rc != MPG123_OK;
    return step;
}

}  // namespace media
