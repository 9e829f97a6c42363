#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace render
{
// The built-in demo: five bars at 120 BPM of kick, snare, bass and a bright lead,
// stereo, peak-normalised to -3 dBFS. Computed from formulas and a fixed-seed noise
// generator only, so every call of a build gives the same samples.
namespace demo
{
constexpr double sampleRate = 48000.0;
constexpr double lengthSeconds = 10.0;
constexpr double peakDecibels = -3.0;
} // namespace demo

juce::AudioBuffer<float> makeDemoMix();

// Parameter values that make the processor audibly compress the demo; used only when
// the command line sets no parameters.
struct DemoSetting
{
    const char* name;
    float value;
};
extern const DemoSetting demoSettings[];
extern const int numDemoSettings;
} // namespace render
