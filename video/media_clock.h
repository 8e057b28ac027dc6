#pragma once
// TMediaClock: the player's media time in microseconds, running from a base on the system's
// steady clock, or standing. It has no lock of its own: the engine keeps it under its command
// lock, where the GUI thread (commands, the position), the player thread (pacing, seeks) and
// the sound device's callback (which leads it while sound plays) meet.

#include <chrono>
#include <cstdint>

namespace fcvideo {

struct TMediaClock {
    using TSteady = std::chrono::steady_clock;

    std::int64_t Base = 0;
    TSteady::time_point Wall = TSteady::now();
    bool Running = false;

    std::int64_t Now() const {
        if (!Running)
            return Base;
        return Base +
               std::chrono::duration_cast<std::chrono::microseconds>(TSteady::now() - Wall).count();
    }
    void Set(std::int64_t t) {
        Base = t;
        Wall = TSteady::now();
    }
    void Run() {
        if (!Running) {
            Wall = TSteady::now();
            Running = true;
        }
    }
    void Freeze() {
        if (Running) {
            Base = Now();
            Running = false;
        }
    }
};

} // namespace fcvideo
