// Titles for a ripped disc from the online music databases: the disc's identities (the
// MusicBrainz disc id through libdiscid, the gnudb/CDDB id the CD-access library computes), the
// readers of the two services' answers, the on-disk cache of good answers, and `DiscLookup`, the
// asynchronous look-up that asks MusicBrainz, then gnudb, and reports what it found.
//
// Nothing here needs a window: the ripper's dialog and `vexmor rip` both drive it.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "studio/tools/cd_drives.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace studio {

// Longest title, artist or album kept from a service's answer, in bytes.
inline constexpr size_t kMetadataTextMax = 255;

// The table of contents as the services want it: frame offsets counted from the start of the
// lead-in (150 frames before frame 0).
struct DiscToc {
    int first = 0;
    int last = 0;
    std::vector<uint32_t> offsets;  // of tracks first..last
    uint32_t leadOut = 0;           // offset of the lead-out
    uint32_t cddbId = 0;

    int trackCount() const { return static_cast<int>(offsets.size()); }
    bool empty() const { return offsets.empty(); }
};

// The TOC of a drive as the CD-access library read it (`CdDrive::toc`), with its CDDB id.
DiscToc DiscTocFrom(const std::array<uint8_t, kTocBytes>& toc, uint32_t cddbId);
// The MusicBrainz disc id (28 characters); "" when libdiscid refuses the TOC.
std::string MusicBrainzDiscId(const DiscToc& toc);
// "940aac0d" (8 lower-case hex digits).
std::string CddbIdText(uint32_t id);

// One release that matches the disc: what the ripper lists and what the tags get.
struct DiscRelease {
    std::string source;  // "MusicBrainz" or "gnudb"
    std::string album;
    std::string artist;
    std::string year;
    std::string country;
    std::string releaseId;  // MusicBrainz release id (the "album id" of taggers)
    std::string discId;     // MusicBrainz disc id
    bool fuzzy = false;     // gnudb's inexact TOC match
    std::vector<std::string> titles;   // one per track of the disc, in order
    std::vector<std::string> artists;  // per track; "" where the album's artist holds

    bool operator==(const DiscRelease&) const = default;
};

// One line of the release choice: "Album - Artist (1999, GB, 12 tracks)", with "(fuzzy match)"
// for an inexact gnudb match.
std::string ReleaseChoiceText(const DiscRelease& release);

// A service's text made fit for a list and a tag: NULs and other control characters removed,
// blanks at the ends trimmed, cut to kMetadataTextMax bytes on a character boundary. Bytes that
// are not UTF-8 are taken as Latin-1.
std::string CleanMetadataText(const std::string& text);

// Readers of the services' answers. nullopt: the answer is malformed or cut off (never cached);
// an empty list: the service answered and knows no release that fits this disc.
std::optional<std::vector<DiscRelease>> ParseMusicBrainzReleases(const QByteArray& json,
                                                                 const std::string& discId,
                                                                 int trackCount);
struct CddbMatch {
    std::string category;
    std::string discId;
    std::string title;
    bool fuzzy = false;
};
std::optional<std::vector<CddbMatch>> ParseCddbQuery(const QByteArray& answer);
// A `cddb read` answer; nullopt also when its track count is not the disc's.
std::optional<DiscRelease> ParseCddbRead(const QByteArray& answer, int trackCount);
// "cddb query <id> <n> <offsets...> <seconds>" for the disc.
std::string CddbQueryCommand(const DiscToc& toc);

// The file name choices of the ripper: "track01.mp3" (the default) or "01 - Title.mp3", where
// characters a file system refuses ("/", NUL, and those Windows file systems refuse) become "_".
enum class RipNaming { TrackNumber, NumberAndTitle };
std::string RipFileName(RipNaming naming, int number, const std::string& title,
                        const std::string& extension);

// Where the services are and whether a found disc is looked up at once: section "METADATA" of
// the settings file, with VEXMOR_MUSICBRAINZ_URL and VEXMOR_GNUDB_URL over it.
inline constexpr const char* kMetadataSection = "METADATA";
struct LookupSettings {
    bool autoLookup = true;
    QString musicBrainzUrl = "https://musicbrainz.org";
    QString gnudbUrl = "https://gnudb.gnudb.org";
    int timeoutMs = 5000;  // per request, from asking to the whole answer
};
LookupSettings LoadLookupSettings(const std::string& settingsFile);
bool SaveAutoLookup(const std::string& settingsFile, bool on);

// Good answers by disc id in $XDG_CACHE_HOME/vexmor/metadata/, so a second rip of the same disc
// needs no network. A stored file is written whole or not at all.
class MetadataCache {
  public:
    MetadataCache();  // the user's cache folder
    explicit MetadataCache(std::string folder) : folder_(std::move(folder)) {}
    std::optional<std::vector<DiscRelease>> Load(const std::string& key) const;
    bool Store(const std::string& key, const std::vector<DiscRelease>& releases) const;
    const std::string& folder() const { return folder_; }

  private:
    std::string PathOf(const std::string& key) const;
    std::string folder_;
};

// How a look-up ended.
enum class LookupOutcome { Found, NotFound, NoConnection };
struct LookupResult {
    LookupOutcome outcome = LookupOutcome::NotFound;
    std::vector<DiscRelease> releases;  // empty unless Found
    bool fromCache = false;
};
// The ripper's status line for a result ("Found on MusicBrainz", "Not found: titles from
// CD-Text", "No connection: titles from CD-Text").
QString LookupStatusText(const LookupResult& result);
inline const char* kLookingUpText = "Looking up the disc...";

// One look-up at a time; `Finished` comes on the thread that owns the object, always exactly once
// per `Start`, also when every service fails. Starting again abandons the running look-up.
class DiscLookup : public QObject {
    Q_OBJECT
  public:
    explicit DiscLookup(LookupSettings settings, QObject* parent = nullptr);
    ~DiscLookup() override;

    void Start(const DiscToc& toc);
    void Cancel();
    bool running() const { return running_; }
    void SetCache(MetadataCache cache) { cache_ = std::move(cache); }

    // The User-Agent every request carries.
    static QByteArray UserAgent();
    // The longest wait a busy service's Retry-After may ask for.
    static constexpr int kMaxRetryWaitMs = 5000;

  signals:
    void Finished(const studio::LookupResult& result);

  private:
    enum class Step { MusicBrainz, CddbQuery, CddbRead };
    void AskMusicBrainz();
    void AskGnudb();
    void Read(const CddbMatch& match);
    void Send(Step step, const QUrl& url);
    void Answered(QNetworkReply* reply, Step step, unsigned generation);
    void Fallback();
    void Finish(LookupResult result);

    LookupSettings settings_;
    MetadataCache cache_;
    std::unique_ptr<QNetworkAccessManager> network_;
    DiscToc toc_;
    std::string discId_;
    unsigned generation_ = 0;
    bool running_ = false;
    bool connected_ = false;  // some service answered at all
    bool retried_ = false;
    std::vector<CddbMatch> matches_;
    std::vector<DiscRelease> gnudbReleases_;
    size_t nextMatch_ = 0;
    QTimer* retryTimer_ = nullptr;
};

}  // namespace studio
