#pragma once

// The tags that travel with a song: read from any file TagLib knows, written into MP3s as ID3v2
// (version 2.3, which phones and car players read), and copied whole from one MP3 to another
// (every ID3v2 frame, cover pictures included, and the ID3v1 tag).
//
// Writers change the file in place, so callers tag a file before it takes its final name.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace media {

struct SongTags {
    std::string title;        // UTF-8 throughout
    std::string artist;
    std::string album;
    std::string albumArtist;
    std::string year;         // "1998" or a full date
    int track = 0;            // 0: none
    int trackTotal = 0;       // 0: none; written as "n/N" beside track
    // User text frames (TXXX) by description, e.g. "MusicBrainz Album Id".
    std::map<std::string, std::string> userTexts;

    bool operator==(const SongTags&) const = default;
};

// Every reader and writer opens regular files only (a named pipe would wait for a writer, a
// device never ends) and uses the path's bytes as they are, so names that are not UTF-8 open too.

// Title, artist, album, album artist, year and track of any file TagLib reads (MP3, FLAC, OGG,
// Opus, M4A, WMA, WAV, ...); the TXXX texts of an MP3's ID3v2 tag. nullopt when the file cannot be
// opened or is no file TagLib knows.
std::optional<SongTags> ReadTags(const std::string& path);

// The title field of an MP3's ID3v1 tag (the last 128 bytes), up to its first zero byte, with
// white space removed at both ends; bytes that are not UTF-8 read as Latin-1. nullopt when the file
// cannot be read, has no such tag, or the title is blank.
std::optional<std::string> ReadId3v1Title(const std::string& path);

// The title a file gets from its name: the part after the last separator, with a final ".mp3"
// (compared in lower case) dropped; other extensions stay.
std::string TitleFromPath(std::string_view path);

// The title of a track in the track lists and on a disc: the ID3v1 title when there is one, else
// TitleFromPath.
std::string FindTrackTitle(const std::string& path);

// The performer of an MP3: the ID3v2 artist (TPE1) when it is not blank, else the ID3v1 artist
// (read as ReadId3v1Title reads the title); "" when neither.
std::string ReadMp3Performer(const std::string& path);

// Writes `tags` into the MP3 at `path` as its ID3v2 tag (fields left empty or 0 are removed, other
// frames kept). False when the file cannot be opened or written.
bool WriteMp3Tags(const std::string& path, const SongTags& tags);

// Gives the MP3 `to` the tags of the MP3 `from`: all ID3v2 frames (pictures, comments, lyrics,
// user frames) in place of its own, and the ID3v1 tag when `from` has one. True when there was
// nothing to copy or the copy was saved; false when a file cannot be opened or written.
bool CopyMp3Tags(const std::string& from, const std::string& to);

}  // namespace media
