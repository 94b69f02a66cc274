// The C entry points of the CD-access library over the discs of cd_access.h.
#include "components/cd_access/a1.h"

#include <cdio/logging.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "components/cd_access/cd_access.h"
#include "media/disc_images.h"

// The C interface states the frame size as a number of its own.
static_assert(A1_FRAME_BYTES == media::kCdFrameBytes);

namespace {

std::mutex g_mutex;
// The drives of the last a2, by host adapter number (their index).
std::vector<cd_access::DriveInfo> g_drives;
std::map<int, std::unique_ptr<cd_access::Disc>> g_open;
int g_nextHandle = 1;
std::atomic<int> g_lastStatus{0};
std::atomic<int> g_lastError{0};

void Failed(const cd_access::ReadFailure& failure) {
    g_lastStatus.store(failure.status);
    g_lastError.store(failure.error);
}

// The open disc of `handle`, or null. Callers hold g_mutex.
cd_access::Disc* Find(int handle) {
    const auto it = g_open.find(handle);
    return it == g_open.end() ? nullptr : it->second.get();
}

}  // namespace

extern "C" {

void a2(uint8_t* driveList) {
    if (!driveList) return;
    std::lock_guard lock(g_mutex);
    // Looking at the image folder clears what killed writes left in it.
    disc_images::SweepEndedStaging(disc_images::Folder());
    g_drives = cd_access::ListDrives(disc_images::Folder(), A1_MAX_DRIVES);
    std::memset(driveList, 0, A1_DRIVE_LIST_BYTES);
    driveList[1] = static_cast<uint8_t>(g_drives.size());
    for (size_t i = 0; i < g_drives.size(); ++i) {
        uint8_t* entry = driveList + 2 + A1_DRIVE_ENTRY_BYTES * i;
        entry[0] = static_cast<uint8_t>(i);  // host adapter
        entry[1] = 0;                        // target
        entry[2] = 0;                        // logical unit
        const std::string& text = g_drives[i].description;
        std::memcpy(entry + 4, text.data(),
                    std::min<size_t>(text.size(), A1_DRIVE_ENTRY_BYTES - 5));
    }
}

int a12(const uint8_t* address) {
    if (!address || address[0] != A1_ADDRESS_BYTES) return 0;
    std::lock_guard lock(g_mutex);
    const size_t index = address[2];
    if (index >= g_drives.size() || address[3] != 0 || address[4] != 0) return 0;
    std::unique_ptr<cd_access::Disc> disc = cd_access::Disc::Open(g_drives[index]);
    if (!disc) {
        Failed({A1_STATUS_NO_MEDIA, cd_access::kErrorNotReady});
        return 0;
    }
    const int handle = g_nextHandle++;
    g_open[handle] = std::move(disc);
    return handle;
}

int a11(int handle, int /*option*/, int /*value*/) {
    std::lock_guard lock(g_mutex);
    return Find(handle) ? 1 : 0;
}

int a7(int handle, uint8_t* toc) {
    if (!toc) return 0;
    std::lock_guard lock(g_mutex);
    cd_access::Disc* disc = Find(handle);
    cd_access::Toc read;
    if (!disc || !disc->ReadToc(read)) {
        Failed({disc ? A1_STATUS_NO_MEDIA : A1_STATUS_BAD_HANDLE, cd_access::kErrorNotReady});
        return 0;
    }
    const std::vector<uint8_t> bytes = cd_access::TocBytes(read);
    std::memcpy(toc, bytes.data(), bytes.size());
    return 1;
}

void a14(int handle, uint8_t* buffer, int words) {
    if (!buffer || words < 0) return;
    std::lock_guard lock(g_mutex);
    cd_access::Disc* disc = Find(handle);
    cd_access::Toc toc;
    uint32_t id = 0;
    if (disc && disc->ReadToc(toc)) id = cd_access::DiscId(toc);
    std::memcpy(buffer, &id, sizeof id);
}

int a8(int handle, A1ReadRequest* request) {
    if (!request) return 0;
    request->deliveredBytes = 0;
    request->dataOffset = 0;
    const uint64_t bytes = uint64_t{request->frameCount} * A1_FRAME_BYTES;
    if (request->frameCount == 0 || bytes > request->capacityBytes ||
        request->firstFrame > INT32_MAX) {
        Failed({A1_STATUS_INVALID, cd_access::kErrorIllegalRequest});
        return 0;
    }
    // One open disc is read by one worker; the lock keeps a13 from closing it under the read.
    std::lock_guard lock(g_mutex);
    cd_access::Disc* disc = Find(handle);
    if (!disc) {
        Failed({A1_STATUS_BAD_HANDLE, cd_access::kErrorIllegalRequest});
        return 0;
    }
    uint8_t* data = reinterpret_cast<uint8_t*>(request) + A1_REQUEST_HEADER_BYTES;
    cd_access::ReadFailure failure;
    if (!disc->ReadFrames(static_cast<int32_t>(request->firstFrame),
                          static_cast<int32_t>(request->frameCount), data, failure)) {
        Failed(failure);
        return 0;
    }
    request->deliveredBytes = static_cast<uint32_t>(bytes);
    return 1;
}

int a4(void) { return g_lastStatus.load(); }

int a3(int status) { return (status & 0xff) == g_lastStatus.load() ? g_lastError.load() : 0; }

void a13(int handle) {
    std::lock_guard lock(g_mutex);
    g_open.erase(handle);
}

int a1CdText(int handle, int track, int field, char* buffer, int size) {
    if (!buffer || size <= 0) return -1;
    buffer[0] = '\0';
    std::lock_guard lock(g_mutex);
    cd_access::Disc* disc = Find(handle);
    if (!disc) return -1;
    const std::optional<std::string> text = disc->CdText(track, field);
    if (!text) return -1;
    const size_t n = std::min(text->size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text->data(), n);
    buffer[n] = '\0';
    return static_cast<int>(text->size());
}

int a1DriveProblem(const uint8_t* address, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    if (!address || address[0] != A1_ADDRESS_BYTES) return 0;
    std::lock_guard lock(g_mutex);
    const size_t index = address[2];
    if (index >= g_drives.size() || !g_drives[index].image) return 0;
    std::string problem;
    if (cd_access::Disc::Open(g_drives[index], &problem) || problem.empty()) return 0;
    const size_t n = std::min(problem.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, problem.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(problem.size());
}

}  // extern "C"
