// The CD ripper's disc look-up as a user meets it: loopback services on 127.0.0.1 that answer in
// MusicBrainz's ws/2 JSON and gnudb's CDDB text (and fail in the ways real services fail), a
// generated disc image as the drive, the real codec engine. The tags of the MP3s are read back
// by ffprobe.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidgetItem>
#include <QUrlQuery>
#include <filesystem>
#include <functional>

#include "platform/scripted_ui.h"
#include "studio/codec_engine.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/cd_ripper_dlg.h"
#include "tests/support/cd_images.h"
#include "tests/support/loopback_http.h"
#include "tests/support/test_support.h"
#include "uikit/track_list.h"

namespace fs = std::filesystem;
namespace ts = testing_support;
using namespace studio;

namespace {

// The disc id a MusicBrainz request asks for.
std::string AskedDiscId(const ts::HttpRequest& request) {
    const QByteArray path = request.target.left(request.target.indexOf('?'));
    return path.mid(path.lastIndexOf('/') + 1).toStdString();
}

QString CddbCommand(const ts::HttpRequest& request) {
    return QUrlQuery(QUrl(QString::fromLatin1(request.target)).query()).queryItemValue("cmd");
}

ts::HttpAnswer NotOnMusicBrainz(const ts::HttpRequest&) {
    return {404, R"({"error":"Not Found","help":"For usage, please see: ..."})", {}};
}

constexpr const char* kClosed = "http://127.0.0.1:9";

class RipperLookup : public ::testing::Test {
  protected:
    studio::Session session;
    void SetUp() override {
        if (!ts::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe missing";
        ASSERT_TRUE(session.BindCodecEngine());
        images = dir.File("discs");
        fs::create_directories(images);
        ::setenv("VEXMOR_DISC_IMAGES", images.c_str(), 1);
        UseServices(kClosed, kClosed);
        // Each case starts without the answers an earlier case of this process kept.
        fs::remove_all(
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString() +
            "/vexmor/metadata");
    }
    void TearDown() override { UseServices(kClosed, kClosed); }

    static void UseServices(const QString& mb, const QString& gnudb) {
        ::setenv("VEXMOR_MUSICBRAINZ_URL", mb.toUtf8().constData(), 1);
        ::setenv("VEXMOR_GNUDB_URL", gnudb.toUtf8().constData(), 1);
    }

    // Three audio tracks with CD-Text for the first only.
    void WriteDisc(int frames = 75) {
        ts::DiscImage disc;
        disc.title = "CD-Text Album";
        disc.performer = "CD-Text Band";
        disc.tracks = {{frames, false, "CD-Text First", ""},
                       {frames + 15, false, "", ""},
                       {frames + 30, false, "", ""}};
        ts::WriteDiscImage(images, "disc", disc);
    }
    std::string DiscIdOfDrive() const {
        const CdDrive& drive = session.cd.drives.at(0);
        return MusicBrainzDiscId(DiscTocFrom(drive.toc, drive.identity));
    }

    static bool WaitForLookup(CCdRipperDlg& ripper, int ms = 20000) {
        return QTest::qWaitFor([&] { return ripper.LookupStatus() != kLookingUpText; }, ms);
    }
    void RipAndWait(CCdRipperDlg& ripper, std::initializer_list<int> rows) {
        for (int row : rows) ripper.list()->topLevelItem(row)->setCheckState(0, Qt::Checked);
        ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, out);
        ripper.OnRip();
        ASSERT_EQ(session.ripper.ripping.load(), 1) << "Rip did not start";
        ASSERT_TRUE(QTest::qWaitFor([this] { return session.ripper.finished.load() == 1; }, 60000));
        ASSERT_TRUE(QTest::qWaitFor([this] { return session.ripper.ripping.load() == 0; }, 60000));
        QApplication::processEvents();
    }
    std::map<std::string, std::string> Tags(const std::string& name) {
        const auto tags = ts::ProbeTags(out + name);
        EXPECT_TRUE(tags) << name;
        return tags.value_or(std::map<std::string, std::string>{});
    }
    static std::string Cell(CCdRipperDlg& ripper, int row) { return ripper.list()->CellText(row, 0); }

    platform::ScopedScriptedUi ui;
    ts::TempDir dir;
    std::string images;
    std::string out = dir.File("rips/");
};

}  // namespace

TEST_F(RipperLookup, FoundTitlesAreListedEditableAndTaggedBeforeTheyTakeTheirNames) {
    WriteDisc();
    std::string longTitle(300, 'L');
    ts::LoopbackHttp mb([&](const ts::HttpRequest& request) {
        return ts::HttpAnswer{
            200,
            ts::MusicBrainzReply(AskedDiscId(request),
                                 {{"rel-1",
                                   "Found Album",
                                   "1999-04-01",
                                   "GB",
                                   {"Morning", std::string("AC/DC\0 Live", 11), longTitle}}}),
            {}};
    });
    UseServices(mb.url(), kClosed);
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.resize(ripper.size());
    ripper.show();
    ripper.EnsureInitialized();
    // The look-up runs beside the window: the list is there at once with the disc's names.
    EXPECT_EQ(ripper.LookupStatus(), kLookingUpText);
    EXPECT_EQ(Cell(ripper, 0), "Track 01");
    ASSERT_TRUE(WaitForLookup(ripper));
    EXPECT_EQ(ripper.LookupStatus(), "Found on MusicBrainz");
    ASSERT_EQ(mb.requests().size(), 1u);
    const std::string discId = DiscIdOfDrive();
    EXPECT_EQ(AskedDiscId(mb.requests()[0]), discId);
    EXPECT_EQ(Cell(ripper, 0), "Morning");
    EXPECT_EQ(Cell(ripper, 1), "AC/DC Live");  // the NUL is gone, the slash stays in the title
    EXPECT_EQ(Cell(ripper, 2), std::string(255, 'L'));
    EXPECT_EQ(ripper.ItemText(CCdRipperDlg::kIdAlbum), "Found Album");
    EXPECT_EQ(ripper.ItemText(CCdRipperDlg::kIdArtist), "The Players");
    auto* releases = ripper.Control<QComboBox>(CCdRipperDlg::kIdReleases);
    EXPECT_EQ(releases->count(), 1);
    EXPECT_FALSE(releases->isEnabled());  // nothing to choose
    ts::KeepScreenshot(ripper.grab().toImage(), "ripper-lookup.png");

    // F2 opens the title cell's editor; what is typed is what the tags get.
    ripper.list()->setCurrentItem(ripper.list()->topLevelItem(0));
    QTest::keyClick(ripper.list(), Qt::Key_F2);
    auto* editor = ripper.list()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Early Morning");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(Cell(ripper, 0), "Early Morning");
    EXPECT_EQ(ripper.titles().Title(0), "Early Morning");
    // A double-click edits a row's title too.
    const QRect second = ripper.list()->visualItemRect(ripper.list()->topLevelItem(1));
    QTest::mouseDClick(ripper.list()->viewport(), Qt::LeftButton, {},
                       QPoint(second.left() + 100, second.center().y()));
    EXPECT_NE(ripper.list()->viewport()->findChild<QLineEdit*>(), nullptr);
    QTest::keyClick(ripper.list()->viewport()->findChild<QLineEdit*>(), Qt::Key_Escape);
    ripper.SetItemText(CCdRipperDlg::kIdAlbum, "My Album");
    EXPECT_EQ(ripper.titles().album(), "My Album");

    ripper.ChooseNaming(RipNaming::NumberAndTitle);
    RipAndWait(ripper, {0, 1, 2});
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Complete!"});
    // The files carry the titles; nothing unfinished is left beside them.
    const std::string third = "03 - " + std::string(255 - 5 - 4, 'L') + ".mp3";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"01 - Early Morning.mp3", "02 - AC_DC Live.mp3", third}));
    const auto tags = Tags("01 - Early Morning.mp3");
    EXPECT_EQ(tags.at("title"), "Early Morning");
    EXPECT_EQ(tags.at("artist"), "The Players");
    EXPECT_EQ(tags.at("album"), "My Album");
    EXPECT_EQ(tags.at("album_artist"), "The Players");
    EXPECT_EQ(tags.at("track"), "1/3");
    EXPECT_EQ(tags.at("date"), "1999");
    EXPECT_EQ(tags.at("musicbrainz album id"), "rel-1");
    EXPECT_EQ(tags.at("musicbrainz disc id"), discId);
    const auto guest = Tags("02 - AC_DC Live.mp3");
    EXPECT_EQ(guest.at("title"), "AC/DC Live");
    EXPECT_EQ(guest.at("artist"), "A Guest");
    EXPECT_EQ(Tags(third).at("title"), std::string(255, 'L'));
    EXPECT_NEAR(ts::Probe(out + "01 - Early Morning.mp3")->duration, 1.0, 2 * 1152 / 44100.0);

    // The answer was kept: the next dialog finds the disc with no service to ask.
    EXPECT_TRUE(fs::exists(MetadataCache().folder() + "/" + discId + ".json"));
    UseServices(kClosed, kClosed);
    CCdRipperDlg again(session, RipMode::CdToMp3);
    again.EnsureInitialized();
    ASSERT_TRUE(WaitForLookup(again));
    EXPECT_EQ(again.LookupStatus(), "Found on MusicBrainz");
    // The edits belonged to the disc in the other window: the new one starts from the release.
    EXPECT_EQ(Cell(again, 0), "Morning");
    EXPECT_EQ(mb.requests().size(), 1u);
    // The file-name choice is remembered.
    EXPECT_EQ(again.Control<QComboBox>(CCdRipperDlg::kIdNaming)->currentText(), "01 - Title.mp3");
}

TEST_F(RipperLookup, TwoReleasesAreOfferedAndTheChosenOneIsWhatTheTagsGet) {
    WriteDisc();
    ts::LoopbackHttp mb([&](const ts::HttpRequest& request) {
        return ts::HttpAnswer{
            200, ts::TwoReleasesReply(AskedDiscId(request), "rel-uk", "rel-us"), {}};
    });
    UseServices(mb.url(), kClosed);
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.resize(ripper.size());
    ripper.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ripper));
    ASSERT_TRUE(WaitForLookup(ripper));
    auto* releases = ripper.Control<QComboBox>(CCdRipperDlg::kIdReleases);
    ASSERT_EQ(releases->count(), 2);
    EXPECT_TRUE(releases->isEnabled());
    EXPECT_EQ(releases->itemText(0),
              "First Pressing - The Players (1999, GB, 3 tracks) [MusicBrainz]");
    EXPECT_EQ(releases->itemText(1), "Remaster - The Players (2004, US, 3 tracks) [MusicBrainz]");
    EXPECT_EQ(Cell(ripper, 0), "One");

    // The window with its choice list open.
    releases->showPopup();
    QApplication::processEvents();
    QWidget* popup = releases->view()->window();
    const QImage dialog = ripper.grab().toImage();
    const QImage list = popup->grab().toImage();
    const QPoint at = ripper.mapFromGlobal(popup->mapToGlobal(QPoint(0, 0)));
    QImage shot(dialog.size(), QImage::Format_ARGB32);
    QPainter painter(&shot);
    painter.drawImage(0, 0, dialog);
    painter.drawImage(at, list);
    painter.end();
    releases->hidePopup();
    ts::KeepScreenshot(shot, "ripper-releases.png");

    releases->setCurrentIndex(1);
    emit releases->activated(1);  // as the user picks a line
    EXPECT_EQ(ripper.titles().chosen(), 1);
    EXPECT_EQ(Cell(ripper, 0), "Uno");
    EXPECT_EQ(ripper.ItemText(CCdRipperDlg::kIdAlbum), "Remaster");
    RipAndWait(ripper, {2});
    const auto tags = Tags("track03.mp3");
    EXPECT_EQ(tags.at("title"), "Tres");
    EXPECT_EQ(tags.at("album"), "Remaster");
    EXPECT_EQ(tags.at("date"), "2004");
    EXPECT_EQ(tags.at("musicbrainz album id"), "rel-us");
    EXPECT_FALSE(fs::exists(out + "track01.mp3"));
}

// Every way a service fails ends in a status line and the disc's CD-Text, and Rip works all the
// while.
TEST_F(RipperLookup, FaultsFallBackToTheCdTextAndNeverHoldUpRip) {
    WriteDisc();
    using Handler = ts::LoopbackHttp::Handler;
    int mbAsked = 0;
    struct Case {
        const char* name;
        Handler mb;     // empty: nothing listens
        Handler gnudb;  // empty: nothing listens
        std::string status;
        std::string firstTitle;  // of the list's first row
        std::string choice;      // a part of the choice line, when something was found
    };
    auto answer = [](int status, QByteArray body, QList<QPair<QByteArray, QByteArray>> headers = {}) {
        return [=](const ts::HttpRequest&) { return ts::HttpAnswer{status, body, headers}; };
    };
    const QByteArray latin1Read =
        "210 rock 12345678 CD database entry follows (until terminating `.')\r\n"
        "# xmcd\r\nDTITLE=Caf\xe9 Trio / Chanson\r\nDYEAR=1962\r\n"
        "TTITLE0=Caf\xe9\r\nTTITLE1=Two / Other Singer\r\nTTITLE2=Three\r\nEXTD=\r\n.\r\n";
    auto gnudbWith = [](QByteArray query, QByteArray read) {
        return [=](const ts::HttpRequest& request) {
            return ts::HttpAnswer{200, CddbCommand(request).startsWith("cddb query") ? query : read,
                                  {}};
        };
    };
    const std::vector<Case> cases = {
        {"refused", {}, {}, "No connection: titles from CD-Text", "Track 01", ""},
        {"not found anywhere", NotOnMusicBrainz,
         answer(200, "202 No match for disc ID 12345678.\r\n"), "Not found: titles from CD-Text",
         "Track 01", ""},
        {"busy, then an answer",
         [&](const ts::HttpRequest& request) {
             if (++mbAsked == 1) return ts::HttpAnswer{503, "busy", {{"Retry-After", "1"}}};
             return ts::HttpAnswer{
                 200,
                 ts::MusicBrainzReply(AskedDiscId(request),
                                      {{"r", "Late", "2000", "", {"x", "y", "z"}}}),
                 {}};
         },
         {},
         "Found on MusicBrainz",
         "x",
         "Late"},
        {"malformed JSON",
         answer(200, R"({"id":"x","releases":[{"id":"r","title")"),
         {},
         "Not found: titles from CD-Text",
         "Track 01",
         ""},
        {"another track count",
         [](const ts::HttpRequest& request) {
             return ts::HttpAnswer{
                 200,
                 ts::MusicBrainzReply(AskedDiscId(request), {{"r", "Two", "", "", {"a", "b"}}}),
                 {}};
         },
         {},
         "Not found: titles from CD-Text",
         "Track 01",
         ""},
        {"gnudb in Latin-1", NotOnMusicBrainz,
         gnudbWith("200 rock 12345678 Caf\xe9 Trio / Chanson\r\n", latin1Read), "Found on gnudb",
         "Caf\xc3\xa9", "Chanson - Caf\xc3\xa9 Trio (1962, 3 tracks) [gnudb]"},
        {"gnudb's inexact match", NotOnMusicBrainz,
         gnudbWith("211 Found inexact matches, list follows (until terminating `.')\r\n"
                   "rock 12345678 Caf\xe9 Trio / Chanson\r\n.\r\n",
                   latin1Read),
         "Found on gnudb", "Caf\xc3\xa9", "[gnudb, fuzzy match]"},
        {"gnudb's entry of another track count", NotOnMusicBrainz,
         gnudbWith("200 rock 12345678 A / B\r\n",
                   "210 rock 12345678 x\r\nDTITLE=A / B\r\nTTITLE0=a\r\nTTITLE1=b\r\n.\r\n"),
         "Not found: titles from CD-Text", "Track 01", ""},
    };
    // The tags are read once every rip is done: a program started between two runs (ffprobe)
    // would end the thread-sanitizer run, which takes QProcess's vfork for a fork.
    std::vector<std::string> folders;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(MetadataCache().folder());
        out = dir.File("rips-" + std::to_string(folders.size()) + "/");
        folders.push_back(out);
        ui->Clear();
        std::unique_ptr<ts::LoopbackHttp> mb, gnudb;
        if (c.mb) mb = std::make_unique<ts::LoopbackHttp>(c.mb);
        if (c.gnudb) gnudb = std::make_unique<ts::LoopbackHttp>(c.gnudb);
        UseServices(mb ? mb->url() : kClosed, gnudb ? gnudb->url() : kClosed);
        CCdRipperDlg ripper(session, RipMode::CdToMp3);
        ripper.EnsureInitialized();
        // Rip at once, while the look-up is under way.
        RipAndWait(ripper, {0});
        EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Complete!"});
        ASSERT_TRUE(WaitForLookup(ripper));
        EXPECT_EQ(ripper.LookupStatus(), c.status);
        EXPECT_EQ(Cell(ripper, 0), c.firstTitle);
        const auto lines = ripper.titles().ChoiceLines();
        if (c.choice.empty()) {
            EXPECT_TRUE(lines.empty());
        } else {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_NE(lines[0].find(c.choice), std::string::npos) << lines[0];
        }
    }
    // The rips that started before the answers have the disc's CD-Text.
    for (const std::string& folder : folders) {
        out = folder;
        const auto tags = Tags("track01.mp3");
        EXPECT_EQ(tags.at("title"), "CD-Text First") << folder;
        EXPECT_EQ(tags.at("album"), "CD-Text Album") << folder;
    }
}

// A service that never answers: the status says so after the time-out, and until then Rip, Look
// up and the edits all work.
TEST_F(RipperLookup, AServiceThatNeverAnswersTimesOut) {
    WriteDisc();
    ts::LoopbackHttp silent([](const ts::HttpRequest&) {
        ts::HttpAnswer answer;
        answer.hang = true;
        return answer;
    });
    UseServices(silent.url(), kClosed);
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !silent.requests().empty(); }, 5000));
    ripper.EditTitle(0, "Typed While Waiting");
    RipAndWait(ripper, {0});
    EXPECT_EQ(ripper.LookupStatus(), kLookingUpText);
    EXPECT_EQ(Tags("track01.mp3").at("title"), "Typed While Waiting");
    QElapsedTimer waited;
    waited.start();
    ASSERT_TRUE(WaitForLookup(ripper, 20000));
    EXPECT_EQ(ripper.LookupStatus(), "No connection: titles from CD-Text");
    EXPECT_LE(waited.elapsed(), 6000);
    EXPECT_EQ(Cell(ripper, 0), "Typed While Waiting");
}

// Stop during a run while the window refills its rows, takes a release and edits titles: the
// run works from its own copy of the tracks, and the window's changes never reach it (the
// thread-sanitizer run checks that no memory is shared without order).
TEST_F(RipperLookup, StopDuringARipWhileTheWindowChangesItsRows) {
    WriteDisc(3000);
    ts::LoopbackHttp mb([&](const ts::HttpRequest& request) {
        return ts::HttpAnswer{
            200,
            ts::MusicBrainzReply(AskedDiscId(request), {{"a", "A", "2000", "", {"1", "2", "3"}},
                                                        {"b", "B", "2001", "", {"4", "5", "6"}}}),
            {}};
    });
    UseServices(mb.url(), kClosed);
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.resize(ripper.size());
    ripper.show();
    ripper.EnsureInitialized();
    ASSERT_TRUE(WaitForLookup(ripper));
    for (int row : {0, 1, 2}) ripper.list()->topLevelItem(row)->setCheckState(0, Qt::Checked);
    ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, out);
    ripper.OnRip();
    ASSERT_EQ(session.ripper.ripping.load(), 1);
    // The first track is read and being encoded.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return session.cd.tracks[0].status.load() == kStatusRead; }, 60000));
    ripper.ChooseRelease(1);
    ripper.EditTitle(1, "Changed While Ripping");
    ripper.SetItemText(CCdRipperDlg::kIdAlbum, "Changed Album");
    ripper.OnLookUp();
    ripper.OnStop();
    EXPECT_EQ(session.ripper.finished.load(), 1);
    QApplication::processEvents();
    EXPECT_EQ(ripper.list()->CellText(1, 2), "Cancelled");
    EXPECT_EQ(ripper.list()->CellText(2, 2), "Cancelled");
    EXPECT_EQ(Cell(ripper, 1), "Changed While Ripping");
    // Nothing was encoded to the end, and nothing unfinished is left.
    std::vector<std::string> left;
    if (fs::exists(out))
        for (const auto& entry : fs::directory_iterator(out)) left.push_back(entry.path().filename());
    EXPECT_TRUE(left.empty()) << left.front();
    ASSERT_TRUE(WaitForLookup(ripper));
    // The next run takes what the window shows now.
    RipAndWait(ripper, {1});
    EXPECT_EQ(Tags("track02.mp3").at("title"), "Changed While Ripping");
    EXPECT_EQ(Tags("track02.mp3").at("album"), "Changed Album");
}
