#include "burner/dib.h"

#include <QFile>
#include <QImageReader>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace burner {
namespace {

uint32_t Le32(const QByteArray& b, int at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
           static_cast<uint8_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t Le16(const QByteArray& b, int at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                   << 8);
}

// Whether a picture file holds all the data its header announces. The image readers fill the
// missing rest of a cut-off BMP or JPEG with blank or grey rows and still report success.
bool PictureFileComplete(QFile& file, const QByteArray& format) {
    const qint64 size = file.size();
    if (format == "bmp") {
        const QByteArray head = file.peek(34);
        if (head.size() < 26) return false;
        const uint32_t dataOffset = Le32(head, 10);
        const uint32_t headerSize = Le32(head, 14);
        qint64 width = 0, height = 0, bits = 0, compression = 0;
        if (headerSize == 12) {  // the old core header
            width = Le16(head, 18);
            height = Le16(head, 20);
            bits = Le16(head, 24);
        } else if (headerSize >= 40 && head.size() == 34) {
            width = static_cast<int32_t>(Le32(head, 18));
            height = static_cast<int32_t>(Le32(head, 22));
            bits = Le16(head, 28);
            compression = Le32(head, 30);
        } else {
            return false;
        }
        // Run-length data has no fixed size; the reader checks it as it goes.
        if (compression != 0 && compression != 3) return true;
        const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
        return size >= static_cast<qint64>(dataOffset) + rowBytes * std::abs(height);
    }
    if (format == "jpeg" || format == "jpg") {
        // The end-of-image marker, possibly followed by a little padding.
        const qint64 tail = std::min<qint64>(size, 4096);
        if (!file.seek(size - tail)) return false;
        const QByteArray end = file.read(tail);
        file.seek(0);
        return end.contains(QByteArray("\xff\xd9", 2));
    }
    return true;
}

}  // namespace

bool CDib::Attach(QImage image) {
    if (image.isNull()) return false;
    image_ = std::move(image);
    info_ = {image_.width(), image_.height(), 1, image_.depth()};
    const QList<QRgb> table = image_.colorTable();
    palette_.assign(table.begin(), table.end());
    if (palette_.size() > 256) palette_.resize(256);
    return true;
}

QImage CDib::Detach() {
    QImage image = std::move(image_);
    image_ = QImage();
    info_ = {};
    palette_.clear();
    return image;
}

bool CDib::LoadFile(const std::string& path) { return Attach(ReadPictureFile(path)); }

QImage ReadPictureFile(const std::string& path) {
    // Only regular files are read: a named pipe would wait for a writer, a device for ever.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {};

    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    if (!PictureFileComplete(file, reader.format())) return {};
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return {};
    if (static_cast<long long>(size.width()) * size.height() > CDib::kMaxPixels) return {};
    if (size.width() > CDib::kMaxKeptSide || size.height() > CDib::kMaxKeptSide) {
        // JPEG decodes straight at the smaller size; other formats are scaled after decoding.
        reader.setScaledSize(
            size.scaled(CDib::kMaxKeptSide, CDib::kMaxKeptSide, Qt::KeepAspectRatio));
    }
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}

}  // namespace burner
