// The studio's binding of the codec engine VxMpp.so (system directory). The library is loaded
// once and stays loaded. The progress getters, the cancel pair and the bad indicator are looked
// up when binding; SetNoBad, mymp3 and mymp3d are looked up by name before every use, and
// SetCancelEncode again before an encoding job starts.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "components/codec_engine/vxmpp.h"
#include "platform/dynamic_library.h"

class CodecEngine {
  public:
    // Resolves an entry point by name; null when the engine lacks it.
    using Resolver = std::function<void*(const std::string& name)>;

    // Loads the library at `path` and binds it. False when it does not load or one of the five
    // entry points of the binding is missing; the engine then stays unbound.
    bool BindLibrary(const std::string& path);
    // Binds to entry points found by `resolver` instead of a library (tests use fakes).
    bool BindResolver(Resolver resolver);
    void Unbind();
    bool bound() const { return getDecodePercent_ != nullptr; }

    // The five entry points found when binding; safe on any thread, harmless when unbound
    // (0, or nothing done).
    double GetDecode2WavPercent() const;
    int GetEncode2Mp3Percent() const;
    int GetCancelEncode() const;
    int GetIsBad() const;

    // Per-use look-ups: null when the engine lacks the entry point (or is not bound).
    VxMymp3Fn LookUpMymp3();
    VxMymp3dFn LookUpMymp3d();
    VxSetNoBadFn LookUpSetNoBad();
    VxSetCancelEncodeFn LookUpSetCancelEncode();
    VxGetCancelEncodeFn LookUpGetCancelEncode();
    VxGetIsBadFn LookUpGetIsBad();
    VxGetEncode2Mp3PercentFn LookUpGetEncode2Mp3Percent();
    VxSetCancelDecodeFn LookUpSetCancelDecode();

    // The engine's name of a result of mymp3/mymp3d (VxPlainStrError); nullopt when the engine
    // is not bound or lacks the entry point.
    std::optional<std::string> ResultText(int result);

    // SetNoBad looked up and called; false when the entry point is missing.
    bool CallSetNoBad();
    // SetCancelEncode looked up and called; false when the entry point is missing.
    bool CallSetCancelEncode(int cancel);

  private:
    bool BindFound();
    void* Find(const std::string& name);
    template <typename Fn>
    Fn LookUp(const char* name);

    // Look-ups may come from the user-interface thread and a worker at once.
    std::mutex mutex_;
    platform::DynamicLibrary library_;
    Resolver resolver_;
    VxGetDecode2WavPercentFn getDecodePercent_ = nullptr;
    VxGetEncode2Mp3PercentFn getEncodePercent_ = nullptr;
    VxSetCancelEncodeFn setCancel_ = nullptr;
    VxGetCancelEncodeFn getCancel_ = nullptr;
    VxGetIsBadFn getIsBad_ = nullptr;
};

// The engine's file name in the system directory.
inline constexpr const char* kCodecEngineFile = "VxMpp.so";
