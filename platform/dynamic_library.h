// Run-time loading of shared libraries and lookup of their exports by name.
#pragma once

#include <memory>
#include <string>

namespace platform {

// Owns one dlopen handle; the library is closed when the object goes (or on Free/another
// Load). Symbols found stay valid only while the library is loaded.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    explicit DynamicLibrary(const std::string& path) { Load(path); }
    DynamicLibrary(DynamicLibrary&&) noexcept = default;
    DynamicLibrary& operator=(DynamicLibrary&&) noexcept = default;

    // Loads the library at `path` (a bare name is searched as the dynamic linker does), closing
    // any library loaded before. Returns false and keeps the reason in error() on failure.
    bool Load(const std::string& path);
    void Free();
    bool IsLoaded() const { return handle_ != nullptr; }
    // Keeps the loaded library in the process after this object closes it: for a library that
    // hands the process pointers into itself which outlive it (a handler it registers with a
    // shared library). False when no library is loaded.
    bool KeepLoaded();

    // Address of the export `name`, or null when the library is not loaded or lacks it.
    void* Address(const std::string& name);
    template <typename T>
    T Symbol(const std::string& name) {
        return reinterpret_cast<T>(Address(name));
    }

    // The reason the last Load or Address failed; empty after a success.
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
    std::string path_;
    std::string error_;
};

// The address of the export `symbol` of the module `moduleName` in the system directory, or null
// with the reason in `why`. The module is loaded on the first call that finds it and kept for the
// rest of the process: it is never closed, not even at exit, since a module that links FFmpeg
// would unload FFmpeg's libraries under memory they still own. A module that did not load is
// tried again on the next call, so one installed later is found. Callable from any thread.
void* SystemModuleAddress(const std::string& moduleName, const std::string& symbol,
                          std::string* why = nullptr);
template <typename T>
T SystemModuleSymbol(const std::string& moduleName, const std::string& symbol,
                     std::string* why = nullptr) {
    return reinterpret_cast<T>(SystemModuleAddress(moduleName, symbol, why));
}

}  // namespace platform
