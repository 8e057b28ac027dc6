#pragma once
// Small helpers shared by the encoders: whole-file writes and RGB rows of any picture.

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace codecs {

// Replaces the file at path with the bytes, through a new file renamed over the old one
// where the folder allows it, so a failed write leaves the old file whole. Throws
// kw::EFcError naming the file when it cannot be created or written.
void WriteWholeFile(const QString& path, const char* data, std::int64_t size);
inline void WriteWholeFile(const QString& path, const QByteArray& bytes) {
    WriteWholeFile(path, bytes.constData(), bytes.size());
}
// The same for a file made of pieces, written one after the other without joining them first.
void WriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces);

// The rows of a picture as R, G, B bytes (24 bits a pixel). A Format_RGB888 picture is read
// in place; 32-bit rows are converted one at a time; other formats are converted once.
class TRgbRows {
public:
    explicit TRgbRows(const QImage& image);
    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }
    // Row y; the pointer stays valid until the next call.
    const std::uint8_t* Row(int y);

private:
    QImage FImage;
    bool FDirect = false;
    std::vector<std::uint8_t> FRow;
};

} // namespace codecs
