// Helpers shared by the tests: a scratch folder per test, generated sound fixtures and the
// outside tools that read back what the programs write.
#pragma once

#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QImage;

namespace testing_support {

// A fresh folder under the test process's temporary home; removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

// Sets an environment variable (or unsets it, nullopt) for one scope and restores it after.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

struct ToneSpec {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16;
    double seconds = 1.0;
    double frequency = 440.0;
    // 32-bit IEEE float samples (format tag 3) in place of integers; bitsPerSample is then 32.
    bool floatSamples = false;
    // A WAVE_FORMAT_EXTENSIBLE format chunk whose sub-format names the samples' kind.
    bool extensible = false;
    // Extra chunk bytes written between "fmt " and "data" (a "LIST" chunk) when not empty.
    std::vector<uint8_t> extraChunk;
};

// A WAV holding a sine tone; returns the bytes written.
std::vector<uint8_t> MakeToneWav(const ToneSpec& spec);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);

// Encodes the WAV `wav` with the lame tool (quiet, `lameArgs` before the file names) into `mp3`;
// false when lame is missing or fails.
bool LameEncode(const std::string& wav, const std::string& mp3,
                const std::vector<std::string>& lameArgs);
// Encodes a tone of `spec` with lame into `mp3Path`, by way of a WAV beside it that is removed
// afterwards; the MP3's path, or "" when lame is missing or fails.
std::string LameMp3(const std::string& mp3Path, const ToneSpec& spec,
                    const std::vector<std::string>& lameArgs);
// The same into dir/fileName.
std::string LameMp3(const TempDir& dir, const std::string& fileName, const ToneSpec& spec,
                    const std::vector<std::string>& lameArgs);

// One run of the installed vexmor (under $VX_INSTALL_PREFIX) with `environment` added to this
// process's; the test thread's event loop runs while it waits, so loopback servers of the test
// answer. exitCode -1 when it did not start, crashed or took longer than four minutes.
struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};
CliRun RunInstalledVexmor(const QStringList& args,
                          const std::map<std::string, std::string>& environment);

// Whether an outside program is on the PATH.
bool HaveTool(const std::string& name);

struct ToolResult {
    int exitCode = -1;
    std::string out;  // standard output and standard error together
};
// Runs a program with an argument vector (no shell) and waits for it; in `workingFolder` when
// one is given.
ToolResult RunTool(const std::vector<std::string>& argv, const std::string& workingFolder = "");

// Values ffprobe reports for the first audio stream; nullopt without ffprobe or on failure.
struct ProbeInfo {
    std::string codec;
    int channels = 0;
    int sampleRate = 0;
    long long bitRate = 0;
    double duration = 0.0;
};
std::optional<ProbeInfo> Probe(const std::string& path);
// Keys are lower-cased: title, artist, album, track.
// The container's tags as ffprobe reports them (with the first audio stream's, where Ogg keeps
// them; the container's win); nullopt without ffprobe or on failure.
std::optional<std::map<std::string, std::string>> ProbeTags(const std::string& path);

// An MP3 made by ffmpeg from a tone: ID3v2.3 title (not ASCII), artist, album and a PNG cover
// picture, and an ID3v1 tag. nullopt without ffmpeg.
struct TaggedSong {
    std::string path;
    std::string title;
    std::string artist;
    std::string album;
    std::vector<uint8_t> cover;  // the picture's bytes
};
std::optional<TaggedSong> MakeTaggedMp3WithCover(const std::string& folder, const std::string& name,
                                                 double seconds = 2.0);
// The bytes of the first attached picture of `path`, as ffmpeg copies them out.
std::vector<uint8_t> AttachedPicture(const std::string& path, const std::string& scratchFolder);
// Checks with ffprobe and ffmpeg that `output` carries the tags of `song`: title, artist, album,
// the picture's very bytes, and an ID3v1 tag.
void ExpectTagsTravelled(const std::string& output, const TaggedSong& song,
                         const std::string& scratchFolder);

// With VX_SCREENSHOT_DIR set, keeps `shot` there under `name` for a person to look at.
// (Window tests: defined in the window test support, tests/support/screenshots.cpp.)
void KeepScreenshot(const QImage& shot, const std::string& name);

// Where the components were built (the system directory of the build tree).
std::string BuildSystemDir();

}  // namespace testing_support
