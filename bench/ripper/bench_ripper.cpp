// Benchmark of the CD ripper against the peer command-line tools, on one generated disc image of
// three 200-second tracks (10 minutes):
//   WAV: every track read through the CD-access library into its WAV, as the ripper's worker
//        reads it  vs  cd-paranoia -B on the same image
//   MP3: a whole CD-to-MP3 rip run (read, then encode with the ripper's extreme preset and tags)
//        vs  cd-paranoia -B followed by lame --preset extreme on each track
// Every run is a child process, so both sides pay the same start-up; the best run counts.
//
//   bench_ripper [runs]     (default 3)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/support/bench_support.h"
#include "studio/codec_engine.h"
#include "studio/session.h"
#include "studio/tools/cd_drives.h"
#include "studio/tools/cd_rip.h"
#include "tests/support/cd_images.h"

namespace {

using bench::Best;
using bench::InChild;
using bench::Run;

// Runs a peer command in `folder`.
int Exec(std::vector<std::string> argv, const std::string& folder) {
    return bench::ExecQuiet(std::move(argv), folder);
}

// The worker's window, without a window: nothing to show, every question answered "No".
class NoWindow : public studio::IRipWindow {
  public:
    void PostTrackChanged(int) override {}
    void PostRunEnded() override {}
    void StartEncodeTimer() override {}
    void StopEncodeTimer() override {}
    int Confirm(const std::string&) override { return studio::kConfirmNo; }
};

// Lists the image, reads its tracks and ticks every one.
bool PrepareRipper(studio::Session& session) {
    studio::CdLists& cd = session.cd;
    if (cd.EnumerateDrives() != 1 || !cd.RefreshTracks(0)) return false;
    // As the ripper's list does: positions become the 0-based rows.
    int row = 0;
    for (studio::CdTrack& track : cd.tracks) {
        track.ticked = true;
        track.position = row++;
    }
    cd.currentDrive = 0;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::filesystem::path root = bench::ScratchFolder("bench_ripper");
    const std::string discs = (root / "discs").string();
    const std::string out = (root / "out").string();
    std::filesystem::create_directories(discs);
    ::setenv("VEXMOR_DISC_IMAGES", discs.c_str(), 1);
    ::setenv("VEXMOR_SYSTEM_DIR", VX_SYSTEM_DIR, 0);
    ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);

    testing_support::DiscImage disc;
    disc.title = "Benchmark";
    disc.performer = "Generator";
    disc.tracks = {
        {15000, false, "One", ""}, {15000, false, "Two", ""}, {15000, false, "Three", ""}};
    const std::string cue = testing_support::WriteDiscImage(discs, "bench", disc);
    std::printf("disc image: 3 tracks, %d frames (10:00)\n", 45000);

    const Run wavOurs = Best(runs, [&] {
        bench::FreshFolder(out);
        return InChild([&] {
            studio::Session session;
            if (!PrepareRipper(session)) return 1;
            NoWindow window;
            session.ripper.ripping.store(1);
            std::vector<studio::CdTrack>& tracks = session.cd.tracks;
            for (size_t i = 0; i < tracks.size(); ++i) {
                const std::string wav = out + "/track" + std::to_string(i + 1) + ".wav";
                if (!studio::ReadTrackToWav(session, window, tracks[i], static_cast<int>(i), wav))
                    return 1;
                if (tracks[i].status.load() != studio::kStatusRead) return 1;
            }
            return 0;
        });
    });
    const Run wavPeer = Best(runs, [&] {
        bench::FreshFolder(out);
        return InChild([&] { return Exec({"cd-paranoia", "-q", "-d", cue, "-B", "1-3"}, out); });
    });

    const int mp3Runs = std::max(1, runs - 1);
    const Run mp3Ours = Best(mp3Runs, [&] {
        bench::FreshFolder(out);
        return InChild([&] {
            studio::Session session;
            if (!session.BindCodecEngine() || !PrepareRipper(session)) return 1;
            studio::RipperState& state = session.ripper;
            state.mode = studio::RipMode::CdToMp3;
            state.outputFolder = out + "/";
            state.ripping.store(1);
            state.finished.store(0);
            NoWindow window;
            studio::RipRun(session, window);
            for (int i = 1; i <= 3; ++i) {
                if (!std::filesystem::exists(studio::TrackMp3Path(out, i - 1))) return 1;
            }
            return 0;
        });
    });
    const Run mp3Peer = Best(mp3Runs, [&] {
        bench::FreshFolder(out);
        return InChild([&] {
            if (Exec({"cd-paranoia", "-q", "-d", cue, "-B", "1-3"}, out) != 0) return 1;
            for (int i = 1; i <= 3; ++i) {
                char wav[32], mp3[32];
                std::snprintf(wav, sizeof wav, "track%02d.cdda.wav", i);
                std::snprintf(mp3, sizeof mp3, "track%02d.mp3", i);
                if (Exec({"lame", "--quiet", "--preset", "extreme", wav, mp3}, out) != 0) return 1;
            }
            return 0;
        });
    });
    std::filesystem::remove_all(root);

    if (!wavOurs.ok || !wavPeer.ok || !mp3Ours.ok || !mp3Peer.ok) {
        std::fprintf(stderr, "a run failed (ours wav %d, peer wav %d, ours mp3 %d, peer mp3 %d)\n",
                     wavOurs.ok, wavPeer.ok, mp3Ours.ok, mp3Peer.ok);
        return 1;
    }
    std::printf("rip to WAV: ripper %.3f s, cd-paranoia %.3f s, ratio %.3f (goal <= 1.1)\n",
                wavOurs.seconds, wavPeer.seconds, wavOurs.seconds / wavPeer.seconds);
    std::printf("rip to MP3: ripper %.3f s, cd-paranoia + lame %.3f s, ratio %.3f (goal <= 1.0)\n",
                mp3Ours.seconds, mp3Peer.seconds, mp3Ours.seconds / mp3Peer.seconds);
    return 0;
}
