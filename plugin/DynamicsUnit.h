#pragma once

// Stereo-linked compressor with optional limiter and gate. Ten settings in 0..1 become
// per-sample coefficients in updateCoefficients; processStereo runs both channels in
// place with one shared envelope and publishes the block's mean gain.
//
// Threads: settings are relaxed atomics that any thread may write. Whoever changes a
// setting then calls updateCoefficients, which only marks the settings as changed; a
// writer that changes several settings together (a program change) brackets them with
// beginSettingsChange and endSettingsChange. The audio thread itself derives a complete
// coefficient set at the start of its next block (one writer, no lock). It keeps the
// set it has while a bracketed change is under way and tries again at the next block,
// so a block never mixes two sets, never sees half of a grouped change, and nobody
// ever waits for anybody. envelope, peakEnvelope and gateGain belong to the audio thread
// (and to reset, which the host never runs during a block); meanGain goes the other
// way, as an atomic.

#include <atomic>

class DynamicsUnit final
{
public:
    // Everything the audio loop needs, derived from the ten settings at once.
    struct Coefficients
    {
        float thresholdLevel = 0.0f;   // linear threshold
        float ratioFactor = 0.0f;      // slope of the gain computer
        float attackCoeff = 0.0f;      // share of the gap closed per sample on the rise
        float releaseCoeff = 0.0f;     // share lost per sample on the fall
        float trim = 0.0f;             // output level times mix
        float limiterLevel = 0.0f;     // limiter ceiling, 0 = off
        float gateLevel = 0.0f;        // gate threshold, 0 = off
        float gateReleaseCoeff = 0.0f; // gate closing multiplier per sample
        float dryLevel = 0.0f;         // 1 - mix
        float gateAttackCoeff = 0.0f;  // share of the gate's gap closed per sample
        int fullMode = 0;              // limiter, gate or strong/negative ratio in use
    };

    explicit DynamicsUnit (double initialSampleRate = 44100.0) noexcept;

    DynamicsUnit (const DynamicsUnit&) = delete;
    DynamicsUnit& operator= (const DynamicsUnit&) = delete;

    // Marks the settings as changed: the audio thread derives a fresh set from them at
    // the start of its next block. Wait-free; any thread, the audio thread included.
    void updateCoefficients() noexcept;

    // Bracket settings that change together; wait-free, any thread, may overlap.
    void beginSettingsChange() noexcept;
    void endSettingsChange() noexcept;

    // The set the current settings give: every coefficient and fullMode. A non-finite
    // setting counts as its default and the others are taken within 0..1.
    Coefficients coefficients() const noexcept;

    // Clears the envelopes and the gate, takes the sample rate and derives the
    // coefficients again; settings and meanGain stay. Not while a block is processed.
    void reset (double newSampleRate) noexcept;

    // Audio thread: restarts the envelopes and the gate from 0 and leaves the
    // coefficients as they are (used after non-finite audio went through).
    void clearState() noexcept;

    // Processes n samples of both arrays in place (they may be the same array). When the
    // settings were marked changed, a fresh set is derived once at the start of the block. Envelopes below
    // 1e-10 are stored as 0; envelopes that a block left non-finite (after infinite
    // input) are also restarted from 0, so the next clean block comes out clean.
    // meanGain keeps its value for an empty block and when the block's mean is not finite.
    void processStereo (float* left, float* right, int n) noexcept;

    std::atomic<double> sampleRate;          // not used by the formulas: time constants are per sample

    std::atomic<float> threshold { 1.0f };
    std::atomic<float> ratio { 0.2f };
    std::atomic<float> output { 0.0f };
    std::atomic<float> attack { 0.42f };
    std::atomic<float> release { 0.6f };
    std::atomic<float> limiter { 1.0f };     // above 0.98: off
    std::atomic<float> gateThreshold { 0.0f }; // below 0.02: off
    std::atomic<float> gateAttack { 0.1f };
    std::atomic<float> gateRelease { 0.5f };
    std::atomic<float> mix { 1.0f };         // processed share

    float envelope = 0.0f;                   // state: level envelope
    float peakEnvelope = 0.0f;               // state: peak envelope for the limiter
    float gateGain = 0.0f;                   // state: gate gain
    std::atomic<float> meanGain { 1.0f };    // mean per-sample gain of the last block; 1 before any

private:
    const Coefficients& takeNewestCoefficients() noexcept;

    std::atomic<bool> settingsChanged { false };
    std::atomic<unsigned> changesUnderWay { 0 };   // open brackets
    std::atomic<unsigned> changesCompleted { 0 };  // closed brackets, ever
    Coefficients audioSet;                   // audio thread only (and reset)
};
