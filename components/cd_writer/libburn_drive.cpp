#include "components/cd_writer/libburn_drive.h"

#include <libburn/libburn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "components/cd_writer/cue_sheet.h"

namespace cd_writer {
namespace {

// libburn.h declares its interface inside namespace burn when compiled as C++.
using namespace burn;

std::mutex& LibraryMutex() {
    static std::mutex mutex;
    return mutex;
}

bool Initialise() {
    static const bool ok = [] {
        if (burn_initialize() != 1) return false;
        // Messages are collected after a failure rather than printed.
        burn_msgs_set_severities(const_cast<char*>("ALL"), const_cast<char*>("NEVER"),
                                 const_cast<char*>("libburn: "));
        return true;
    }();
    return ok;
}

std::string Field(const char* text, size_t size) {
    std::string s(text, strnlen(text, size));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// A CD-Text field (TITLE, PERFORMER) of the session or of a track, in ISO-8859-1.
bool SetText(burn_session* session, burn_track* track, const char* field,
             const std::string& utf8) {
    std::string text = CueText(utf8);
    auto* payload = reinterpret_cast<unsigned char*>(text.data());
    const int length = static_cast<int>(text.size() + 1);
    char* name = const_cast<char*>(field);
    return (track ? burn_track_set_cdtext(track, 0, 0, name, payload, length, 0)
                  : burn_session_set_cdtext(session, 0, 0, name, payload, length, 0)) > 0;
}

// Sends all of `n` bytes, again after an interrupted or partial send.
bool SendAll(int fd, const uint8_t* data, size_t n) {
    while (n > 0) {
        const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

struct Feed {
    int fd;  // the writing end of the track's socket pair
    int64_t bytes;
    std::function<long(uint8_t*, size_t)> read;
};

class LibburnDrive : public IBurnDrive {
  public:
    LibburnDrive(burn_drive_info* info, std::shared_ptr<burn_drive_info> list)
        : info_(info), list_(std::move(list)) {
        char address[BURN_DRIVE_ADR_LEN] = {};
        if (burn_drive_d_get_adr(info->drive, address) > 0) address_ = address;
    }
    ~LibburnDrive() override {
        Cancel();
        Cleanup();
        Release();
    }

    std::string Vendor() const override { return Field(info_->vendor, sizeof info_->vendor); }
    std::string Product() const override { return Field(info_->product, sizeof info_->product); }
    std::string Address() const override { return address_; }

    bool Grab() override {
        if (!grabbed_) grabbed_ = burn_drive_grab(info_->drive, 1) == 1;
        return grabbed_;
    }

    void Release() override {
        if (!grabbed_) return;
        burn_drive_release(info_->drive, 0);
        grabbed_ = false;
    }

    MediaStatus Media() override {
        if (!grabbed_) return MediaStatus::None;
        burn_drive* d = info_->drive;
        enum burn_disc_status status = burn_disc_get_status(d);
        // The state read at grab time may be "not yet known"; look again.
        if (status == BURN_DISC_UNREADY && burn_drive_re_assess(d, 0) == 1)
            status = burn_disc_get_status(d);
        switch (status) {
            case BURN_DISC_UNREADY:
                return MediaStatus::Unready;
            case BURN_DISC_BLANK:
                return MediaStatus::Blank;
            case BURN_DISC_APPENDABLE:
                return MediaStatus::Appendable;
            case BURN_DISC_FULL:
                return MediaStatus::Full;
            case BURN_DISC_UNSUITABLE:
                return MediaStatus::Unsuitable;
            default:
                return MediaStatus::None;
        }
    }

    int64_t FreeSectors() override {
        if (!grabbed_) return 0;
        const off_t bytes = burn_disc_available_space(info_->drive, nullptr);
        return bytes > 0 ? static_cast<int64_t>(bytes / 2048) : 0;
    }

    std::vector<int> WriteSpeedsKbs() override {
        std::vector<int> speeds;
        if (!grabbed_) return speeds;
        burn_speed_descriptor* list = nullptr;
        if (burn_drive_get_speedlist(info_->drive, &list) > 0) {
            for (const burn_speed_descriptor* s = list; s; s = s->next)
                if (s->write_speed > 0) speeds.push_back(s->write_speed);
            burn_drive_free_speedlist(&list);
        }
        if (speeds.empty()) {
            const int best = burn_drive_get_write_speed(info_->drive);
            if (best > 0) speeds.push_back(best);
        }
        return speeds;
    }

    bool SupportsUnderrunProof() override {
        if (!grabbed_) return false;
        burn_write_opts* opts = burn_write_opts_new(info_->drive);
        if (!opts) return false;
        const bool has = burn_write_opts_set_underrun_proof(opts, 1) == 1;
        burn_write_opts_free(opts);
        return has;
    }

    bool StartWrite(const BurnJob& job, BurnFailure* why) override {
        Cleanup();
        // Messages of earlier operations are not this write's failure.
        CollectLibburnFailure();
        burn_drive* d = info_->drive;
        std::vector<int> readEnds;
        for (const BurnTrack& t : job.tracks) {
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
                const std::string reason = std::string("socketpair: ") + std::strerror(errno);
                for (int fd : readEnds) ::close(fd);
                return Refuse(why, reason);
            }
            feeds_.push_back({pair[1], t.sectors * kCdFrameBytes, t.read});
            readEnds.push_back(pair[0]);
        }
        disc_ = NewLibburnDisc(job.tracks, readEnds);
        if (!disc_) return Refuse(why, "The disc could not be laid out for the drive");
        readEnds_ = readEnds;
        opts_ = burn_write_opts_new(d);
        if (!opts_) return Refuse(why, "The write options could not be made");
        burn_write_opts_set_write_type(opts_, BURN_WRITE_SAO, BURN_BLOCK_SAO);
        burn_write_opts_set_simulate(opts_, job.simulate ? 1 : 0);
        burn_write_opts_set_underrun_proof(opts_, job.underrunProof ? 1 : 0);
        burn_drive_set_speed(d, 0, job.speedKbs);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn_precheck_write(opts_, disc_, reasons, 0) <= 0) {
            BurnFailure failure = CollectLibburnFailure();
            failure.text = reasons;
            return Refuse(why, failure);
        }
        feedFailure_.clear();
        // Each track's audio is pushed into its socket in disc order while libburn pulls it.
        // A track that cannot be given whole cancels the write: libburn would pad it with zeros.
        feeder_ = std::thread([this, feeds = feeds_, d] {
            std::vector<uint8_t> chunk(static_cast<size_t>(kCdFrameBytes) * 32);
            size_t next = 0;
            for (; next < feeds.size(); ++next) {
                const Feed& feed = feeds[next];
                int64_t left = feed.bytes;
                std::string failure;
                while (left > 0) {
                    const size_t want = static_cast<size_t>(
                        std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
                    const long n = feed.read(chunk.data(), want);
                    if (n <= 0 || static_cast<size_t>(n) > want) {
                        failure = "The audio of track " + std::to_string(next + 1) +
                                  " could not be read to its end";
                        break;
                    }
                    if (!SendAll(feed.fd, chunk.data(), static_cast<size_t>(n))) {
                        failure = "Feeding track " + std::to_string(next + 1) +
                                  " failed: " + std::strerror(errno);
                        break;
                    }
                    left -= n;
                }
                if (!failure.empty()) {
                    {
                        std::lock_guard lock(feedMutex_);
                        feedFailure_ = failure;
                    }
                    burn_drive_cancel(d);
                    break;
                }
                ::shutdown(feed.fd, SHUT_WR);
            }
            // After a failure the tracks not fed end at once.
            for (; next < feeds.size(); ++next) ::shutdown(feeds[next].fd, SHUT_WR);
        });
        burn_disc_write(opts_, disc_);
        return true;
    }

    BurnProgress Progress() override {
        BurnProgress out;
        burn_progress p{};
        switch (burn_drive_get_status(info_->drive, &p)) {
            case BURN_DRIVE_IDLE:
                out.phase = BurnPhase::Idle;
                return out;
            case BURN_DRIVE_WRITING:
            case BURN_DRIVE_WRITING_SYNC:
                out.phase = BurnPhase::Writing;
                break;
            case BURN_DRIVE_CLOSING_TRACK:
                out.phase = BurnPhase::ClosingTrack;
                break;
            case BURN_DRIVE_CLOSING_SESSION:
            case BURN_DRIVE_WRITING_LEADOUT:
                out.phase = BurnPhase::ClosingSession;
                break;
            default:
                out.phase = BurnPhase::Preparing;
                break;
        }
        out.track = p.track;
        out.sector = p.sector;
        return out;
    }

    void Cancel() override {
        if (disc_) burn_drive_cancel(info_->drive);
    }

    bool Finish(BurnFailure* why) override {
        const bool wroteWell = burn_drive_wrote_well(info_->drive) == 1;
        BurnFailure failure = CollectLibburnFailure();
        // Taken before the clean-up, whose shutdown ends a feeder still sending on purpose.
        std::string fed;
        {
            std::lock_guard lock(feedMutex_);
            fed = feedFailure_;
        }
        Cleanup();
        if (!fed.empty()) {
            // The feeder's failure is the cause; what libburn said after it is its consequence.
            failure = BurnFailure{};
            failure.text = fed;
        }
        if (wroteWell && fed.empty()) return true;
        if (why) *why = failure;
        return false;
    }

  private:
    bool Refuse(BurnFailure* why, std::string what) {
        BurnFailure failure;
        failure.text = std::move(what);
        return Refuse(why, failure);
    }
    bool Refuse(BurnFailure* why, const BurnFailure& failure) {
        if (why) *why = failure;
        Cleanup();
        return false;
    }

    void Cleanup() {
        // Shutting the reading ends down ends a feeder still waiting to send; the reading ends
        // themselves belong to the disc's track sources, which close them when it is freed.
        for (int fd : readEnds_) ::shutdown(fd, SHUT_RDWR);
        if (feeder_.joinable()) feeder_.join();
        for (const Feed& feed : feeds_) ::close(feed.fd);
        readEnds_.clear();
        feeds_.clear();
        if (disc_) burn_disc_free(disc_);
        if (opts_) burn_write_opts_free(opts_);
        disc_ = nullptr;
        opts_ = nullptr;
    }

    burn_drive_info* info_;
    std::shared_ptr<burn_drive_info> list_;
    std::string address_;
    bool grabbed_ = false;
    burn_write_opts* opts_ = nullptr;
    burn_disc* disc_ = nullptr;
    std::vector<Feed> feeds_;
    std::vector<int> readEnds_;
    std::thread feeder_;
    std::mutex feedMutex_;
    std::string feedFailure_;
};

class LibburnLibrary : public IBurnLibrary {
  public:
    std::vector<std::unique_ptr<IBurnDrive>> Scan() override {
        std::vector<std::unique_ptr<IBurnDrive>> drives;
        std::lock_guard lock(LibraryMutex());
        if (!Initialise()) return drives;
        burn_drive_info* infos = nullptr;
        unsigned int count = 0;
        // The scan runs on a thread of the library, which writes its results through these two
        // pointers when it ends: it must be asked again until it says it has ended, or it would
        // write into this frame after it is gone.
        int scanned = 0;
        while ((scanned = burn_drive_scan(&infos, &count)) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (scanned < 0 || !infos) return drives;
        std::shared_ptr<burn_drive_info> list(infos,
                                              [](burn_drive_info* p) { burn_drive_info_free(p); });
        for (unsigned int i = 0; i < count; ++i) {
            if (infos[i].write_cdr || infos[i].write_cdrw)
                drives.push_back(std::make_unique<LibburnDrive>(&infos[i], list));
        }
        return drives;
    }
};

}  // namespace

BurnFailure CollectLibburnFailure() {
    BurnFailure failure;
    if (!Initialise()) return failure;
    int code = 0;
    int osErrno = 0;
    std::vector<char> text(BURN_MSGS_MESSAGE_LEN + 1);
    char severity[80];
    bool first = true;
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text.data(), &osErrno, severity) ==
           1) {
        const std::string message = text.data();
        if (first) {
            failure.text = message;
            failure.timedOut = message.find("timeout") != std::string::npos;
            first = false;
        }
        // The first message with SCSI sense data ("... [5 21 02] ...") gives the sense.
        unsigned key = 0, asc = 0, ascq = 0;
        const size_t bracket = message.find('[');
        if (failure.senseKey < 0 && bracket != std::string::npos &&
            std::sscanf(message.c_str() + bracket, "[%x %x %x]", &key, &asc, &ascq) == 3) {
            failure.senseKey = static_cast<int>(key);
            failure.asc = static_cast<int>(asc);
            failure.ascq = static_cast<int>(ascq);
        }
    }
    return failure;
}

burn::burn_disc* NewLibburnDisc(const std::vector<BurnTrack>& tracks,
                                const std::vector<int>& readFds) {
    size_t handed = 0;  // fds owned by a track source so far
    auto fail = [&](burn_disc* disc) -> burn_disc* {
        if (disc) burn_disc_free(disc);
        for (size_t i = handed; i < readFds.size(); ++i) ::close(readFds[i]);
        return nullptr;
    };
    if (!Initialise() || readFds.size() != tracks.size()) return fail(nullptr);
    burn_disc* disc = burn_disc_create();
    burn_session* session = burn_session_create();
    if (!disc || !session) {
        if (session) burn_session_free(session);
        return fail(disc);
    }
    // The disc holds the session from here on; our reference goes.
    const bool added = burn_disc_add_session(disc, session, BURN_POS_END) == 1;
    burn_session_free(session);
    if (!added) return fail(disc);
    int charCodes[8] = {0};  // ISO-8859-1
    int copyrights[8] = {0};
    int languages[8] = {0x09};  // English
    burn_session_set_cdtext_par(session, charCodes, copyrights, languages, 0);
    // libburn makes packs only for the types the session carries: the disc's title and performer
    // (not known here, so empty) open the TITLE and PERFORMER packs of the tracks.
    const bool performers = std::any_of(tracks.begin(), tracks.end(), [](const BurnTrack& t) {
        return !t.text.performer.empty();
    });
    if (!SetText(session, nullptr, "TITLE", "")) return fail(disc);
    if (performers && !SetText(session, nullptr, "PERFORMER", "")) return fail(disc);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const BurnTrack& t = tracks[i];
        burn_source* fd =
            burn_fd_source_new(readFds[i], -1, static_cast<off_t>(t.sectors) * kCdFrameBytes);
        if (!fd) return fail(disc);
        ++handed;  // the source closes it when it is freed
        burn_source* fifo = burn_fifo_source_new(fd, kCdFrameBytes, 1024, 0);
        burn_track* track = burn_track_create();
        if (!track) {
            if (fifo) burn_source_free(fifo);
            burn_source_free(fd);
            return fail(disc);
        }
        burn_track_define_data(track, 0, 0, 1, BURN_AUDIO);
        const bool sourced = burn_track_set_source(track, fifo ? fifo : fd) == BURN_SOURCE_OK;
        if (fifo) burn_source_free(fifo);
        burn_source_free(fd);
        bool ok = sourced && SetText(nullptr, track, "TITLE", t.text.title);
        if (ok && performers) ok = SetText(nullptr, track, "PERFORMER", t.text.performer);
        ok = ok && burn_session_add_track(session, track, BURN_POS_END) == 1;
        burn_track_free(track);
        if (!ok) return fail(disc);
    }
    return disc;
}

std::unique_ptr<IBurnLibrary> NewLibburnLibrary() { return std::make_unique<LibburnLibrary>(); }

}  // namespace cd_writer
