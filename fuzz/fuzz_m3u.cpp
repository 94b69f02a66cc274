// M3U playlists on any text: the track list loads what it can, writes it back, and loading what
// it wrote gives the same rows; the playlist text of any rows reads back line for line.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"
#include "uikit/track_list.h"
#include "uikit/track_rules.h"

namespace {

// MPEG-1 Layer III frames (128 kbit/s, 44100 Hz) with silent payloads: files the track list
// takes, so that playlists can name them.
std::vector<uint8_t> SilentMp3(int frames) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < frames; ++i) {
        const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
        bytes.insert(bytes.end(), header, header + 4);
        bytes.resize(bytes.size() + 417 - 4, 0);
    }
    return bytes;
}

std::vector<std::vector<std::string>> Rows(const CTrackListCtrl& list) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < list.RowCount(); ++r) {
        rows.push_back({});
        for (int c = 0; c < 4; ++c) rows.back().push_back(list.CellText(r, c));
    }
    return rows;
}

void CheckListRoundTrip(const std::string& text, ProgramKind kind) {
    ::unlink("saved.m3u");
    const std::string path = fuzz::WriteFile("input.m3u", text.data(), text.size());
    CTrackListCtrl list(kind);
    const int lines = list.LoadM3u(path);
    FUZZ_CHECK(lines >= -1 && list.RowCount() <= std::max(lines, 0));
    const int written = list.SaveM3u("saved.m3u");
    FUZZ_CHECK(written == list.RowCount());
    CTrackListCtrl again(kind);
    FUZZ_CHECK(again.LoadM3u("saved.m3u") == written);
    FUZZ_CHECK(Rows(again) == Rows(list));
    FUZZ_CHECK(again.total() == list.total());
}

void CheckTextRoundTrip(FuzzedDataProvider& input) {
    std::vector<TrackEntry> tracks(input.ConsumeIntegralInRange<size_t>(0, 4));
    for (TrackEntry& track : tracks) {
        track.title = input.ConsumeRandomLengthString(40);
        track.time = input.ConsumeRandomLengthString(12);
        track.path = input.ConsumeRandomLengthString(40);
        // A path is one line of the playlist: it cannot hold a line end.
        std::replace_if(
            track.path.begin(), track.path.end(), [](char c) { return c == '\r' || c == '\n'; },
            '_');
    }
    FUZZ_CHECK(WriteFileReplacing("built.m3u", BuildM3uText(tracks)));
    const M3uContents back = ReadM3uFile("built.m3u");
    FUZZ_CHECK(back.status == M3uReadStatus::Ok);
    FUZZ_CHECK(back.lines.size() == 2 * tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i) {
        FUZZ_CHECK(IsExtInfLine(back.lines[2 * i]));
        FUZZ_CHECK(back.lines[2 * i + 1] == tracks[i].path);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(*argc, *argv);
    platform::SetUi(std::make_unique<platform::ScriptedUi>());
    // Playlists name the files below by relative paths.
    if (::chdir(fuzz::Scratch().c_str()) != 0) std::abort();
    fuzz::WriteFile("one.mp3", SilentMp3(40));
    fuzz::WriteFile("two.mp3", SilentMp3(90));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The whole input is the playlist; its last byte picks the program whose list reads it. The
    // same bytes also make the rows of the text check.
    const bool burner = size > 0 && (data[size - 1] & 1);
    CheckListRoundTrip(std::string(reinterpret_cast<const char*>(data), size),
                       burner ? ProgramKind::Burner : ProgramKind::Studio);
    FuzzedDataProvider input(data, size);
    CheckTextRoundTrip(input);
    static_cast<platform::ScriptedUi&>(platform::GetUi()).Clear();
    return 0;
}
