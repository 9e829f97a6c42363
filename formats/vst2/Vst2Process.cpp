// The audio side of the VST2 entry layer. JUCE's wrapper copies each input onto the
// output of the same index and processes there, trusting the host's pointers: a null
// array or channel is dereferenced, outputs sharing a buffer get a temporary of twice
// the prepared block size (allocated on the audio thread), and a longer block
// overruns it and the processor's work buffers. So JUCE is only ever handed
//  - inputs copied into our scratch space (silence for a missing one), which also
//    makes in-place and any input/output aliasing harmless;
//  - outputs that are distinct, non-null buffers: the host's where it gave a buffer
//    of its own, otherwise ours, copied to the host's afterwards;
//  - blocks no longer than the size it was prepared with; longer ones run in pieces.
// Before effMainsChanged(1) and after effMainsChanged(0) the host gets silence.

#include "formats/vst2/Vst2Process.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <new>

namespace dunskara::vst2
{
namespace
{
template <typename Sample>
void writeSilence (Sample** outputs, int numOutputs, int numFrames) noexcept
{
    if (outputs != nullptr)
        for (int c = 0; c < numOutputs; ++c)
            if (outputs[c] != nullptr)
                std::fill (outputs[c], outputs[c] + numFrames, Sample {});
}

// Whether output c's buffer overlaps one of an earlier output (hosts share one
// buffer for outputs they do not use).
template <typename Sample>
bool overlapsEarlierOutput (Sample* const* outputs, int c, int numFrames) noexcept
{
    const auto begin = [&] (int i) { return reinterpret_cast<std::uintptr_t> (outputs[i]); };
    const auto bytes = (std::uintptr_t) numFrames * sizeof (Sample);

    for (int j = 0; j < c; ++j)
        if (outputs[j] != nullptr && begin (c) < begin (j) + bytes && begin (j) < begin (c) + bytes)
            return true;

    return false;
}

template <typename Sample, bool accumulate, typename Inner>
void guardedProcess (Vst2::AEffect* effect, Sample** inputs, Sample** outputs, Vst2::VstInt32 numFrames,
                     Inner Instance::* inner) noexcept
{
    auto* slot = findSlot (effect);

    if (slot == nullptr || numFrames <= 0)
        return;

    auto* instance = enterAudio (*slot, effect);

    if (instance == nullptr)
    {
        leaveAudio (*slot);
        return;
    }

    const int numIn = instance->numInputs, numOut = instance->numOutputs;

    if (! instance->resumed.load() || instance->*inner == nullptr)
    {
        if (! accumulate)
            writeSilence (outputs, numOut, numFrames);

        leaveAudio (*slot);
        return;
    }

    auto& scratch = instance->scratch<Sample>();
    const int block = instance->blockSize;

    Sample* hostOut[maxChannels] {};
    bool viaScratch[maxChannels] {};

    for (int c = 0; c < numOut; ++c)
    {
        hostOut[c] = outputs != nullptr ? outputs[c] : nullptr;
        viaScratch[c] = hostOut[c] == nullptr || overlapsEarlierOutput (hostOut, c, numFrames);
    }

    Sample* in[maxChannels] {};
    Sample* out[maxChannels] {};

    for (int offset = 0; offset < numFrames; offset += block)
    {
        const int length = std::min (block, numFrames - offset);

        for (int c = 0; c < numIn; ++c)
        {
            in[c] = scratch.input (c);
            const Sample* source = inputs != nullptr ? inputs[c] : nullptr;

            if (source != nullptr)
                std::copy (source + offset, source + offset + length, in[c]);
            else
                std::fill (in[c], in[c] + length, Sample {});
        }

        for (int c = 0; c < numOut; ++c)
        {
            out[c] = viaScratch[c] ? scratch.output (c) : hostOut[c] + offset;

            if (accumulate && viaScratch[c])
                std::fill (out[c], out[c] + length, Sample {});
        }

        (instance->*inner) (effect, in, out, length);

        for (int c = 0; c < numOut; ++c)
        {
            if (! viaScratch[c] || hostOut[c] == nullptr)
                continue;

            auto* dest = hostOut[c] + offset;

            if (accumulate)
                std::transform (out[c], out[c] + length, dest, dest, std::plus<Sample>());
            else
                std::copy (out[c], out[c] + length, dest);
        }
    }

    leaveAudio (*slot);
}

template <typename Sample>
bool resize (Scratch<Sample>& scratch, const Instance& instance, int blockSize) noexcept
{
    try
    {
        scratch.inputs.assign ((std::size_t) std::max (1, instance.numInputs) * (std::size_t) blockSize, Sample {});
        scratch.outputs.assign ((std::size_t) std::max (1, instance.numOutputs) * (std::size_t) blockSize, Sample {});
        scratch.blockSize = blockSize;
        return true;
    }
    catch (const std::bad_alloc&)
    {
        scratch = {};
        return false;
    }
}
} // namespace

void processReplacing (Vst2::AEffect* effect, float** inputs, float** outputs, Vst2::VstInt32 numFrames)
{
    guardedProcess<float, false> (effect, inputs, outputs, numFrames, &Instance::processReplacing);
}

void processDoubleReplacing (Vst2::AEffect* effect, double** inputs, double** outputs, Vst2::VstInt32 numFrames)
{
    guardedProcess<double, false> (effect, inputs, outputs, numFrames, &Instance::processDoubleReplacing);
}

void processAccumulating (Vst2::AEffect* effect, float** inputs, float** outputs, Vst2::VstInt32 numFrames)
{
    guardedProcess<float, true> (effect, inputs, outputs, numFrames, &Instance::process);
}

bool prepareScratch (Instance& instance, int blockSize) noexcept
{
    if (instance.floats.blockSize == blockSize && instance.doubles.blockSize == blockSize)
        return true;

    return resize (instance.floats, instance, blockSize) && resize (instance.doubles, instance, blockSize);
}
} // namespace dunskara::vst2
