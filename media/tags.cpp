#include "media/tags.h"

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/textidentificationframe.h>

#include <memory>

#include "platform/paths.h"
#include "platform/text.h"

namespace {

using TagLib::ByteVector;
using TagLib::String;

std::string Utf8(const String& text) { return text.to8Bit(true); }

String TagString(const std::string& utf8) { return String(utf8, String::UTF8); }

std::string Blanked(std::string text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Version 1 fields hold bytes of some single-byte code page, or UTF-8 written by a tagger that
// ignores the rule: UTF-8 is kept, anything else is read as Latin-1 (TagLib's own handler would
// turn valid UTF-8 into Latin-1 mojibake).
class Id3v1Text final : public TagLib::ID3v1::StringHandler {
public:
    String parse(const ByteVector& data) const override {
        std::string bytes(data.data(), data.size());
        bytes = Blanked(bytes.substr(0, bytes.find('\0')));
        return TagString(platform::ShownUtf8(bytes));
    }
};

void UseId3v1Text() {
    static const bool installed = [] {
        static Id3v1Text handler;
        TagLib::ID3v1::Tag::setStringHandler(&handler);
        return true;
    }();
    (void)installed;
}

// An MP3 opened for its tags only (no audio properties are read). The path's bytes are used as
// they are, so names that are not UTF-8 open too.
std::unique_ptr<TagLib::MPEG::File> OpenMp3(const std::string& path) {
    // A named pipe or a device would block the read (a pipe nobody writes to, forever).
    if (!platform::IsRegularFile(path)) return nullptr;
    UseId3v1Text();
    if (!platform::IsRegularFile(path)) return nullptr;
    auto file = std::make_unique<TagLib::MPEG::File>(path.c_str(), false);
    if (!file->isValid()) return nullptr;
    return file;
}

int FirstNumber(const std::string& text) {
    int value = 0;
    size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) {
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    return value;
}

// "n/N" of a TRCK frame.
void ReadTrack(const std::string& text, int& track, int& total) {
    track = FirstNumber(text);
    const size_t slash = text.find('/');
    total = slash == std::string::npos ? 0 : FirstNumber(text.substr(slash + 1));
}

std::string FrameText(TagLib::ID3v2::Tag* tag, const char* id) {
    const auto& frames = tag->frameListMap()[id];
    if (frames.isEmpty()) return {};
    return Utf8(frames.front()->toString());
}

void SetTextFrame(TagLib::ID3v2::Tag* tag, const char* id, const std::string& text) {
    tag->removeFrames(id);
    if (text.empty()) return;
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, String::UTF16);
    frame->setText(TagString(text));
    tag->addFrame(frame);
}

void SetUserText(TagLib::ID3v2::Tag* tag, const std::string& description, const std::string& text) {
    if (auto* old = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, TagString(description)))
        tag->removeFrame(old);
    if (text.empty()) return;
    auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(String::UTF16);
    frame->setDescription(TagString(description));
    frame->setText(TagString(text));
    tag->addFrame(frame);
}

}  // namespace

namespace media {

std::optional<SongTags> ReadTags(const std::string& path) {
    if (!platform::IsRegularFile(path)) return std::nullopt;
    UseId3v1Text();
    if (!platform::IsRegularFile(path)) return std::nullopt;
    TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull()) return std::nullopt;
    SongTags tags;
    if (TagLib::Tag* tag = ref.tag()) {
        tags.title = Utf8(tag->title());
        tags.artist = Utf8(tag->artist());
        tags.album = Utf8(tag->album());
        tags.track = static_cast<int>(tag->track());
        if (tag->year() != 0) tags.year = std::to_string(tag->year());
    }
    const TagLib::PropertyMap properties = ref.file()->properties();
    // Some files' main tag is not their only one (a WAV's tag() is its ID3v2 chunk, while its
    // texts may stand in the RIFF INFO list): the property map has them all.
    const auto fill = [&properties](std::string& field, const char* key) {
        if (field.empty() && properties.contains(key)) field = Utf8(properties[key].toString());
    };
    fill(tags.title, "TITLE");
    fill(tags.artist, "ARTIST");
    fill(tags.album, "ALBUM");
    if (properties.contains("ALBUMARTIST"))
        tags.albumArtist = Utf8(properties["ALBUMARTIST"].toString());
    if (properties.contains("DATE")) tags.year = Utf8(properties["DATE"].toString());
    if (auto* mp3 = dynamic_cast<TagLib::MPEG::File*>(ref.file()); mp3 && mp3->hasID3v2Tag()) {
        TagLib::ID3v2::Tag* v2 = mp3->ID3v2Tag();
        ReadTrack(FrameText(v2, "TRCK"), tags.track, tags.trackTotal);
        for (TagLib::ID3v2::Frame* frame : v2->frameListMap()["TXXX"]) {
            auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
            if (user && user->fieldList().size() > 1)
                tags.userTexts[Utf8(user->description())] = Utf8(user->fieldList()[1]);
        }
    } else if (properties.contains("TRACKNUMBER")) {
        ReadTrack(Utf8(properties["TRACKNUMBER"].toString()), tags.track, tags.trackTotal);
    }
    return tags;
}

std::optional<std::string> ReadId3v1Title(const std::string& path) {
    auto file = OpenMp3(path);
    if (!file || !file->hasID3v1Tag()) return std::nullopt;
    std::string title = Utf8(file->ID3v1Tag()->title());
    if (title.empty()) return std::nullopt;
    return title;
}

std::string TitleFromPath(std::string_view path) {
    std::string name = platform::AfterLastSeparator(path);
    if (platform::LowerTail(name, 4) == ".mp3") name.resize(name.size() - 4);
    return name;
}

std::string FindTrackTitle(const std::string& path) {
    if (auto title = ReadId3v1Title(path)) return *title;
    return TitleFromPath(path);
}

std::string ReadMp3Performer(const std::string& path) {
    auto file = OpenMp3(path);
    if (!file) return {};
    if (file->hasID3v2Tag()) {
        std::string artist = Blanked(Utf8(file->ID3v2Tag()->artist()));
        if (!artist.empty()) return artist;
    }
    if (file->hasID3v1Tag()) return Utf8(file->ID3v1Tag()->artist());
    return {};
}

bool WriteMp3Tags(const std::string& path, const SongTags& tags) {
    auto file = OpenMp3(path);
    if (!file || file->readOnly()) return false;
    TagLib::ID3v2::Tag* tag = file->ID3v2Tag(true);
    SetTextFrame(tag, "TIT2", tags.title);
    SetTextFrame(tag, "TPE1", tags.artist);
    SetTextFrame(tag, "TALB", tags.album);
    SetTextFrame(tag, "TPE2", tags.albumArtist);
    SetTextFrame(tag, "TDRC", tags.year);
    std::string track;
    if (tags.track > 0) {
        track = std::to_string(tags.track);
        if (tags.trackTotal > 0) track += "/" + std::to_string(tags.trackTotal);
    }
    SetTextFrame(tag, "TRCK", track);
    for (const auto& [description, text] : tags.userTexts) SetUserText(tag, description, text);
    const int which = TagLib::MPEG::File::ID3v2 | (file->hasID3v1Tag() ? TagLib::MPEG::File::ID3v1 : 0);
    return file->save(which, TagLib::File::StripNone, TagLib::ID3v2::v3);
}

bool CopyMp3Tags(const std::string& from, const std::string& to) {
    auto source = OpenMp3(from);
    auto target = OpenMp3(to);
    if (!source || !target || target->readOnly()) return false;
    const bool hasV2 = source->hasID3v2Tag();
    const bool hasV1 = source->hasID3v1Tag();
    if (!hasV2 && !hasV1) return true;
    int which = 0;
    TagLib::ID3v2::Version version = TagLib::ID3v2::v4;
    if (hasV2) {
        TagLib::ID3v2::Tag* in = source->ID3v2Tag();
        TagLib::ID3v2::Tag* out = target->ID3v2Tag(true);
        while (!out->frameList().isEmpty()) out->removeFrame(out->frameList().front());
        // Each frame travels as its rendered bytes, parsed again against the source tag's header,
        // so frames TagLib has no class for are copied byte for byte too.
        for (TagLib::ID3v2::Frame* frame : in->frameList()) {
            TagLib::ID3v2::Frame* copy =
                TagLib::ID3v2::FrameFactory::instance()->createFrame(frame->render(), in->header());
            if (copy) out->addFrame(copy);
        }
        if (in->header()->majorVersion() == 3) version = TagLib::ID3v2::v3;
        which |= TagLib::MPEG::File::ID3v2;
    }
    if (hasV1) {
        TagLib::Tag::duplicate(source->ID3v1Tag(), target->ID3v1Tag(true), true);
        which |= TagLib::MPEG::File::ID3v1;
    }
    return target->save(which, TagLib::File::StripNone, version);
}

}  // namespace media
