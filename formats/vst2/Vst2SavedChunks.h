#pragma once

// The buffers that effGetChunk hands to hosts. Hosts save from several threads at once
// (an autosave in the background while the user saves a preset), and each saving
// thread copies the bytes only after the call has returned. So every saving thread
// gets a buffer of its own, which nothing but that thread's next save touches; all are
// freed with the effect.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace dunskara::vst2
{
class SavedChunks final
{
public:
    // Copies the bytes into the calling thread's buffer and returns it; null when
    // memory runs out. Call with `lock` held.
    const unsigned char* keepForThisThread (const unsigned char* data, std::size_t size) noexcept;

    // Serialises one effect's chunk saves and loads, and guards the buffers. Held only
    // around calls that never call back into the host, never on the audio thread.
    std::mutex lock;

private:
    struct Buffer
    {
        std::thread::id owner;           // none while the buffer is unused
        std::vector<unsigned char> bytes;
        std::uint64_t lastSave = 0;      // 0 while unused
    };

    // A host that saves from ever new threads must not make this grow without end:
    // when all are taken, the thread that saved least recently gives up its buffer.
    static constexpr std::size_t maxThreads = 64;

    Buffer& bufferForThisThread() noexcept;

    std::array<Buffer, maxThreads> buffers;
    std::uint64_t saves = 0;
};
} // namespace dunskara::vst2
