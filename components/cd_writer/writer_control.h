// The CD-writer control: a control without a window (the module links no Qt Widgets) that hosts
// the writer engine and hands its events to the host's sink on the GUI thread. A host that shows
// the control draws its 16 x 16 disc picture itself.
#pragma once

#include <QObject>
#include <cstdint>
#include <vector>

#include "components/cd_writer/writer_engine.h"
#include "platform/control_host.h"

namespace cd_writer {

class WriterControl : public QObject, public platform::ControlBase {
    Q_OBJECT
  public:
    explicit WriterControl(RecorderSource recorders);
    ~WriterControl() override;

    platform::InvokeStatus Invoke(int dispatchId, platform::InvokeKind kind,
                                  const platform::VariantList& args,
                                  platform::Variant* result) override;
    // The control keeps no state between sessions: its block is its extent, 16 x 16.
    std::vector<uint8_t> SaveProperties() const override;

    WriterEngine& engine() { return *engine_; }

  private:
    std::unique_ptr<WriterEngine> engine_;
};

}  // namespace cd_writer
