#include "studio/tools/disc_metadata.h"

#include <discid/discid.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <mutex>

#include "media/cd_frames.h"
#include "platform/profile.h"
#include "platform/replace_file.h"

#ifndef VX_VERSION
#define VX_VERSION "0"
#endif

namespace studio {
namespace {

uint32_t BigEndian(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

bool IsUtf8(const std::string& text) {
    return QByteArrayView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

// Cuts UTF-8 text to `max` bytes without splitting a character.
std::string CutUtf8(std::string text, size_t max) {
    if (text.size() <= max) return text;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

std::string Text(const QJsonValue& value) {
    return CleanMetadataText(value.toString().toStdString());
}

// "Artist A feat. Artist B" from an artist-credit array.
std::string CreditText(const QJsonValue& credit) {
    std::string text;
    for (const QJsonValue& part : credit.toArray()) {
        const QJsonObject name = part.toObject();
        text += name.value("name").toString().toStdString();
        text += name.value("joinphrase").toString().toStdString();
    }
    return CleanMetadataText(text);
}

// The medium of a release that holds this disc: the one listing the disc id, else (a disc id
// given to several pressings) the only one with the disc's track count.
std::optional<QJsonObject> MediumOf(const QJsonObject& release, const std::string& discId,
                                    int trackCount) {
    std::optional<QJsonObject> byCount;
    for (const QJsonValue& value : release.value("media").toArray()) {
        const QJsonObject medium = value.toObject();
        for (const QJsonValue& disc : medium.value("discs").toArray())
            if (disc.toObject().value("id").toString().toStdString() == discId) return medium;
        if (medium.value("tracks").toArray().size() == trackCount && !byCount) byCount = medium;
    }
    return byCount;
}

// The CDDB answer as text: gnudb answers UTF-8 at protocol level 6, older mirrors Latin-1.
std::string AnswerText(const QByteArray& answer) {
    const std::string bytes = answer.toStdString();
    if (IsUtf8(bytes)) return bytes;
    return QString::fromLatin1(answer).toStdString();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

int StatusCode(const std::string& line) {
    if (line.size() < 3) return -1;
    for (int i = 0; i < 3; ++i)
        if (line[static_cast<size_t>(i)] < '0' || line[static_cast<size_t>(i)] > '9') return -1;
    return std::stoi(line.substr(0, 3));
}

// "category discid Artist / Title" of a query answer.
std::optional<CddbMatch> MatchOf(const std::string& line, bool fuzzy) {
    const size_t space1 = line.find(' ');
    if (space1 == std::string::npos) return std::nullopt;
    const size_t space2 = line.find(' ', space1 + 1);
    if (space2 == std::string::npos) return std::nullopt;
    CddbMatch match;
    match.category = line.substr(0, space1);
    match.discId = line.substr(space1 + 1, space2 - space1 - 1);
    match.title = CleanMetadataText(line.substr(space2 + 1));
    match.fuzzy = fuzzy;
    if (match.discId.size() != 8 || match.category.empty()) return std::nullopt;
    return match;
}

QJsonObject ReleaseToJson(const DiscRelease& r) {
    QJsonArray titles, artists;
    for (const std::string& t : r.titles) titles.append(QString::fromStdString(t));
    for (const std::string& a : r.artists) artists.append(QString::fromStdString(a));
    return {{"source", QString::fromStdString(r.source)},
            {"album", QString::fromStdString(r.album)},
            {"artist", QString::fromStdString(r.artist)},
            {"year", QString::fromStdString(r.year)},
            {"country", QString::fromStdString(r.country)},
            {"releaseId", QString::fromStdString(r.releaseId)},
            {"discId", QString::fromStdString(r.discId)},
            {"fuzzy", r.fuzzy},
            {"titles", titles},
            {"artists", artists}};
}

std::optional<DiscRelease> ReleaseFromJson(const QJsonObject& o) {
    DiscRelease r;
    r.source = o.value("source").toString().toStdString();
    r.album = o.value("album").toString().toStdString();
    r.artist = o.value("artist").toString().toStdString();
    r.year = o.value("year").toString().toStdString();
    r.country = o.value("country").toString().toStdString();
    r.releaseId = o.value("releaseId").toString().toStdString();
    r.discId = o.value("discId").toString().toStdString();
    r.fuzzy = o.value("fuzzy").toBool();
    for (const QJsonValue& t : o.value("titles").toArray()) r.titles.push_back(t.toString().toStdString());
    for (const QJsonValue& a : o.value("artists").toArray()) r.artists.push_back(a.toString().toStdString());
    if (r.source.empty() || r.titles.empty() || r.artists.size() != r.titles.size())
        return std::nullopt;
    return r;
}

// MusicBrainz asks for at most one request a second from a client.
std::chrono::steady_clock::time_point& LastMusicBrainzRequest() {
    static std::chrono::steady_clock::time_point last{};
    return last;
}

QUrl ServiceUrl(const QString& base, const QString& path) {
    QString joined = base;
    while (joined.endsWith('/')) joined.chop(1);
    return QUrl(joined + path);
}

}  // namespace

DiscToc DiscTocFrom(const std::array<uint8_t, kTocBytes>& toc, uint32_t cddbId) {
    DiscToc disc;
    if (!TocMakesSense(toc)) return disc;
    disc.first = toc[2];
    disc.last = toc[3];
    disc.cddbId = cddbId;
    for (int t = disc.first; t <= disc.last + 1; ++t) {
        const uint32_t start = BigEndian(&toc[4 + 8 * static_cast<size_t>(t - disc.first) + 4]);
        if (t <= disc.last)
            disc.offsets.push_back(start + 150);
        else
            disc.leadOut = start + 150;
    }
    return disc;
}

std::string MusicBrainzDiscId(const DiscToc& toc) {
    if (toc.empty() || toc.first < 1 || toc.last > 99) return "";
    int offsets[100] = {};
    offsets[0] = static_cast<int>(toc.leadOut);
    for (int t = toc.first; t <= toc.last; ++t)
        offsets[t] = static_cast<int>(toc.offsets[static_cast<size_t>(t - toc.first)]);
    DiscId* disc = discid_new();
    if (!disc) return "";
    std::string id;
    if (discid_put(disc, toc.first, toc.last, offsets)) id = discid_get_id(disc);
    discid_free(disc);
    return id;
}

std::string CddbIdText(uint32_t id) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

std::string ReleaseChoiceText(const DiscRelease& release) {
    std::string text = release.album.empty() ? "(no title)" : release.album;
    if (!release.artist.empty()) text += " - " + release.artist;
    std::string details;
    for (const std::string& part : {release.year, release.country})
        if (!part.empty()) details += part + ", ";
    details += std::to_string(release.titles.size()) +
               (release.titles.size() == 1 ? " track" : " tracks");
    text += " (" + details + ")";
    text += release.source == "gnudb" ? " [gnudb" : " [MusicBrainz";
    text += release.fuzzy ? ", fuzzy match]" : "]";
    return text;
}

std::string CleanMetadataText(const std::string& text) {
    std::string utf8 = IsUtf8(text) ? text : QString::fromLatin1(text.data(),
                                                                 static_cast<qsizetype>(text.size()))
                                                 .toStdString();
    std::string clean;
    clean.reserve(utf8.size());
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            if (c == '\t') clean += ' ';
            continue;
        }
        clean += c;
    }
    const size_t first = clean.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    clean = clean.substr(first, clean.find_last_not_of(' ') - first + 1);
    return CutUtf8(std::move(clean), kMetadataTextMax);
}

std::optional<std::vector<DiscRelease>> ParseMusicBrainzReleases(const QByteArray& json,
                                                                 const std::string& discId,
                                                                 int trackCount) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject root = document.object();
    if (!root.contains("releases")) {
        // A 404's body names the error; anything else is not an answer we understand.
        if (root.contains("error")) return std::vector<DiscRelease>{};
        return std::nullopt;
    }
    std::vector<DiscRelease> releases;
    for (const QJsonValue& value : root.value("releases").toArray()) {
        const QJsonObject release = value.toObject();
        const std::optional<QJsonObject> medium = MediumOf(release, discId, trackCount);
        if (!medium) continue;
        const QJsonArray tracks = medium->value("tracks").toArray();
        // A release whose track count is not the disc's would put titles on the wrong tracks.
        if (tracks.size() != trackCount) continue;
        DiscRelease r;
        r.source = "MusicBrainz";
        r.album = Text(release.value("title"));
        r.artist = CreditText(release.value("artist-credit"));
        r.year = release.value("date").toString().left(4).toStdString();
        r.country = Text(release.value("country"));
        r.releaseId = Text(release.value("id"));
        r.discId = discId;
        for (const QJsonValue& track : tracks) {
            const QJsonObject t = track.toObject();
            QJsonValue title = t.value("title");
            if (!title.isString()) title = t.value("recording").toObject().value("title");
            r.titles.push_back(Text(title));
            const std::string artist = CreditText(t.value("artist-credit"));
            r.artists.push_back(artist == r.artist ? "" : artist);
        }
        releases.push_back(std::move(r));
    }
    return releases;
}

std::optional<std::vector<CddbMatch>> ParseCddbQuery(const QByteArray& answer) {
    const std::vector<std::string> lines = Lines(AnswerText(answer));
    if (lines.empty()) return std::nullopt;
    const int code = StatusCode(lines[0]);
    std::vector<CddbMatch> matches;
    switch (code) {
        case 200: {
            std::optional<CddbMatch> match = MatchOf(lines[0].substr(4), false);
            if (!match) return std::nullopt;
            matches.push_back(*match);
            return matches;
        }
        case 202:
            return matches;
        case 210:
        case 211: {
            bool ended = false;
            for (size_t i = 1; i < lines.size(); ++i) {
                if (lines[i] == ".") {
                    ended = true;
                    break;
                }
                std::optional<CddbMatch> match = MatchOf(lines[i], code == 211);
                if (!match) return std::nullopt;
                matches.push_back(*match);
            }
            // A list without its terminating "." was cut off.
            if (!ended) return std::nullopt;
            return matches;
        }
        default:
            return std::nullopt;
    }
}

std::optional<DiscRelease> ParseCddbRead(const QByteArray& answer, int trackCount) {
    const std::vector<std::string> lines = Lines(AnswerText(answer));
    if (lines.empty() || StatusCode(lines[0]) != 210) return std::nullopt;
    std::string dtitle, year;
    std::vector<std::string> titles(static_cast<size_t>(std::max(trackCount, 0)));
    std::vector<bool> seen(titles.size(), false);
    bool ended = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line == ".") {
            ended = true;
            break;
        }
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        // Long values are continued on further lines of the same key.
        if (key == "DTITLE") {
            dtitle += value;
        } else if (key == "DYEAR") {
            year = value;
        } else if (key.rfind("TTITLE", 0) == 0 && key.size() > 6) {
            char* end = nullptr;
            const long n = std::strtol(key.c_str() + 6, &end, 10);
            if (*end != '\0' || n < 0) return std::nullopt;
            if (n >= trackCount) return std::nullopt;  // more tracks than the disc has
            titles[static_cast<size_t>(n)] += value;
            seen[static_cast<size_t>(n)] = true;
        }
    }
    if (!ended) return std::nullopt;
    for (bool s : seen)
        if (!s) return std::nullopt;  // fewer tracks than the disc has
    DiscRelease release;
    release.source = "gnudb";
    const size_t slash = dtitle.find(" / ");
    if (slash == std::string::npos) {
        release.album = CleanMetadataText(dtitle);
    } else {
        release.artist = CleanMetadataText(dtitle.substr(0, slash));
        release.album = CleanMetadataText(dtitle.substr(slash + 3));
    }
    release.year = CleanMetadataText(year);
    for (std::string& title : titles) {
        // "Artist / Title" marks a track of another artist on a compilation.
        std::string artist;
        const size_t at = title.find(" / ");
        if (at != std::string::npos) {
            artist = CleanMetadataText(title.substr(0, at));
            title = title.substr(at + 3);
        }
        release.titles.push_back(CleanMetadataText(title));
        release.artists.push_back(artist);
    }
    return release;
}

std::string CddbQueryCommand(const DiscToc& toc) {
    std::string command = "cddb query " + CddbIdText(toc.cddbId) + " " +
                          std::to_string(toc.trackCount());
    for (uint32_t offset : toc.offsets) command += " " + std::to_string(offset);
    command += " " + std::to_string(media::CdFrames(toc.leadOut).seconds());
    return command;
}

std::string RipFileName(RipNaming naming, int number, const std::string& title,
                        const std::string& extension) {
    char prefix[16];
    if (naming == RipNaming::TrackNumber || title.empty()) {
        std::snprintf(prefix, sizeof prefix, "track%02d", number);
        return prefix + extension;
    }
    std::snprintf(prefix, sizeof prefix, "%02d - ", number);
    std::string safe;
    for (char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        const bool refused = byte < 0x20 || std::string_view("/\\:*?\"<>|").find(c) !=
                                                std::string_view::npos;
        safe += refused ? '_' : c;
    }
    // A name may not end in a dot or a blank on the file systems of phones and players.
    for (size_t i = safe.size(); i > 0 && (safe[i - 1] == '.' || safe[i - 1] == ' '); --i)
        safe[i - 1] = '_';
    // Room for the number, the extension and a file system's 255-byte names.
    safe = CutUtf8(safe, 255 - std::strlen(prefix) - extension.size());
    return prefix + safe + extension;
}

LookupSettings LoadLookupSettings(const std::string& settingsFile) {
    LookupSettings settings;
    const std::string file = platform::ProfilePath(settingsFile);
    settings.autoLookup =
        platform::GetPrivateProfileString(kMetadataSection, "AutoLookup", "1", file) != "0";
    const std::string mb = platform::GetPrivateProfileString(kMetadataSection, "MusicBrainzUrl",
                                                             "", file);
    const std::string gnudb = platform::GetPrivateProfileString(kMetadataSection, "GnudbUrl", "",
                                                                file);
    if (!mb.empty()) settings.musicBrainzUrl = QString::fromStdString(mb);
    if (!gnudb.empty()) settings.gnudbUrl = QString::fromStdString(gnudb);
    if (const char* env = std::getenv("VEXMOR_MUSICBRAINZ_URL"); env && *env)
        settings.musicBrainzUrl = env;
    if (const char* env = std::getenv("VEXMOR_GNUDB_URL"); env && *env) settings.gnudbUrl = env;
    return settings;
}

bool SaveAutoLookup(const std::string& settingsFile, bool on) {
    return platform::WritePrivateProfileString(kMetadataSection, "AutoLookup", on ? "1" : "0",
                                               platform::ProfilePath(settingsFile));
}

MetadataCache::MetadataCache()
    : folder_(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                  .toStdString() +
              "/vexmor/metadata") {}

std::string MetadataCache::PathOf(const std::string& key) const {
    // Disc ids are made of letters, digits, "." "_" "-"; anything else never names a file.
    for (char c : key)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
            return "";
    return key.empty() ? "" : folder_ + "/" + key + ".json";
}

std::optional<std::vector<DiscRelease>> MetadataCache::Load(const std::string& key) const {
    const std::string path = PathOf(key);
    if (path.empty()) return std::nullopt;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(16 << 20));
    if (!document.isArray() || document.array().isEmpty()) return std::nullopt;
    std::vector<DiscRelease> releases;
    for (const QJsonValue& value : document.array()) {
        std::optional<DiscRelease> release = ReleaseFromJson(value.toObject());
        if (!release) return std::nullopt;
        releases.push_back(std::move(*release));
    }
    return releases;
}

bool MetadataCache::Store(const std::string& key, const std::vector<DiscRelease>& releases) const {
    const std::string path = PathOf(key);
    if (path.empty() || releases.empty()) return false;
    if (!QDir().mkpath(QString::fromStdString(folder_))) return false;
    QJsonArray array;
    for (const DiscRelease& release : releases) array.append(ReleaseToJson(release));
    const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Compact);
    return platform::WriteFileReplacing(path, std::string_view(bytes.constData(),
                                                               static_cast<size_t>(bytes.size())));
}

QString LookupStatusText(const LookupResult& result) {
    switch (result.outcome) {
        case LookupOutcome::Found:
            return result.releases.front().source == "gnudb" ? "Found on gnudb"
                                                             : "Found on MusicBrainz";
        case LookupOutcome::NotFound:
            return "Not found: titles from CD-Text";
        case LookupOutcome::NoConnection:
            return "No connection: titles from CD-Text";
    }
    return {};
}

DiscLookup::DiscLookup(LookupSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)),
      network_(std::make_unique<QNetworkAccessManager>()) {
    // http_proxy, https_proxy and no_proxy of the environment.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    retryTimer_ = new QTimer(this);
    retryTimer_->setSingleShot(true);
}

DiscLookup::~DiscLookup() { Cancel(); }

QByteArray DiscLookup::UserAgent() {
    return QByteArray("Ringsmith/") + VX_VERSION + " ( https://vexmor.example.org/ )";
}

void DiscLookup::Start(const DiscToc& toc) {
    Cancel();
    ++generation_;
    running_ = true;
    connected_ = false;
    retried_ = false;
    toc_ = toc;
    matches_.clear();
    gnudbReleases_.clear();
    nextMatch_ = 0;
    discId_ = MusicBrainzDiscId(toc);
    const std::string cacheKey = discId_.empty() ? CddbIdText(toc.cddbId) : discId_;
    if (std::optional<std::vector<DiscRelease>> cached = cache_.Load(cacheKey)) {
        LookupResult result{LookupOutcome::Found, std::move(*cached), true};
        // Finished comes from the event loop, as for an answer from the network.
        const unsigned generation = generation_;
        QTimer::singleShot(0, this, [this, generation, result] {
            if (generation == generation_) Finish(result);
        });
        return;
    }
    if (discId_.empty())
        AskGnudb();
    else
        AskMusicBrainz();
}

void DiscLookup::Cancel() {
    ++generation_;
    running_ = false;
    retryTimer_->stop();
    disconnect(retryTimer_, nullptr, this, nullptr);
    for (QNetworkReply* reply : network_->findChildren<QNetworkReply*>()) reply->abort();
}

void DiscLookup::AskMusicBrainz() {
    QUrl url = ServiceUrl(settings_.musicBrainzUrl,
                          "/ws/2/discid/" + QString::fromStdString(discId_));
    QUrlQuery query;
    query.addQueryItem("inc", "recordings+artist-credits");
    query.addQueryItem("fmt", "json");
    url.setQuery(query);
    using namespace std::chrono;
    const auto since = steady_clock::now() - LastMusicBrainzRequest();
    const int wait = since >= seconds(1)
                         ? 0
                         : static_cast<int>(duration_cast<milliseconds>(seconds(1) - since).count());
    const unsigned generation = generation_;
    QTimer::singleShot(wait, this, [this, url, generation] {
        if (generation != generation_) return;
        LastMusicBrainzRequest() = steady_clock::now();
        Send(Step::MusicBrainz, url);
    });
}

void DiscLookup::AskGnudb() {
    QUrl url = ServiceUrl(settings_.gnudbUrl, "/~cddb/cddb.cgi");
    QUrlQuery query;
    query.addQueryItem("cmd", QString::fromStdString(CddbQueryCommand(toc_)));
    query.addQueryItem("hello", QString("user localhost Ringsmith ") + VX_VERSION);
    query.addQueryItem("proto", "6");
    url.setQuery(query);
    Send(Step::CddbQuery, url);
}

void DiscLookup::Read(const CddbMatch& match) {
    QUrl url = ServiceUrl(settings_.gnudbUrl, "/~cddb/cddb.cgi");
    QUrlQuery query;
    query.addQueryItem("cmd", QString::fromStdString("cddb read " + match.category + " " +
                                                     match.discId));
    query.addQueryItem("hello", QString("user localhost Ringsmith ") + VX_VERSION);
    query.addQueryItem("proto", "6");
    url.setQuery(query);
    Send(Step::CddbRead, url);
}

void DiscLookup::Send(Step step, const QUrl& url) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
    request.setRawHeader("Accept", step == Step::MusicBrainz ? "application/json" : "text/plain");
    request.setTransferTimeout(settings_.timeoutMs);
    QNetworkReply* reply = network_->get(request);
    const unsigned generation = generation_;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, step, generation] { Answered(reply, step, generation); });
}

void DiscLookup::Answered(QNetworkReply* reply, Step step, unsigned generation) {
    reply->deleteLater();
    if (generation != generation_) return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0) connected_ = true;
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    if (step == Step::MusicBrainz) {
        if (status == 503 && !retried_) {
            // Busy: wait what the service asks (within reason) once, then ask gnudb.
            retried_ = true;
            bool ok = false;
            const int seconds = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
            const int wait = std::clamp(ok ? seconds * 1000 : 1000, 0, kMaxRetryWaitMs);
            disconnect(retryTimer_, nullptr, this, nullptr);
            connect(retryTimer_, &QTimer::timeout, this, [this, generation] {
                if (generation == generation_) AskMusicBrainz();
            });
            retryTimer_->start(wait);
            return;
        }
        if (reply->error() == QNetworkReply::NoError || status == 404) {
            std::optional<std::vector<DiscRelease>> releases =
                ParseMusicBrainzReleases(body, discId_, toc_.trackCount());
            if (releases && !releases->empty()) {
                cache_.Store(discId_, *releases);
                Finish({LookupOutcome::Found, std::move(*releases), false});
                return;
            }
        }
        AskGnudb();
        return;
    }
    if (step == Step::CddbQuery) {
        std::optional<std::vector<CddbMatch>> matches;
        if (reply->error() == QNetworkReply::NoError) matches = ParseCddbQuery(body);
        if (!matches || matches->empty()) {
            Fallback();
            return;
        }
        // At most five candidates are read: a list longer than that is no answer for a user.
        matches_ = std::move(*matches);
        if (matches_.size() > 5) matches_.resize(5);
        nextMatch_ = 0;
        Read(matches_[nextMatch_++]);
        return;
    }
    std::optional<DiscRelease> release;
    if (reply->error() == QNetworkReply::NoError) release = ParseCddbRead(body, toc_.trackCount());
    if (release) {
        release->fuzzy = matches_[nextMatch_ - 1].fuzzy;
        gnudbReleases_.push_back(std::move(*release));
    }
    if (nextMatch_ < matches_.size()) {
        Read(matches_[nextMatch_++]);
        return;
    }
    if (gnudbReleases_.empty()) {
        Fallback();
        return;
    }
    // An inexact match may be another disc's: only exact ones are kept for the next rip.
    bool exact = true;
    for (const DiscRelease& r : gnudbReleases_) exact = exact && !r.fuzzy;
    if (exact) cache_.Store(discId_.empty() ? CddbIdText(toc_.cddbId) : discId_, gnudbReleases_);
    Finish({LookupOutcome::Found, std::move(gnudbReleases_), false});
}

void DiscLookup::Fallback() {
    Finish({connected_ ? LookupOutcome::NotFound : LookupOutcome::NoConnection, {}, false});
}

void DiscLookup::Finish(LookupResult result) {
    running_ = false;
    ++generation_;
    emit Finished(result);
}

}  // namespace studio
