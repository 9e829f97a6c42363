#include "formats/lv2/Lv2UiEchoGuard.h"

#include <algorithm>

namespace dunskara::lv2
{
void EchoGuard::touched (int index, bool grabbed, Clock::time_point now) noexcept
{
    if (! params::isValidIndex (index))
        return;
    auto& track = tracks[(std::size_t) index];
    track.grabbed = grabbed;
    track.lastSent = now;
}

bool EchoGuard::isGrabbed (int index) const noexcept
{
    return params::isValidIndex (index) && tracks[(std::size_t) index].grabbed;
}

void EchoGuard::wrote (int index, float value, Clock::time_point now) noexcept
{
    if (! params::isValidIndex (index))
        return;
    auto& track = tracks[(std::size_t) index];
    track.values[track.next] = value;
    track.next = (track.next + 1) % remembered;
    track.count = std::min (track.count + 1, remembered);
    track.latest = value;
    track.lastSent = now;
}

bool EchoGuard::isEcho (int index, float value, Clock::time_point now) noexcept
{
    if (! params::isValidIndex (index))
        return false;
    auto& track = tracks[(std::size_t) index];
    if (track.grabbed)
        return true;

    const auto first = track.values.begin();
    const bool ours = track.count > 0 && now - track.lastSent <= settleTime
                      && std::find (first, first + (std::ptrdiff_t) track.count, value) != first + (std::ptrdiff_t) track.count;

    // Our latest value coming back means the host has caught up: nothing older follows,
    // and applying it changes nothing.
    if (ours && value != track.latest)
        return true;
    track.count = 0;
    return false;
}
} // namespace dunskara::lv2
