#include "codecs/gif_palette_chain.h"

#include "codecs/codec_io.h"
#include "common/kw_guard.h"

#include <cstdlib>

namespace codecs {

TFrameTurns::TTurn::~TTurn() {
    Leave();
}

void TFrameTurns::TTurn::Leave() {
    if (FLeft)
        return;
    if (!FEntered)
        Enter();
    FLeft = true;
    {
        std::lock_guard lock(FTurns.FMutex);
        FTurns.FNext = FIndex + 1;
    }
    FTurns.FChanged.notify_all();
}

void TFrameTurns::TTurn::Enter() {
    std::unique_lock lock(FTurns.FMutex);
    FTurns.FChanged.wait(lock, [&] { return FTurns.FNext == FIndex; });
    FEntered = true;
}

TColourSignature ColourSignatureOf(const QImage& image) {
    TColourSignature signature;
    TRgbRows rows(image);
    for (int y = 0; y < rows.Height(); y += 4) {
        const std::uint8_t* s = rows.Row(y);
        for (int x = 0; x < rows.Width(); x += 4, s += 12) {
            ++signature.Boxes[std::size_t((s[0] >> 5) << 6 | (s[1] >> 5) << 3 | (s[2] >> 5))];
            ++signature.Count;
        }
    }
    return signature;
}

double SignatureDistance(const TColourSignature& a, const TColourSignature& b) {
    if (a.Count == 0 || b.Count == 0)
        return a.Count == b.Count ? 0.0 : 1.0;
    double moved = 0;
    for (std::size_t i = 0; i < a.Boxes.size(); ++i)
        moved += std::abs(double(a.Boxes[i]) / a.Count - double(b.Boxes[i]) / b.Count);
    return moved / 2;
}

void TSharedPalette::Publish(std::vector<QRgb> palette, double error) {
    {
        std::lock_guard lock(FMutex);
        FPalette = std::move(palette);
        FError = error;
        FDone = true;
    }
    FReady.notify_all();
}

void TSharedPalette::Abandon() {
    {
        std::lock_guard lock(FMutex);
        FAbandoned = true;
    }
    FReady.notify_all();
}

void TSharedPalette::Wait(std::vector<QRgb>& palette, double& error) {
    std::unique_lock lock(FMutex);
    FReady.wait(lock, [&] { return FDone || FAbandoned; });
    if (!FDone)
        throw kw::EFcError(QStringLiteral("The palette of an earlier frame could not be made"));
    palette = FPalette;
    error = FError;
}

TPaletteChain::TChoice TPaletteChain::Decide(const TColourSignature& signature) {
    if (FKey && SignatureDistance(signature, FKeySignature) <= SamePaletteDistance)
        return {FKey, false};
    FKey = std::make_shared<TSharedPalette>();
    FKeySignature = signature;
    return {FKey, true};
}

} // namespace codecs
