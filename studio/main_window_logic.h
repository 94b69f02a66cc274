// What the studio's main window decides without needing a window: its layout, the drop rule,
// the name of an MMF ringtone, and the arithmetic of playing the selected part.
#pragma once

#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/accelerators.h"

namespace studio {

// ---- Layout, in pixels -------------------------------------------------------------------------

inline constexpr QSize kMainWindowSize{704, 454};
inline constexpr int kBackgroundBitmap = 114;
inline constexpr int kIconBitmap = 113;
// The wave editor's rectangle (left, top)-(right, bottom).
inline constexpr QRect kEditorRect{QPoint(2, 110), QPoint(702 - 1, 415 - 1)};
inline constexpr int kProgressId = 1032;
inline constexpr QRect kProgressRect{QPoint(10, 420), QPoint(692 - 1, 430 - 1)};
// Where "File-> %s" is drawn (top-left of the text), and its colour RGB(0, 36, 138).
inline constexpr QPoint kFileNamePos{20, 436};
inline constexpr int kFileNameRgb = 0x00248A;

// Command ids of the main window.
enum MainCommand : int {
    kCmdNew = 1049,
    kCmdOpenMp3 = 1004,
    kCmdSaveAsMmf = 1000,
    kCmdSaveAsMp3 = 1003,
    kCmdSaveAsWav = 1002,
    kCmdMp3Info = 1010,
    kCmdMp3ToWav = 1008,
    kCmdWavToMp3 = 1005,
    kCmdHelp = 1018,
    kCmdMp3ToCd = 1016,
    kCmdBigToSmall = 1061,
    kCmdCdToMp3 = 1109,
    kCmdExtractFromCd = 1108,
    kCmdPlay = 1024,
    kCmdStop = 1026,
    kCmdMinimize = 1044,
    kCmdExit = 1022,
};

// Keyboard commands without a button of their own.
enum KeyCommand : int {
    kCmdPlayOrStop = 40001,  // Stop while the part plays, Play otherwise
    kCmdMarkStart = 40002,   // the part starts at the play cursor
    kCmdMarkEnd = 40003,     // the part ends at the play cursor
};

struct MainButton {
    int id;
    const char* caption;  // the caption of the template (the tooltip; the bitmap shows the face)
    int normalBitmap;
    int activeBitmap;  // shown while the pointer is over the button and while it is pressed
    QRect rect;        // in pixels
};

// The seventeen command buttons, in template order.
const std::array<MainButton, 17>& MainButtons();

// The window's keys: Ctrl+O, Ctrl+S, Ctrl+Shift+S, Ctrl+N and F1 for their buttons' commands,
// "[" and "]" for the part's edges, and Space for Play/Stop, which yields to a focused button.
const std::vector<platform::Accelerator>& MainAccelerators();

// A button's tooltip: its caption without trailing blanks and, after it, the keys of its
// command ("Open mp3 (Ctrl+O)"; Play and Stop name Space).
std::string MainButtonTip(const MainButton& button);
// The button's name for screen readers: the caption without trailing blanks.
std::string MainButtonName(const MainButton& button);

// The name a save dialog suggests for the part of the current song: "<song> ringtone.<ext>";
// empty when no song is open.
std::string SuggestedRingtoneFile(const std::string& currentFileName, const std::string& ext);

// ---- Window texts ------------------------------------------------------------------------------

// "File-> %s" with the current file name.
std::string FileNameText(const std::string& currentFileName);

// The name an MMF ringtone gets from the current file name: the file's name without its
// extension and folder, "CD" after a CD extraction. A name that would be empty becomes
// "ringtone".
std::string RingtoneName(const std::string& currentFileName);

// ---- Drops -------------------------------------------------------------------------------------

enum class DropVerdict { Accept, SeveralFiles, InvalidFormat };
// Files dropped on the window: exactly one, a song by its extension (IsSongFileName: ".mp3" or
// one of the other music files).
DropVerdict CheckDrop(const std::vector<std::string>& paths);
// The message for a refused drop ("" for Accept).
const char* DropMessage(DropVerdict verdict);

// ---- Playing the selection ---------------------------------------------------------------------

struct PlayPlan {
    int32_t start = 0;    // selection start, lowered to a multiple of the block alignment
    int32_t end = 0;      // selection end, lowered the same way
    uint32_t seekMs = 0;  // where playback starts; 0 means no seek
    uint32_t endMs = 0;   // the position at which the playback is stopped
};

// True when the selection (in positions) is too short to play or save.
bool SelectionTooShort(int32_t start, int32_t end);

// The playback of selection (start, end) of a WAV with `bytesPerSecond` and `blockAlign`: a
// position p is byte 2 × p of the sample data, so the selection starts at 2 × start bytes, that
// is trunc(2 × start ÷ bytesPerSecond × 1000) ms. Nullopt when the format cannot be played (no
// bytes per second or no block alignment).
std::optional<PlayPlan> PlanPlayback(int32_t start, int32_t end, uint32_t bytesPerSecond,
                                     uint32_t blockAlign);

// Where the editor's play cursor goes while the playback is at `positionMs`:
// trunc(positionMs × 0.001 × bytesPerSecond × 0.25).
int32_t PlayCursorFor(uint32_t positionMs, uint32_t bytesPerSecond);

}  // namespace studio
