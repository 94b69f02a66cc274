#include "platform/control_host.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>

#include "platform/dynamic_library.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace platform {

// --- Variant ----------------------------------------------------------------------------------

namespace {

int32_t ClampToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    // Automation rounds to the nearest integer when it coerces a double.
    return static_cast<int32_t>(std::lround(value));
}

std::string TrimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

int32_t Variant::ToInt() const {
    if (auto v = std::get_if<int32_t>(&value_)) return *v;
    if (auto v = std::get_if<double>(&value_)) return ClampToInt(*v);
    if (auto v = std::get_if<bool>(&value_)) return *v ? -1 : 0;
    if (auto v = std::get_if<std::string>(&value_)) return ClampToInt(Variant(*v).ToDouble());
    if (int32_t* ref = IntRef()) return *ref;
    return 0;
}

double Variant::ToDouble() const {
    if (auto v = std::get_if<double>(&value_)) return *v;
    if (auto v = std::get_if<std::string>(&value_)) {
        const std::string t = TrimBlanks(*v);
        double out = 0.0;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
        if (ec != std::errc() || end != t.data() + t.size()) return 0.0;
        return out;
    }
    return static_cast<double>(ToInt());
}

bool Variant::ToBool() const {
    if (auto v = std::get_if<bool>(&value_)) return *v;
    if (auto v = std::get_if<std::string>(&value_)) {
        const std::string t = ToLowerAscii(TrimBlanks(*v));
        if (t == "true") return true;
        if (t == "false") return false;
        return ToDouble() != 0.0;
    }
    if (auto v = std::get_if<double>(&value_)) return *v != 0.0;
    return ToInt() != 0;
}

std::string Variant::ToString() const {
    if (auto v = std::get_if<std::string>(&value_)) return *v;
    if (auto v = std::get_if<bool>(&value_)) return *v ? "True" : "False";
    if (auto v = std::get_if<double>(&value_)) {
        char buffer[64];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *v);
        return ec == std::errc() ? std::string(buffer, end) : std::string();
    }
    if (IsEmpty()) return std::string();
    return std::to_string(ToInt());
}

int32_t* Variant::IntRef() const {
    if (auto v = std::get_if<int32_t*>(&value_)) return *v;
    return nullptr;
}

bool Variant::SetRef(int32_t value) const {
    int32_t* ref = IntRef();
    if (!ref) return false;
    *ref = value;
    return true;
}

// --- Events -----------------------------------------------------------------------------------

void ControlBase::Fire(int dispatchId, VariantList args) {
    if (QThread::currentThread() == self_->thread()) {
        if (sink_) sink_->OnEvent(dispatchId, args);
        return;
    }
    // Queued to the widget: when the control is destroyed before the GUI thread gets to it, Qt
    // drops the call. The sink is read on the GUI thread, where it is set.
    QMetaObject::invokeMethod(
        self_,
        [this, dispatchId, args = std::move(args)] {
            if (sink_) sink_->OnEvent(dispatchId, args);
        },
        Qt::QueuedConnection);
}

// --- Registry ---------------------------------------------------------------------------------

namespace {

constexpr const char* kRegistrySection = "CLSID";

std::string UpperClassId(const std::string& classId) {
    std::string out = classId;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool IsValidClassId(const std::string& classId) {
    // {8-4-4-4-12}
    static constexpr int kGroups[] = {8, 4, 4, 4, 12};
    if (classId.size() != 38 || classId.front() != '{' || classId.back() != '}') return false;
    size_t at = 1;
    for (size_t g = 0; g < 5; ++g) {
        for (int i = 0; i < kGroups[g]; ++i, ++at) {
            if (!std::isxdigit(static_cast<unsigned char>(classId[at]))) return false;
        }
        if (g < 4) {
            if (classId[at] != '-') return false;
            ++at;
        }
    }
    return at == 37;
}

std::string ControlRegistryPath() {
    // SettingsFolder() is the studio's own folder under the configuration home; the registry
    // sits beside it, shared by both programs.
    return JoinPath(JoinPath(FolderOfFile(SettingsFolder()), "vexmor"), "controls.ini");
}

bool RegisterControlClass(const std::string& classId, const std::string& modulePath) {
    if (!IsValidClassId(classId)) return false;
    if (modulePath.empty() || modulePath.front() != '/') return false;
    // A profile value is read back cut to kProfileValueMax bytes; a longer path would come back
    // as a different file, so it is refused here rather than silently shortened.
    if (modulePath.size() > kProfileValueMax) return false;
    return WritePrivateProfileString(kRegistrySection, UpperClassId(classId), modulePath,
                                     ControlRegistryPath());
}

std::optional<std::string> LookupControlClass(const std::string& classId) {
    if (!IsValidClassId(classId)) return std::nullopt;
    ProfileFile file(ControlRegistryPath());
    file.Load();
    const std::string key = UpperClassId(classId);
    if (!file.Has(kRegistrySection, key)) return std::nullopt;
    std::string path = file.Get(kRegistrySection, key, "");
    if (path.empty()) return std::nullopt;
    return path;
}

bool UnregisterControlClass(const std::string& classId) {
    if (!IsValidClassId(classId)) return false;
    const std::string key = UpperClassId(classId);
    if (!LookupControlClass(classId)) return true;
    // An empty value reads as "not registered".
    return WritePrivateProfileString(kRegistrySection, key, "", ControlRegistryPath());
}

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname) return std::string();
    // A module loaded by a relative name reports that name; the registry needs the full path.
    std::error_code error;
    const std::filesystem::path full = std::filesystem::weakly_canonical(info.dli_fname, error);
    return error ? std::string(info.dli_fname) : full.string();
}

// --- Modules ----------------------------------------------------------------------------------

namespace {

struct DlCloser {
    void operator()(void* handle) const {
        if (handle) dlclose(handle);
    }
};
using ModuleHandle = std::unique_ptr<void, DlCloser>;

// Opens a control module for good. RTLD_NODELETE keeps it mapped even after its handle is
// closed at exit: controls it made may outlive the registry, and their code and virtual tables
// are in it. (Modules that are only registered go through DynamicLibrary and are unloaded.)
ModuleHandle OpenControlModule(const std::string& path, std::string* error) {
    ModuleHandle handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    if (!handle && error) {
        const char* text = dlerror();
        *error = text ? text : ("cannot load " + path);
    }
    return handle;
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, InProcessFactory> inProcess;
    // Loaded control modules by path; closing the handles at exit does not unmap them.
    std::map<std::string, ModuleHandle> modules;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

std::optional<int> CallDllRegisterServer(const std::string& modulePath) {
    DynamicLibrary module;
    if (!module.Load(modulePath)) return std::nullopt;
    auto fn = module.Symbol<DllRegisterServerFn>(kRegisterServerSymbol);
    if (!fn) return std::nullopt;
    return fn();
}

void RegisterInProcessControl(const std::string& classId, InProcessFactory factory) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const std::string key = UpperClassId(classId);
    if (factory)
        registry.inProcess[key] = std::move(factory);
    else
        registry.inProcess.erase(key);
}

// --- ControlSite ------------------------------------------------------------------------------

ControlSite::~ControlSite() { Destroy(); }

void ControlSite::Destroy() {
    if (IsCreated()) {
        control_->SetEventSink(nullptr);
        delete object_.data();
    }
    object_.clear();
    control_ = nullptr;
}

bool ControlSite::Create(const std::string& classId, QWidget* parent,
                         const std::vector<uint8_t>& propertyBlock) {
    Destroy();
    lastError_.clear();
    const std::string key = UpperClassId(classId);
    IHostedControl* control = nullptr;

    InProcessFactory inProcess;
    VxCreateControlFn factory = nullptr;
    {
        Registry& registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        auto found = registry.inProcess.find(key);
        if (found != registry.inProcess.end()) inProcess = found->second;
    }
    if (inProcess) {
        control = inProcess(parent, propertyBlock);
    } else {
        const std::optional<std::string> path = LookupControlClass(classId);
        if (!path) {
            lastError_ = "class " + classId + " is not registered";
            return false;
        }
        Registry& registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        auto loaded = registry.modules.find(*path);
        if (loaded == registry.modules.end()) {
            ModuleHandle module = OpenControlModule(*path, &lastError_);
            if (!module) return false;
            loaded = registry.modules.emplace(*path, std::move(module)).first;
        }
        factory =
            reinterpret_cast<VxCreateControlFn>(dlsym(loaded->second.get(), kCreateControlSymbol));
        if (!factory) {
            lastError_ = *path + " has no control factory";
            return false;
        }
    }
    if (factory) {
        control = factory(key.c_str(), parent, propertyBlock.data(), propertyBlock.size());
    }
    if (!control || !control->Object()) {
        lastError_ = "the module does not create class " + classId;
        return false;
    }
    control_ = control;
    object_ = control->Object();
    return true;
}

InvokeStatus ControlSite::Invoke(int dispatchId, InvokeKind kind, const VariantList& args,
                                 Variant* result) {
    if (!IsCreated()) return InvokeStatus::NoControl;
    Variant scratch;
    Variant* out = result ? result : &scratch;
    if (QThread::currentThread() == object_->thread())
        return control_->Invoke(dispatchId, kind, args, out);
    // A control lives on the GUI thread: a call from a worker (the decode job
    // loading its result) is carried out there while the worker waits, so by-reference
    // arguments and the result stay valid.
    InvokeStatus status = InvokeStatus::NoControl;
    IHostedControl* control = control_;
    QMetaObject::invokeMethod(
        object_.data(), [&] { status = control->Invoke(dispatchId, kind, args, out); },
        Qt::BlockingQueuedConnection);
    return status;
}

Variant ControlSite::CallMethod(int dispatchId, const VariantList& args) {
    Variant result;
    if (Invoke(dispatchId, InvokeKind::Method, args, &result) != InvokeStatus::Ok) return {};
    return result;
}

Variant ControlSite::GetProperty(int dispatchId) {
    Variant result;
    if (Invoke(dispatchId, InvokeKind::PropertyGet, {}, &result) != InvokeStatus::Ok) return {};
    return result;
}

InvokeStatus ControlSite::PutProperty(int dispatchId, const Variant& value) {
    return Invoke(dispatchId, InvokeKind::PropertyPut, {value}, nullptr);
}

void ControlSite::SetEventSink(IControlEvents* sink) {
    if (IsCreated()) control_->SetEventSink(sink);
}

std::vector<uint8_t> ControlSite::SaveProperties() const {
    if (!IsCreated()) return {};
    return control_->SaveProperties();
}

}  // namespace platform
