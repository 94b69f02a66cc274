#include "studio/tools/cd_rip_titles.h"

#include <utility>

#include "platform/profile.h"

namespace studio {

RipNaming LoadRipNaming(const std::string& settingsFile) {
    const std::string value = platform::GetPrivateProfileString(
        kMetadataSection, "FileNames", "", platform::ProfilePath(settingsFile));
    return value == "Title" ? RipNaming::NumberAndTitle : RipNaming::TrackNumber;
}

bool SaveRipNaming(const std::string& settingsFile, RipNaming naming) {
    return platform::WritePrivateProfileString(
        kMetadataSection, "FileNames", naming == RipNaming::NumberAndTitle ? "Title" : "Number",
        platform::ProfilePath(settingsFile));
}

CdTextTitles ReadCdText(const CdDrive& drive, const std::vector<CdTrack>& tracks) {
    CdTextTitles text;
    OpenDrive open(drive);
    text.album = CleanMetadataText(open.CdText(0, 0));
    text.artist = CleanMetadataText(open.CdText(0, 1));
    for (const CdTrack& track : tracks) {
        text.titles.push_back(track.audio() ? CleanMetadataText(open.CdText(track.number, 0)) : "");
        text.artists.push_back(track.audio() ? CleanMetadataText(open.CdText(track.number, 1))
                                             : "");
    }
    return text;
}

void RipTitles::Reset(CdTextTitles cdText, int rows) {
    rows_ = rows < 0 ? 0 : rows;
    cdText_ = std::move(cdText);
    cdText_.titles.resize(static_cast<size_t>(rows_));
    cdText_.artists.resize(static_cast<size_t>(rows_));
    releases_.clear();
    chosen_ = -1;
    titleEdits_.assign(static_cast<size_t>(rows_), std::nullopt);
    albumEdit_.reset();
    artistEdit_.reset();
}

void RipTitles::SetReleases(std::vector<DiscRelease> releases) {
    releases_.clear();
    // A release of another track count would put titles on the wrong tracks.
    for (DiscRelease& release : releases) {
        if (static_cast<int>(release.titles.size()) != rows_ ||
            release.artists.size() != release.titles.size())
            continue;
        // The readers clean what the services send; a cache file may have been changed since.
        for (std::string* text : {&release.album, &release.artist, &release.year, &release.country})
            *text = CleanMetadataText(*text);
        for (std::string& text : release.titles) text = CleanMetadataText(text);
        for (std::string& text : release.artists) text = CleanMetadataText(text);
        releases_.push_back(std::move(release));
    }
    chosen_ = releases_.empty() ? -1 : 0;
}

QString RipTitles::TakeLookupResult(const LookupResult& result) {
    SetReleases(result.releases);
    LookupResult shown = result;
    if (shown.outcome == LookupOutcome::Found && releases_.empty())
        shown = {LookupOutcome::NotFound, {}, false};
    return LookupStatusText(shown);
}

const DiscRelease* RipTitles::chosenRelease() const {
    return chosen_ < 0 ? nullptr : &releases_[static_cast<size_t>(chosen_)];
}

bool RipTitles::Choose(int index) {
    if (index < 0 || static_cast<size_t>(index) >= releases_.size()) return false;
    chosen_ = index;
    return true;
}

std::vector<std::string> RipTitles::ChoiceLines() const {
    std::vector<std::string> lines;
    for (const DiscRelease& release : releases_) lines.push_back(ReleaseChoiceText(release));
    return lines;
}

std::string RipTitles::Pick(const std::optional<std::string>& edit, const std::string& released,
                            const std::string& cdText) const {
    if (edit) return *edit;
    if (chosen_ >= 0 && !released.empty()) return released;
    return cdText;
}

std::string RipTitles::Title(int row) const {
    if (row < 0 || row >= rows_) return "";
    const size_t r = static_cast<size_t>(row);
    const DiscRelease* release = chosenRelease();
    return Pick(titleEdits_[r], release ? release->titles[r] : "", cdText_.titles[r]);
}

bool RipTitles::HasShownTitle(int row) const {
    if (row < 0 || row >= rows_) return false;
    const size_t r = static_cast<size_t>(row);
    const DiscRelease* release = chosenRelease();
    return titleEdits_[r].has_value() || (release && !release->titles[r].empty());
}

std::string RipTitles::album() const {
    const DiscRelease* release = chosenRelease();
    return Pick(albumEdit_, release ? release->album : "", cdText_.album);
}

std::string RipTitles::artist() const {
    const DiscRelease* release = chosenRelease();
    return Pick(artistEdit_, release ? release->artist : "", cdText_.artist);
}

void RipTitles::EditTitle(int row, const std::string& text) {
    if (row < 0 || row >= rows_) return;
    const std::string clean = CleanMetadataText(text);
    titleEdits_[static_cast<size_t>(row)] =
        clean.empty() ? std::nullopt : std::optional<std::string>(clean);
}

void RipTitles::EditAlbum(const std::string& text) {
    const std::string clean = CleanMetadataText(text);
    albumEdit_ = clean.empty() ? std::nullopt : std::optional<std::string>(clean);
}

void RipTitles::EditArtist(const std::string& text) {
    const std::string clean = CleanMetadataText(text);
    artistEdit_ = clean.empty() ? std::nullopt : std::optional<std::string>(clean);
}

media::SongTags RipTitles::TagsFor(int row, int trackCount) const {
    media::SongTags tags;
    tags.track = row + 1;
    tags.trackTotal = trackCount;
    if (row < 0 || row >= rows_) return tags;
    const size_t r = static_cast<size_t>(row);
    const DiscRelease* release = chosenRelease();
    tags.title = Title(row);
    tags.album = album();
    tags.albumArtist = artist();
    // A guest on one track keeps the name the release or the CD-Text gives that track.
    std::string own = release ? release->artists[r] : cdText_.artists[r];
    tags.artist = own.empty() ? tags.albumArtist : own;
    if (release) {
        tags.year = release->year;
        if (release->source == "MusicBrainz") {
            if (!release->releaseId.empty())
                tags.userTexts["MusicBrainz Album Id"] = release->releaseId;
            if (!release->discId.empty()) tags.userTexts["MusicBrainz Disc Id"] = release->discId;
        }
    }
    return tags;
}

}  // namespace studio
