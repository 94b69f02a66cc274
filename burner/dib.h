// The cover's background picture holder.
#pragma once

#include <QImage>
#include <QRgb>
#include <string>
#include <vector>

namespace burner {

// A picture with its description (width, height, planes, bits per pixel) and its palette. The
// palette is the picture's colour table when it has one (up to 256 entries); a true-colour
// picture has none and is drawn in the device's own colours.
class CDib {
  public:
    struct Description {
        int width = 0;
        int height = 0;
        int planes = 0;
        int bitsPerPixel = 0;
    };

    // Pictures with more pixels than this are refused before they are decoded: decoding one
    // would take seconds and hundreds of megabytes for a 12 cm square.
    static constexpr long long kMaxPixels = 50'000'000;
    // A picture is kept at most this many pixels wide and high: enough for a 12 cm square at
    // 600 dots per inch, reduced once when the picture is chosen.
    static constexpr int kMaxKeptSide = 3000;

    CDib() = default;

    // Takes `image`, releasing the previous picture and palette. A null image is refused and
    // leaves the previous picture.
    bool Attach(QImage image);
    // Gives the picture away; the holder is empty afterwards.
    QImage Detach();

    // Reads a picture file (BMP, PNG or JPEG). On success the picture replaces the held one;
    // a file that is missing, not a regular file, not a picture, truncated or too large leaves
    // the held picture as it was and returns false.
    bool LoadFile(const std::string& path);

    bool IsNull() const { return image_.isNull(); }
    const QImage& Image() const { return image_; }
    const Description& Info() const { return info_; }
    const std::vector<QRgb>& Palette() const { return palette_; }

  private:
    QImage image_;
    Description info_;
    std::vector<QRgb> palette_;
};

// Reads a picture file with the limits of CDib::LoadFile; a null image when it cannot be used.
QImage ReadPictureFile(const std::string& path);

}  // namespace burner
