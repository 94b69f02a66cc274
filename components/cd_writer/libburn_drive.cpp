#include "components/cd_writer/libburn_drive.h"

#include <libburn/libburn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
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

bool InitialiseLibburn() {
    static const bool ok = [] {
        if (burn_initialize() != 1) return false;
        // Messages are collected after a failure rather than printed.
        burn_msgs_set_severities(const_cast<char*>("ALL"), const_cast<char*>("NEVER"),
                                 const_cast<char*>("libburn: "));
        return true;
    }();
    return ok;
}

// The most severe recent message of the library, with the SCSI sense data its text carries
// ("... [5 21 02] ...").
BurnFailure CollectFailure() {
    BurnFailure failure;
    int code = 0;
    int osErrno = 0;
    std::vector<char> text(BURN_MSGS_MESSAGE_LEN);
    char severity[80];
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text.data(), &osErrno, severity) ==
           1) {
        const std::string message = text.data();
        unsigned key = 0, asc = 0, ascq = 0;
        const size_t bracket = message.find('[');
        if (bracket != std::string::npos &&
            std::sscanf(message.c_str() + bracket, "[%x %x %x]", &key, &asc, &ascq) == 3) {
            failure.senseKey = static_cast<int>(key);
            failure.asc = static_cast<int>(asc);
            failure.ascq = static_cast<int>(ascq);
        }
        if (message.find("timeout") != std::string::npos) failure.timedOut = true;
        failure.text = message;
    }
    return failure;
}

std::string Field(const char* text, size_t size) {
    std::string s(text, strnlen(text, size));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

class LibburnDrive : public IBurnDrive {
  public:
    LibburnDrive(burn_drive_info* info, std::shared_ptr<burn_drive_info> list)
        : info_(info), list_(std::move(list)) {
        char address[BURN_DRIVE_ADR_LEN] = {};
        if (burn_drive_d_get_adr(info->drive, address) > 0) address_ = address;
    }
    ~LibburnDrive() override {
        Cancel();
        Join();
        if (grabbed_) burn_drive_release(info_->drive, 0);
    }

    std::string Vendor() const override { return Field(info_->vendor, sizeof info_->vendor); }
    std::string Product() const override { return Field(info_->product, sizeof info_->product); }
    std::string Address() const override { return address_; }

    bool Grab() override {
        if (!grabbed_) grabbed_ = burn_drive_grab(info_->drive, 1) == 1;
        return grabbed_;
    }

    MediaStatus Media() override {
        if (!grabbed_) return MediaStatus::None;
        switch (burn_disc_get_status(info_->drive)) {
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

    int MaxWriteSpeedKbs() override {
        return grabbed_ ? burn_drive_get_write_speed(info_->drive) : 0;
    }

    // Writers of CD-R media have offered underrun protection for two decades; libburn leaves
    // the option alone on drives that lack it.
    bool SupportsUnderrunProof() override { return grabbed_; }

    bool StartWrite(const BurnJob& job, BurnFailure* why) override {
        Join();
        burn_drive* d = info_->drive;
        opts_ = burn_write_opts_new(d);
        disc_ = burn_disc_create();
        burn_session* session = burn_session_create();
        burn_disc_add_session(disc_, session, BURN_POS_END);
        int charCodes[8] = {0};  // ISO-8859-1
        int copyrights[8] = {0};
        int languages[8] = {0x09};  // English
        burn_session_set_cdtext_par(session, charCodes, copyrights, languages, 0);
        for (const BurnTrack& t : job.tracks) {
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return Refuse(why, "socketpair");
            feeds_.push_back({pair[1], t.read});
            readEnds_.push_back(pair[0]);
            burn_track* track = burn_track_create();
            burn_track_define_data(track, 0, 0, 1, BURN_AUDIO);
            burn_source* fd =
                burn_fd_source_new(pair[0], -1, static_cast<off_t>(t.sectors) * kSectorBytes);
            burn_source* fifo = burn_fifo_source_new(fd, kSectorBytes, 1024, 0);
            burn_track_set_source(track, fifo ? fifo : fd);
            if (fifo) burn_source_free(fifo);
            burn_source_free(fd);
            SetText(track, "TITLE", t.text.title);
            if (!t.text.performer.empty()) SetText(track, "PERFORMER", t.text.performer);
            burn_session_add_track(session, track, BURN_POS_END);
            burn_track_free(track);
        }
        burn_write_opts_set_write_type(opts_, BURN_WRITE_SAO, BURN_BLOCK_SAO);
        burn_write_opts_set_simulate(opts_, job.simulate ? 1 : 0);
        burn_write_opts_set_underrun_proof(opts_, job.underrunProof ? 1 : 0);
        burn_drive_set_speed(d, 0, job.speedKbs);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn_precheck_write(opts_, disc_, reasons, 0) <= 0) {
            if (why) {
                *why = CollectFailure();
                why->text = reasons;
            }
            Cleanup();
            return false;
        }
        // Each track's audio is pushed into its socket in disc order while libburn pulls it.
        feeder_ = std::thread([feeds = feeds_] {
            std::vector<uint8_t> chunk(static_cast<size_t>(kSectorBytes) * 32);
            for (const auto& [fd, read] : feeds) {
                for (;;) {
                    const long n = read(chunk.data(), chunk.size());
                    if (n <= 0) break;
                    if (::send(fd, chunk.data(), static_cast<size_t>(n), MSG_NOSIGNAL) != n) break;
                }
                ::shutdown(fd, SHUT_WR);
            }
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
        const bool ok = burn_drive_wrote_well(info_->drive) == 1;
        if (!ok && why) *why = CollectFailure();
        Cleanup();
        return ok;
    }

  private:
    static void SetText(burn_track* track, const char* field, const std::string& utf8) {
        std::string text = CueText(utf8);
        burn_track_set_cdtext(track, 0, 0, const_cast<char*>(field),
                              reinterpret_cast<unsigned char*>(text.data()),
                              static_cast<int>(text.size() + 1), 0);
    }

    bool Refuse(BurnFailure* why, const char* what) {
        if (why) why->text = what;
        Cleanup();
        return false;
    }

    void Join() {
        if (feeder_.joinable()) feeder_.join();
    }

    void Cleanup() {
        // Closing the reading ends ends a feeder still waiting to send.
        for (int fd : readEnds_) ::close(fd);
        Join();
        for (const auto& feed : feeds_) ::close(feed.first);
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
    std::vector<std::pair<int, std::function<long(uint8_t*, size_t)>>> feeds_;
    std::vector<int> readEnds_;
    std::thread feeder_;
};

class LibburnLibrary : public IBurnLibrary {
  public:
    std::vector<std::unique_ptr<IBurnDrive>> Scan() override {
        std::vector<std::unique_ptr<IBurnDrive>> drives;
        std::lock_guard lock(LibraryMutex());
        if (!InitialiseLibburn()) return drives;
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

std::unique_ptr<IBurnLibrary> NewLibburnLibrary() { return std::make_unique<LibburnLibrary>(); }

}  // namespace cd_writer
