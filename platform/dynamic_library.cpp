#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "platform/folders.h"
#include "platform/paths.h"

namespace platform {
namespace {

std::string LastDlError(const std::string& fallback) {
    const char* text = dlerror();
    return text ? std::string(text) : fallback;
}

}  // namespace

void DynamicLibrary::Closer::operator()(void* handle) const {
    if (handle) dlclose(handle);
}

bool DynamicLibrary::Load(const std::string& path) {
    Free();
    path_ = path;
    if (path.empty()) {
        error_ = "no library named";
        return false;
    }
    dlerror();
    // RTLD_NOW: a library with unresolved references fails here rather than at its first call.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error_ = LastDlError("cannot load " + path);
        return false;
    }
    handle_.reset(handle);
    error_.clear();
    return true;
}

bool DynamicLibrary::KeepLoaded() {
    if (!handle_) return false;
    // The library is loaded already; RTLD_NODELETE makes every later dlclose leave it mapped.
    return dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

void DynamicLibrary::Free() {
    handle_.reset();
    path_.clear();
}

void* DynamicLibrary::Address(const std::string& name) {
    if (!handle_) {
        error_ = "no library loaded";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_.get(), name.c_str());
    if (!address) {
        error_ = LastDlError(name + ": symbol not found");
        return nullptr;
    }
    error_.clear();
    return address;
}

void* SystemModuleAddress(const std::string& moduleName, const std::string& symbol,
                          std::string* why) {
    static std::mutex mutex;
    // Never destroyed, so nothing closes the modules at exit.
    static auto& loaded = *new std::map<std::string, DynamicLibrary>;
    std::lock_guard lock(mutex);
    auto found = loaded.find(moduleName);
    if (found == loaded.end()) {
        DynamicLibrary library;
        if (!library.Load(JoinPath(SystemDirectory(), moduleName))) {
            if (why) *why = library.error();
            return nullptr;
        }
        found = loaded.emplace(moduleName, std::move(library)).first;
    }
    void* address = found->second.Address(symbol);
    if (!address && why) *why = found->second.error();
    return address;
}

}  // namespace platform
