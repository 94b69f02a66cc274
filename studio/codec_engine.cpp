#include "studio/codec_engine.h"

#include "platform/folders.h"
#include "platform/paths.h"
#include "studio/encoder_args.h"

bool CodecEngine::BindLibrary(const std::string& path) {
    Unbind();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!library_.Load(path)) return false;
    if (BindFound()) {
        // The engine tags MP3s through the shared TagLib, registering its ID3v1 text handler
        // there; TagLib calls that handler for the rest of the process, so the engine stays.
        library_.KeepLoaded();
        return true;
    }
    library_.Free();
    return false;
}

bool CodecEngine::BindResolver(Resolver resolver) {
    Unbind();
    std::lock_guard<std::mutex> lock(mutex_);
    resolver_ = std::move(resolver);
    if (BindFound()) return true;
    resolver_ = nullptr;
    return false;
}

void CodecEngine::Unbind() {
    std::lock_guard<std::mutex> lock(mutex_);
    getDecodePercent_ = nullptr;
    getEncodePercent_ = nullptr;
    setCancel_ = nullptr;
    getCancel_ = nullptr;
    getIsBad_ = nullptr;
    resolver_ = nullptr;
    library_.Free();
}

void* CodecEngine::Find(const std::string& name) {
    if (resolver_) return resolver_(name);
    return library_.IsLoaded() ? library_.Address(name) : nullptr;
}

bool CodecEngine::BindFound() {
    auto decode = reinterpret_cast<VxGetDecode2WavPercentFn>(Find("GetDecode2WavPercent"));
    auto encode = reinterpret_cast<VxGetEncode2Mp3PercentFn>(Find("GetEncode2Mp3Percent"));
    auto setCancel = reinterpret_cast<VxSetCancelEncodeFn>(Find("SetCancelEncode"));
    auto getCancel = reinterpret_cast<VxGetCancelEncodeFn>(Find("GetCancelEncode"));
    auto isBad = reinterpret_cast<VxGetIsBadFn>(Find("GetIsBad"));
    if (!decode || !encode || !setCancel || !getCancel || !isBad) return false;
    getEncodePercent_ = encode;
    setCancel_ = setCancel;
    getCancel_ = getCancel;
    getIsBad_ = isBad;
    getDecodePercent_ = decode;  // last: bound() reads it
    return true;
}

double CodecEngine::GetDecode2WavPercent() const {
    return getDecodePercent_ ? getDecodePercent_() : 0.0;
}

int CodecEngine::GetEncode2Mp3Percent() const {
    return getEncodePercent_ ? getEncodePercent_() : 0;
}

int CodecEngine::GetCancelEncode() const { return getCancel_ ? getCancel_() : 0; }

int CodecEngine::GetIsBad() const { return getIsBad_ ? getIsBad_() : 0; }

template <typename Fn>
Fn CodecEngine::LookUp(const char* name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!bound()) return nullptr;
    return reinterpret_cast<Fn>(Find(name));
}

VxSetCancelDecodeFn CodecEngine::LookUpSetCancelDecode() {
    return LookUp<VxSetCancelDecodeFn>("SetCancelDecode");
}
std::optional<std::string> CodecEngine::ResultText(int result) {
    const auto fn = LookUp<VxPlainStrErrorFn>("VxPlainStrError");
    if (!fn) return std::nullopt;
    return std::string(fn(result));
}
VxMymp3Fn CodecEngine::LookUpMymp3() { return LookUp<VxMymp3Fn>("mymp3"); }
VxMymp3dFn CodecEngine::LookUpMymp3d() { return LookUp<VxMymp3dFn>("mymp3d"); }
VxSetNoBadFn CodecEngine::LookUpSetNoBad() { return LookUp<VxSetNoBadFn>("SetNoBad"); }
VxSetCancelEncodeFn CodecEngine::LookUpSetCancelEncode() {
    return LookUp<VxSetCancelEncodeFn>("SetCancelEncode");
}
VxGetCancelEncodeFn CodecEngine::LookUpGetCancelEncode() {
    return LookUp<VxGetCancelEncodeFn>("GetCancelEncode");
}
VxGetIsBadFn CodecEngine::LookUpGetIsBad() { return LookUp<VxGetIsBadFn>("GetIsBad"); }
VxGetEncode2Mp3PercentFn CodecEngine::LookUpGetEncode2Mp3Percent() {
    return LookUp<VxGetEncode2Mp3PercentFn>("GetEncode2Mp3Percent");
}

bool CodecEngine::CallSetNoBad() {
    const VxSetNoBadFn fn = LookUpSetNoBad();
    if (!fn) return false;
    fn();
    return true;
}

bool CodecEngine::CallSetCancelEncode(int cancel) {
    const VxSetCancelEncodeFn fn = LookUpSetCancelEncode();
    if (!fn) return false;
    fn(cancel);
    return true;
}
