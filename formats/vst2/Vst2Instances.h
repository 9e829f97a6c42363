#pragma once

// What the VST2 entry layer keeps per effect, and the table that finds it from the
// AEffect* every host call carries. The effect record belongs to JUCE's wrapper and
// its spare fields belong to the host, so nothing of ours can live in it: a fixed,
// statically allocated open-addressing table maps the pointer to our instance
// instead. Lookups are lock-free and allocate nothing, so the audio thread can use
// them; entries are added and removed only on the threads that create and close.

#include "formats/vst2/Vst2SavedChunks.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace juce { class AudioProcessor; }

namespace Vst2
{
#include "pluginterfaces/vst2.x/aeffect.h"
#include "pluginterfaces/vst2.x/aeffectx.h"
} // namespace Vst2

namespace dunskara::vst2
{
constexpr int maxChannels = 8;
constexpr int defaultBlockSize = 1024;      // JUCE's wrapper assumes this until told
constexpr int maxBlockSize = 1 << 16;       // longer blocks still run, in pieces

// Copies of the inputs and stand-ins for outputs the host left out or shared: one
// block of each channel.
template <typename Sample>
struct Scratch final
{
    std::vector<Sample> inputs, outputs;
    int blockSize = 0;

    Sample* input (int channel) noexcept  { return inputs.data() + (std::size_t) channel * (std::size_t) blockSize; }
    Sample* output (int channel) noexcept { return outputs.data() + (std::size_t) channel * (std::size_t) blockSize; }
};

struct Instance final
{
    // JUCE's own functions, which ours sit in front of.
    Vst2::AEffectDispatcherProc dispatcher = nullptr;
    Vst2::AEffectProcessProc processReplacing = nullptr;
    Vst2::AEffectProcessDoubleProc processDoubleReplacing = nullptr;
    Vst2::AEffectProcessProc process = nullptr;

    juce::AudioProcessor* processor = nullptr;  // owned by JUCE's wrapper
    int numInputs = 0, numOutputs = 0;

    int announcedBlockSize = defaultBlockSize;  // from effSetBlockSize, sanitised
    int blockSize = 0;                          // the prepared size while resumed

    std::atomic<bool> resumed { false };        // audio may reach JUCE only while set
    Scratch<float> floats;
    Scratch<double> doubles;

    SavedChunks savedChunks;                    // host threads only

    template <typename Sample> Scratch<Sample>& scratch() noexcept;
};

template <> inline Scratch<float>&  Instance::scratch<float>() noexcept  { return floats; }
template <> inline Scratch<double>& Instance::scratch<double>() noexcept { return doubles; }

// A table entry. `busy` counts audio callbacks inside the entry, so that closing or
// re-preparing can wait for them to leave (the audio thread itself never waits).
struct Slot final
{
    std::atomic<Vst2::AEffect*> effect { nullptr };
    std::atomic<Instance*> instance { nullptr };
    std::atomic<int> busy { 0 };
    std::atomic<void*> audioThread { nullptr };  // the thread of the latest audio callback
};

// Null when the effect is not ours (or already closed), or the table is full.
Slot* findSlot (Vst2::AEffect* effect) noexcept;
Slot* addInstance (Vst2::AEffect* effect, Instance* instance) noexcept;
// Marks the slot free; the instance is the caller's to delete.
void removeInstance (Slot& slot) noexcept;

// Brackets each audio callback: enterAudio gives the live instance or null, and
// leaveAudio must follow either way.
Instance* enterAudio (Slot& slot, Vst2::AEffect* effect) noexcept;
void leaveAudio (Slot& slot) noexcept;

// Waits until no audio callback is inside the slot. False, without waiting, when the
// calling thread is itself inside one (a host calling back into us from audio).
bool waitForAudioToLeave (Slot& slot) noexcept;
} // namespace dunskara::vst2
