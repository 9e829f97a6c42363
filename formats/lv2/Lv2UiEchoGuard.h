#pragma once

#include "plugin/ParameterTable.h"

#include <array>
#include <chrono>
#include <cstddef>

namespace dunskara::lv2
{
// Tells a host's echoes of the editor's own writes from values the host sets itself.
// Hosts send every value a UI writes back through port_event, some of them late: the
// value the plug-in held when the host next looked, which during a drag is an older
// one. Applied, such an echo would make the editor jump back. So, per parameter: while
// the host holds a gesture of ours (touch given, release not yet) the host's values are
// ignored, and after our last write or release the values we wrote are recognised as
// echoes for a while. A value we never wrote, or one that comes after that while, is the host's own.
// UI thread only.
class EchoGuard final
{
public:
    using Clock = std::chrono::steady_clock;

    // How long after our last write or release the echoes may still arrive.
    static constexpr std::chrono::milliseconds settleTime { 1000 };
    // How many of a parameter's latest writes are recognised.
    static constexpr std::size_t remembered = 64;

    // A gesture's begin or end went to the host.
    void touched (int index, bool grabbed, Clock::time_point now) noexcept;
    // A value went to the host.
    void wrote (int index, float value, Clock::time_point now) noexcept;

    // Whether a value the host sends for the parameter must be left alone. A value that
    // is applied ends the recognition of older writes: the host has taken over.
    bool isEcho (int index, float value, Clock::time_point now) noexcept;

    bool isGrabbed (int index) const noexcept;

private:
    struct Track
    {
        bool grabbed = false;
        Clock::time_point lastSent {}; // our last write or release
        std::array<float, remembered> values {};
        std::size_t count = 0, next = 0;
        float latest = 0.0f;
    };

    std::array<Track, params::numParameters> tracks {};
};
} // namespace dunskara::lv2
