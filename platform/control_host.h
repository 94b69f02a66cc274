// Hosting of outside controls.
//
// A control lives in a module (a shared library in the system directory) that exports two C
// functions: `DllRegisterServer`, which records the module's class ids in the per-user control
// registry, and `VxCreateControl`, the factory. The host creates a control by class id and talks
// to it only through `Invoke(dispatch id, kind, arguments) -> Variant`; the control reports back
// through an event sink whose `OnEvent` always runs on the GUI thread.
//
// A control is a QObject. A control with a window is a QWidget that its parent widget owns; a
// control without one (the CD writer) is owned by its site. A ControlSite keeps a guarded pointer
// and reports a control destroyed with its parent as gone instead of calling into freed memory.
// Modules that have created a control stay loaded for the rest of the process: the controls' code
// and virtual tables live in them.
//
// The contract needs Qt Core only: widgets appear as pointers, so the command line and control
// modules without a window (they link no Qt Widgets) use it as the window programs do.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

class QWidget;

namespace platform {

// An automation value: empty, a 32-bit integer, a double, a text, a boolean, or a 32-bit integer
// passed by reference (an out-parameter the callee fills, as GetSelection does).
class Variant {
  public:
    Variant() = default;
    Variant(int32_t value) : value_(value) {}
    Variant(double value) : value_(value) {}
    Variant(bool value) : value_(value) {}
    Variant(std::string value) : value_(std::move(value)) {}
    Variant(const char* value) : value_(std::string(value ? value : "")) {}
    Variant(int32_t* ref) : value_(ref) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsInt() const { return std::holds_alternative<int32_t>(value_); }
    bool IsDouble() const { return std::holds_alternative<double>(value_); }
    bool IsBool() const { return std::holds_alternative<bool>(value_); }
    bool IsString() const { return std::holds_alternative<std::string>(value_); }
    bool IsIntRef() const { return std::holds_alternative<int32_t*>(value_) && IntRef(); }

    // Conversions as automation coerces: numbers and booleans into each other (true is -1 as an
    // integer), a text of digits into a number; anything else gives 0 / false / "".
    int32_t ToInt() const;
    double ToDouble() const;
    bool ToBool() const;
    std::string ToString() const;

    // The referenced integer of a by-reference value; null for any other kind.
    int32_t* IntRef() const;
    // Stores `value` through a by-reference value; returns false when this is not one.
    bool SetRef(int32_t value) const;

    bool operator==(const Variant& other) const { return value_ == other.value_; }

  private:
    std::variant<std::monostate, int32_t, double, bool, std::string, int32_t*> value_;
};

using VariantList = std::vector<Variant>;

enum class InvokeKind { Method, PropertyGet, PropertyPut };

// Result codes of Invoke, as the automation interfaces return them.
enum class InvokeStatus {
    Ok = 0,
    UnknownDispatchId,  // no member with this id
    BadArguments,       // wrong count or kind of arguments
    NotSupported,       // the member exists but not in this kind (a put on a read-only property)
    NoControl,          // the site has no (living) control
};

// Receives a control's events. OnEvent runs on the GUI thread.
class IControlEvents {
  public:
    virtual ~IControlEvents() = default;
    virtual void OnEvent(int dispatchId, const VariantList& args) = 0;
};

// What a control module's factory returns: the control object and its dispatch interface.
class IHostedControl {
  public:
    virtual ~IHostedControl() = default;

    // The control itself: its thread is where it is called, its deletion ends it.
    virtual QObject* Object() = 0;
    // Its window; null for a control without one.
    virtual QWidget* Widget() = 0;
    // Calls member `dispatchId`. For PropertyPut the new value is the last argument. Out
    // parameters are by-reference variants in `args`.
    virtual InvokeStatus Invoke(int dispatchId, InvokeKind kind, const VariantList& args,
                                Variant* result) = 0;
    // Installs the sink that receives events (null: none). The sink must outlive the control or
    // be removed before it goes.
    virtual void SetEventSink(IControlEvents* sink) = 0;
    // The control's persistent properties in the same layout it was created from.
    virtual std::vector<uint8_t> SaveProperties() const = 0;
};

// Base for controls: keeps the sink and fires events on the GUI thread. Fire may be called
// from any thread; from a worker the event is queued to the GUI thread and dropped when the
// control is gone by then. Events fired from the GUI thread are delivered at once.
// `self` is the control: a QWidget for a control with a window, another QObject for one without.
class ControlBase : public IHostedControl {
  public:
    template <typename Self>
    explicit ControlBase(Self* self) : self_(self) {
        if constexpr (std::is_base_of_v<QWidget, Self>) widget_ = self;
    }
    QObject* Object() override { return self_; }
    QWidget* Widget() override { return widget_; }
    void SetEventSink(IControlEvents* sink) override { sink_ = sink; }

  protected:
    void Fire(int dispatchId, VariantList args);
    bool HasEventSink() const { return sink_ != nullptr; }

  private:
    QObject* self_;
    QWidget* widget_ = nullptr;
    IControlEvents* sink_ = nullptr;
};

// --- The module interface ---------------------------------------------------------------------

// `extern "C" int DllRegisterServer()`: returns 0 on success.
using DllRegisterServerFn = int (*)();
// `extern "C" IHostedControl* VxCreateControl(classId, parent, block, blockSize)`: a new control
// of that class as a child of `parent` (a control without a window ignores it; `parent` may be
// null for one), set up from the persisted property block (which may be
// empty or of an older layout: the control falls back to its defaults), or null when the module
// does not make that class.
using VxCreateControlFn = IHostedControl* (*)(const char* classId, QWidget* parent,
                                              const uint8_t* block, size_t blockSize);
inline constexpr const char* kRegisterServerSymbol = "DllRegisterServer";
inline constexpr const char* kCreateControlSymbol = "VxCreateControl";

// Result codes of DllRegisterServer.
inline constexpr int kRegisterOk = 0;
inline constexpr int kRegisterFailed = 1;

// --- The per-user control registry ------------------------------------------------------------

// The registry file: $XDG_CONFIG_HOME/vexmor/controls.ini, shared by both programs. Section
// "CLSID" maps a class id (compared case-insensitively, braces included) to a module path.
std::string ControlRegistryPath();

// Records `classId` -> `modulePath`. False when the class id is malformed, the path is not
// absolute or too long for a profile value (it would be cut), or the file cannot be written.
bool RegisterControlClass(const std::string& classId, const std::string& modulePath);
// The module registered for `classId`, or nullopt.
std::optional<std::string> LookupControlClass(const std::string& classId);
bool UnregisterControlClass(const std::string& classId);

// A class id of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} with hexadecimal digits.
bool IsValidClassId(const std::string& classId);

// Path of the module (shared library or program) that holds `address`; used by a module's
// DllRegisterServer to name itself. Empty when unknown.
std::string ModulePathOf(const void* address);

// Loads `modulePath`, calls its DllRegisterServer when it exports one and unloads it again.
// Returns the function's result, or nullopt when the module does not load or has no such export.
std::optional<int> CallDllRegisterServer(const std::string& modulePath);

// Factories registered inside the running process (tests' fake controls; controls linked into a
// program). They take precedence over the registry. Passing an empty function removes one.
using InProcessFactory =
    std::function<IHostedControl*(QWidget* parent, const std::vector<uint8_t>& block)>;
void RegisterInProcessControl(const std::string& classId, InProcessFactory factory);

// --- The host side ----------------------------------------------------------------------------

// One hosted control: created by class id, reached by dispatch id, receiving events.
class ControlSite {
  public:
    ControlSite() = default;
    ~ControlSite();
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // Creates the control of `classId` as a child of `parent` (null: for a control without a
    // window, which the site then owns). False (and no control) when the class is not
    // registered, its module does not load or lacks the factory, or the factory refuses the
    // class. A control created before is destroyed first.
    bool Create(const std::string& classId, QWidget* parent,
                const std::vector<uint8_t>& propertyBlock = {});
    // Destroys the control (when it still lives).
    void Destroy();

    // True while the control exists (its parent may have destroyed it).
    bool IsCreated() const { return !object_.isNull() && control_ != nullptr; }
    // The control's window; null for a control without one or when there is no control.
    QWidget* Widget() const { return IsCreated() ? control_->Widget() : nullptr; }
    // The reason the last Create failed, for the host's error message.
    const std::string& LastError() const { return lastError_; }

    // Calls the control. From a thread other than the GUI thread the call is carried out on
    // the GUI thread while the caller waits; the GUI thread must not be waiting for the caller.
    InvokeStatus Invoke(int dispatchId, InvokeKind kind, const VariantList& args,
                        Variant* result = nullptr);
    // Shorthands that return an empty variant on failure.
    Variant CallMethod(int dispatchId, const VariantList& args = {});
    Variant GetProperty(int dispatchId);
    InvokeStatus PutProperty(int dispatchId, const Variant& value);

    void SetEventSink(IControlEvents* sink);
    std::vector<uint8_t> SaveProperties() const;

  private:
    IHostedControl* control_ = nullptr;
    QPointer<QObject> object_;
    std::string lastError_;
};

}  // namespace platform
