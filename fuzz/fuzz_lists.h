// What the playlist and project-file targets share: a Qt application with a scripted Ui, a
// scratch folder as the working folder holding two MP3 files the lists can name (by relative
// paths), and the rows a list shows.
#pragma once

#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"
#include "uikit/track_list.h"

namespace fuzz {

// MPEG-1 Layer III frames (128 kbit/s, 44100 Hz) with silent payloads: files the lists take.
inline std::vector<uint8_t> SilentMp3(int frames) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < frames; ++i) {
        const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
        bytes.insert(bytes.end(), header, header + 4);
        bytes.resize(bytes.size() + 417 - 4, 0);
    }
    return bytes;
}

// Called from LLVMFuzzerInitialize: "one.mp3" and "two.mp3" in the working folder.
inline void StartListWorld(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(*argc, *argv);
    platform::SetUi(std::make_unique<platform::ScriptedUi>());
    if (::chdir(Scratch().c_str()) != 0) std::abort();
    WriteFile("one.mp3", SilentMp3(40));
    WriteFile("two.mp3", SilentMp3(90));
}

inline std::vector<std::vector<std::string>> Rows(const CTrackListCtrl& list) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < list.RowCount(); ++r) {
        rows.push_back({});
        for (int c = 0; c < 4; ++c) rows.back().push_back(list.CellText(r, c));
    }
    return rows;
}

}  // namespace fuzz
