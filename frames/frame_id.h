#pragma once
// A frame's identity: a 64-bit number handed out when the frame enters the list (grabbed,
// inserted from a picture file) and never handed out again while the program runs. It stays
// the frame's through moves, selection changes and edits, so that work which started on some
// frames (an output writing them) can find the same frames again when it ends, wherever they
// have moved, and knows which of them were deleted meanwhile. The list maps an identity back
// to the frame's position (TThumbnails::IndexOf). The null identity (0) names no frame.

#include <QtGlobal>

#include <compare>

class TFrameId {
public:
    constexpr TFrameId() = default;
    constexpr explicit TFrameId(quint64 value) : FValue(value) {}

    constexpr quint64 Value() const { return FValue; }
    constexpr bool IsNull() const { return FValue == 0; }
    friend constexpr auto operator<=>(TFrameId, TFrameId) = default;

private:
    quint64 FValue = 0;
};
