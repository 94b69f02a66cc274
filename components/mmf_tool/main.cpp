// wscma2u: makes SMAF (.mmf) ringtones from WAV files.
//
//   wscma2u                 opens a window that takes dropped WAV files
//   wscma2u FILE.wav...     converts the files and reports each one on the standard output;
//                           the exit status is 0 when every file was converted, 1 otherwise
//   --rate HZ               before the files: another SMAF rate than 8000 Hz
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "components/mmf_tool/mmf_convert.h"
#include "components/mmf_tool/tool_window.h"
#include "platform/qt_ui.h"
#include "platform/ui.h"

namespace {

int ConvertFromCommandLine(int argc, char** argv) {
    int rate = mmf::kDefaultSmafRate;
    int first = 1;
    if (std::strcmp(argv[1], "--rate") == 0) {
        rate = argc > 2 ? std::atoi(argv[2]) : 0;
        if (!mmf::IsSmafRate(rate)) {
            std::fprintf(stderr, "wscma2u: SMAF rates are 4000, 8000, 11025, 22050 and 44100 Hz\n");
            return 2;
        }
        first = 3;
    }
    int failures = 0;
    for (int i = first; i < argc; ++i) {
        const mmf::ConvertResult result = mmf::ConvertToMmf(argv[i], rate);
        const QString line = ReportLine(QString::fromLocal8Bit(argv[i]), result);
        std::fprintf(result.ok ? stdout : stderr, "%s\n", line.toLocal8Bit().constData());
        if (!result.ok) ++failures;
    }
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: wscma2u [--rate HZ] [FILE.wav...]\n"
            "With files: writes FILE.mmf beside each one, mono at 8000 Hz unless --rate\n"
            "names another SMAF rate (4000, 8000, 11025, 22050, 44100). Without: opens a\n"
            "window that converts the WAV files dropped on it.\n");
        return 0;
    }
    if (argc > 1) return ConvertFromCommandLine(argc, argv);

    QApplication app(argc, argv);
    platform::UseQtUiByDefault();
    platform::SetProgramName("MMF Ringtone Maker");
    ToolWindow window;
    window.show();
    return app.exec();
}
