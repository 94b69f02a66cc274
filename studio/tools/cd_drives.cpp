#include "studio/tools/cd_drives.h"

#include <cstdio>
#include <cstring>

#include "components/cd_access/a1.h"

namespace studio {
namespace {

uint32_t BigEndian(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// The identity word of the open disc, sized by the TOC's first 16-bit word read little-endian.
uint32_t IdentityOf(int handle, const std::array<uint8_t, kTocBytes>& toc) {
    const size_t words = toc[0] | toc[1] << 8;
    std::vector<uint8_t> buffer(4 * words + 12, 0);
    a14(handle, buffer.data(), static_cast<int>(words));
    uint32_t identity = 0;
    std::memcpy(&identity, buffer.data(), sizeof identity);
    return identity;
}

}  // namespace

bool TocMakesSense(const std::array<uint8_t, kTocBytes>& toc) {
    const int first = toc[2];
    const int last = toc[3];
    if (first < 1 || last > 99 || first > last) return false;
    uint32_t previous = 0;
    for (int k = 0; k <= last - first + 1; ++k) {
        const uint32_t start = BigEndian(&toc[4 + 8 * static_cast<size_t>(k) + 4]);
        if (k > 0 && start <= previous) return false;
        previous = start;
    }
    return true;
}

CdTrack::CdTrack(const CdTrack& other) { *this = other; }

CdTrack& CdTrack::operator=(const CdTrack& other) {
    position = other.position;
    name = other.name;
    ticked = other.ticked;
    selected = other.selected;
    start = other.start;
    length = other.length;
    seconds = other.seconds;
    number = other.number;
    status.store(other.status.load());
    return *this;
}

DriveType DriveTypeOf(char letter, int cdDrives) {
    if (letter == 'C') return DriveType::Fixed;
    if (letter >= 'D' && letter < 'D' + cdDrives) return DriveType::CdRom;
    return DriveType::NoRootDir;
}

int CdLists::EnumerateDrives(const DriveTypeQuery& query) {
    drives.clear();
    std::vector<uint8_t> list(A1_DRIVE_LIST_BYTES, 0);
    a2(list.data());
    const int count = std::min<int>(list[1], kMaxCdDrives);
    const DriveTypeQuery typeOf =
        query ? query : [count](char letter) { return DriveTypeOf(letter, count); };
    char next = 'C';
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = list.data() + 2 + A1_DRIVE_ENTRY_BYTES * i;
        CdDrive drive;
        drive.address = {A1_ADDRESS_BYTES, 1, entry[0], entry[1], entry[2]};
        drive.description.assign(
            reinterpret_cast<const char*>(entry + 4),
            strnlen(reinterpret_cast<const char*>(entry + 4), A1_DRIVE_ENTRY_BYTES - 4));
        for (char letter = next; letter != 0 && letter <= 'z'; ++letter) {
            if (typeOf(letter) == DriveType::CdRom) {
                drive.letter = letter;
                next = static_cast<char>(letter + 1);
                break;
            }
        }
        drives.push_back(drive);
    }
    return static_cast<int>(drives.size());
}

std::string DriveLabel(const CdDrive& drive) {
    std::string label(1, drive.letter);
    return label + ": " + drive.description;
}

bool CdLists::RefreshTracks(int index) {
    if (index < 0 || static_cast<size_t>(index) >= drives.size()) {
        tracks.clear();
        return false;
    }
    CdDrive& drive = drives[static_cast<size_t>(index)];
    bool ok = false;
    {
        OpenDrive open(drive);
        drive.toc.fill(0);
        a11(open.handle(), 36, 0);
        ok = a7(open.handle(), drive.toc.data()) == 1 && TocMakesSense(drive.toc);
        if (ok) drive.identity = IdentityOf(open.handle(), drive.toc);
    }
    tracks.clear();
    if (!ok) return false;

    const int first = drive.toc[2];
    const int last = drive.toc[3];
    int audioCounter = 1;
    for (int t = first; t <= last; ++t) {
        const uint8_t* descriptor = &drive.toc[4 + 8 * static_cast<size_t>(t - first)];
        CdTrack track;
        track.number = t;
        if (descriptor[1] & 4) {
            track.name = "Data track";
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "Track %02d", audioCounter++);
            track.name = name;
            track.start = BigEndian(descriptor + 4);
            track.length = BigEndian(descriptor + 8 + 4) - track.start;
            track.seconds = static_cast<int>(media::CdFrames(track.length).seconds());
        }
        track.position = static_cast<int>(tracks.size()) + 1;
        tracks.push_back(track);
    }
    return !tracks.empty();
}

std::string CdLists::DriveProblem(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= drives.size()) return "";
    char text[512];
    const int length =
        a1DriveProblem(drives[static_cast<size_t>(index)].address.data(), text, sizeof text);
    return length > 0 ? std::string(text) : "";
}

const CdDrive* CdLists::CurrentDrive() const {
    if (currentDrive < 0 || static_cast<size_t>(currentDrive) >= drives.size()) return nullptr;
    return &drives[static_cast<size_t>(currentDrive)];
}

int64_t CdLists::ReadDiscIdentity(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= drives.size()) return -1;
    OpenDrive open(drives[static_cast<size_t>(index)]);
    std::array<uint8_t, kTocBytes> scratch{};
    if (a7(open.handle(), scratch.data()) != 1) return -1;
    return IdentityOf(open.handle(), scratch);
}

ReadRequest::ReadRequest(uint32_t frames) {
    try {
        bytes_.assign(A1_REQUEST_HEADER_BYTES + size_t{frames} * kCdFrameBytes, 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    reinterpret_cast<A1ReadRequest*>(bytes_.data())->capacityBytes = frames * kCdFrameBytes;
}

bool ReadRequest::ReadChunk(int handle, uint32_t first, uint32_t count) {
    auto* request = reinterpret_cast<A1ReadRequest*>(bytes_.data());
    request->firstFrame = first;
    request->frameCount = count;
    request->deliveredBytes = 0;
    request->dataOffset = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (a8(handle, request) == 1) return true;
    }
    return false;
}

const uint8_t* ReadRequest::Delivered() const {
    const auto* request = reinterpret_cast<const A1ReadRequest*>(bytes_.data());
    return bytes_.data() + A1_REQUEST_HEADER_BYTES + request->dataOffset;
}

uint32_t ReadRequest::DeliveredBytes() const {
    const auto* request = reinterpret_cast<const A1ReadRequest*>(bytes_.data());
    // A library that claims more than the request holds is not believed beyond its room.
    const uint64_t room = uint64_t{request->capacityBytes};
    if (uint64_t{request->dataOffset} + request->deliveredBytes > room) return 0;
    return request->deliveredBytes;
}

OpenDrive::OpenDrive(const CdDrive& drive) : handle_(a12(drive.address.data())) {}

OpenDrive::~OpenDrive() { a13(handle_); }

std::string OpenDrive::CdText(int track, int field) const {
    char text[256];
    return a1CdText(handle_, track, field, text, sizeof text) > 0 ? std::string(text) : "";
}

ReadError LastReadError() {
    const int status = a4() & 0xff;
    return {a3(status), status};
}

}  // namespace studio
