// The installed tree: the programs start from the prefix and find their components there by the
// path relative to bin/, with no override in the environment.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <cstdlib>

namespace {

QString Prefix() { return QString::fromLocal8Bit(std::getenv("VX_INSTALL_PREFIX")); }

TEST(InstalledTree, ProgramsLinkAgainstTheComponentsBesideThem) {
  ASSERT_FALSE(Prefix().isEmpty());
  for (const QString program : {"ringsmith", "discsmith"}) {
    QProcess ldd;
    ldd.start("ldd", {Prefix() + "/bin/" + program});
    ASSERT_TRUE(ldd.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    EXPECT_FALSE(out.contains("not found")) << out.toStdString();
    // The MP3 information library comes from the prefix, not from the build tree.
    EXPECT_TRUE(out.contains(Prefix() + "/bin/../lib/vexmor/libmycommon.so")) << out.toStdString();
  }
}

QString Ldd(const QString& file) {
  QProcess ldd;
  ldd.start("ldd", {file});
  if (!ldd.waitForFinished(30000)) return {};
  return QString::fromLocal8Bit(ldd.readAllStandardOutput());
}

// The command line loads no window library and no FFmpeg at start: FFmpeg comes with the
// decoding and ringtone modules of the system directory, on use.
TEST(InstalledTree, CommandLineLeavesFfmpegToItsModules) {
  ASSERT_FALSE(Prefix().isEmpty());
  const QString cli = Ldd(Prefix() + "/bin/vexmor");
  ASSERT_TRUE(cli.contains("libvx_ground.so")) << cli.toStdString();
  for (const char* library : {"libavformat", "libavcodec", "libswresample", "libQt6Widgets",
                              "libQt6Gui", "libSDL2"})
    EXPECT_FALSE(cli.contains(library)) << library << "\n" << cli.toStdString();
  for (const QString module : {"vx_audio_decode.so", "vx_phone_encode.so"}) {
    const QString out = Ldd(Prefix() + "/lib/vexmor/" + module);
    EXPECT_TRUE(out.contains("libavformat")) << module.toStdString() << "\n" << out.toStdString();
    EXPECT_FALSE(out.contains("not found")) << out.toStdString();
  }
}

}  // namespace
