#pragma once
// Small helpers shared by the encoders: the whole-file save and RGB rows of any picture.

#include "common/kw_savefile.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace codecs {

// The encoders save through the program's one whole-file save (common/kw_savefile.h).
using kw::WriteWholeFile;

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
