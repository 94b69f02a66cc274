// M3U playlists on any text: the track list loads what it can, writes it back, and loading what
// it wrote gives the same rows; the playlist text of any rows reads back line for line.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>

#include "fuzz/fuzz_lists.h"
#include "fuzz/fuzz_support.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"
#include "uikit/track_list.h"
#include "uikit/track_rules.h"

namespace {

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
    FUZZ_CHECK(fuzz::Rows(again) == fuzz::Rows(list));
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
    fuzz::StartListWorld(argc, argv);
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
