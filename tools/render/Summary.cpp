#include "tools/render/Summary.h"
#include "plugin/ParameterTable.h"

#include <cmath>
#include <cstdio>

namespace render
{
namespace
{
    using params::decibelsPerNeper;
    const char* const bandNames[3] = { "low", "mid", "high" };
} // namespace

void LevelMeter::add (const juce::AudioBuffer<float>& buffer, int numChannels, int numFrames) noexcept
{
    for (int c = 0; c < numChannels; ++c)
    {
        const float* data = buffer.getReadPointer (c);
        for (int i = 0; i < numFrames; ++i)
        {
            const double x = data[i];
            peak = std::max (peak, std::abs (x));
            sumOfSquares += x * x;
        }
    }
    count += static_cast<juce::int64> (numChannels) * numFrames;
}

double LevelMeter::getRms() const noexcept
{
    return count > 0 ? std::sqrt (sumOfSquares / static_cast<double> (count)) : 0.0;
}

void GainTracker::add (const std::array<float, 3>& blockMeanGains) noexcept
{
    for (size_t b = 0; b < sums.size(); ++b)
        sums[b] += blockMeanGains[b];
    ++numBlocks;
}

double GainTracker::getMeanGain (int band) const noexcept
{
    return numBlocks > 0 ? sums[(size_t) band] / numBlocks : 1.0;
}

juce::String decibelText (double linear)
{
    if (! (linear > 0.0))
        return "-inf";
    return juce::String (std::log (linear) * decibelsPerNeper, 2);
}

juce::String summaryText (const RenderStats& stats)
{
    const double seconds = stats.sampleRate > 0.0 ? static_cast<double> (stats.frames) / stats.sampleRate : 0.0;

    juce::String text;
    text << "rendered " << juce::String (seconds, 2) << " s at " << juce::String (stats.sampleRate, 0) << " Hz, "
         << (stats.inputChannels == 1 ? "mono" : "stereo") << " in, stereo out, blocks of "
         << stats.blockFrames << " frames\n";
    text << "  input   peak " << decibelText (stats.input.getPeak()) << " dBFS, RMS "
         << decibelText (stats.input.getRms()) << " dBFS\n";
    text << "  output  peak " << decibelText (stats.output.getPeak()) << " dBFS, RMS "
         << decibelText (stats.output.getRms()) << " dBFS";
    if (stats.output.getPeak() > 1.0)
        text << " (clipped in the file)";
    text << "\n  mean gain change of the band compressors:";
    for (int b = 0; b < 3; ++b)
        text << (b > 0 ? "," : "") << " " << bandNames[b] << " " << decibelText (stats.stage1Gain.getMeanGain (b)) << " dB";
    text << "\n";
    return text;
}

} // namespace render
