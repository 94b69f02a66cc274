#include "components/cd_access/cd_access.h"

#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "components/cd_access/a1.h"
#include "components/cd_access/disc_image.h"
#include "media/disc_images.h"

namespace cd_access {
namespace {

std::string Trimmed(std::string text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    return text;
}

std::string HardwareDescription(const char* device) {
    std::string description = device;
    CdioPtr cdio(cdio_open(device, DRIVER_DEVICE));
    cdio_hwinfo_t info{};
    if (cdio && cdio_get_hwinfo(cdio.get(), &info)) {
        const std::string named = Trimmed(std::string(info.psz_vendor) + " " + info.psz_model);
        if (!named.empty()) description = named + " (" + device + ")";
    }
    return description;
}

void PutBigEndian(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

bool Listed(const FrameRanges& ranges, int32_t first, int32_t count) {
    const int32_t last = first + count - 1;
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const auto& r) { return r.first <= last && r.second >= first; });
}

class DirectReader : public FrameReader {
  public:
    DirectReader(CdIo_t* cdio, FrameRanges unreadable)
        : cdio_(cdio), unreadable_(std::move(unreadable)) {}

    bool Read(int32_t first, int32_t count, uint8_t* out, ReadFailure& failure) override {
        if (Listed(unreadable_, first, count) ||
            cdio_read_audio_sectors(cdio_, out, first, static_cast<uint32_t>(count)) !=
                DRIVER_OP_SUCCESS) {
            failure = {A1_STATUS_ERROR, kErrorMedium};
            return false;
        }
        return true;
    }

  private:
    CdIo_t* cdio_;
    FrameRanges unreadable_;
};

// The correcting reader reports through a callback without user data; the flag belongs to the
// thread whose read is under way.
thread_local bool t_frameLost = false;

void OnParanoiaEvent(long /*position*/, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP || mode == PARANOIA_CB_READERR) t_frameLost = true;
}

struct DriveCloser {
    void operator()(cdrom_drive_t* drive) const { cdio_cddap_close_no_free_cdio(drive); }
};
struct ParanoiaFree {
    void operator()(cdrom_paranoia_t* p) const { cdio_paranoia_free(p); }
};

class ParanoiaReader : public FrameReader {
  public:
    ParanoiaReader(std::unique_ptr<cdrom_drive_t, DriveCloser> drive,
                   std::unique_ptr<cdrom_paranoia_t, ParanoiaFree> paranoia, int retries)
        : drive_(std::move(drive)), paranoia_(std::move(paranoia)), retries_(retries) {}

    bool Read(int32_t first, int32_t count, uint8_t* out, ReadFailure& failure) override {
        // Seeking drops the reader's cache of verified frames; consecutive chunks go on reading.
        if (first != cursor_) cdio_paranoia_seek(paranoia_.get(), first, SEEK_SET);
        cursor_ = -1;
        t_frameLost = false;
        for (int32_t i = 0; i < count; ++i) {
            const int16_t* frame =
                cdio_paranoia_read_limited(paranoia_.get(), OnParanoiaEvent, retries_);
            if (!frame || t_frameLost) {
                failure = {A1_STATUS_ERROR, kErrorMedium};
                return false;
            }
            std::memcpy(out + static_cast<size_t>(i) * kCdFrameBytes, frame, kCdFrameBytes);
        }
        cursor_ = first + count;
        return true;
    }

  private:
    std::unique_ptr<cdrom_drive_t, DriveCloser> drive_;
    std::unique_ptr<cdrom_paranoia_t, ParanoiaFree> paranoia_;
    int retries_;
    int32_t cursor_ = -1;
};

// A frame that cannot be read after this many re-reads fails, so that a hopeless spot of a worn
// disc costs seconds, not minutes.
constexpr int kParanoiaRetries = 8;

// libcdio's default log handler ends the whole program on an error message, such as a malformed
// CUE sheet in the image folder: its messages are dropped, and failures show in return values.
void QuietLibcdio() {
    static const bool quiet = (cdio_log_set_handler([](cdio_log_level_t, const char*) {}), true);
    (void)quiet;
}

}  // namespace

std::vector<DriveInfo> ListDrives(const std::string& imageFolder, size_t limit) {
    QuietLibcdio();
    std::vector<DriveInfo> drives;
    // With no drive the list is null, not empty.
    if (char** devices = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** d = devices; *d && drives.size() < limit; ++d) {
            drives.push_back({*d, HardwareDescription(*d), false});
        }
        cdio_free_device_list(devices);
    }
    for (const std::string& image : disc_images::ListImages(imageFolder)) {
        if (drives.size() >= limit) break;
        drives.push_back(
            {image, "Disc image " + std::filesystem::path(image).stem().string(), true});
    }
    return drives;
}

std::vector<uint8_t> TocBytes(const Toc& toc) {
    std::vector<uint8_t> bytes(A1_TOC_BYTES, 0);
    const size_t descriptors = std::min<size_t>(toc.tracks.size() + 1, 100);
    const size_t length = 2 + 8 * descriptors;
    bytes[0] = static_cast<uint8_t>(length >> 8);
    bytes[1] = static_cast<uint8_t>(length);
    bytes[2] = static_cast<uint8_t>(toc.first);
    bytes[3] = static_cast<uint8_t>(toc.last);
    auto put = [&](size_t index, int number, int control, int32_t start) {
        uint8_t* d = bytes.data() + 4 + 8 * index;
        d[1] = static_cast<uint8_t>(0x10 | control);  // ADR 1: the sub-channel gives positions
        d[2] = static_cast<uint8_t>(number);
        PutBigEndian(d + 4, static_cast<uint32_t>(start));
    };
    for (size_t i = 0; i + 1 < descriptors; ++i) {
        const TocTrack& t = toc.tracks[i];
        put(i, t.number, (t.data ? 4 : 0) | (t.copyPermitted ? 2 : 0) | (t.preemphasis ? 1 : 0),
            t.start);
    }
    put(descriptors - 1, 0xAA, 0, toc.leadOut);
    return bytes;
}

uint32_t DiscId(const Toc& toc) {
    if (toc.tracks.empty()) return 0;
    // Positions count from the start of the lead-in, 150 frames before frame 0.
    auto seconds = [](int32_t frame) {
        return static_cast<int>(media::CdFrames(frame + 150).seconds());
    };
    uint32_t digits = 0;
    for (const TocTrack& t : toc.tracks) {
        for (int s = seconds(t.start); s > 0; s /= 10) digits += static_cast<uint32_t>(s % 10);
    }
    const auto length = static_cast<uint32_t>(seconds(toc.leadOut) - seconds(toc.tracks[0].start));
    return (digits % 0xff) << 24 | length << 8 | static_cast<uint32_t>(toc.tracks.size());
}

FrameRanges ReadFrameRanges(const std::string& path) {
    FrameRanges ranges;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = Trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        char* end = nullptr;
        const long first = std::strtol(line.c_str(), &end, 10);
        if (end == line.c_str()) continue;
        long last = first;
        if (*end == '-') {
            char* after = nullptr;
            last = std::strtol(end + 1, &after, 10);
            if (after == end + 1) continue;
        }
        if (last >= first)
            ranges.emplace_back(static_cast<int32_t>(first), static_cast<int32_t>(last));
    }
    return ranges;
}

std::unique_ptr<FrameReader> MakeDirectReader(CdIo_t* cdio, FrameRanges unreadable) {
    return std::make_unique<DirectReader>(cdio, std::move(unreadable));
}

std::unique_ptr<FrameReader> MakeParanoiaReader(CdIo_t* cdio, int retries) {
    std::unique_ptr<cdrom_drive_t, DriveCloser> drive(
        cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr));
    if (!drive || cdio_cddap_open(drive.get()) != 0) return nullptr;
    std::unique_ptr<cdrom_paranoia_t, ParanoiaFree> paranoia(cdio_paranoia_init(drive.get()));
    if (!paranoia) return nullptr;
    cdio_paranoia_modeset(paranoia.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    return std::make_unique<ParanoiaReader>(std::move(drive), std::move(paranoia), retries);
}

Disc::~Disc() = default;

std::unique_ptr<Disc> Disc::Open(const DriveInfo& drive, std::string* problem) {
    QuietLibcdio();
    std::unique_ptr<Disc> disc(new Disc);
    if (!drive.image) {
        disc->cdio_.reset(cdio_open(drive.path.c_str(), DRIVER_DEVICE));
        return disc->cdio_ ? std::move(disc) : nullptr;
    }
    auto layout = std::make_unique<ImageLayout>();
    std::string why;
    if (!ReadImageLayout(drive.path, *layout, why)) {
        if (problem)
            *problem =
                "disc image " + std::filesystem::path(drive.path).filename().string() + ": " + why;
        return nullptr;
    }
    // The unreadable frames of a test image: "x.badframes" beside "x.cue" (or .toc, .nrg).
    std::filesystem::path badFrames(drive.path);
    badFrames.replace_extension(".badframes");
    disc->reader_ = MakeImageReader(*layout, ReadFrameRanges(badFrames.string()));
    disc->image_ = std::move(layout);
    return disc;
}

bool Disc::ReadToc(Toc& toc) {
    toc = Toc{};
    if (image_) {
        toc.first = image_->tracks.front().number;
        toc.last = image_->tracks.back().number;
        for (const ImageTrack& t : image_->tracks)
            toc.tracks.push_back({t.number, t.start, t.data, t.preemphasis, t.copyPermitted});
        toc.leadOut = image_->leadOut;
        return true;
    }
    CdIo_t* cdio = cdio_.get();
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
        first + count - 1 > 99) {
        return false;
    }
    toc.first = first;
    toc.last = first + count - 1;
    for (int t = toc.first; t <= toc.last; ++t) {
        const auto number = static_cast<track_t>(t);
        TocTrack track;
        track.number = t;
        track.start = cdio_get_track_lsn(cdio, number);
        track.data = cdio_get_track_format(cdio, number) != TRACK_FORMAT_AUDIO;
        track.preemphasis = cdio_get_track_preemphasis(cdio, number) == CDIO_TRACK_FLAG_TRUE;
        track.copyPermitted = cdio_get_track_copy_permit(cdio, number) == CDIO_TRACK_FLAG_TRUE;
        if (track.start == CDIO_INVALID_LSN) return false;
        toc.tracks.push_back(track);
    }
    toc.leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    return toc.leadOut != CDIO_INVALID_LSN;
}

int32_t Disc::LeadOut() const {
    if (image_) return image_->leadOut;
    const lsn_t leadOut = cdio_get_track_lsn(cdio_.get(), CDIO_CDROM_LEADOUT_TRACK);
    return leadOut == CDIO_INVALID_LSN ? -1 : leadOut;
}

bool Disc::ReadFrames(int32_t first, int32_t count, uint8_t* out, ReadFailure& failure) {
    const int32_t leadOut = LeadOut();
    if (leadOut < 0) {
        failure = {A1_STATUS_NO_MEDIA, kErrorNotReady};
        return false;
    }
    if (count <= 0 || first < 0 || first > leadOut - count) {
        failure = {A1_STATUS_INVALID, kErrorIllegalRequest};
        return false;
    }
    // A real drive reads through the correcting reader, directly when that cannot be opened.
    if (!reader_) reader_ = MakeParanoiaReader(cdio_.get(), kParanoiaRetries);
    if (!reader_) reader_ = MakeDirectReader(cdio_.get());
    return reader_->Read(first, count, out, failure);
}

std::optional<std::string> Disc::CdText(int track, int field) {
    if (image_) {
        const std::string* value = nullptr;
        if (track == 0) {
            value = field == 1 ? &image_->performer : &image_->title;
        } else {
            for (const ImageTrack& t : image_->tracks)
                if (t.number == track) value = field == 1 ? &t.performer : &t.title;
        }
        if (!value || value->empty()) return std::nullopt;
        return *value;
    }
    const cdtext_t* text = cdio_get_cdtext(cdio_.get());
    if (!text || track < 0 || track > 99) return std::nullopt;
    const char* value =
        cdtext_get_const(text, field == 1 ? CDTEXT_FIELD_PERFORMER : CDTEXT_FIELD_TITLE,
                         static_cast<track_t>(track));
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

}  // namespace cd_access
