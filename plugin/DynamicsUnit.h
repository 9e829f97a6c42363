#pragma once

// Stereo-linked compressor with optional limiter and gate. Ten settings in 0..1 become
// per-sample coefficients in updateCoefficients; processStereo runs both channels in
// place with one shared envelope and publishes the block's mean gain.
//
// Threads: the settings and the derived coefficients are written by the message
// thread and read by the audio thread, meanGain the other way round; all of them are
// relaxed atomics. envelope, peakEnvelope and gateGain belong to the audio thread
// (and to reset, which the host never runs during a block).

#include <atomic>

class DynamicsUnit final
{
public:
    explicit DynamicsUnit (double initialSampleRate = 44100.0) noexcept;

    DynamicsUnit (const DynamicsUnit&) = delete;
    DynamicsUnit& operator= (const DynamicsUnit&) = delete;

    // Derives every coefficient and fullMode from the ten settings. A non-finite
    // setting counts as its default and the others are taken within 0..1.
    void updateCoefficients() noexcept;

    // Clears coefficients and state (thresholdLevel through gateAttackCoeff), takes the
    // sample rate and derives the coefficients again; settings and meanGain stay.
    void reset (double newSampleRate) noexcept;

    // Processes n samples of both arrays in place (they may be the same array). The
    // coefficients are read once at the start of the block. Envelopes below 1e-10 are
    // stored as 0; envelopes that a block left non-finite (after infinite input) are
    // also restarted from 0, so the next clean block comes out clean. meanGain keeps
    // its value for an empty block and when the block's mean is not finite.
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

    std::atomic<float> thresholdLevel { 0.0f };   // linear threshold
    std::atomic<float> ratioFactor { 0.0f };      // slope of the gain computer
    float envelope = 0.0f;                        // state: level envelope
    float peakEnvelope = 0.0f;                    // state: peak envelope for the limiter
    std::atomic<float> attackCoeff { 0.0f };      // share of the gap closed per sample on the rise
    std::atomic<float> releaseCoeff { 0.0f };     // share lost per sample on the fall
    std::atomic<float> trim { 0.0f };             // output level times mix
    std::atomic<float> limiterLevel { 0.0f };     // limiter ceiling, 0 = off
    std::atomic<float> gateLevel { 0.0f };        // gate threshold, 0 = off
    std::atomic<float> gateReleaseCoeff { 0.0f }; // gate closing multiplier per sample
    std::atomic<float> dryLevel { 0.0f };         // 1 - mix
    float gateGain = 0.0f;                        // state: gate gain
    std::atomic<float> gateAttackCoeff { 0.0f };  // share of the gate's gap closed per sample
    std::atomic<int> fullMode { 0 };              // limiter, gate or strong/negative ratio in use
    std::atomic<float> meanGain { 1.0f };         // mean per-sample gain of the last block; 1 before any
};
