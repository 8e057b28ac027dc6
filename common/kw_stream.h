#pragma once
// A growable in-memory byte stream with a position. Clear() keeps the memory, so one stream
// reused for every grab allocates only once.

#include <cstdint>
#include <cstring>
#include <vector>

namespace kw {

class TMemoryStream {
public:
    // Size 0, position 0; the capacity stays.
    void Clear() {
        FSize = 0;
        FPosition = 0;
    }
    std::int64_t Size() const { return FSize; }
    std::int64_t Position() const { return FPosition; }
    void SetPosition(std::int64_t position) {
        FPosition = position < 0 ? 0 : (position > FSize ? FSize : position);
    }
    const std::uint8_t* Data() const { return FData.data(); }

    // Makes room for n bytes at the position and returns where to write them; the position
    // moves past them and the size grows as needed.
    std::uint8_t* Extend(std::int64_t n) {
        const std::int64_t end = FPosition + n;
        if (end > std::int64_t(FData.size()))
            FData.resize(std::size_t(end));
        std::uint8_t* at = FData.data() + FPosition;
        FPosition = end;
        if (end > FSize)
            FSize = end;
        return at;
    }
    void Write(const void* data, std::int64_t n) {
        if (n > 0)
            std::memcpy(Extend(n), data, std::size_t(n));
    }
    // Reads up to n bytes from the position; returns how many were read.
    std::int64_t Read(void* data, std::int64_t n) {
        const std::int64_t count = n < FSize - FPosition ? n : FSize - FPosition;
        if (count <= 0)
            return 0;
        std::memcpy(data, FData.data() + FPosition, std::size_t(count));
        FPosition += count;
        return count;
    }

private:
    std::vector<std::uint8_t> FData;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
};

} // namespace kw
