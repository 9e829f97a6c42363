#pragma once

#include "dsp/DspFilter.h"
#include "plugin/DynamicsUnit.h"
#include "plugin/ParameterTable.h"
#include "plugin/ProgramBank.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The processor that hosts talk to: identity, the 35 parameters, ten programs,
// the saved state and the three-band signal chain.
//
// Threads: processBlock runs on the audio thread under the callback lock; parameter,
// program and state calls come from host threads, and hosts may automate from the audio
// thread itself; the editor runs on the message thread. Every value that the signal
// chain reads and another thread writes is an atomic (relaxed is enough: each is an
// independent scalar picked up per block); each dynamics unit derives its coefficients
// as one set on the audio thread (see DynamicsUnit).
//
// setParameter is wait-free on every thread: it stores the value, applies it to the
// signal chain, marks it for the audio thread and counts the change for the editor,
// which polls the count. The audio thread re-applies every marked value from the live
// values at the start of its next block, so the signal chain always ends up in line
// with them whatever the threads did in between. The host's state operations (program
// change and rename, chunk save and load) are serialised among host and message threads
// by stateLock; the audio thread never takes it, and setParameter never waits for them
// (see beginStateChange).
class VarnocAudioProcessor final : public juce::AudioProcessor
{
public:
    VarnocAudioProcessor();
    ~VarnocAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int estimatedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;

    const juce::String getInputChannelName (int channelIndex) const override;
    const juce::String getOutputChannelName (int channelIndex) const override;
    bool isInputChannelStereoPair (int index) const override;
    bool isOutputChannelStereoPair (int index) const override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    bool acceptsMidi() const override;
    bool producesMidi() const override;
    double getTailLengthSeconds() const override;

    // The window lives in the editor library, which the processor does not know: whoever
    // builds a plug-in with a window (the format layers, a tool) installs its factory.
    // Without one, hosts get no editor.
    using EditorFactory = juce::AudioProcessorEditor* (*) (VarnocAudioProcessor&);
    static void setEditorFactory (EditorFactory factory) noexcept;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    //==============================================================================
    int getNumParameters() override;
    const juce::String getParameterName (int index) override;
    juce::String getParameterID (int index) override;
    float getParameter (int index) override;
    float getParameterDefaultValue (int index) override;
    const juce::String getParameterText (int index) override;
    void setParameter (int index, float newValue) override;
    // The limiter, band and master switches are shown by hosts as two-state switches;
    // every value above 0 still counts as on.
    bool isParameterDiscrete (int index) const override;
    int getParameterNumSteps (int index) override;

    //==============================================================================
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    //==============================================================================
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    // Applies the live value of parameter `index` to the signal chain and marks it for
    // the audio thread. Wait-free; the editor and the band panels call it after mirroring
    // a value into their controls.
    void applyParameter (int index) noexcept;

    // Band solo, for monitoring: while any band is soloed the output holds only the
    // soloed bands, each after its full processing, made up and fully wet (a soloed band
    // is heard even when its band switch is off: solo is about listening, the switch
    // about the mix). Not a parameter: never reported to the host, never saved, off in
    // a new instance. Wait-free on every thread; the audio thread reads it once per
    // section.
    void setBandSolo (int band, bool soloed) noexcept;
    bool isBandSoloed (int band) const noexcept;

    // Counts every change of a value, the program or the state: an open editor polls it
    // and re-reads the values when it moved.
    std::uint32_t getChangeCount() const noexcept { return changeCount.load (std::memory_order_acquire); }

    //==============================================================================
    // Parameters and programs. The live values are the current program's: its bank row
    // follows them, and state operations bring it fully in line before they use it.
    std::atomic<float> parameterValues[params::numParameters];
    std::atomic<int> currentProgram { 0 };
    std::unique_ptr<ProgramBank> programBank;
    std::unique_ptr<std::array<ParameterDescriptor, params::numParameters>> parameterDescriptors;

    // Signal chain: [0..2] stage 1 of the low, mid, high band; [3..5] stage 2.
    std::array<std::unique_ptr<DynamicsUnit>, 6> bandDynamics;

    // The values the signal chain reads.
    std::atomic<float> bandAddAmount[params::numBands];
    std::atomic<float> bandGain[params::numBands];
    std::atomic<float> outputGain { 1.0f };
    std::atomic<double> lowCrossoverHz { 300.0 };
    std::atomic<double> highCrossoverHz { 4500.0 };
    std::atomic<float> bandLevelMultiplier[params::numBands];

    // Band meters: bandLevel is published for the editor, the rest is audio-thread only.
    std::atomic<float> bandLevel[params::numBands][2];
    float bandLevelSum[params::numBands][2] {};
    int bandLevelBlocks[params::numBands] {};

    std::atomic<float> inputGain { 1.0f };
    std::atomic<float> finalMix { 1.0f };
    std::atomic<float> processingOn { 1.0f };

    Dsp::ButterLowPass<4, 1> lowSplitFilter[2];
    Dsp::ButterLowPass<4, 1> highSplitFilter[2];

    // Work arrays of the prepared block length: each band before stage 1, and after the
    // add/gain step (the input and output of stage 2). Null until prepareToPlay.
    float* bandCopy[params::numBands][2] {};
    float* bandMix[params::numBands][2] {};

private:
    //==============================================================================
    // Signal chain internals (audio thread).
    // The section's work arrays: the dry input after the input gain, and each band's
    // two channels, split and then processed in place by stage 1.
    struct WorkBuffers
    {
        using Bands = float* [params::numBands][2];
        float* dry[2] {};
        Bands bands {};
    };

    void processSection (float* const* io, int start, int n, bool monoInput);
    void copyIn (float* const (&out)[2], int n, bool monoInput) noexcept;
    void splitBands (int n) noexcept;
    void runBandStages (int n) noexcept;
    bool sumAndMix (float* const (&out)[2], int n) noexcept;
    void splitBand (Dsp::ButterLowPass<4, 1> (&pair)[2], double cutoff, double sampleRate,
                    float* left, float* right, int n) noexcept;
    void beginMeterBlock() noexcept;
    void measureBands (const WorkBuffers::Bands& bands, int n, bool monoInput) noexcept;
    void endMeterBlock (int n) noexcept;
    void recoverFromNonFiniteState() noexcept;
    void resetDynamics (double sampleRate);
    void resetMeters();
    void clearSplitFilters() noexcept;
    void freeWorkArrays();

    int preparedBlockSize = 0;         // 0 until prepareToPlay
    std::vector<float> workArrayStorage; // backs every work array below and bandCopy/bandMix
    WorkBuffers work;                  // null until prepareToPlay
    bool measuringBand[params::numBands] {};
    bool splitsStartClean = true;      // filter memories are empty: designs may jump
    double meterSquares[params::numBands][2] {};

    // Loads every signal-chain value from the stored parameter values.
    void applyAllParameters() noexcept;

    // Audio thread, at the start of a block: re-applies every value marked as changed.
    void applyChangedParameters() noexcept;

    // State operations that replace live values run between these two, under stateLock.
    // While one runs (stateEpoch odd) setParameter leaves the bank row alone, and the
    // operation reconciles the row with the live values when it ends; it then applies
    // every value, marks them all and counts the change.
    void beginStateChange() noexcept;
    void endStateChange() noexcept;
    void syncCurrentProgramRow() noexcept;

    // After a program change or a restored state: asks the host to re-read every value
    // (no gesture and no per-value change, so nothing is recorded as automation). Calls
    // out to the host synchronously: only once the state work is done.
    void askHostToRereadValues();

    // Held by every state operation for its whole length. Recursive, so that one state
    // operation may call another (a chunk load that switches programs, a host that asks
    // for a program name from inside a callback) without deadlocking. Never held while
    // taking the callback lock, and never taken by processBlock.
    using StateLock = std::lock_guard<std::recursive_mutex>;
    std::recursive_mutex stateLock;

    static_assert (params::numParameters <= 64, "one bit per parameter");
    std::atomic<std::uint64_t> changedParameters { 0 }; // bit i: parameter i awaits the audio thread
    std::atomic<std::uint32_t> changeCount { 0 };
    std::atomic<std::uint32_t> stateEpoch { 0 };
    std::atomic<std::uint32_t> soloedBands { 0 }; // bit b: band b is soloed

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VarnocAudioProcessor)
};
