#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>

namespace render
{
// Peak and RMS over every sample of every channel fed to it.
class LevelMeter final
{
public:
    void add (const juce::AudioBuffer<float>& buffer, int numChannels, int numFrames) noexcept;

    double getPeak() const noexcept { return peak; }
    double getRms() const noexcept;

private:
    double peak = 0.0;
    double sumOfSquares = 0.0;
    juce::int64 count = 0;
};

// Mean of the stage-1 units' per-block mean gains, per band (low, mid, high).
class GainTracker final
{
public:
    void add (const std::array<float, 3>& blockMeanGains) noexcept;

    int getNumBlocks() const noexcept { return numBlocks; }
    double getMeanGain (int band) const noexcept;

private:
    std::array<double, 3> sums {};
    int numBlocks = 0;
};

struct RenderStats
{
    LevelMeter input, output;
    GainTracker stage1Gain;
    juce::int64 frames = 0;
    double sampleRate = 0.0;
    int inputChannels = 0;
    int blockFrames = 0;
};

// 20 log10 (x) as ln (x) x 8.685889638065037; "-inf" for silence.
juce::String decibelText (double linear);

// A few lines: length and configuration, input and output levels, mean gain per band.
juce::String summaryText (const RenderStats& stats);

} // namespace render
