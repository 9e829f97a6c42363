#include "tools/render/Loudness.h"
#include "plugin/ParameterTable.h"

#include <ebur128.h>

#include <cmath>

namespace render
{
namespace
{
    using params::decibelsPerNeper;
}

struct LoudnessMeter::State
{
    ebur128_state* meter;

    explicit State (ebur128_state* m) noexcept : meter (m) {}
    ~State() { ebur128_destroy (&meter); }
};

LoudnessMeter::LoudnessMeter (int numChannels, double sampleRate)
    : channels (numChannels)
{
    if (numChannels < 1 || ! (sampleRate >= 1.0))
        return;
    if (auto* meter = ebur128_init (static_cast<unsigned int> (numChannels), static_cast<unsigned long> (std::lround (sampleRate)),
                                    EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK))
        state = std::make_unique<State> (meter);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add (const juce::AudioBuffer<float>& buffer, int numFrames)
{
    if (state == nullptr || numFrames <= 0)
        return;
    interleaved.resize (static_cast<size_t> (numFrames) * static_cast<size_t> (channels));
    for (int c = 0; c < channels; ++c)
    {
        const float* source = buffer.getReadPointer (c);
        for (int i = 0; i < numFrames; ++i)
            interleaved[static_cast<size_t> (i * channels + c)] = source[i];
    }
    ebur128_add_frames_float (state->meter, interleaved.data(), static_cast<size_t> (numFrames));
}

LoudnessFigures LoudnessMeter::figures() const
{
    LoudnessFigures result;
    if (state == nullptr)
        return result;

    double value = 0.0;
    if (ebur128_loudness_global (state->meter, &value) == EBUR128_SUCCESS && std::isfinite (value))
        result.integratedLufs = value;
    if (ebur128_loudness_range (state->meter, &value) == EBUR128_SUCCESS && std::isfinite (value))
        result.rangeLu = value;

    double peak = 0.0;
    for (unsigned int c = 0; c < static_cast<unsigned int> (channels); ++c)
        if (ebur128_true_peak (state->meter, c, &value) == EBUR128_SUCCESS && std::isfinite (value))
            peak = std::max (peak, value);
    if (peak > 0.0)
        result.truePeakDbtp = std::log (peak) * decibelsPerNeper;
    return result;
}
} // namespace render
