#include "studio/tools/disc_metadata.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QUrlQuery>
#include <filesystem>
#include <optional>

#include "platform/profile.h"
#include "tests/support/loopback_http.h"
#include "tests/support/test_support.h"

namespace ts = testing_support;
using namespace studio;

namespace {

// The TOC bytes of the CD-access library for tracks first..last at `starts` (frame 0 = the first
// frame after the lead-in) and the lead-out.
std::array<uint8_t, kTocBytes> TocBytes(int first, const std::vector<uint32_t>& starts,
                                        uint32_t leadOut, std::vector<bool> data = {}) {
    std::array<uint8_t, kTocBytes> toc{};
    const int last = first + static_cast<int>(starts.size()) - 1;
    const size_t length = 2 + 8 * (starts.size() + 1);
    toc[0] = static_cast<uint8_t>(length >> 8);
    toc[1] = static_cast<uint8_t>(length);
    toc[2] = static_cast<uint8_t>(first);
    toc[3] = static_cast<uint8_t>(last);
    auto put = [&](size_t k, int number, uint32_t start, bool isData) {
        uint8_t* d = &toc[4 + 8 * k];
        d[1] = isData ? 0x14 : 0x10;
        d[2] = static_cast<uint8_t>(number);
        d[4] = static_cast<uint8_t>(start >> 24);
        d[5] = static_cast<uint8_t>(start >> 16);
        d[6] = static_cast<uint8_t>(start >> 8);
        d[7] = static_cast<uint8_t>(start);
    };
    for (size_t k = 0; k < starts.size(); ++k)
        put(k, first + static_cast<int>(k), starts[k], k < data.size() && data[k]);
    put(starts.size(), 0xAA, leadOut, false);
    return toc;
}

// The example disc of MusicBrainz's disc id documentation: six tracks, lead-out at LBA 95312.
DiscToc DocumentedDisc() {
    return DiscTocFrom(TocBytes(1, {0, 15213, 32164, 46442, 63264, 80339}, 95312), 0x4e0ee906);
}
const char* const kDocumentedId = "49HHV7Eb8UKF3aQiNmu1GR8vKTY-";

// A MusicBrainz discid answer with one release per entry of `trackCounts`.
QByteArray MusicBrainzAnswer(const std::vector<int>& trackCounts, const std::string& discId) {
    QByteArray json = R"({"id":")" + QByteArray::fromStdString(discId) + R"(","releases":[)";
    for (size_t r = 0; r < trackCounts.size(); ++r) {
        if (r) json += ",";
        json += R"({"id":"rel-)" + QByteArray::number(qulonglong(r)) +
                R"(","title":"Album )" + QByteArray::number(qulonglong(r)) +
                R"(","date":"1999-05-0)" + QByteArray::number(qulonglong(r + 1)) +
                R"(","country":"GB","artist-credit":[{"name":"Singer","joinphrase":" & "},)"
                R"({"name":"Band","joinphrase":""}],"media":[{"position":1,"discs":[{"id":")" +
                QByteArray::fromStdString(discId) + R"("}],"tracks":[)";
        for (int t = 0; t < trackCounts[r]; ++t) {
            if (t) json += ",";
            json += R"({"position":)" + QByteArray::number(t + 1) + R"(,"title":"Song )" +
                    QByteArray::number(t + 1) + R"(","artist-credit":[{"name":")" +
                    (t == 1 ? QByteArray("Guest") : QByteArray("Singer & Band")) +
                    R"(","joinphrase":""}]})";
        }
        json += "]}]}";
    }
    json += "]}";
    return json;
}

QByteArray CddbRead(int tracks, const QByteArray& extra = {}) {
    QByteArray text = "210 rock 4e0ee906 CD database entry follows (until terminating `.')\r\n"
                      "# xmcd\r\nDISCID=4e0ee906\r\nDTITLE=Some Artist / Some Album\r\n"
                      "DYEAR=1987\r\n";
    for (int t = 0; t < tracks; ++t)
        text += "TTITLE" + QByteArray::number(t) + "=Title " + QByteArray::number(t + 1) + "\r\n";
    text += extra;
    text += "EXTD=\r\nPLAYORDER=\r\n.\r\n";
    return text;
}

}  // namespace

TEST(DiscIdentity, TheDocumentedExampleDiscGetsItsDocumentedIds) {
    const DiscToc toc = DocumentedDisc();
    ASSERT_EQ(toc.trackCount(), 6);
    EXPECT_EQ(toc.offsets.front(), 150u);
    EXPECT_EQ(toc.leadOut, 95462u);
    EXPECT_EQ(MusicBrainzDiscId(toc), kDocumentedId);
    EXPECT_EQ(CddbQueryCommand(toc),
              "cddb query 4e0ee906 6 150 15363 32314 46592 63414 80489 1272");
    // Tracks numbered from 4 (the second disc of a set): libdiscid takes the real numbers.
    const DiscToc later = DiscTocFrom(TocBytes(4, {0, 20000}, 40000), 1);
    ASSERT_EQ(later.first, 4);
    EXPECT_EQ(MusicBrainzDiscId(later).size(), 28u);
    EXPECT_NE(MusicBrainzDiscId(later), MusicBrainzDiscId(DiscTocFrom(TocBytes(1, {0, 20000}, 40000), 1)));
    // A TOC that makes no sense gives no identity rather than a wrong one.
    EXPECT_TRUE(DiscTocFrom(TocBytes(1, {100, 50}, 40000), 1).empty());
    EXPECT_EQ(MusicBrainzDiscId(DiscToc{}), "");
    EXPECT_EQ(CddbIdText(0x0a), "0000000a");
}

TEST(DiscMetadataText, ServiceTextsAreCleanedAndCutOnACharacterBoundary) {
    EXPECT_EQ(CleanMetadataText(std::string("  Caf\0e\tbar \x01", 13)), "Cafe bar");
    EXPECT_EQ(CleanMetadataText("Caf\xe9"), "Caf\xc3\xa9");  // Latin-1 taken as such
    std::string longTitle(254, 'a');
    longTitle += "\xc3\xa9\xc3\xa9";  // a two-byte letter across the 255-byte limit
    const std::string cut = CleanMetadataText(longTitle);
    EXPECT_EQ(cut.size(), 254u);
    EXPECT_EQ(CleanMetadataText(std::string(255, 'b')).size(), 255u);
    EXPECT_EQ(CleanMetadataText(std::string(256, 'b')).size(), 255u);
}

TEST(DiscMetadataNames, FileNamesFromTitlesAreSafeForEveryFileSystem) {
    EXPECT_EQ(RipFileName(RipNaming::TrackNumber, 3, "Song", ".mp3"), "track03.mp3");
    EXPECT_EQ(RipFileName(RipNaming::NumberAndTitle, 3, "AC/DC: Live?", ".mp3"),
              "03 - AC_DC_ Live_.mp3");
    EXPECT_EQ(RipFileName(RipNaming::NumberAndTitle, 12, "Intro...", ".wav"), "12 - Intro___.wav");
    // No title: the number alone, as without a look-up.
    EXPECT_EQ(RipFileName(RipNaming::NumberAndTitle, 1, "", ".mp3"), "track01.mp3");
    const std::string name = RipFileName(RipNaming::NumberAndTitle, 1, std::string(300, 'x'), ".mp3");
    EXPECT_EQ(name.size(), 255u);
    EXPECT_EQ(name.substr(name.size() - 4), ".mp3");
}

TEST(MusicBrainzAnswers, ReleasesOfTheDiscAreReadAndOthersLeftOut) {
    const auto releases = ParseMusicBrainzReleases(MusicBrainzAnswer({6, 7, 6}, kDocumentedId),
                                                   kDocumentedId, 6);
    ASSERT_TRUE(releases);
    ASSERT_EQ(releases->size(), 2u);  // the 7-track release does not fit this disc
    const DiscRelease& r = releases->front();
    EXPECT_EQ(r.source, "MusicBrainz");
    EXPECT_EQ(r.album, "Album 0");
    EXPECT_EQ(r.artist, "Singer & Band");
    EXPECT_EQ(r.year, "1999");
    EXPECT_EQ(r.country, "GB");
    EXPECT_EQ(r.releaseId, "rel-0");
    EXPECT_EQ(r.discId, kDocumentedId);
    ASSERT_EQ(r.titles.size(), 6u);
    EXPECT_EQ(r.titles[5], "Song 6");
    EXPECT_EQ(r.artists[0], "");       // the album's artist
    EXPECT_EQ(r.artists[1], "Guest");  // a guest on one track
    EXPECT_EQ((*releases)[1].releaseId, "rel-2");
    EXPECT_EQ(ReleaseChoiceText(r), "Album 0 - Singer & Band (1999, GB, 6 tracks) [MusicBrainz]");

    // Not found, malformed and cut-off answers.
    const auto notFound = ParseMusicBrainzReleases(R"({"error":"Not Found","help":"x"})", "x", 6);
    ASSERT_TRUE(notFound);
    EXPECT_TRUE(notFound->empty());
    const QByteArray whole = MusicBrainzAnswer({6}, kDocumentedId);
    EXPECT_FALSE(ParseMusicBrainzReleases(whole.left(whole.size() - 3), kDocumentedId, 6));
    EXPECT_FALSE(ParseMusicBrainzReleases("<html>busy</html>", kDocumentedId, 6));
    EXPECT_FALSE(ParseMusicBrainzReleases(R"({"something":"else"})", kDocumentedId, 6));
}

TEST(CddbAnswers, QueriesReadsAndTheirFaults) {
    auto exact = ParseCddbQuery("200 rock 4e0ee906 Some Artist / Some Album\r\n");
    ASSERT_TRUE(exact);
    ASSERT_EQ(exact->size(), 1u);
    EXPECT_EQ((*exact)[0].category, "rock");
    EXPECT_EQ((*exact)[0].discId, "4e0ee906");
    EXPECT_FALSE((*exact)[0].fuzzy);
    auto fuzzy = ParseCddbQuery(
        "211 Found inexact matches, list follows (until terminating `.')\r\n"
        "rock 4e0ee906 A / B\r\nmisc 4e0ee907 C / D\r\n.\r\n");
    ASSERT_TRUE(fuzzy);
    ASSERT_EQ(fuzzy->size(), 2u);
    EXPECT_TRUE((*fuzzy)[1].fuzzy);
    EXPECT_EQ((*fuzzy)[1].category, "misc");
    auto none = ParseCddbQuery("202 No match for disc ID 4e0ee906.\r\n");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    // A list without its closing dot was cut off; an error code is no answer.
    EXPECT_FALSE(ParseCddbQuery("210 Found exact matches\r\nrock 4e0ee906 A / B\r\n"));
    EXPECT_FALSE(ParseCddbQuery("500 Command syntax error\r\n"));
    EXPECT_FALSE(ParseCddbQuery(""));

    auto read = ParseCddbRead(CddbRead(3, "TTITLE2= (live)\r\n"), 3);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->source, "gnudb");
    EXPECT_EQ(read->artist, "Some Artist");
    EXPECT_EQ(read->album, "Some Album");
    EXPECT_EQ(read->year, "1987");
    EXPECT_EQ(read->titles, (std::vector<std::string>{"Title 1", "Title 2", "Title 3 (live)"}));
    // Track counts that are not the disc's, and a cut-off entry.
    EXPECT_FALSE(ParseCddbRead(CddbRead(3), 4));
    EXPECT_FALSE(ParseCddbRead(CddbRead(4), 3));
    const QByteArray whole = CddbRead(3);
    EXPECT_FALSE(ParseCddbRead(whole.left(whole.size() - 4), 3));
    // An old mirror's Latin-1 answer; a compilation's "Artist / Title" tracks.
    auto latinRead = ParseCddbRead("210 misc 1 x\nDTITLE=Caf\xe9 Band / Caf\xe9\nTTITLE0=Caf\xe9\n.\n", 1);
    ASSERT_TRUE(latinRead);
    EXPECT_EQ(latinRead->titles[0], "Caf\xc3\xa9");
    EXPECT_EQ(latinRead->artist, "Caf\xc3\xa9 Band");
    auto compilation = ParseCddbRead(
        "210 misc 1 x\nDTITLE=Various\nTTITLE0=Guest / Hit\n.\n", 1);
    ASSERT_TRUE(compilation);
    EXPECT_EQ(compilation->album, "Various");
    EXPECT_EQ(compilation->titles[0], "Hit");
    EXPECT_EQ(compilation->artists[0], "Guest");
}

TEST(MetadataCacheFiles, GoodAnswersComeBackAndBadFilesAreIgnored) {
    ts::TempDir dir;
    const MetadataCache cache(dir.File("metadata"));
    DiscRelease release;
    release.source = "MusicBrainz";
    release.album = "Caf\xc3\xa9";
    release.titles = {"A", "B"};
    release.artists = {"", "Guest"};
    EXPECT_FALSE(cache.Load(kDocumentedId));
    ASSERT_TRUE(cache.Store(kDocumentedId, {release, release}));
    const auto loaded = cache.Load(kDocumentedId);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), 2u);
    EXPECT_EQ(loaded->front(), release);
    // Nothing to keep, and keys that would name another folder.
    EXPECT_FALSE(cache.Store("x", {}));
    EXPECT_FALSE(cache.Store("../evil", {release}));
    EXPECT_FALSE(cache.Load("../evil"));
    // A damaged file reads as no answer.
    QFile file(QString::fromStdString(dir.File("metadata/broken.json")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"([{"source":"MusicBrainz","titles":["A"]})");
    file.close();
    EXPECT_FALSE(cache.Load("broken"));
    // The default folder is the user's cache.
    EXPECT_NE(MetadataCache().folder().find("/vexmor/metadata"), std::string::npos);
}

TEST(LookupSettingsFile, SectionMetadataAndTheEnvironmentNameTheServices) {
    ts::TempDir dir;
    const std::string ini = dir.File("ringsmith.ini");
    ::unsetenv("VEXMOR_MUSICBRAINZ_URL");
    ::unsetenv("VEXMOR_GNUDB_URL");
    LookupSettings defaults = LoadLookupSettings(ini);
    EXPECT_TRUE(defaults.autoLookup);
    EXPECT_EQ(defaults.musicBrainzUrl, "https://musicbrainz.org");
    ASSERT_TRUE(SaveAutoLookup(ini, false));
    ASSERT_TRUE(platform::WritePrivateProfileString("METADATA", "GnudbUrl", "http://mirror", ini));
    ::setenv("VEXMOR_MUSICBRAINZ_URL", "http://127.0.0.1:9", 1);
    const LookupSettings changed = LoadLookupSettings(ini);
    ::unsetenv("VEXMOR_MUSICBRAINZ_URL");
    EXPECT_FALSE(changed.autoLookup);
    EXPECT_EQ(changed.gnudbUrl, "http://mirror");
    EXPECT_EQ(changed.musicBrainzUrl, "http://127.0.0.1:9");
}

namespace {

// Runs a look-up against loopback services and waits for its one Finished.
class LookupTest : public ::testing::Test {
  protected:
    std::optional<LookupResult> Run(const QString& mb, const QString& gnudb, int timeoutMs = 2000) {
        LookupSettings settings;
        settings.musicBrainzUrl = mb;
        settings.gnudbUrl = gnudb;
        settings.timeoutMs = timeoutMs;
        DiscLookup lookup(settings);
        lookup.SetCache(MetadataCache(dir.File("cache")));
        std::optional<LookupResult> result;
        int finished = 0;
        QEventLoop loop;
        QObject::connect(&lookup, &DiscLookup::Finished, [&](const LookupResult& r) {
            result = r;
            ++finished;
            QTimer::singleShot(100, &loop, &QEventLoop::quit);  // a second Finished would show
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        lookup.Start(DocumentedDisc());
        EXPECT_TRUE(lookup.running());
        loop.exec();
        EXPECT_EQ(finished, 1);
        EXPECT_FALSE(lookup.running());
        return result;
    }
    static QString Closed() { return "http://127.0.0.1:9"; }  // nothing listens on discard
    ts::TempDir dir;
};

}  // namespace

TEST_F(LookupTest, MusicBrainzIsAskedFirstAsItsRulesSayAndItsAnswerIsCached) {
    ts::LoopbackHttp mb([](const ts::HttpRequest&) {
        return ts::HttpAnswer{200, MusicBrainzAnswer({6, 6}, kDocumentedId), {}};
    });
    auto result = Run(mb.url(), Closed());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, LookupOutcome::Found);
    EXPECT_EQ(result->releases.size(), 2u);
    EXPECT_FALSE(result->fromCache);
    EXPECT_EQ(LookupStatusText(*result), "Found on MusicBrainz");
    ASSERT_EQ(mb.requests().size(), 1u);
    const ts::HttpRequest& request = mb.requests().front();
    EXPECT_TRUE(request.target.startsWith(QByteArray("/ws/2/discid/") + kDocumentedId + "?"));
    const QUrlQuery query(QUrl(QString::fromLatin1(request.target)).query());
    EXPECT_EQ(query.queryItemValue("inc"), "recordings+artist-credits");
    EXPECT_TRUE(request.headers.at("user-agent").startsWith("Ringsmith/"));
    EXPECT_TRUE(request.headers.at("user-agent").endsWith(" )"));

    // The second look-up of the same disc needs no network.
    auto again = Run(Closed(), Closed());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->outcome, LookupOutcome::Found);
    EXPECT_TRUE(again->fromCache);
    EXPECT_EQ(again->releases, result->releases);
}

TEST_F(LookupTest, NotOnMusicBrainzThenGnudbsInexactMatchesAreReadAndMarked) {
    ts::LoopbackHttp mb([](const ts::HttpRequest&) {
        return ts::HttpAnswer{404, R"({"error":"Not Found"})", {}};
    });
    ts::LoopbackHttp gnudb([](const ts::HttpRequest& request) {
        const QString cmd =
            QUrlQuery(QUrl(QString::fromLatin1(request.target)).query()).queryItemValue("cmd");
        if (cmd.startsWith("cddb query"))
            return ts::HttpAnswer{200,
                                  "211 Found inexact matches, list follows\r\n"
                                  "rock 4e0ee906 Some Artist / Some Album\r\n"
                                  "misc 4e0ee906 Other / Album With Other Count\r\n.\r\n",
                                  {}};
        if (cmd == "cddb read rock 4e0ee906") return ts::HttpAnswer{200, CddbRead(6), {}};
        return ts::HttpAnswer{200, CddbRead(9), {}};  // a disc of another length: not used
    });
    auto result = Run(mb.url(), gnudb.url());
    ASSERT_TRUE(result);
    ASSERT_EQ(result->outcome, LookupOutcome::Found);
    ASSERT_EQ(result->releases.size(), 1u);
    EXPECT_TRUE(result->releases[0].fuzzy);
    EXPECT_EQ(LookupStatusText(*result), "Found on gnudb");
    EXPECT_NE(ReleaseChoiceText(result->releases[0]).find("fuzzy match"), std::string::npos);
    ASSERT_EQ(gnudb.requests().size(), 3u);
    EXPECT_TRUE(gnudb.requests()[0].target.contains("proto=6"));
    // A fuzzy match may be another disc's: it is not kept for the next rip.
    EXPECT_FALSE(MetadataCache(dir.File("cache")).Load(kDocumentedId));
}

TEST_F(LookupTest, NoServiceReachableIsNoConnectionAndAnAnsweringOneIsNotFound) {
    auto offline = Run(Closed(), Closed());
    ASSERT_TRUE(offline);
    EXPECT_EQ(offline->outcome, LookupOutcome::NoConnection);
    EXPECT_EQ(LookupStatusText(*offline), "No connection: titles from CD-Text");

    ts::LoopbackHttp gnudb([](const ts::HttpRequest&) {
        return ts::HttpAnswer{200, "202 No match for disc ID 4e0ee906.\r\n", {}};
    });
    auto notFound = Run(Closed(), gnudb.url());
    ASSERT_TRUE(notFound);
    EXPECT_EQ(notFound->outcome, LookupOutcome::NotFound);
    EXPECT_EQ(LookupStatusText(*notFound), "Not found: titles from CD-Text");
}

TEST_F(LookupTest, ABusyServiceIsAskedOnceMoreAfterItsRetryAfter) {
    int asked = 0;
    ts::LoopbackHttp mb([&](const ts::HttpRequest&) {
        if (++asked == 1) return ts::HttpAnswer{503, "busy", {{"Retry-After", "1"}}};
        return ts::HttpAnswer{200, MusicBrainzAnswer({6}, kDocumentedId), {}};
    });
    auto result = Run(mb.url(), Closed());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, LookupOutcome::Found);
    EXPECT_EQ(asked, 2);

    // Busy twice: no third try, the look-up moves on.
    ts::TempDir other;
    int busy = 0;
    ts::LoopbackHttp always([&](const ts::HttpRequest&) {
        ++busy;
        return ts::HttpAnswer{503, "busy", {{"Retry-After", "0"}}};
    });
    LookupSettings settings;
    settings.musicBrainzUrl = always.url();
    settings.gnudbUrl = Closed();
    DiscLookup lookup(settings);
    lookup.SetCache(MetadataCache(other.File("cache")));
    std::optional<LookupResult> second;
    QEventLoop loop;
    QObject::connect(&lookup, &DiscLookup::Finished, [&](const LookupResult& r) {
        second = r;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    lookup.Start(DocumentedDisc());
    loop.exec();
    ASSERT_TRUE(second);
    EXPECT_EQ(busy, 2);
    EXPECT_EQ(second->outcome, LookupOutcome::NotFound);
}

TEST_F(LookupTest, SilentCutOffAndMalformedAnswersFallBackAndAreNeverCached) {
    ts::LoopbackHttp hanging([](const ts::HttpRequest&) {
        ts::HttpAnswer answer;
        answer.hang = true;
        return answer;
    });
    auto timedOut = Run(hanging.url(), hanging.url(), 300);
    ASSERT_TRUE(timedOut);
    EXPECT_NE(timedOut->outcome, LookupOutcome::Found);

    const QByteArray whole = MusicBrainzAnswer({6}, kDocumentedId);
    ts::LoopbackHttp cut([&](const ts::HttpRequest&) {
        ts::HttpAnswer answer{200, whole, {}};
        answer.cutAfter = static_cast<int>(whole.size() / 2);
        return answer;
    });
    auto cutOff = Run(cut.url(), Closed());
    ASSERT_TRUE(cutOff);
    EXPECT_NE(cutOff->outcome, LookupOutcome::Found);

    ts::LoopbackHttp garbage([](const ts::HttpRequest&) {
        return ts::HttpAnswer{200, "{\"releases\": [", {}};
    });
    auto malformed = Run(garbage.url(), garbage.url());
    ASSERT_TRUE(malformed);
    EXPECT_EQ(malformed->outcome, LookupOutcome::NotFound);
    EXPECT_FALSE(MetadataCache(dir.File("cache")).Load(kDocumentedId));
}
