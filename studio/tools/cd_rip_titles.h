// The titles of the disc in the ripper, apart from its window: what the disc's CD-Text says, the
// releases a look-up found and the one chosen, and the user's edits of titles, album and artist.
// The list shows and the tags get one answer per track: the user's edit, else the chosen
// release's title, else the CD-Text (the list then keeps its "Track NN", as without a look-up).
//
// Both the ripper's dialog and `vexmor rip` fill one, and a rip takes what it says at the moment
// Rip is pressed (`MakeRipPlan`), so edits or a look-up that ends during a run change the next
// run, never the files being made.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "media/tags.h"
#include "studio/tools/cd_drives.h"
#include "studio/tools/disc_metadata.h"

namespace studio {

// The disc's own texts: album and artist (track 0) and per list row the title and performer.
struct CdTextTitles {
    std::string album;
    std::string artist;
    std::vector<std::string> titles;
    std::vector<std::string> artists;
};
// Reads the CD-Text of `drive` for the rows of `tracks`; texts cleaned as a service's are.
CdTextTitles ReadCdText(const CdDrive& drive, const std::vector<CdTrack>& tracks);

// The ripper's file-name choice, key "FileNames" of section "METADATA": "Title" for
// "01 - Title.mp3", anything else (the default) for "track01.mp3". The choice lines it shows:
inline constexpr const char* kNamingChoices[] = {"track01.mp3", "01 - Title.mp3"};
RipNaming LoadRipNaming(const std::string& settingsFile);
bool SaveRipNaming(const std::string& settingsFile, RipNaming naming);

class RipTitles {
  public:
    // A new disc of `rows` list rows: the releases and every edit are forgotten.
    void Reset(CdTextTitles cdText, int rows);
    int rows() const { return rows_; }

    // A look-up's releases (only those with one title per row are kept), the first one chosen.
    // Edits stay: what the user typed wins over any service.
    void SetReleases(std::vector<DiscRelease> releases);
    // A finished look-up's releases as SetReleases takes them; returns the status line's text
    // ("Not found: titles from CD-Text" also when no release fits the disc).
    QString TakeLookupResult(const LookupResult& result);
    const std::vector<DiscRelease>& releases() const { return releases_; }
    // The chosen release's index, -1 when there is none.
    int chosen() const { return chosen_; }
    const DiscRelease* chosenRelease() const;
    bool Choose(int index);
    // One line per release for the choice list (`ReleaseChoiceText`).
    std::vector<std::string> ChoiceLines() const;

    // The title of a row as the tags get it ("" when nobody knows one), and whether it came from
    // the user or a release (the list shows it then; otherwise the track's own name).
    std::string Title(int row) const;
    bool HasShownTitle(int row) const;
    std::string album() const;
    std::string artist() const;  // the album's artist

    // Edits, cleaned as a service's texts are (control characters out, 255 bytes at most); an
    // empty edit gives the row back to the release or the CD-Text.
    void EditTitle(int row, const std::string& text);
    void EditAlbum(const std::string& text);
    void EditArtist(const std::string& text);

    // The tags of the track at list row `row` of a disc of `trackCount` rows: title, artist (the
    // track's own, else the album's), album, album artist, track row+1/trackCount, year and the
    // MusicBrainz ids of a release from there.
    media::SongTags TagsFor(int row, int trackCount) const;

  private:
    std::string Pick(const std::optional<std::string>& edit, const std::string& released,
                     const std::string& cdText) const;

    int rows_ = 0;
    CdTextTitles cdText_;
    std::vector<DiscRelease> releases_;
    int chosen_ = -1;
    std::vector<std::optional<std::string>> titleEdits_;
    std::optional<std::string> albumEdit_;
    std::optional<std::string> artistEdit_;
};

}  // namespace studio
