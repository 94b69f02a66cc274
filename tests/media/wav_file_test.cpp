// The one RIFF/WAVE reader: each acceptance rule and each option at its boundary, files past
// 2^31 bytes as sparse files, and the header writer read back by ffprobe.
#include "media/wav_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace ts = testing_support;

namespace {

using media::ReadWav;
using media::WavError;
using media::WavLayout;
using media::WavRules;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xff));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xff));
}

void Set32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xff);
}

// A RIFF file put together chunk by chunk; the RIFF size is kept at file length - 8.
class Riff {
  public:
    Riff() : bytes_{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'} {}
    // A chunk with `body`, padded to an even length as a writer must.
    Riff& Chunk(const char* tag, const std::vector<uint8_t>& body) {
        Tag(tag);
        Put32(bytes_, static_cast<uint32_t>(body.size()));
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        if (body.size() % 2) bytes_.push_back(0);
        return Fix();
    }
    // A 16-byte (or, with a sub-format, 40-byte extensible) format chunk.
    Riff& Format(uint16_t tag, int channels, uint32_t rate, int bits, uint16_t subFormat = 0) {
        std::vector<uint8_t> f;
        const auto align = static_cast<uint16_t>(channels * bits / 8);
        Put16(f, tag);
        Put16(f, static_cast<uint16_t>(channels));
        Put32(f, rate);
        Put32(f, rate * align);
        Put16(f, align);
        Put16(f, static_cast<uint16_t>(bits));
        if (subFormat != 0) {
            Put16(f, 22);                             // extra bytes
            Put16(f, static_cast<uint16_t>(bits));    // valid bits
            Put32(f, channels == 1 ? 0x4u : 0x3u);    // channel mask
            Put16(f, subFormat);                      // the GUID's first word...
            const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
            f.insert(f.end(), rest, rest + sizeof rest);
        }
        return Chunk("fmt ", f);
    }
    // A "data" header stating `stated` bytes, followed by `present` bytes of samples.
    Riff& Data(uint32_t stated, size_t present) {
        Tag("data");
        Put32(bytes_, stated);
        bytes_.resize(bytes_.size() + present, 0x11);
        return Fix();
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    void Tag(const char* t) { bytes_.insert(bytes_.end(), t, t + 4); }
    Riff& Fix() {
        Set32(bytes_, 4, static_cast<uint32_t>(bytes_.size() - 8));
        return *this;
    }
    std::vector<uint8_t> bytes_;
};

class WavFileTest : public ::testing::Test {
  protected:
    media::WavInfo Read(const std::vector<uint8_t>& bytes, const WavRules& rules = {}) {
        const std::string path = dir.File("t.wav");
        ts::WriteFile(path, bytes);
        const media::WavInfo fromFile = ReadWav(path, rules);
        // The stream reader answers alike.
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        const media::WavInfo fromStream = ReadWav(in, rules);
        EXPECT_EQ(fromStream.error, fromFile.error);
        EXPECT_EQ(fromStream.dataOffset, fromFile.dataOffset);
        EXPECT_EQ(fromStream.dataBytes, fromFile.dataBytes);
        return fromFile;
    }
    ts::TempDir dir;
};

TEST_F(WavFileTest, PlainPcmMonoAndStereoOfEightAndSixteenBits) {
    for (const int channels : {1, 2}) {
        for (const int bits : {8, 16}) {
            ts::ToneSpec spec;
            spec.channels = channels;
            spec.bitsPerSample = bits;
            spec.sampleRate = 8000;
            spec.seconds = 0.25;
            const media::WavInfo info = Read(ts::MakeToneWav(spec));
            ASSERT_TRUE(info.ok()) << channels << "x" << bits;
            EXPECT_TRUE(info.format.IsInteger());
            EXPECT_TRUE(info.format.FrameMatches());
            EXPECT_EQ(info.format.channels, channels);
            EXPECT_EQ(info.format.bitsPerSample, bits);
            EXPECT_EQ(info.format.sampleRate, 8000u);
            EXPECT_EQ(info.dataOffset, 44);
            EXPECT_EQ(info.frames(), 2000);
            EXPECT_EQ(info.dataBytes, 2000 * channels * bits / 8);
        }
    }
}

TEST_F(WavFileTest, OddChunksAreSkippedWithTheirPadByte) {
    // A 3-byte LIST chunk and a 4-byte fact chunk before "data": the pad byte after the LIST
    // body is not the start of the next chunk.
    Riff riff;
    riff.Format(1, 2, 44100, 16).Chunk("LIST", {'a', 'b', 'c'}).Chunk("fact", {1, 0, 0, 0});
    riff.Data(40, 40);
    const media::WavInfo info = Read(riff.bytes());
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.dataOffset, 12 + 24 + 12 + 12 + 8);
    EXPECT_EQ(info.frames(), 10);

    // A writer that left the pad byte out is read as damaged, not guessed at.
    std::vector<uint8_t> unpadded = riff.bytes();
    unpadded.erase(unpadded.begin() + 12 + 24 + 11);
    EXPECT_FALSE(Read(unpadded).ok());

    // Chunks before the format chunk are skipped too; "data" before it is refused.
    Riff late;
    late.Chunk("JUNK", {0}).Format(1, 1, 8000, 16).Data(2, 2);
    EXPECT_TRUE(Read(late.bytes()).ok());
    Riff early;
    early.Data(2, 2).Format(1, 1, 8000, 16);
    EXPECT_EQ(Read(early.bytes()).error, WavError::NoFormat);
}

TEST_F(WavFileTest, DataThatEndsExactlyAtTheEndOrPastIt) {
    Riff exact;
    exact.Format(1, 2, 44100, 16).Data(400, 400);
    media::WavInfo info = Read(exact.bytes());
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.dataOffset + info.dataBytes, static_cast<int64_t>(exact.bytes().size()));
    EXPECT_EQ(info.frames(), 100);

    // A header that claims one frame more than was written: cut to the file, or refused.
    Riff shortData;
    shortData.Format(1, 2, 44100, 16).Data(404, 400);
    info = Read(shortData.bytes());
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.statedDataBytes, 404u);
    EXPECT_EQ(info.dataBytes, 400);
    WavRules strict;
    strict.refuseShortData = true;
    EXPECT_TRUE(Read(exact.bytes(), strict).ok());
    EXPECT_EQ(Read(shortData.bytes(), strict).error, WavError::Truncated);

    // A trailing part frame is counted in bytes but not in frames.
    Riff part;
    part.Format(1, 2, 44100, 16).Data(402, 402);
    info = Read(part.bytes());
    EXPECT_EQ(info.dataBytes, 402);
    EXPECT_EQ(info.frames(), 100);
    EXPECT_EQ(info.wholeFrameBytes(), 400);
}

TEST_F(WavFileTest, EmptyAndUnfinishedDataSizes) {
    // A data chunk header as the last 8 bytes of the file, stating nothing.
    Riff empty;
    empty.Format(1, 1, 8000, 16).Data(0, 0);
    media::WavInfo info = Read(empty.bytes());
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.dataOffset, static_cast<int64_t>(empty.bytes().size()));
    EXPECT_EQ(info.dataBytes, 0);

    // Size 0 or 0xFFFFFFFF over samples: as stated (0, or cut to the file) by default, to the
    // end of the file with the option.
    WavRules unfinished;
    unfinished.unfinishedDataRunsToEnd = true;
    for (const uint32_t stated : {0u, 0xFFFFFFFFu}) {
        Riff streamed;
        streamed.Format(1, 1, 8000, 16).Data(stated, 1000);
        EXPECT_EQ(Read(streamed.bytes()).dataBytes, stated == 0 ? 0 : 1000) << stated;
        info = Read(streamed.bytes(), unfinished);
        ASSERT_TRUE(info.ok());
        EXPECT_EQ(info.dataBytes, 1000) << stated;
    }
    // Only those two values: a real size stays what it says.
    Riff real;
    real.Format(1, 1, 8000, 16).Data(10, 1000);
    EXPECT_EQ(Read(real.bytes(), unfinished).dataBytes, 10);
}

TEST_F(WavFileTest, ExtensibleFormatTakesItsSubFormat) {
    Riff intPcm;
    intPcm.Format(media::kWavFormatExtensible, 2, 48000, 24, media::kWavFormatPcm).Data(60, 60);
    media::WavInfo info = Read(intPcm.bytes());
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.format.formatTag, media::kWavFormatExtensible);
    EXPECT_EQ(info.format.chunkBytes, 40u);
    EXPECT_TRUE(info.format.IsInteger());
    EXPECT_EQ(info.format.blockAlign, 6);
    EXPECT_EQ(info.frames(), 10);

    Riff floats;
    floats.Format(media::kWavFormatExtensible, 1, 48000, 32, media::kWavFormatFloat).Data(8, 8);
    info = Read(floats.bytes());
    ASSERT_TRUE(info.ok());
    EXPECT_TRUE(info.format.IsFloat());
    EXPECT_FALSE(info.format.IsInteger());

    // An extensible tag in a 16-byte chunk has no sub-format: neither integer nor float.
    Riff bare;
    bare.Format(media::kWavFormatExtensible, 1, 48000, 16).Data(8, 8);
    info = Read(bare.bytes());
    ASSERT_TRUE(info.ok());
    EXPECT_FALSE(info.format.IsInteger());
    EXPECT_FALSE(info.format.IsFloat());
}

TEST_F(WavFileTest, WhatIsNoWav) {
    EXPECT_EQ(ReadWav(dir.File("missing.wav")).error, WavError::CannotOpen);
    EXPECT_EQ(ReadWav(dir.path()).error, WavError::CannotOpen);
    EXPECT_EQ(ReadWav(std::string()).error, WavError::CannotOpen);
    // A named pipe is refused without waiting for a writer.
    ASSERT_EQ(::mkfifo(dir.File("pipe.wav").c_str(), 0600), 0);
    EXPECT_EQ(ReadWav(dir.File("pipe.wav")).error, WavError::CannotOpen);
    EXPECT_FALSE(media::LooksLikeWav(dir.File("pipe.wav")));

    EXPECT_EQ(Read({}).error, WavError::NotWave);
    std::vector<uint8_t> rifx = ts::MakeToneWav({});
    rifx[3] = 'X';
    EXPECT_EQ(Read(rifx).error, WavError::NotWave);
    std::vector<uint8_t> eleven = ts::MakeToneWav({});
    eleven.resize(11);
    EXPECT_EQ(Read(eleven).error, WavError::NotWave);

    // Tags but nothing else, a short format chunk, a format without data.
    Riff bare;
    EXPECT_EQ(Read(bare.bytes()).error, WavError::NoFormat);
    Riff shortFormat;
    shortFormat.Chunk("fmt ", std::vector<uint8_t>(14, 1)).Data(4, 4);
    EXPECT_EQ(Read(shortFormat.bytes()).error, WavError::NoFormat);
    Riff noData;
    noData.Format(1, 2, 44100, 16).Chunk("LIST", {1, 2});
    media::WavInfo info = Read(noData.bytes());
    EXPECT_EQ(info.error, WavError::NoData);
    EXPECT_TRUE(info.hasFormat);
    EXPECT_EQ(info.format.channels, 2);
    // A chunk whose size runs past the end hides whatever follows.
    Riff runaway;
    runaway.Format(1, 2, 44100, 16).Chunk("JUNK", {1, 2});
    std::vector<uint8_t> bytes = runaway.bytes();
    Set32(bytes, bytes.size() - 6, 0x7FFFFFF0u);
    Riff tail;
    tail.Data(4, 4);
    bytes.insert(bytes.end(), tail.bytes().begin() + 12, tail.bytes().end());
    EXPECT_EQ(Read(bytes).error, WavError::NoData);

    ts::WriteFile(dir.File("tone.wav"), ts::MakeToneWav({}));
    EXPECT_TRUE(media::LooksLikeWav(dir.File("tone.wav")));
    ts::WriteFile(dir.File("rifx.wav"), rifx);
    EXPECT_FALSE(media::LooksLikeWav(dir.File("rifx.wav")));
}

TEST_F(WavFileTest, AnOpenFileIsReadWithoutMovingItsOffset) {
    ts::WriteFile(dir.File("tone.wav"), ts::MakeToneWav({}));
    const int fd = ::open(dir.File("tone.wav").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 5, SEEK_SET), 5);
    const media::WavInfo info = ReadWav(fd);
    EXPECT_TRUE(info.ok());
    EXPECT_EQ(info.dataOffset, 44);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 5);
    ::close(fd);

    EXPECT_EQ(ReadWav(-1).error, WavError::CannotOpen);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    EXPECT_EQ(ReadWav(pipeFds[0]).error, WavError::CannotOpen);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

TEST_F(WavFileTest, FixedLayoutsFindDataByTheirOwnRules) {
    // "data" after a JUNK chunk that puts its tag at offset `at`.
    auto dataAt = [](size_t at) {
        Riff riff;
        riff.Format(1, 1, 8000, 16);
        std::vector<uint8_t> bytes = riff.bytes();
        std::vector<uint8_t> junk(at - 36, 'j');
        std::memcpy(junk.data(), "JUNK", 4);
        Set32(junk, 4, static_cast<uint32_t>(junk.size() - 8));
        bytes.insert(bytes.end(), junk.begin(), junk.end());
        bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
        Put32(bytes, 20);
        bytes.resize(bytes.size() + 20, 0);
        Set32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
        return bytes;
    };
    const WavRules formatFirst{WavLayout::FormatFirst};
    const WavRules canonical{WavLayout::Canonical};
    media::WavInfo info = Read(dataAt(94), formatFirst);
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.dataOffset, 102);
    EXPECT_EQ(info.dataBytes, 20);
    EXPECT_EQ(Read(dataAt(95), formatFirst).error, WavError::NoData);
    // The chunk walk has no such limit (an odd JUNK body here is not padded, so 95 is left out).
    EXPECT_TRUE(Read(dataAt(94)).ok());
    EXPECT_TRUE(Read(dataAt(96)).ok());
    EXPECT_EQ(Read(dataAt(96), formatFirst).error, WavError::NoData);

    // The archive layout wants "data" at 36 exactly.
    EXPECT_TRUE(Read(ts::MakeToneWav({}), canonical).ok());
    EXPECT_EQ(Read(dataAt(44), canonical).error, WavError::NoData);
    EXPECT_TRUE(Read(dataAt(44), formatFirst).ok());

    // Both want the format chunk first: a chunk between "WAVE" and "fmt " is no studio file.
    Riff junkFirst;
    junkFirst.Chunk("JUNK", {0, 0}).Format(1, 1, 8000, 16).Data(4, 4);
    EXPECT_TRUE(Read(junkFirst.bytes()).ok());
    EXPECT_EQ(Read(junkFirst.bytes(), formatFirst).error, WavError::NotWave);
    // The format fields are read whatever the chunk size says.
    std::vector<uint8_t> oddSize = ts::MakeToneWav({});
    Set32(oddSize, 16, 18);
    info = Read(oddSize, canonical);
    EXPECT_TRUE(info.ok());
    EXPECT_EQ(info.format.chunkBytes, 18u);
    EXPECT_EQ(info.format.channels, 2);
    // The file ends inside the format fields.
    std::vector<uint8_t> cut = ts::MakeToneWav({});
    cut.resize(30);
    info = Read(cut, formatFirst);
    EXPECT_EQ(info.error, WavError::NoFormat);
    EXPECT_FALSE(info.hasFormat);
}

TEST_F(WavFileTest, WholeRiffRuleRefusesAFileStillGrowing) {
    WavRules whole{WavLayout::FormatFirst};
    whole.wholeRiff = true;
    std::vector<uint8_t> bytes = ts::MakeToneWav({});
    EXPECT_TRUE(Read(bytes, whole).ok());
    for (const int64_t delta : {-1, 1}) {
        std::vector<uint8_t> off = bytes;
        Set32(off, 4, static_cast<uint32_t>(static_cast<int64_t>(bytes.size()) - 8 + delta));
        const media::WavInfo info = Read(off, whole);
        EXPECT_EQ(info.error, WavError::NotWhole) << delta;
        EXPECT_TRUE(info.hasFormat);
        EXPECT_TRUE(Read(off).ok()) << "the chunk walk does not ask";
    }
    WavRules wholeChunks;
    wholeChunks.wholeRiff = true;
    bytes.push_back(0);
    EXPECT_EQ(Read(bytes, wholeChunks).error, WavError::NotWhole);
}

// A sparse file: `head` at 0, `tailAt` bytes long, `tail` written at `tailOffset` if given.
bool MakeSparse(const std::string& path, const std::vector<uint8_t>& head, int64_t length,
                const std::vector<uint8_t>& tail = {}, int64_t tailOffset = 0) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::pwrite(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
              ::ftruncate(fd, static_cast<off_t>(length)) == 0;
    if (ok && !tail.empty())
        ok = ::pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(tailOffset)) ==
             static_cast<ssize_t>(tail.size());
    return ::close(fd) == 0 && ok;
}

TEST_F(WavFileTest, SizesPastTwoToTheThirtyFirst) {
    // 3 GB of stereo 16-bit data, stated and present.
    constexpr uint32_t kData = 3'000'000'000u;
    Riff big;
    big.Format(1, 2, 44100, 16).Data(kData, 0);
    std::vector<uint8_t> head = big.bytes();
    Set32(head, 4, kData + 36);
    const std::string path = dir.File("big.wav");
    ASSERT_TRUE(MakeSparse(path, head, 44 + int64_t{kData}));
    media::WavInfo info = ReadWav(path);
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.dataBytes, int64_t{kData});
    EXPECT_EQ(info.frames(), int64_t{kData} / 4);
    WavRules whole{WavLayout::Canonical};
    whole.wholeRiff = true;
    whole.refuseShortData = true;
    EXPECT_TRUE(ReadWav(path, whole).ok());

    // Stated 3 GB, 2.5 GB present: cut at the end of the file, past 2^31.
    ASSERT_TRUE(MakeSparse(path, head, 44 + 2'500'000'000LL));
    info = ReadWav(path);
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.dataBytes, 2'500'000'000LL);
    EXPECT_EQ(ReadWav(path, whole).error, WavError::NotWhole);

    // A chunk of 2.2 GB before "data": the data starts past 2^31 and is found there.
    constexpr uint32_t kJunk = 2'200'000'000u;
    Riff skip;
    skip.Format(1, 1, 8000, 16);
    std::vector<uint8_t> skipHead = skip.bytes();
    skipHead.insert(skipHead.end(), {'J', 'U', 'N', 'K'});
    Put32(skipHead, kJunk);
    const int64_t dataTag = static_cast<int64_t>(skipHead.size()) + kJunk;
    std::vector<uint8_t> tail = {'d', 'a', 't', 'a'};
    Put32(tail, 100);
    tail.resize(tail.size() + 100, 0);
    ASSERT_TRUE(MakeSparse(path, skipHead, dataTag + 108, tail, dataTag));
    info = ReadWav(path);
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.dataOffset, dataTag + 8);
    EXPECT_GT(info.dataOffset, int64_t{1} << 31);
    EXPECT_EQ(info.frames(), 50);
}

TEST_F(WavFileTest, HeaderWriterIsReadBackByTheReaderAndByFfprobe) {
    const media::WavFormat mono8 = media::WavFormat::Pcm(1, 8000, 8);
    EXPECT_EQ(mono8.blockAlign, 1);
    EXPECT_EQ(mono8.bytesPerSecond, 8000u);
    const media::WavFormat stereo16 = media::WavFormat::Pcm(2, 44100, 16);
    EXPECT_EQ(stereo16.blockAlign, 4);
    EXPECT_EQ(stereo16.bytesPerSecond, 176400u);

    for (const media::WavFormat& format : {mono8, stereo16}) {
        const uint32_t dataBytes = format.bytesPerSecond / 2;  // half a second
        const auto header = media::WavHeader(format, dataBytes);
        std::vector<uint8_t> bytes(header.begin(), header.end());
        bytes.resize(bytes.size() + dataBytes, format.bitsPerSample == 8 ? 0x80 : 0);
        for (const WavRules& rules :
             {WavRules{}, WavRules{WavLayout::FormatFirst, true}, WavRules{WavLayout::Canonical, true}}) {
            const media::WavInfo info = Read(bytes, rules);
            ASSERT_TRUE(info.ok());
            EXPECT_EQ(info.dataOffset, 44);
            EXPECT_EQ(info.dataBytes, dataBytes);
            EXPECT_EQ(info.format.channels, format.channels);
            EXPECT_EQ(info.format.sampleRate, format.sampleRate);
            EXPECT_EQ(info.format.bitsPerSample, format.bitsPerSample);
        }
        const std::string path = dir.File("written.wav");
        ts::WriteFile(path, bytes);
        if (const auto probe = ts::Probe(path)) {
            EXPECT_EQ(probe->channels, format.channels);
            EXPECT_EQ(probe->sampleRate, static_cast<int>(format.sampleRate));
            EXPECT_NEAR(probe->duration, 0.5, 0.01);
        }
    }
    // The fields are written as given, even when they disagree.
    media::WavFormat odd = stereo16;
    odd.bitsPerSample = 8;
    const auto header = media::WavHeader(odd, 0);
    EXPECT_EQ(header[34], 8);
    EXPECT_EQ(header[32], 4);
}

}  // namespace
