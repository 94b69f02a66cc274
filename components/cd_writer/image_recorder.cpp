#include "components/cd_writer/image_recorder.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <fcntl.h>
#include <sys/file.h>
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "components/cd_writer/cd_writer_dispids.h"
#include "components/cd_writer/cue_sheet.h"
#include "media/disc_images.h"

namespace cd_writer {
namespace {

using platform::Variant;
namespace fs = std::filesystem;
constexpr size_t kChunkBytes = kCdFrameBytes * 64;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

struct FdCloser {
    void operator()(int* fd) const {
        if (*fd >= 0) ::close(*fd);
        delete fd;
    }
};

bool WriteAll(int fd, const uint8_t* data, size_t size, off_t at) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        at += n;
    }
    return true;
}

// Decodes every track on up to four threads, each track into its place in `fd` (none for a test
// write), and fires the track events in disc order meanwhile. `crcs` receives each track's CRC-32.
// False when the write has ended (aborted, or a file failed).
bool PumpTracks(WriteSession& session, int fd, const std::string& target,
                std::vector<uint32_t>& crcs) {
    const auto& tracks = session.tracks();
    const size_t count = tracks.size();
    std::vector<int64_t> offsets(count, 0);
    for (size_t i = 1; i < count; ++i) offsets[i] = offsets[i - 1] + tracks[i - 1].bytes();
    crcs.assign(count, 0);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int64_t> written(count, 0);
    std::vector<bool> done(count, false);  // written in full, its CRC known
    size_t next = 0;
    bool stop = false;
    struct Failure {
        bool failed = false;
        int32_t kind = 0;
        std::string file;
    } failure;

    auto fail = [&](int32_t kind, const std::string& file) {
        std::lock_guard lock(mutex);
        if (!failure.failed) failure = {true, kind, file};
        stop = true;
        changed.notify_all();
    };
    auto worker = [&] {
        std::vector<uint8_t> chunk(kChunkBytes);
        for (;;) {
            size_t i;
            {
                std::lock_guard lock(mutex);
                if (stop || next >= count) return;
                i = next++;
            }
            int32_t kind = file_error::kRead;
            std::unique_ptr<PcmReader> reader = session.OpenTrack(i, &kind);
            if (!reader) return fail(kind, tracks[i].path);
            uLong crc = crc32(0L, Z_NULL, 0);
            int64_t at = 0;
            for (;;) {
                {
                    std::lock_guard lock(mutex);
                    if (stop) return;
                }
                const long n = reader->Read(chunk.data(), chunk.size());
                if (n < 0) return fail(file_error::kRead, tracks[i].path);
                if (n == 0) break;
                crc = crc32(crc, chunk.data(), static_cast<uInt>(n));
                if (fd >= 0 && !WriteAll(fd, chunk.data(), static_cast<size_t>(n),
                                         static_cast<off_t>(offsets[i] + at)))
                    return fail(file_error::kWrite, target);
                at += n;
                std::lock_guard lock(mutex);
                written[i] = at;
                changed.notify_all();
            }
            std::lock_guard lock(mutex);
            crcs[i] = static_cast<uint32_t>(crc);
            written[i] = tracks[i].bytes();
            done[i] = true;
            changed.notify_all();
        }
    };

    const size_t threads =
        std::min<size_t>({count, 4, std::max(1u, std::thread::hardware_concurrency())});
    std::vector<std::thread> workers;
    for (size_t i = 0; i < threads; ++i) workers.emplace_back(worker);
    auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
            changed.notify_all();
        }
        for (std::thread& t : workers) t.join();
    };

    for (size_t t = 0; t < count; ++t) {
        const auto number = static_cast<int32_t>(t + 1);
        const int64_t size = tracks[t].bytes();
        session.Fire(event::kTrackPreparing, {Variant(number), Variant(int32_t(size))});
        int64_t reported = -1;
        for (;;) {
            int64_t now;
            bool failed;
            bool finished;
            {
                std::unique_lock lock(mutex);
                changed.wait_for(lock, kProgressInterval);
                now = written[t];
                failed = failure.failed;
                finished = done[t];
            }
            if (session.Aborted()) {
                finish();
                session.Cancelled();
                return false;
            }
            if (failed) {
                finish();
                session.FailFile(failure.kind, failure.file);
                return false;
            }
            if (now != reported) {
                reported = now;
                session.Fire(event::kTrackProgress,
                             {Variant(number), Variant(int32_t(now)), Variant(int32_t{0})});
            }
            if (finished) break;
        }
        session.Fire(event::kTrackClosing, {Variant(number)});
    }
    finish();
    if (failure.failed) {
        session.FailFile(failure.kind, failure.file);
        return false;
    }
    return true;
}

struct CdioCloser {
    void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};

enum class ReadBack { Same, Different, Cancelled };

// Reads the image through libcdio and compares every track's length and CRC-32.
ReadBack CheckImage(const std::string& cuePath, const WriteSession& session,
                    const std::vector<uint32_t>& crcs) {
    // libcdio's default log handler ends the program on an error message: drop its messages,
    // a bad image shows in the return values.
    cdio_log_set_handler([](cdio_log_level_t, const char*) {});
    std::unique_ptr<CdIo_t, CdioCloser> cdio(cdio_open_cue(cuePath.c_str()));
    if (!cdio) return ReadBack::Different;
    const auto& tracks = session.tracks();
    const track_t first = cdio_get_first_track_num(cdio.get());
    if (first == CDIO_INVALID_TRACK || cdio_get_num_tracks(cdio.get()) != tracks.size())
        return ReadBack::Different;
    constexpr int kBlock = 32;
    std::vector<uint8_t> buffer(static_cast<size_t>(kCdFrameBytes) * kBlock);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const auto track = static_cast<track_t>(first + i);
        const lsn_t start = cdio_get_track_lsn(cdio.get(), track);
        const lsn_t last = cdio_get_track_last_lsn(cdio.get(), track);
        if (start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN ||
            last - start + 1 != tracks[i].sectors ||
            cdio_get_track_format(cdio.get(), track) != TRACK_FORMAT_AUDIO)
            return ReadBack::Different;
        uLong crc = crc32(0L, Z_NULL, 0);
        for (lsn_t at = start; at <= last; at += kBlock) {
            if (session.Aborted()) return ReadBack::Cancelled;
            const auto n = static_cast<uint32_t>(std::min<lsn_t>(kBlock, last - at + 1));
            if (cdio_read_audio_sectors(cdio.get(), buffer.data(), at, n) != DRIVER_OP_SUCCESS)
                return ReadBack::Different;
            crc = crc32(crc, buffer.data(), n * kCdFrameBytes);
        }
        if (static_cast<uint32_t>(crc) != crcs[i]) return ReadBack::Different;
    }
    return ReadBack::Same;
}

// Writes `text` to `path` and makes it durable before returning.
bool WriteDurably(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0);
    const bool synced = written && ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

enum class Claim { Claimed, Taken, Failed };

// Gives `from` the name `to` as well, never replacing a file that has it already.
Claim ClaimName(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return Claim::Claimed;
    if (errno == EEXIST) return Claim::Taken;
    // File systems without hard links: a move that refuses to replace.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return Claim::Claimed;
    return errno == EEXIST ? Claim::Taken : Claim::Failed;
}

// The private folder a write makes its image in: locked while this process writes, removed with
// the object. Folders of ended writes are swept by disc_images::SweepEndedStaging.
class Staging {
  public:
    bool Make(const std::string& folder) {
        std::string pattern = folder + disc_images::kStagingPrefix + "XXXXXX";
        if (!::mkdtemp(pattern.data())) return false;
        path_ = pattern;
        // Locked under a passing name and then renamed: another write's sweep never finds the
        // lock file unlocked (a folder without one is left alone while it is new).
        const std::string making = path_ + "/" + disc_images::kStagingLock + ".new";
        lockFd_ = ::open(making.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        return lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0 &&
               ::rename(making.c_str(), (path_ + "/" + disc_images::kStagingLock).c_str()) == 0;
    }
    ~Staging() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
        if (lockFd_ >= 0) ::close(lockFd_);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    int lockFd_ = -1;
};

}  // namespace

ImageRecorder::ImageRecorder(std::string folder)
    : folder_(folder.empty() ? disc_images::Folder() : std::move(folder)) {
    if (folder_.back() != '/') folder_ += '/';
}

bool ImageRecorder::HasWritableMedia() {
    std::error_code error;
    fs::create_directories(folder_, error);
    disc_images::SweepEndedStaging(folder_);
    return fs::is_directory(folder_, error) && ::access(folder_.c_str(), W_OK | X_OK) == 0;
}

void ImageRecorder::Write(WriteSession& session) {
    session.Fire(event::kDiscPreparing);
    if (!session.PrepareTracks()) return;
    if (session.totalSectors() > kCd80Sectors) {
        session.Error(write_error::kDevice, device_error::kPastEnd);
        return;
    }
    if (session.options().cacheFiles && !session.CacheTracks()) return;

    std::vector<uint32_t> crcs;
    if (session.options().test) {
        if (!PumpTracks(session, -1, {}, crcs)) return;
        session.Fire(event::kSessionClosing);
        session.Fire(event::kDiscClosing);
        session.Complete();
        return;
    }

    // The image is made in a private folder beside the others and appears under its names only
    // once it has been read back and is on disk, so nothing half-written ever looks like a disc.
    std::error_code error;
    fs::create_directories(folder_, error);
    disc_images::SweepEndedStaging(folder_);
    Staging staging;
    if (!staging.Make(folder_)) {
        session.FailFile(file_error::kWrite, folder_);
        return;
    }
    const std::string base = ImageBaseName(std::time(nullptr));
    const std::string bin = staging.path() + "/image.bin";
    const std::string cue = staging.path() + "/image.cue";
    std::unique_ptr<int, FdCloser> fd(
        new int(::open(bin.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)));
    if (*fd < 0) {
        session.FailFile(file_error::kWrite, folder_ + base + ".bin");
        return;
    }
    if (!PumpTracks(session, *fd, folder_ + base + ".bin", crcs)) return;
    session.Fire(event::kSessionClosing);
    const bool synced = ::fsync(*fd) == 0;
    const int closed = ::close(*fd);
    *fd = -1;
    if (!synced || closed != 0) {
        session.FailFile(file_error::kWrite, folder_ + base + ".bin");
        return;
    }
    std::vector<CueTrack> cueTracks;
    for (const PreparedTrack& t : session.tracks()) cueTracks.push_back({t.sectors, t.text});
    if (!WriteDurably(cue, BuildCueSheet("image.bin", cueTracks))) {
        session.FailFile(file_error::kWrite, folder_ + base + ".cue");
        return;
    }
    session.Fire(event::kDiscClosing);
    if (beforeReadBack_) beforeReadBack_(bin);
    switch (CheckImage(cue, session, crcs)) {
        case ReadBack::Cancelled:
            session.Cancelled();
            return;
        case ReadBack::Different:
            session.Error(write_error::kDevice, device_error::kDiscUnreadable);
            return;
        case ReadBack::Same:
            break;
    }
    // The first free name of base, base-2, base-3, ...: the BIN first (a CUE sheet without its
    // BIN would be listed as a broken disc), then the TOC and the CUE, each naming the BIN. A
    // name another write or the user holds is never replaced.
    for (int n = 1; n < 1000; ++n) {
        const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        const std::string finalBin = folder_ + name + ".bin";
        const std::string stagedToc = staging.path() + "/" + name + ".toc";
        const std::string stagedCue = staging.path() + "/" + name + ".cue";
        if (!WriteDurably(stagedToc, BuildTocFile(name + ".bin", cueTracks)) ||
            !WriteDurably(stagedCue, BuildCueSheet(name + ".bin", cueTracks))) {
            session.FailFile(file_error::kWrite, folder_ + name + ".cue");
            return;
        }
        Claim claim = ClaimName(bin, finalBin);
        if (claim == Claim::Taken) continue;
        std::vector<std::string> claimed{finalBin};
        for (const auto& [from, to] : {std::pair{stagedToc, folder_ + name + ".toc"},
                                       std::pair{stagedCue, folder_ + name + ".cue"}}) {
            if (claim != Claim::Claimed) break;
            claim = ClaimName(from, to);
            if (claim == Claim::Claimed) claimed.push_back(to);
        }
        if (claim != Claim::Claimed) {
            for (const std::string& path : claimed) ::unlink(path.c_str());
            if (claim == Claim::Taken) continue;
            session.FailFile(file_error::kWrite, folder_ + name + ".cue");
            return;
        }
        if (!SyncFolder(folder_)) {
            for (const std::string& path : claimed) ::unlink(path.c_str());
            session.FailFile(file_error::kWrite, folder_ + name + ".cue");
            return;
        }
        lastImage_ = folder_ + name + ".cue";
        session.Complete();
        return;
    }
    session.FailFile(file_error::kWrite, folder_ + base + ".cue");
}

}  // namespace cd_writer
