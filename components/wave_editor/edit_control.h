// The wave-editor control: a widget that shows a WAV file, lets the user mark a part of it with
// the mouse and shows the play cursor; hosts reach it by dispatch id (wave_edit_dispids.h).
#pragma once

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "components/wave_editor/wave_format.h"
#include "components/wave_editor/wave_overview.h"
#include "components/wave_editor/wave_properties.h"
#include "components/wave_editor/wave_renderer.h"
#include "components/wave_editor/wave_selection.h"
#include "platform/control_host.h"

namespace wave_editor {

class WaveEditControl : public QWidget, public platform::ControlBase {
    Q_OBJECT

  public:
    WaveEditControl(QWidget* parent, const WaveEditProperties& properties);
    ~WaveEditControl() override;

    platform::InvokeStatus Invoke(int dispatchId, platform::InvokeKind kind,
                                  const platform::VariantList& args,
                                  platform::Variant* result) override;
    std::vector<uint8_t> SaveProperties() const override;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Ctrl+wheel zooms around the pointer; the wheel alone scrolls a zoomed view.
    void wheelEvent(QWheelEvent* event) override;
    // Handed to the host as the ContextMenu event while one listens.
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Background reading of one file; the GUI thread owns the object, the reader thread reads
    // the atomics.
    struct LoadJob {
        std::atomic<bool> cancel{false};
        std::atomic<int> percent{0};
        std::thread thread;
    };

    void LoadFile(const std::string& path);
    void Clear();
    void StopLoading();
    void LoadDone(const std::shared_ptr<LoadJob>& job, std::optional<WaveOverview> overview);
    void SetCursor(int32_t cursor);
    void NotifySelection();

    FrameScale Scale() const;
    int64_t FrameAtX(int x) const;
    int64_t GrabFrames() const;
    WaveView View() const;

    WaveEditProperties properties_;
    LoadState state_ = LoadState::Empty;
    std::string path_;
    std::string message_;
    WaveFormat format_;
    std::optional<WaveOverview> overview_;
    SelectionModel selection_;
    int32_t cursor_ = -1;  // cursor units, -1 none
    int32_t fadeInMs_ = 0;  // ramps drawn over the selection
    int32_t fadeOutMs_ = 0;
    ViewRange view_;       // frames in view; the whole sound after loading
    std::shared_ptr<LoadJob> job_;
    QTimer progressTimer_;
};

}  // namespace wave_editor
