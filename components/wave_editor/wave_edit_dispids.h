// The wave-editor control's class id and the dispatch ids of its members and events: the
// contract between the control and every host that calls it.
#pragma once

namespace wave_editor {

inline constexpr const char* kWaveEditClassId = "{09551E46-E250-11D2-9A56-0080C605ADA4}";

// Members (Invoke).
namespace dispid {
// Property get, 32-bit int: the play cursor in cursor units, -1 when none is shown.
inline constexpr int kCursor = 10;
// Method LoadFile(path): shows a WAV file. The header is read at once; the picture is built in
// the background (see kLoadState).
inline constexpr int kLoadFile = 15;
// Method Clear(): empties the display.
inline constexpr int kClear = 20;
// Method SetPlayCursor(cursor): moves the play cursor; -1 removes it. Unit: byte 4 * cursor of
// the sample data.
inline constexpr int kSetPlayCursor = 23;
// Method GetSelection(&start, &end): the marked part in positions (byte 2 * p of the sample
// data); 0, 0 when nothing is marked.
inline constexpr int kGetSelection = 24;
// Property get, 32-bit int: 0 empty, 1 reading the file, 2 shown, 3 the file could not be shown.
inline constexpr int kLoadState = 30;
// Method SetSelection(start, end) in positions; start == end clears the selection.
inline constexpr int kSetSelection = 31;
// Property get, 32-bit int: the length of the sample data in positions.
inline constexpr int kLengthPositions = 32;
// Method SetFades(fadeInMs, fadeOutMs): draws fade ramps over the marked part, rising from its
// start over fadeInMs and falling to its end over fadeOutMs; 0 draws no ramp. Display only: the
// sound is not changed.
inline constexpr int kSetFades = 33;
// Method MarkEdgeAtCursor(edge): moves the marked part's start (edge 0) or end (edge 1) to the
// play cursor and fires SelectionChanged. Passing the other edge takes that one to the sound's
// end (a new start) or start (a new end). Nothing happens while no cursor is shown.
inline constexpr int kMarkEdgeAtCursor = 34;
}  // namespace dispid

// Events (sink OnEvent).
namespace eventid {
// SelectionChanged(start, end): in positions, after the user changed the marked part.
inline constexpr int kSelectionChanged = 1;
// LoadFinished(ok): the picture of the file given to LoadFile is complete (true) or the file
// could not be shown (false).
inline constexpr int kLoadFinished = 2;
// ContextMenu(x, y): the user asked for a context menu (right button, menu key) at pixel (x, y)
// of the control. Fired only while a host listens; otherwise the request goes to the parent.
inline constexpr int kContextMenu = 3;
}  // namespace eventid

inline constexpr int kLoadStateEmpty = 0;
inline constexpr int kLoadStateLoading = 1;
inline constexpr int kLoadStateReady = 2;
inline constexpr int kLoadStateFailed = 3;

}  // namespace wave_editor
