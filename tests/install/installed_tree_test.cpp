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

}  // namespace
