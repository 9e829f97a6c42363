#pragma once

#include "formats/common/JuceRuntime.h"
#include "formats/lv2/Lv2Ports.h"
#include "plugin/VarnocAudioProcessor.h"

#include "lv2/core/lv2.h"
#include "lv2/urid/urid.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace dunskara::lv2
{
class UiInstance;

// One LV2 plug-in instance around one processor; the LV2_Handle hosts hold points here.
//
// Parameters are control input ports whose values the host owns. run() compares each
// connected port with the value it last saw there and hands a changed value to the
// processor (setParameter) before the block, so it applies from the block's first
// sample. A restore replaces the processor's values and takes the ports' values at that
// moment as seen: a port overrides restored state only when the host changes it later.
//
// Threads: run() on the host's audio thread; state save on any thread, also during
// run(); everything else on the host's main thread, never during run(). The processor
// is created and deleted on JUCE's message thread (JuceRuntime).
struct Instance final
{
    Instance();
    ~Instance();

    // The instance behind a host's handle, or null for null or a foreign pointer.
    static Instance* from (void* handle) noexcept;

    // Takes the host's current port values as seen, without applying them; a parameter
    // port not connected yet takes whatever it holds when run() first sees it.
    void adoptPortValues() noexcept;

    static constexpr uint32_t tag = 0x4c76324b;
    const uint32_t magic = tag;

    std::unique_ptr<juce::SharedResourcePointer<format::JuceRuntime>> runtime;
    std::unique_ptr<VarnocAudioProcessor> processor;

    // URIDs of the state keys and the atom types they use; without the host's URID map
    // there are none, and no state.
    LV2_URID stringType = 0, intType = 0, stateKey = 0, programKey = 0;
    bool hasState = false;

    // Audio: both channels of the prepared length, in which the processor works.
    double sampleRate = 44100.0;
    int preparedFrames = 0;
    std::vector<float> workBuffer;
    juce::MidiBuffer noMidi;

    // The host's buffers, null until connected. Only the main thread connects, and never
    // during run(); the state functions only read them.
    const float* audioIn[2] {};
    float* audioOut[2] {};
    std::atomic<const float*> parameterPorts[params::numParameters] {};
    float* meterPorts[2 * params::numBands] {};
    float* latencyOut = nullptr;

    // Per parameter: the port value last seen (NaN: none yet, so the first is applied),
    // and whether the next value seen is only to be remembered (after a restore that
    // found the port unconnected).
    std::atomic<float> seenValues[params::numParameters];
    std::atomic<std::uint64_t> adoptNextValue { 0 };

    // The UI open on this instance (instance-access), if any. A host that frees the
    // instance first gets that UI's editor closed before the processor goes.
    std::atomic<UiInstance*> openUi { nullptr };

    JUCE_DECLARE_NON_COPYABLE (Instance)
};

// The descriptor's functions for ports and audio (Lv2Run.cpp) and the state interface
// (Lv2State.cpp).
void connectPort (LV2_Handle handle, uint32_t port, void* data);
void run (LV2_Handle handle, uint32_t numFrames);
void activate (LV2_Handle handle);
void deactivate (LV2_Handle handle);
const void* stateInterface() noexcept;
} // namespace dunskara::lv2
