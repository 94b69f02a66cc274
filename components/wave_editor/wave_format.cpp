#include "components/wave_editor/wave_format.h"

#include "media/wav_file.h"

namespace wave_editor {

std::string WaveErrorText(WaveError error) {
    switch (error) {
        case WaveError::None:
            return std::string();
        case WaveError::CannotOpen:
            return "The file cannot be opened.";
        case WaveError::NotWave:
            return "This is not a WAV file.";
        case WaveError::NoFormat:
            return "The WAV file has no format description.";
        case WaveError::Unsupported:
            return "Only PCM WAV files with one or two channels of 8 or 16 bits can be shown.";
        case WaveError::NoData:
            return "The WAV file holds no sound data.";
    }
    return std::string();
}

WaveHeader ReadWaveHeader(const std::string& path) {
    // A file still being written, or one whose writer left the data size at 0 or 0xFFFFFFFF,
    // is shown up to the end of the file.
    media::WavRules rules;
    rules.unfinishedDataRunsToEnd = true;
    const media::WavInfo info = media::ReadWav(path, rules);
    WaveHeader out;
    switch (info.error) {
        case media::WavError::CannotOpen:
            out.error = WaveError::CannotOpen;
            return out;
        case media::WavError::NotWave:
            out.error = WaveError::NotWave;
            return out;
        default:
            break;
    }
    if (info.hasFormat) {
        const media::WavFormat& m = info.format;
        WaveFormat& f = out.format;
        f.channels = m.channels;
        f.sampleRate = static_cast<int>(m.sampleRate);
        f.bytesPerSecond = static_cast<int>(m.bytesPerSecond);
        f.blockAlign = m.blockAlign;
        f.bitsPerSample = m.bitsPerSample;
        const bool shape = (f.channels == 1 || f.channels == 2) &&
                           (f.bitsPerSample == 8 || f.bitsPerSample == 16) && m.FrameMatches() &&
                           f.sampleRate > 0;
        if (!m.IsInteger() || !shape) {
            out.error = WaveError::Unsupported;
            return out;
        }
    }
    if (info.error != media::WavError::None) {
        out.error = info.hasFormat ? WaveError::NoData : WaveError::NoFormat;
        return out;
    }
    out.format.dataOffset = info.dataOffset;
    out.format.dataBytes = info.wholeFrameBytes();
    return out;
}

}  // namespace wave_editor
