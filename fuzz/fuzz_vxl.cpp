// The burner's .vxl project files on any text: the track list loads the title and path pairs it
// can, writes them back, and loading what it wrote gives the same rows; an empty list is written
// as an empty file.
#include <unistd.h>

#include <QApplication>

#include "fuzz/fuzz_support.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"
#include "uikit/track_list.h"

namespace {

// MPEG-1 Layer III frames (128 kbit/s, 44100 Hz) with silent payloads: files the list takes.
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(*argc, *argv);
    platform::SetUi(std::make_unique<platform::ScriptedUi>());
    // Project files name the files below by relative paths.
    if (::chdir(fuzz::Scratch().c_str()) != 0) std::abort();
    fuzz::WriteFile("one.mp3", SilentMp3(40));
    fuzz::WriteFile("two.mp3", SilentMp3(90));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ::unlink("saved.vxl");
    const std::string path = fuzz::WriteFile("input.vxl", data, size);
    CTrackListCtrl list(ProgramKind::Burner);
    list.LoadTitleList(path);
    FUZZ_CHECK(static_cast<size_t>(list.RowCount()) <= size / 2 + 1);
    list.SaveTitleList("saved.vxl");
    const std::vector<uint8_t> saved = fuzz::ReadFile("saved.vxl");
    FUZZ_CHECK(list.RowCount() > 0 || saved.empty());

    CTrackListCtrl again(ProgramKind::Burner);
    again.LoadTitleList("saved.vxl");
    FUZZ_CHECK(Rows(again) == Rows(list));
    FUZZ_CHECK(again.total() == list.total());
    static_cast<platform::ScriptedUi&>(platform::GetUi()).Clear();
    return 0;
}
