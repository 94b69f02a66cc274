// The CD-writer control's widget: a 16 x 16 disc picture that hosts the writer engine and hands
// its events to the host's sink on the GUI thread.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "components/cd_writer/writer_engine.h"
#include "platform/control_host.h"

namespace cd_writer {

class WriterControl : public QWidget, public platform::ControlBase {
    Q_OBJECT
  public:
    WriterControl(QWidget* parent, RecorderSource recorders);
    ~WriterControl() override;

    platform::InvokeStatus Invoke(int dispatchId, platform::InvokeKind kind,
                                  const platform::VariantList& args,
                                  platform::Variant* result) override;
    // The control keeps no state between sessions: its block is its extent.
    std::vector<uint8_t> SaveProperties() const override;

    WriterEngine& engine() { return *engine_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::unique_ptr<WriterEngine> engine_;
};

}  // namespace cd_writer
