#include "studio/wav.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/paths.h"
#include "platform/ui.h"
#include "studio/settings.h"

namespace {

constexpr size_t kCopyBlockBytes = 64 * 1024;

void Put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xff);
}

// Reads exactly `n` bytes; false when the stream ends first.
bool ReadExactly(std::istream& in, uint8_t* to, size_t n) {
    in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
    return static_cast<size_t>(in.gcount()) == n;
}

bool WriteAll(std::ostream& out, const uint8_t* from, size_t n) {
    out.write(reinterpret_cast<const char*>(from), static_cast<std::streamsize>(n));
    return static_cast<bool>(out);
}

// A file written under a temporary name beside its target and renamed into place on Commit; the
// temporary file is removed when the object goes without a commit.
class PendingFile {
public:
    explicit PendingFile(std::string target) : target_(std::move(target)) {
        static std::atomic<unsigned> counter{0};
        temp_ = target_ + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        out_.open(temp_, std::ios::binary | std::ios::trunc);
    }
    ~PendingFile() {
        if (!committed_) {
            out_.close();
            platform::RemoveFile(temp_);
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::ofstream& out() { return out_; }
    bool ok() const { return static_cast<bool>(out_); }

    bool Commit() {
        out_.flush();
        if (!out_) return false;
        out_.close();
        if (out_.fail() || std::rename(temp_.c_str(), target_.c_str()) != 0) return false;
        committed_ = true;
        return true;
    }

private:
    std::string target_;
    std::string temp_;
    std::ofstream out_;
    bool committed_ = false;
};

}  // namespace

InvalidFileError::InvalidFileError(const std::string& path)
    : std::runtime_error("Invalid file: " + path), path_(path) {}

WaveFormat ReadWavHeader(std::istream& in, const std::string& path) {
    const media::WavInfo info = media::ReadWav(in, kStudioWavRules);
    if (!info.hasFormat) throw InvalidFileError(path);
    return info.format;
}

uint32_t CWave::ElementCount() const {
    return format.blockAlign ? static_cast<uint32_t>(samples.size() / format.blockAlign) : 0;
}

void CWave::Store(std::ostream& out) const {
    const uint32_t dataSize = ElementCount() * format.blockAlign;
    const auto header = media::WavHeader(format, dataSize);
    WriteAll(out, header.data(), header.size());
    WriteAll(out, samples.data(), dataSize);
}

void CWave::Load(std::istream& in, const std::string& path) {
    // The archive layout: "data" right after the 16 format bytes, and all of it in the file.
    media::WavRules rules{media::WavLayout::Canonical};
    rules.refuseShortData = true;
    const media::WavInfo info = media::ReadWav(in, rules);
    if (!info.ok()) throw InvalidFileError(path);
    const WaveFormat read = info.format;
    // Without a frame size the data cannot be split into elements.
    if (read.blockAlign == 0) throw InvalidFileError(path);
    const uint32_t dataSize = info.statedDataBytes;

    // Read in blocks, so that a data size larger than the file never allocates it all first.
    in.clear();
    in.seekg(info.dataOffset);
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> block(kCopyBlockBytes);
    for (uint32_t left = dataSize; left > 0;) {
        const size_t n = std::min<size_t>(left, block.size());
        if (!ReadExactly(in, block.data(), n)) throw InvalidFileError(path);
        bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
        left -= static_cast<uint32_t>(n);
    }
    bytes.resize(bytes.size() / read.blockAlign * read.blockAlign);
    format = read;
    samples = std::move(bytes);
}

bool CWave::StoreToFile(const std::string& path) const {
    PendingFile file(path);
    if (!file.ok()) return false;
    Store(file.out());
    return file.Commit();
}

void CWave::LoadFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InvalidFileError(path);
    Load(in, path);
}

bool ShowCutResult(const CutResult& result) {
    if (!result.written && !result.message.empty())
        platform::ShowMessage(result.message, result.icon);
    return result.written;
}

CutResult WriteSelectionToWav(const std::string& target, ISelectionSource& editor,
                              const std::string& sourceWav) {
    int32_t editorStart = 0, editorEnd = 0;
    editor.GetSelection(editorStart, editorEnd);
    // Measured as the editor reports the positions, before the cut to whole frames; an end
    // before the start is a negative length and refused the same way.
    if (static_cast<int64_t>(editorEnd) - editorStart <= kMinSelectionPositions) {
        return CutResult::Refused("Time is too short!");
    }

    // The studio's layout, and only a file that is whole: one still being written (or damaged)
    // is not cut.
    media::WavRules rules = kStudioWavRules;
    rules.wholeRiff = true;
    media::WavInfo info;
    {
        std::ifstream in(sourceWav, std::ios::binary);
        if (sourceWav.empty() || !in) return {};
        info = media::ReadWav(in, rules);
    }
    if (!info.hasFormat) throw InvalidFileError(sourceWav);
    const WaveFormat format = info.format;
    if (format.blockAlign == 0) throw InvalidFileError(sourceWav);

    const int64_t align = format.blockAlign;
    int64_t start = std::max<int64_t>(editorStart, 0) / align * align;
    int64_t end = static_cast<int64_t>(editorEnd) / align * align;

    std::ifstream source(sourceWav, std::ios::binary);
    if (!source) {
        return CutResult::Refused("You should open a file first!");
    }
    if (!info.ok()) return {};
    const int64_t dataStart = info.dataOffset;

    // The data the source really holds: what its "data" chunk declares, and no more than the
    // file has after the tag. The selection is cut there, to whole frames.
    const int64_t available = info.wholeFrameBytes();
    const int64_t startByte = 2 * start;
    const int64_t endByte = std::min<int64_t>(2 * end, available);
    if (endByte <= startByte) {
        // Nothing of the selection lies inside the sound.
        return CutResult::Refused("Time is too short!");
    }
    const int64_t segmentBytes = endByte - startByte;

    PendingFile file(target);
    if (!file.ok()) {
        return CutResult::Refused("Cannot write the file " + target);
    }
    std::ofstream& out = file.out();
    // Everything before the data size field, extra chunks included.
    std::vector<uint8_t> prefix(static_cast<size_t>(dataStart - 4));
    source.clear();
    source.seekg(0);
    if (!ReadExactly(source, prefix.data(), prefix.size())) return {};
    Put32(prefix.data() + 4, static_cast<uint32_t>(segmentBytes + dataStart - 8));
    uint8_t sizeField[4];
    Put32(sizeField, static_cast<uint32_t>(segmentBytes));
    WriteAll(out, prefix.data(), prefix.size());
    WriteAll(out, sizeField, sizeof sizeField);

    source.seekg(dataStart + startByte);
    auto block = std::make_unique<uint8_t[]>(kCopyBlockBytes);
    for (int64_t left = segmentBytes; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, kCopyBlockBytes));
        if (!ReadExactly(source, block.get(), n) || !WriteAll(out, block.get(), n)) {
            return CutResult::Refused("Cannot write the file " + target);
        }
        left -= static_cast<int64_t>(n);
    }
    if (!file.Commit()) {
        return CutResult::Refused("Cannot write the file " + target);
    }
    return CutResult{true, {}};
}

bool IsWavComplete(const std::string& path, bool jobRunning, const std::function<void()>& repaint,
                   std::chrono::milliseconds patience) {
    if (jobRunning) return true;

    constexpr auto kRetry = std::chrono::milliseconds(200);
    std::ifstream in;
    for (auto waited = std::chrono::milliseconds(0);;) {
        std::this_thread::sleep_for(kRetry);
        waited += kRetry;
        in.open(path, std::ios::binary);
        if (in) break;
        if (waited >= patience) return false;
    }

    media::WavRules rules = kStudioWavRules;
    rules.wholeRiff = true;
    if (!media::ReadWav(in, rules).ok()) return false;
    in.close();
    if (repaint) repaint();
    return true;
}

std::vector<uint8_t> WavHeaderBytes(const RipperOptions& options, uint32_t dataSize) {
    // Rate, byte rate and frame size are those of CD audio whatever the options say.
    media::WavFormat format;
    format.formatTag = media::kWavFormatPcm;
    format.channels = static_cast<uint16_t>(options.wavChannels + 1);
    format.sampleRate = 44100;
    format.bytesPerSecond = 176400;
    format.blockAlign = 4;
    format.bitsPerSample = options.wavSampleBits == 0 ? 8 : 16;
    const auto header = media::WavHeader(format, dataSize);
    return std::vector<uint8_t>(header.begin(), header.end());
}

bool WriteWavHeader(const RipperOptions& options, std::FILE* file, uint32_t dataSize) {
    if (!file) return true;
    const std::vector<uint8_t> header = WavHeaderBytes(options, dataSize);
    return std::fseek(file, 0, SEEK_SET) == 0 &&
           std::fwrite(header.data(), 1, header.size(), file) == header.size();
}

bool WriteWavHeader(const RipperOptions& options, std::ostream* file, uint32_t dataSize) {
    if (!file) return true;
    const std::vector<uint8_t> header = WavHeaderBytes(options, dataSize);
    file->seekp(0);
    return WriteAll(*file, header.data(), header.size());
}
