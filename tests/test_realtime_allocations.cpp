// processBlock must never touch the heap: counts every allocation made on the calling
// thread while a block is processed. The global operator new is replaced for this whole
// program, which is why it is a program of its own (and is not built with sanitizers,
// which bring their own allocator).
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace
{
thread_local bool counting = false;
thread_local int allocations = 0;

void* allocate (std::size_t size)
{
    if (counting)
        ++allocations;
    if (void* p = std::malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new (std::size_t size) { return allocate (size); }
void* operator new[] (std::size_t size) { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void operator delete (void* p) noexcept { std::free (p); }
void operator delete[] (void* p) noexcept { std::free (p); }
void operator delete (void* p, std::size_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept { std::free (p); }

namespace
{
int allocationsDuring (VarnocAudioProcessor& p, juce::AudioBuffer<float>& buffer)
{
    juce::MidiBuffer midi;
    allocations = 0;
    counting = true;
    p.processBlock (buffer, midi);
    counting = false;
    return allocations;
}

void fill (juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, 0.8f * std::sin (0.05f * (float) (i + 7 * c)));
}
} // namespace

TEST (RealTime, ProcessBlockNeverAllocates)
{
    for (const int inputs : { 2, 1 })
    {
        VarnocAudioProcessor p;
        p.setPlayConfigDetails (inputs, 2, 48000.0, 128);
        p.prepareToPlay (48000.0, 128);
        JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
        for (int band = 0; band < 3; ++band)
        {
            p.setParameter (params::bandIndex (band, params::thresh), 0.1f);
            p.setParameter (params::bandIndex (band, params::limonoff), 1.0f);
        }
        JUCE_END_IGNORE_WARNINGS_GCC_LIKE

        for (const int frames : { 128, 1, 77, 0, 1000 }) // 1000: longer than prepared
        {
            juce::AudioBuffer<float> buffer (2, frames);
            fill (buffer);
            for (int block = 0; block < 4; ++block) // covers the meters' publishing block
                EXPECT_EQ (allocationsDuring (p, buffer), 0) << inputs << " inputs, " << frames << " frames";
        }
    }
}

TEST (RealTime, SoloedBlocksNeverAllocate)
{
    VarnocAudioProcessor p;
    p.setPlayConfigDetails (2, 2, 48000.0, 128);
    p.prepareToPlay (48000.0, 128);
    juce::AudioBuffer<float> buffer (2, 300); // longer than prepared: several sections
    for (const unsigned mask : { 1u, 6u, 0u })
    {
        for (int band = 0; band < 3; ++band)
            p.setBandSolo (band, (mask >> band) & 1u);
        fill (buffer);
        EXPECT_EQ (allocationsDuring (p, buffer), 0) << "solo mask " << mask;
    }
}
