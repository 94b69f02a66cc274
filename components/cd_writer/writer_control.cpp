#include "components/cd_writer/writer_control.h"

#include <QPainter>

namespace cd_writer {

WriterControl::WriterControl(QWidget* parent, RecorderSource recorders)
    : QWidget(parent), platform::ControlBase(this) {
    resize(16, 16);
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
    const int w = width(), h = height();
    return {static_cast<uint8_t>(w & 0xff), static_cast<uint8_t>(w >> 8),
            static_cast<uint8_t>(h & 0xff), static_cast<uint8_t>(h >> 8)};
}

void WriterControl::paintEvent(QPaintEvent*) {
    // A small disc: silver ring, a lighter sheen, the hole.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(QColor(90, 100, 130));
    p.setBrush(QColor(196, 204, 224));
    p.drawEllipse(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 240, 250));
    p.drawPie(r.adjusted(1, 1, -1, -1), 30 * 16, 60 * 16);
    p.setBrush(palette().window());
    const QPointF c = r.center();
    p.drawEllipse(c, r.width() / 7, r.height() / 7);
}

}  // namespace cd_writer
