#include "formats/vst2/Vst2Instances.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <thread>

namespace dunskara::vst2
{
namespace
{
constexpr std::size_t tableBits = 12;
constexpr std::size_t tableSize = std::size_t { 1 } << tableBits;  // live instances at most

Slot table[tableSize];

// Marks a slot that held an effect once: lookups probe past it, additions reuse it.
Vst2::AEffect* removedMarker() noexcept
{
    static Vst2::AEffect marker {};
    return &marker;
}

std::size_t home (const Vst2::AEffect* effect) noexcept
{
    const auto bits = (std::uint64_t) reinterpret_cast<std::uintptr_t> (effect);
    return (std::size_t) ((bits * 0x9e3779b97f4a7c15ull) >> (64 - tableBits));
}
} // namespace

Slot* findSlot (Vst2::AEffect* effect) noexcept
{
    if (effect == nullptr)
        return nullptr;

    for (std::size_t probe = 0, i = home (effect); probe < tableSize; ++probe, i = (i + 1) & (tableSize - 1))
    {
        const auto* held = table[i].effect.load (std::memory_order_acquire);

        if (held == effect)
            return &table[i];

        if (held == nullptr)
            return nullptr;
    }

    return nullptr;
}

Slot* addInstance (Vst2::AEffect* effect, Instance* instance) noexcept
{
    for (std::size_t probe = 0, i = home (effect); probe < tableSize; ++probe, i = (i + 1) & (tableSize - 1))
    {
        for (auto* free : { (Vst2::AEffect*) nullptr, removedMarker() })
        {
            auto* expected = free;
            auto& slot = table[i];

            if (slot.busy.load() == 0 && slot.effect.compare_exchange_strong (expected, effect))
            {
                slot.instance.store (instance);
                return &slot;
            }
        }
    }

    return nullptr;
}

void removeInstance (Slot& slot) noexcept
{
    slot.instance.store (nullptr);
    slot.effect.store (removedMarker());
}

Instance* enterAudio (Slot& slot, Vst2::AEffect* effect) noexcept
{
    slot.audioThread.store (juce::Thread::getCurrentThreadId());
    slot.busy.fetch_add (1);

    // Checked again inside the bracket: the slot may have been closed meanwhile.
    if (slot.effect.load() != effect)
        return nullptr;

    return slot.instance.load();
}

void leaveAudio (Slot& slot) noexcept
{
    slot.busy.fetch_sub (1);
}

bool waitForAudioToLeave (Slot& slot) noexcept
{
    if (slot.busy.load() != 0 && slot.audioThread.load() == juce::Thread::getCurrentThreadId())
        return false;

    while (slot.busy.load() != 0)
        std::this_thread::yield();

    return true;
}
} // namespace dunskara::vst2
