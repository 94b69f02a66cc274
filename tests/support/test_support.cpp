#include "tests/support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace testing_support {
namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xff));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xff));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const char* home = std::getenv("HOME");
    std::filesystem::path base = home ? home : "/tmp";
    base /= "t" + std::to_string(counter++);
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base);
    path_ = base.string();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        ::setenv(name_, old_->c_str(), 1);
    else
        ::unsetenv(name_);
}

std::vector<uint8_t> MakeToneWav(const ToneSpec& spec) {
    const int bits = spec.floatSamples ? 32 : spec.bitsPerSample;
    const int bytesPerSample = bits / 8;
    const int blockAlign = bytesPerSample * spec.channels;
    const auto frames = static_cast<uint32_t>(std::llround(spec.seconds * spec.sampleRate));
    const uint32_t dataSize = frames * static_cast<uint32_t>(blockAlign);
    const uint32_t formatSize = spec.extensible ? 40 : 16;
    const uint32_t extra = spec.extraChunk.empty()
                               ? 0
                               : 8 + static_cast<uint32_t>(spec.extraChunk.size()) +
                                     static_cast<uint32_t>(spec.extraChunk.size() % 2);
    const uint16_t sampleTag = spec.floatSamples ? 3 : 1;

    std::vector<uint8_t> out;
    out.reserve(28 + formatSize + extra + dataSize);
    PutTag(out, "RIFF");
    Put32(out, 20 + formatSize + extra + dataSize);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, formatSize);
    Put16(out, spec.extensible ? 0xFFFE : sampleTag);
    Put16(out, static_cast<uint16_t>(spec.channels));
    Put32(out, static_cast<uint32_t>(spec.sampleRate));
    Put32(out, static_cast<uint32_t>(spec.sampleRate * blockAlign));
    Put16(out, static_cast<uint16_t>(blockAlign));
    Put16(out, static_cast<uint16_t>(bits));
    if (spec.extensible) {
        // The sub-format GUID after the samples' tag.
        static constexpr uint8_t kGuidRest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        Put16(out, 22);                                // the extension's size
        Put16(out, static_cast<uint16_t>(bits));       // valid bits
        Put32(out, spec.channels == 1 ? 0x4u : 0x3u);  // front centre, or front left + right
        Put16(out, sampleTag);
        out.insert(out.end(), std::begin(kGuidRest), std::end(kGuidRest));
    }
    if (!spec.extraChunk.empty()) {
        PutTag(out, "LIST");
        Put32(out, static_cast<uint32_t>(spec.extraChunk.size()));
        out.insert(out.end(), spec.extraChunk.begin(), spec.extraChunk.end());
        if (spec.extraChunk.size() % 2) out.push_back(0);
    }
    PutTag(out, "data");
    Put32(out, dataSize);
    const double step = 2.0 * M_PI * spec.frequency / spec.sampleRate;
    for (uint32_t i = 0; i < frames; ++i) {
        const double s = std::sin(step * i) * 0.5;
        for (int c = 0; c < spec.channels; ++c) {
            if (spec.floatSamples) {
                Put32(out, std::bit_cast<uint32_t>(static_cast<float>(s)));
            } else if (bytesPerSample == 1) {
                out.push_back(static_cast<uint8_t>(128 + std::lround(s * 127)));
            } else {
                Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767))));
            }
        }
    }
    return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool HaveTool(const std::string& name) {
    return !QStandardPaths::findExecutable(QString::fromStdString(name)).isEmpty();
}

// fork() and exec rather than QProcess: ThreadSanitizer follows a fork() but not the raw clone()
// QProcess starts programs with, and after one of those it loses the ordering every mutex of the
// test process gives (reports of races under a held lock, or "threads after fork" deaths).
ToolResult RunTool(const std::vector<std::string>& argv, const std::string& workingFolder) {
    ToolResult result;
    if (argv.empty()) return result;
    int out[2];
    int failed[2];  // the child's errno when it could not start the program
    if (::pipe2(out, O_CLOEXEC) != 0) return result;
    if (::pipe2(failed, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return result;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        if (workingFolder.empty() || ::chdir(workingFolder.c_str()) == 0) ::execvp(args[0], args.data());
        const int error = errno;
        (void)!::write(failed[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(failed[1]);
    if (pid > 0) {
        char buffer[1 << 16];
        for (;;) {
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n > 0) result.out.append(buffer, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR) break;
        }
    }
    ::close(out[0]);
    int error = 0;
    const bool started = pid > 0 && ::read(failed[0], &error, sizeof error) != sizeof error;
    ::close(failed[0]);
    if (pid <= 0) return result;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (started) result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    else result.out.clear();
    return result;
}

bool LameEncode(const std::string& wav, const std::string& mp3,
                const std::vector<std::string>& lameArgs) {
    if (!HaveTool("lame")) return false;
    std::vector<std::string> argv{"lame", "--quiet"};
    argv.insert(argv.end(), lameArgs.begin(), lameArgs.end());
    argv.push_back(wav);
    argv.push_back(mp3);
    return RunTool(argv).exitCode == 0;
}

std::string LameMp3(const std::string& mp3Path, const ToneSpec& spec,
                    const std::vector<std::string>& lameArgs) {
    if (!HaveTool("lame")) return "";
    const std::string wav = mp3Path + ".wav";
    WriteFile(wav, MakeToneWav(spec));
    const bool encoded = LameEncode(wav, mp3Path, lameArgs);
    std::error_code error;
    std::filesystem::remove(wav, error);
    return encoded ? mp3Path : "";
}

std::string LameMp3(const TempDir& dir, const std::string& fileName, const ToneSpec& spec,
                    const std::vector<std::string>& lameArgs) {
    return LameMp3(dir.File(fileName), spec, lameArgs);
}

CliRun RunInstalledVexmor(const QStringList& args,
                          const std::map<std::string, std::string>& environment) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(env);
    process.start(QString::fromLocal8Bit(std::getenv("VX_INSTALL_PREFIX")) + "/bin/vexmor", args);
    CliRun run;
    if (!process.waitForStarted(10000)) return run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 240000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

std::optional<ProbeInfo> Probe(const std::string& path) {
    if (!HaveTool("ffprobe")) return std::nullopt;
    const ToolResult r =
        RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                 "stream=codec_name,channels,sample_rate,bit_rate:format=duration", "-of",
                 "default=noprint_wrappers=1", path});
    if (r.exitCode != 0) return std::nullopt;
    ProbeInfo info;
    std::istringstream lines(r.out);
    std::string line;
    bool any = false;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (value == "N/A") continue;
        any = true;
        if (key == "codec_name")
            info.codec = value;
        else if (key == "channels")
            info.channels = std::atoi(value.c_str());
        else if (key == "sample_rate")
            info.sampleRate = std::atoi(value.c_str());
        else if (key == "bit_rate")
            info.bitRate = std::atoll(value.c_str());
        else if (key == "duration")
            info.duration = std::atof(value.c_str());
    }
    if (!any) return std::nullopt;
    return info;
}

std::optional<std::map<std::string, std::string>> ProbeTags(const std::string& path) {
    if (!HaveTool("ffprobe")) return std::nullopt;
    // Ogg files keep their tags with the stream: the first audio stream's tags are read too, and
    // the container's win where both have one.
    const ToolResult r = RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0",
                                  "-show_entries", "format_tags:stream_tags", "-of", "default",
                                  path});
    if (r.exitCode != 0) return std::nullopt;
    std::map<std::string, std::string> streamTags;
    std::map<std::string, std::string> formatTags;
    std::map<std::string, std::string>* section = &formatTags;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "[STREAM]") section = &streamTags;
        if (line == "[FORMAT]") section = &formatTags;
        const size_t eq = line.find('=');
        if (line.rfind("TAG:", 0) != 0 || eq == std::string::npos) continue;
        std::string key = line.substr(4, eq - 4);
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        (*section)[key] = line.substr(eq + 1);
    }
    for (const auto& [key, value] : formatTags) streamTags[key] = value;
    return streamTags;
}

std::optional<TaggedSong> MakeTaggedMp3WithCover(const std::string& folder, const std::string& name,
                                                 double seconds) {
    if (!HaveTool("ffmpeg")) return std::nullopt;
    TaggedSong song;
    const std::string tone = folder + "/" + name + ".tone.wav";
    const std::string cover = folder + "/" + name + ".cover.png";
    WriteFile(tone, MakeToneWav({.seconds = seconds}));
    if (RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=s=640x480",
                 "-frames:v", "1", cover})
            .exitCode != 0)
        return std::nullopt;
    song.path = folder + "/" + name;
    song.title = "Tagged Song \xc3\x9c" "ber";
    song.artist = "The Artists";
    song.album = "An Album";
    const ToolResult made = RunTool(
        {"ffmpeg", "-v", "error", "-y", "-i", tone, "-i", cover, "-map", "0:a", "-map", "1:v",
         "-c:a", "libmp3lame", "-b:a", "128k", "-c:v", "copy", "-id3v2_version", "3",
         "-write_id3v1", "1", "-metadata", "title=" + song.title, "-metadata",
         "artist=" + song.artist, "-metadata", "album=" + song.album, "-metadata:s:v",
         "title=Album cover", "-metadata:s:v", "comment=Cover (front)", song.path});
    if (made.exitCode != 0) return std::nullopt;
    song.cover = ReadFile(cover);
    std::remove(tone.c_str());
    std::remove(cover.c_str());
    return song;
}

std::vector<uint8_t> AttachedPicture(const std::string& path, const std::string& scratchFolder) {
    const std::string out = scratchFolder + "/attached-picture.png";
    std::remove(out.c_str());
    if (RunTool({"ffmpeg", "-v", "error", "-y", "-i", path, "-an", "-c:v", "copy", "-frames:v", "1",
                 out})
            .exitCode != 0)
        return {};
    std::vector<uint8_t> bytes = ReadFile(out);
    std::remove(out.c_str());
    return bytes;
}

void ExpectTagsTravelled(const std::string& output, const TaggedSong& song,
                         const std::string& scratchFolder) {
    const auto tags = ProbeTags(output);
    ASSERT_TRUE(tags) << output;
    EXPECT_EQ(tags->count("title") ? tags->at("title") : "", song.title) << output;
    EXPECT_EQ(tags->count("artist") ? tags->at("artist") : "", song.artist) << output;
    EXPECT_EQ(tags->count("album") ? tags->at("album") : "", song.album) << output;
    const std::vector<uint8_t> picture = AttachedPicture(output, scratchFolder);
    EXPECT_FALSE(picture.empty()) << output;
    EXPECT_TRUE(picture == song.cover) << output << ": the picture's bytes differ";
    // The version 1 tag at the end came along too.
    const std::vector<uint8_t> bytes = ReadFile(output);
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG") << output;
}

std::string BuildSystemDir() { return std::string(VX_BUILD_DIR) + "/lib/vexmor"; }

}  // namespace testing_support
