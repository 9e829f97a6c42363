#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace dunskara::format
{
// The editor's gestures and values on their way to the host (CLAP: its output event
// list; LV2: the UI's port writes).
// Bounded and lock-free: any thread may push (the editor pushes on JUCE's message
// thread); one thread at a time pops, in process() or params.flush(), which the host
// never runs concurrently. After Dmitry Vyukov's bounded queue: each cell's sequence
// number says whether it is free for the writer at that position or full for the
// reader.
class EditorEventQueue final
{
public:
    enum class Kind : std::uint8_t { gestureBegin, value, gestureEnd };

    struct Event
    {
        Kind kind = Kind::value;
        std::uint32_t index = 0;
        double value = 0.0;
    };

    EditorEventQueue() noexcept
    {
        for (std::size_t i = 0; i < capacity; ++i)
            cells[i].sequence.store (i, std::memory_order_relaxed);
    }

    // False when full: the caller then records that values were dropped.
    bool push (const Event& event) noexcept
    {
        auto position = writePosition.load (std::memory_order_relaxed);
        for (;;)
        {
            auto& cell = cells[position & mask];
            const auto sequence = cell.sequence.load (std::memory_order_acquire);
            const auto lag = static_cast<std::intptr_t> (sequence) - static_cast<std::intptr_t> (position);
            if (lag == 0)
            {
                if (writePosition.compare_exchange_weak (position, position + 1, std::memory_order_relaxed))
                {
                    cell.event = event;
                    cell.sequence.store (position + 1, std::memory_order_release);
                    return true;
                }
            }
            else if (lag < 0)
                return false;
            else
                position = writePosition.load (std::memory_order_relaxed);
        }
    }

    // The oldest event, left in the queue; false when empty.
    bool peek (Event& event) const noexcept
    {
        const auto position = readPosition.load (std::memory_order_relaxed);
        const auto& cell = cells[position & mask];
        if (cell.sequence.load (std::memory_order_acquire) != position + 1)
            return false;
        event = cell.event;
        return true;
    }

    // Drops the event peek() gave.
    void pop() noexcept
    {
        const auto position = readPosition.load (std::memory_order_relaxed);
        cells[position & mask].sequence.store (position + capacity, std::memory_order_release);
        readPosition.store (position + 1, std::memory_order_relaxed);
    }

    static constexpr std::size_t capacity = 1024; // a power of two

private:
    static constexpr std::size_t mask = capacity - 1;

    struct Cell
    {
        std::atomic<std::size_t> sequence { 0 };
        Event event;
    };

    std::array<Cell, capacity> cells;
    alignas (64) std::atomic<std::size_t> writePosition { 0 };
    alignas (64) std::atomic<std::size_t> readPosition { 0 };
};
} // namespace dunskara::format
