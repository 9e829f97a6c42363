#pragma once

// Watches what a plug-in does on the audio thread. Linking RealtimeProbe.cpp into a
// host test interposes malloc and its relatives, the pthread lock functions and the
// write and send system calls for the whole process; while a Window is open on a
// thread, each such call made on that thread is counted if the plug-in binary made it
// (directly or through a system library), so the host's own work, even when the
// plug-in calls the host back, is never counted. The
// counting itself allocates nothing and takes no lock. Sanitizer builds bring their own
// allocator, so there the probe reports itself unavailable.

#include <cstddef>
#include <string>

namespace rtprobe
{
struct Counts
{
    int allocations = 0;      // malloc, calloc, realloc, free, aligned allocations
    int locks = 0;            // pthread mutex, rwlock and spin lock acquisitions
    int distinctMutexes = 0;  // different lock objects among them (up to 64)
    int writes = 0;           // write, writev, send, sendto, sendmsg
};

// False in sanitizer builds, where nothing is interposed.
bool isAvailable() noexcept;

// The plug-in binary whose calls count: the loaded object whose path ends with this.
// Call after the plug-in is loaded; false when no such object is mapped.
bool watch (const std::string& binaryPathEnding);

// Counting on the calling thread while it exists; windows add up until reset().
class Window final
{
public:
    Window() noexcept;
    ~Window();
    Window (const Window&) = delete;
    Window& operator= (const Window&) = delete;
};

// What the windows on every thread have counted since the last reset.
Counts counted() noexcept;

// The call stacks of the first events counted (for a failure message); not real-time.
std::string describe();
void reset() noexcept;
} // namespace rtprobe
