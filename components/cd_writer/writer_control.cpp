#include "components/cd_writer/writer_control.h"

namespace cd_writer {

WriterControl::WriterControl(RecorderSource recorders) : platform::ControlBase(this) {
    engine_ = std::make_unique<WriterEngine>(
        std::move(recorders),
        [this](int eventId, platform::VariantList args) { Fire(eventId, std::move(args)); });
}

// The engine goes first: its worker fires events through this control.
WriterControl::~WriterControl() { engine_.reset(); }

platform::InvokeStatus WriterControl::Invoke(int dispatchId, platform::InvokeKind kind,
                                             const platform::VariantList& args,
                                             platform::Variant* result) {
    return engine_->Invoke(dispatchId, kind, args, result);
}

std::vector<uint8_t> WriterControl::SaveProperties() const {
    constexpr int kExtent = 16;
    return {kExtent, 0, kExtent, 0};
}

}  // namespace cd_writer
