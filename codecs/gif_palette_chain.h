#pragma once
// The frames of an animated GIF that share one palette, and the order in which frames pass the
// steps that depend on the frame before them. A best-quality palette is chosen for the first
// frame of a run of alike frames (a key frame) and reused by the frames after it for as long
// as their colours stay like the key frame's: consecutive frames of one shot are quantised
// once and only remapped, and a smaller file then finds the unchanged pixels with the same
// colours as before. Which frames are key frames depends only on the pictures, never on the
// threads, so the file does not either.

#include <QImage>
#include <QRgb>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace codecs {

// Lets frames 0, 1, 2, ... through one step in their order, each once.
class TFrameTurns {
public:
    // Holds frame index's turn from Enter() until Leave() or until it goes, whatever happens
    // in between, so no later frame waits for ever.
    class TTurn {
    public:
        TTurn(TFrameTurns& turns, int index) : FTurns(turns), FIndex(index) {}
        ~TTurn();
        TTurn(const TTurn&) = delete;
        TTurn& operator=(const TTurn&) = delete;
        void Enter(); // waits until every frame before has gone through
        // Lets the next frame through (entering first if need be); at the latest when the
        // turn goes.
        void Leave();

    private:
        TFrameTurns& FTurns;
        int FIndex;
        bool FEntered = false, FLeft = false;
    };

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    int FNext = 0;
};

// The colours of a picture in brief: how many of every fourth pixel of every fourth row fall
// into each of 8 x 8 x 8 boxes of the RGB cube.
struct TColourSignature {
    std::array<std::uint32_t, 512> Boxes{};
    int Count = 0;
};
TColourSignature ColourSignatureOf(const QImage& image);
// The share of the pictures' pixels (0 to 1) that would have to move to another box to turn
// one signature into the other: 0 for the same colours, near 1 for other shots.
double SignatureDistance(const TColourSignature& a, const TColourSignature& b);

// The largest signature distance at which a frame keeps its key frame's palette. Measured on
// still, panning and hand-held camera clips and on a cut between two shots: a pan keeps far
// below it for a second or more, the cut lies far above it.
constexpr double SamePaletteDistance = 0.12;
// A frame whose nearest-colour error on the shared palette grows by more than this factor
// over the key frame's own (plus SameErrorSlack) takes a palette of its own after all.
constexpr double SameErrorFactor = 1.25;
constexpr double SameErrorSlack = 1.0;

// The palette of a key frame, handed to the frames that reuse it once it is chosen.
class TSharedPalette {
public:
    void Publish(std::vector<QRgb> palette, double error);
    // Marks the palette as never coming (the key frame failed); waiters then throw.
    void Abandon();
    // Waits for the palette; throws kw::EFcError when it was abandoned.
    void Wait(std::vector<QRgb>& palette, double& error);

private:
    std::mutex FMutex;
    std::condition_variable FReady;
    bool FDone = false, FAbandoned = false;
    std::vector<QRgb> FPalette;
    double FError = 0;
};

// Decides, frame after frame (inside the frame's turn), which key frame's palette it uses.
class TPaletteChain {
public:
    struct TChoice {
        std::shared_ptr<TSharedPalette> Palette;
        bool Key = false; // this frame chooses and publishes the palette
    };
    // The first frame is a key frame, and so is every frame whose signature is further
    // than SamePaletteDistance from its key frame's.
    TChoice Decide(const TColourSignature& signature);

private:
    std::shared_ptr<TSharedPalette> FKey;
    TColourSignature FKeySignature;
};

} // namespace codecs
