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
#include "studio/job_state.h"
#include "studio/settings.h"

namespace {

// How far into a WAV the "data" tag is looked for: the first 200 bytes are read and the tag may
// start at offsets 0 to 94.
constexpr size_t kHeadBytes = 200;
constexpr int kLastDataTagOffset = 94;
constexpr size_t kCopyBlockBytes = 64 * 1024;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xff));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xff));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// Reads exactly `n` bytes; false when the stream ends first.
bool ReadExactly(std::istream& in, uint8_t* to, size_t n) {
    in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
    return static_cast<size_t>(in.gcount()) == n;
}

bool WriteAll(std::ostream& out, const uint8_t* from, size_t n) {
    out.write(reinterpret_cast<const char*>(from), static_cast<std::streamsize>(n));
    return static_cast<bool>(out);
}

// The RIFF size at offset 4 and the first bytes of the file, read from the start of `in`.
struct Head {
    uint32_t riffSize = 0;
    std::vector<uint8_t> bytes;
};

bool ReadHead(std::istream& in, Head* head) {
    in.clear();
    in.seekg(0);
    head->bytes.assign(kHeadBytes, 0);
    in.read(reinterpret_cast<char*>(head->bytes.data()), kHeadBytes);
    head->bytes.resize(static_cast<size_t>(in.gcount()));
    if (head->bytes.size() < 8) return false;
    head->riffSize = Get32(head->bytes.data() + 4);
    return true;
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

uint32_t CheckWavHeader(std::istream& in, const std::string& path) {
    uint8_t header[16];
    if (!ReadExactly(in, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVEfmt ", 8) != 0)
        throw InvalidFileError(path);
    return Get32(header + 4);
}

WaveFormat ReadWavFormat(std::istream& in, const std::string& path, uint32_t* chunkSize) {
    uint8_t fields[20];
    if (!ReadExactly(in, fields, sizeof fields)) throw InvalidFileError(path);
    if (chunkSize) *chunkSize = Get32(fields);
    WaveFormat format;
    format.formatTag = Get16(fields + 4);
    format.channels = Get16(fields + 6);
    format.samplesPerSec = Get32(fields + 8);
    format.avgBytesPerSec = Get32(fields + 12);
    format.blockAlign = Get16(fields + 16);
    format.bitsPerSample = Get16(fields + 18);
    return format;
}

int FindDataTag(const std::vector<uint8_t>& head) {
    for (int d = 0; d <= kLastDataTagOffset; ++d) {
        if (static_cast<size_t>(d) + 4 > head.size()) break;
        if (std::memcmp(head.data() + d, "data", 4) == 0) return d;
    }
    return -1;
}

uint32_t CWave::ElementCount() const {
    return format.blockAlign ? static_cast<uint32_t>(samples.size() / format.blockAlign) : 0;
}

void CWave::Store(std::ostream& out) const {
    const uint32_t dataSize = ElementCount() * format.blockAlign;
    std::vector<uint8_t> header;
    PutTag(header, "RIFF");
    Put32(header, dataSize + 36);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    Put32(header, 16);
    Put16(header, format.formatTag);
    Put16(header, format.channels);
    Put32(header, format.samplesPerSec);
    Put32(header, format.avgBytesPerSec);
    Put16(header, format.blockAlign);
    Put16(header, format.bitsPerSample);
    PutTag(header, "data");
    Put32(header, dataSize);
    WriteAll(out, header.data(), header.size());
    WriteAll(out, samples.data(), dataSize);
}

void CWave::Load(std::istream& in, const std::string& path) {
    CheckWavHeader(in, path);
    const WaveFormat read = ReadWavFormat(in, path);
    uint8_t dataHeader[8];
    if (!ReadExactly(in, dataHeader, sizeof dataHeader) || std::memcmp(dataHeader, "data", 4) != 0)
        throw InvalidFileError(path);
    // Without a frame size the data cannot be split into elements.
    if (read.blockAlign == 0) throw InvalidFileError(path);
    const uint32_t dataSize = Get32(dataHeader + 4);

    // Read in blocks, so that a data size larger than the file never allocates it all first.
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

bool WriteSelectionToWav(const std::string& target, ISelectionSource& editor,
                         const std::string& sourceWav) {
    int32_t editorStart = 0, editorEnd = 0;
    editor.GetSelection(editorStart, editorEnd);
    // Measured as the editor reports the positions, before the cut to whole frames; an end
    // before the start is a negative length and refused the same way.
    if (static_cast<int64_t>(editorEnd) - editorStart <= kMinSelectionPositions) {
        platform::ShowMessage("Time is too short!");
        return false;
    }

    WaveFormat format;
    {
        std::ifstream in(sourceWav, std::ios::binary);
        if (sourceWav.empty() || !in) return false;
        CheckWavHeader(in, sourceWav);
        format = ReadWavFormat(in, sourceWav);
    }
    if (format.blockAlign == 0) throw InvalidFileError(sourceWav);

    const int64_t align = format.blockAlign;
    int64_t start = std::max<int64_t>(editorStart, 0) / align * align;
    int64_t end = static_cast<int64_t>(editorEnd) / align * align;

    std::ifstream source(sourceWav, std::ios::binary);
    if (!source) {
        platform::ShowMessage("You should open a file first!");
        return false;
    }
    const long long fileLength = platform::FileSize(sourceWav);
    Head head;
    if (!ReadHead(source, &head) || fileLength != static_cast<long long>(head.riffSize) + 8)
        return false;  // still being written, or damaged
    const int d = FindDataTag(head.bytes);
    if (d < 0) return false;
    const int64_t dataStart = d + 8;
    if (dataStart > fileLength) return false;

    // The data the source really holds: what its "data" chunk declares, and no more than the
    // file has after the tag. The selection is cut there, to whole frames.
    const int64_t declared =
        static_cast<size_t>(d) + 8 <= head.bytes.size() ? Get32(head.bytes.data() + d + 4) : 0;
    const int64_t available =
        std::max<int64_t>(0, std::min<int64_t>(declared, fileLength - dataStart)) / align * align;
    const int64_t startByte = 2 * start;
    const int64_t endByte = std::min<int64_t>(2 * end, available);
    if (endByte <= startByte) {
        // Nothing of the selection lies inside the sound.
        platform::ShowMessage("Time is too short!");
        return false;
    }
    const int64_t segmentBytes = endByte - startByte;

    PendingFile file(target);
    if (!file.ok()) {
        platform::ShowMessage("Cannot write the file " + target);
        return false;
    }
    std::ofstream& out = file.out();
    // Everything before the data size field, extra chunks included.
    std::vector<uint8_t> prefix(static_cast<size_t>(dataStart - 4));
    source.clear();
    source.seekg(0);
    if (!ReadExactly(source, prefix.data(), prefix.size())) return false;
    const uint32_t riffSize = static_cast<uint32_t>(segmentBytes + dataStart - 8);
    prefix[4] = static_cast<uint8_t>(riffSize & 0xff);
    prefix[5] = static_cast<uint8_t>((riffSize >> 8) & 0xff);
    prefix[6] = static_cast<uint8_t>((riffSize >> 16) & 0xff);
    prefix[7] = static_cast<uint8_t>((riffSize >> 24) & 0xff);
    std::vector<uint8_t> sizeField;
    Put32(sizeField, static_cast<uint32_t>(segmentBytes));
    WriteAll(out, prefix.data(), prefix.size());
    WriteAll(out, sizeField.data(), sizeField.size());

    source.seekg(dataStart + startByte);
    auto block = std::make_unique<uint8_t[]>(kCopyBlockBytes);
    for (int64_t left = segmentBytes; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, kCopyBlockBytes));
        if (!ReadExactly(source, block.get(), n) || !WriteAll(out, block.get(), n)) {
            platform::ShowMessage("Cannot write the file " + target);
            return false;
        }
        left -= static_cast<int64_t>(n);
    }
    if (!file.Commit()) {
        platform::ShowMessage("Cannot write the file " + target);
        return false;
    }
    return true;
}

bool WriteSelectionToWav(const std::string& target, ISelectionSource& editor) {
    return WriteSelectionToWav(target, editor, CurrentWavPath());
}

bool IsWavComplete(const std::string& path, const std::function<void()>& repaint,
                   std::chrono::milliseconds patience) {
    if (jobRunning.load() != 0) return true;

    constexpr auto kRetry = std::chrono::milliseconds(200);
    std::ifstream in;
    for (auto waited = std::chrono::milliseconds(0);;) {
        std::this_thread::sleep_for(kRetry);
        waited += kRetry;
        in.open(path, std::ios::binary);
        if (in) break;
        if (waited >= patience) return false;
    }

    Head head;
    if (!ReadHead(in, &head) ||
        platform::FileSize(path) != static_cast<long long>(head.riffSize) + 8)
        return false;
    if (FindDataTag(head.bytes) < 0) return false;
    in.close();
    if (repaint) repaint();
    return true;
}

std::vector<uint8_t> WavHeaderBytes(const RipperOptions& options, uint32_t dataSize) {
    std::vector<uint8_t> header;
    header.reserve(44);
    PutTag(header, "RIFF");
    Put32(header, dataSize + 36);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    Put32(header, 16);
    Put16(header, 1);
    Put16(header, static_cast<uint16_t>(options.wavChannels + 1));
    Put32(header, 44100);
    Put32(header, 176400);
    Put16(header, 4);
    Put16(header, options.wavSampleBits == 0 ? 8 : 16);
    PutTag(header, "data");
    Put32(header, dataSize);
    return header;
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
