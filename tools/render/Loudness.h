#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <memory>
#include <vector>

namespace render
{
// Loudness of a whole signal per EBU R 128 / ITU-R BS.1770, measured by libebur128.
// Silence or a signal shorter than one gating block has no integrated loudness: -inf.
struct LoudnessFigures
{
    double integratedLufs = -INFINITY;
    double rangeLu = 0.0;
    double truePeakDbtp = -INFINITY;
};

// Fed block by block; each channel counts as one loudspeaker channel of weight 1 (so
// a mono file reads 3 LU below the same signal in both channels of a stereo file).
class LoudnessMeter final
{
public:
    LoudnessMeter (int numChannels, double sampleRate);
    ~LoudnessMeter();

    void add (const juce::AudioBuffer<float>& buffer, int numFrames);
    LoudnessFigures figures() const;

private:
    struct State;
    std::unique_ptr<State> state; // null when the channels or rate are unusable
    int channels;
    std::vector<float> interleaved;

    JUCE_DECLARE_NON_COPYABLE (LoudnessMeter)
};
} // namespace render
