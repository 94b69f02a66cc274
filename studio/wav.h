// RIFF/WAVE files with a 16-byte PCM format chunk, read through the shared reader
// (media/wav_file.h) under the studio's rules: the header check every reader applies, a whole
// WAV in memory (CWave), the segment writer that cuts the wave editor's selection out of the
// current WAV, the completeness test for a WAV another component writes, and the ripper's
// 44-byte header.
//
// Canonical layout (little-endian): "RIFF", RIFF size (file length - 8), "WAVEfmt ", 16, format
// tag, channels, samples per second, bytes per second, block alignment, bits per sample, "data",
// data size, the sample frames.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "media/wav_file.h"
#include "platform/ui.h"

struct RipperOptions;

// The one error the WAV readers raise: a file whose tags are not those of a PCM WAV (or that ends
// inside its header or data). The message names the file.
class InvalidFileError : public std::runtime_error {
  public:
    explicit InvalidFileError(const std::string& path);
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The six format fields of the "fmt " chunk, as the shared reader returns them.
using WaveFormat = media::WavFormat;

// The studio's WAV files as the shared reader takes them: "RIFF" at 0, "WAVEfmt " at 8, the six
// format fields after the format chunk size (which is read, not used), and "data" found by its
// tag at offsets 0 to 94 (extra chunks before it are kept, not walked).
inline constexpr media::WavRules kStudioWavRules{media::WavLayout::FormatFirst};

// The header check and the six format fields of the WAV that `in` holds. Raises InvalidFileError
// naming `path` when a tag is wrong or the file ends before the fields.
WaveFormat ReadWavHeader(std::istream& in, const std::string& path);

// A whole WAV in memory.
class CWave {
  public:
    static constexpr const char* kClassName = "CWave";
    static constexpr int kSchema = 1;

    CWave() = default;
    virtual ~CWave() = default;

    virtual const char* GetRuntimeClass() const { return kClassName; }

    // Writes the canonical layout with the whole frames of `samples`.
    void Store(std::ostream& out) const;
    // Reads a WAV in the canonical layout; raises InvalidFileError naming `path` on a wrong tag, a
    // block alignment of 0 or a file that ends early. A partial frame at the end of the data is
    // dropped.
    void Load(std::istream& in, const std::string& path);

    bool StoreToFile(const std::string& path) const;
    void LoadFromFile(const std::string& path);

    // Number of sample frames held (element size = block alignment).
    uint32_t ElementCount() const;

    WaveFormat format;
    std::vector<uint8_t> samples;
};

// The wave editor's selection, in positions: a position p is the byte offset 2 × p from the
// start of the sample data (positions count 16-bit sample values).
class ISelectionSource {
  public:
    virtual ~ISelectionSource() = default;
    virtual void GetSelection(int32_t& start, int32_t& end) = 0;
};

// A selection that does not move: a part chosen without the editor (the command line, tests).
class FixedSelection : public ISelectionSource {
  public:
    FixedSelection(int32_t start, int32_t end) : start_(start), end_(end) {}
    void GetSelection(int32_t& start, int32_t& end) override {
        start = start_;
        end = end_;
    }

  private:
    int32_t start_;
    int32_t end_;
};

// Selections of this many positions or fewer are too short to save.
inline constexpr int32_t kMinSelectionPositions = 7168;

// What a cut came to: written, or refused with the message that tells the user why (empty for
// a refusal without one, as for a source that is gone or still being written). The cut shows
// nothing itself: the window, the job or the command line that asked says it.
struct CutResult {
    bool written = false;
    std::string message;
    platform::MsgIcon icon = platform::MsgIcon::Exclamation;

    explicit operator bool() const { return written; }
    static CutResult Refused(std::string message,
                             platform::MsgIcon icon = platform::MsgIcon::Exclamation) {
        return CutResult{false, std::move(message), icon};
    }
};
// Shows a refusal's message (nothing for a refusal without one); returns whether it was written.
bool ShowCutResult(const CutResult& result);

// Cuts the selection of `editor` out of `sourceWav` into a new WAV at `target`, keeping every
// chunk before "data". Refused with "Time is too short!" for a selection of
// kMinSelectionPositions or fewer (an end before the start included) or one that lies past the
// sound, "You should open a file first!" when the source cannot be opened the second time,
// "Cannot write the file TARGET" when the target cannot be written, and without a message for a
// source that is missing or not whole; raises InvalidFileError when the source's tags are wrong.
// The selection is lowered to whole frames and cut at the end of the data the source holds; the
// target is written beside itself and renamed into place, so a failure never leaves a partial
// target.
CutResult WriteSelectionToWav(const std::string& target, ISelectionSource& editor,
                              const std::string& sourceWav);

// True when `path` is a completely written WAV: its length is RIFF size + 8 and "data" occurs at
// an offset from 0 to 94. True at once while a conversion job runs (`jobRunning`). Waits for the
// file to open, trying every 200 ms, for at most `patience`; a file that never opens is not
// complete. Calls `repaint` (when given) before answering true.
bool IsWavComplete(const std::string& path, bool jobRunning,
                   const std::function<void()>& repaint = {},
                   std::chrono::milliseconds patience = std::chrono::seconds(10));

// The ripper's 44-byte header: 44100 Hz, 176400 bytes per second, block alignment 4, the channel
// count and bit width from `options`, and `dataSize` bytes of data.
std::vector<uint8_t> WavHeaderBytes(const RipperOptions& options, uint32_t dataSize);
// Writes that header at the start of an open file and leaves the file position after it.
// Does nothing when `file` is null (and answers true); false when the write failed.
bool WriteWavHeader(const RipperOptions& options, std::FILE* file, uint32_t dataSize);
bool WriteWavHeader(const RipperOptions& options, std::ostream* file, uint32_t dataSize);
