// What the fuzz targets share: a private scratch folder per process, files written from the
// input, the folder's listing (to prove a failed call left nothing behind), and a check that
// stops the run with a message when a property does not hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fuzz {

// Ends the run (libFuzzer keeps the input as a crash) when `condition` is false.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

// The process's scratch folder, made once under $TMPDIR (or /tmp) and emptied by Clear().
inline const std::filesystem::path& Scratch() {
    static const std::filesystem::path folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vx-fuzz.XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Removes everything in the scratch folder.
inline void Clear() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Scratch(), error))
        std::filesystem::remove_all(entry.path(), error);
}

// Names of the entries in the scratch folder (hidden ones included).
inline std::set<std::string> Listing() {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Scratch(), error))
        names.insert(entry.path().filename().string());
    return names;
}

inline std::string WriteFile(const std::string& name, const void* data, size_t size) {
    const std::string path = (Scratch() / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) std::abort();
    return path;
}

inline std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    return WriteFile(name, bytes.data(), bytes.size());
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace fuzz
