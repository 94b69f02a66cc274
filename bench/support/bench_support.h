// Helpers the benchmark programs share: child-process runs with their wall time, processor time
// and peak resident size, peer commands run quietly, the best of several runs, the music-like
// test signal, scratch folders and the ours-against-peer table lines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Run {
    double seconds = 0;     // wall time
    double cpuSeconds = 0;  // user + system time of the child and its children
    long peakKb = 0;        // peak resident size of the child
    bool ok = false;        // the child exited with status 0
};

// Runs `body` in a forked child whose exit status is what `body` returns.
Run InChild(const std::function<int()>& body);

// Runs a command (looked up on PATH) with its output and errors discarded, in `folder` when one
// is given; returns its exit status, -1 when it could not be run or did not exit.
int ExecQuiet(std::vector<std::string> argv, const std::string& folder = {});

// The same command as a measured child run.
Run Exec(std::vector<std::string> argv);

// Runs the commands one after another in one measured child; fails when any fails.
Run ExecAll(const std::vector<std::vector<std::string>>& commands);

// The fastest of `times` runs; the first failing run when one fails.
Run Best(int times, const std::function<Run()>& once);

// This thread's processor time in seconds.
double ThreadCpuSeconds();

// Music-like test signal: drifting partials around `base` Hz (the third one only when
// `upperPartial`) and a little noise, as 44100 Hz stereo 16-bit little-endian samples.
std::vector<uint8_t> SignalSamples(double seconds, double base = 220.0, bool upperPartial = true);

// The same signal as a WAV file.
void WriteSignal(const std::string& path, double seconds, double base = 220.0,
                 bool upperPartial = true);

// A new folder `<temp>/<name>.<pid>`.
std::filesystem::path ScratchFolder(const std::string& name);

// Empties `folder`, creating it when missing.
void FreshFolder(const std::filesystem::path& folder);

// The ours-against-peer table: the heading, then one line per comparison.
void PrintRatioHeader(int width);
void PrintRatioRow(int width, const char* what, double ours, double peer);

// The down-sizers' input: `count` copies (song00.mp3, song01.mp3, ...) in `folder` of one
// 128 kbit/s joint-stereo MP3 of the test signal, `seconds` long, made by lame. Empty when lame
// fails.
std::vector<std::string> MakeMp3Copies(const std::filesystem::path& folder, int count,
                                       double seconds);

// Prints whether the targets were met; the exit status for it (0, or 2 when outside).
int Verdict(bool pass);

}  // namespace bench
