// vexmor's disc look-up as installed: rip and drives against loopback services on 127.0.0.1 (the
// test's event loop answers while vexmor runs). The MP3s' tags are read back by ffprobe.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <filesystem>

#include "tests/support/cd_images.h"
#include "tests/support/loopback_http.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
namespace ts = testing_support;

using ts::CliRun;

QByteArray AskedDiscId(const ts::HttpRequest& request) {
    const QByteArray path = request.target.left(request.target.indexOf('?'));
    return path.mid(path.lastIndexOf('/') + 1);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("VX_INSTALL_PREFIX"), nullptr);
        if (!ts::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe missing";
        images_ = dir_.File("discs");
        fs::create_directories(images_);
        ts::DiscImage disc;
        disc.title = "Night Album";
        disc.performer = "The Band";
        disc.tracks = {{75, false, "First Song", "Singer"}, {90, false, "", ""}, {105, false, "", ""}};
        ts::WriteDiscImage(images_, "disc", disc);
    }

    // Runs the installed vexmor while this thread's event loop serves the loopback services.
    CliRun Vexmor(const QStringList& args, const QString& mb = "http://127.0.0.1:9",
                  const QString& gnudb = "http://127.0.0.1:9") {
        return ts::RunInstalledVexmor(args, {{"VEXMOR_DISC_IMAGES", images_},
                                             {"VEXMOR_MUSICBRAINZ_URL", mb.toStdString()},
                                             {"VEXMOR_GNUDB_URL", gnudb.toStdString()}});
    }
    QString Path(const std::string& name) { return QString::fromStdString(dir_.File(name)); }

    ts::TempDir dir_;
    std::string images_;
};

}  // namespace

TEST_F(CliLookup, RipListsTheReleasesTakesTheChosenOneAndDrivesShowsTheIds) {
    ts::LoopbackHttp mb([](const ts::HttpRequest& request) {
        return ts::HttpAnswer{
            200, ts::TwoReleasesReply(AskedDiscId(request).toStdString(), "rel-1", "rel-2"), {}};
    });
    const CliRun rip = Vexmor({"rip", "--release", "2", "--names", "title", "-o", Path("out")},
                              mb.url());
    ASSERT_EQ(rip.exitCode, 0) << rip.err;
    EXPECT_TRUE(Contains(rip.err, "Looking up the disc...\nFound on MusicBrainz\n")) << rip.err;
    EXPECT_TRUE(Contains(rip.err,
                         "  1) First Pressing - The Players (1999, GB, 3 tracks) [MusicBrainz]\n"
                         "  2) Remaster - The Players (2004, US, 3 tracks) [MusicBrainz]\n"
                         "release: Remaster - The Players (2004, US, 3 tracks) [MusicBrainz]\n"))
        << rip.err;
    const std::string out = dir_.File("out/");
    EXPECT_EQ(rip.out, out + "01 - Uno.mp3\n" + out + "02 - Dos.mp3\n" + out + "03 - Tres.mp3\n");
    EXPECT_TRUE(Contains(rip.err, "01 - Uno.mp3: 100%\n")) << rip.err;
    ASSERT_EQ(mb.requests().size(), 1u);
    const std::string discId = AskedDiscId(mb.requests()[0]).toStdString();
    const auto tags = ts::ProbeTags(out + "03 - Tres.mp3");
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->at("title"), "Tres");
    EXPECT_EQ(tags->at("album"), "Remaster");
    EXPECT_EQ(tags->at("artist"), "The Players");
    EXPECT_EQ(tags->at("track"), "3/3");
    EXPECT_EQ(tags->at("date"), "2004");
    EXPECT_EQ(tags->at("musicbrainz album id"), "rel-2");
    EXPECT_EQ(tags->at("musicbrainz disc id"), discId);

    // The ids and the kept releases, with no service asked.
    const CliRun drives = Vexmor({"drives", "--json"});
    ASSERT_EQ(drives.exitCode, 0) << drives.err;
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(drives.out)).array();
    ASSERT_EQ(list.size(), 1) << drives.out;
    const QJsonObject drive = list[0].toObject();
    EXPECT_EQ(drive["letter"].toString(), "D");
    const QJsonObject disc = drive["disc"].toObject();
    EXPECT_EQ(disc["musicBrainzDiscId"].toString().toStdString(), discId);
    EXPECT_EQ(disc["freedbId"].toString().size(), 8);
    EXPECT_EQ(disc["title"].toString(), "Night Album");
    ASSERT_EQ(disc["tracks"].toArray().size(), 3);
    EXPECT_EQ(disc["tracks"].toArray()[0].toObject()["title"].toString(), "First Song");
    EXPECT_EQ(disc["tracks"].toArray()[1].toObject()["title"], QJsonValue(QJsonValue::Null));
    ASSERT_EQ(disc["releases"].toArray().size(), 2);
    EXPECT_EQ(disc["releases"].toArray()[1].toObject()["album"].toString(), "Remaster");

    // A release beyond those found is bad usage, and the kept answer needed no request.
    const CliRun beyond = Vexmor({"rip", "--release", "3", "-o", Path("other")}, mb.url());
    EXPECT_EQ(beyond.exitCode, 2);
    EXPECT_TRUE(Contains(beyond.err, "--release 3: the look-up found 2 releases")) << beyond.err;
    EXPECT_FALSE(fs::exists(dir_.File("other")));
    EXPECT_EQ(mb.requests().size(), 1u);
}

TEST_F(CliLookup, WithoutLookupOrConnectionTheTagsAreTheCdText) {
    ts::LoopbackHttp mb([](const ts::HttpRequest& request) {
        return ts::HttpAnswer{
            200, ts::TwoReleasesReply(AskedDiscId(request).toStdString(), "rel-1", "rel-2"), {}};
    });
    const CliRun off = Vexmor({"rip", "--no-lookup", "--tracks", "1", "-o", Path("off")}, mb.url());
    ASSERT_EQ(off.exitCode, 0) << off.err;
    EXPECT_TRUE(mb.requests().empty());
    EXPECT_FALSE(Contains(off.err, "Looking up")) << off.err;
    EXPECT_EQ(off.out, dir_.File("off/track01.mp3") + "\n");
    auto tags = ts::ProbeTags(dir_.File("off/track01.mp3"));
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->at("title"), "First Song");
    EXPECT_EQ(tags->at("artist"), "Singer");
    EXPECT_EQ(tags->at("album"), "Night Album");
    EXPECT_EQ(tags->count("musicbrainz album id"), 0u);

    const CliRun offline = Vexmor({"rip", "--tracks", "1", "-o", Path("offline")});
    ASSERT_EQ(offline.exitCode, 0) << offline.err;
    EXPECT_TRUE(Contains(offline.err, "No connection: titles from CD-Text\n")) << offline.err;
    tags = ts::ProbeTags(dir_.File("offline/track01.mp3"));
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->at("title"), "First Song");

    for (const QStringList& args :
         {QStringList{"rip", "--release", "0", "-o", Path("x")},
          QStringList{"rip", "--release", "1", "--no-lookup", "-o", Path("x")},
          QStringList{"rip", "--names", "other", "-o", Path("x")}}) {
        const CliRun bad = Vexmor(args);
        EXPECT_EQ(bad.exitCode, 2) << args.join(' ').toStdString() << bad.err;
    }
    EXPECT_FALSE(fs::exists(dir_.File("x")));
}
