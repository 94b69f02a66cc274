// The one argument vector handed to the codec engine, the builder that fills it from the MP3
// encoder options of the settings, and the splitter that fills it from a command text.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class StudioSettings;

// Placeholder paths of the vectors; the engine receives the real paths as separate arguments.
inline constexpr const char* kPlaceholderWav = "c:\\vx.wav";
inline constexpr const char* kPlaceholderMp3 = "c:\\vx.mp3";
inline constexpr const char* kPlaceholderTmpMp3 = "c:\\tmp.mp3";
inline constexpr const char* kPlaceholderTmpWav = "c:\\tmp.wav";
inline constexpr const char* kPlaceholderInputMp3 = "c:\\input.mp3";

struct EncoderArgs {
    static constexpr int kSlotCount = 64;
    // Bytes of each of the slots 1 to 63, the terminating zero included.
    static constexpr size_t kSlotBytes = 1024;
    // Most spaces a command text may hold for the splitter.
    static constexpr int kMaxSpaces = 19;

    EncoderArgs();
    EncoderArgs(const EncoderArgs&) = delete;
    EncoderArgs& operator=(const EncoderArgs&) = delete;

    // Number of used slots, slot 0 included.
    int count = 0;
    // ("slot" rather than "slots": Qt takes that word for itself as a macro.)
    // Slot 0: the program's own path (empty until the splitter first runs); slots 1 to 63: buffers
    // of kSlotBytes each once AllocateSlots has run, null before. Handed to the engine as is.
    char* slot[kSlotCount] = {};
    // Nonzero when the builder's input placeholder is to name a WAV file, 0 for an MP3.
    int inputIsWav = 0;

    // Allocates the 63 argument buffers; later calls keep them. They are never freed while the
    // vector lives.
    void AllocateSlots();
    bool SlotsAllocated() const { return buffers_ != nullptr; }
    // Copies `text` into slot `index` (1 to 63). False when the text does not fit (more than
    // kSlotBytes - 1 bytes) or the index is out of range: an argument is never cut short.
    bool SetSlot(int index, std::string_view text);
    // Slots 1 to count - 1 as texts.
    std::vector<std::string> Arguments() const;

  private:
    friend bool SplitCommandLine(EncoderArgs& args, const std::string& text);

    std::unique_ptr<std::array<std::array<char, kSlotBytes>, kSlotCount - 1>> buffers_;
    std::string programPath_;
};

// Fills `args` from slot 1 on with the encoder options of `settings` and the two placeholders
// (the input one by `args.inputIsWav`), and sets `count`. Allocates the slots when needed.
void BuildEncoderArgs(EncoderArgs& args, const StudioSettings& settings);
// Adds the tag options of a ringtone after the used slots: "--tt" with `title` and "--ta" with
// `artist`, each only when its text is not empty; a text longer than a slot is cut, not dropped.
void AddTitleAndArtist(EncoderArgs& args, const std::string& title, const std::string& artist);

// Fills `args` from a command text: one argument per space-separated piece (two adjacent spaces
// give an empty argument), slot 0 the program's own path, `count` = 2 + number of spaces. False,
// with `args` unchanged, when the text holds more than kMaxSpaces spaces or a piece is longer
// than an argument slot holds.
bool SplitCommandLine(EncoderArgs& args, const std::string& text);
