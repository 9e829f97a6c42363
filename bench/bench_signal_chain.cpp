// Real-time factor of processBlock: seconds of 48 kHz stereo audio processed per second
// of CPU time (the "realtime" counter).
#include "plugin/VarnocAudioProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;

enum class Setting { defaults, allCompressing };

void configure (VarnocAudioProcessor& p, Setting setting)
{
    if (setting == Setting::defaults)
        return;

    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    for (int band = 0; band < 3; ++band)
    {
        p.setParameter (params::bandIndex (band, params::thresh), 0.2f);   // about -20 dB
        p.setParameter (params::bandIndex (band, params::ratio), 0.0f);    // strongest
        p.setParameter (params::bandIndex (band, params::limonoff), 1.0f); // both limiter stages
        p.setParameter (params::bandIndex (band, params::add), 0.3f);
        p.setParameter (params::bandIndex (band, params::fxmix), 0.8f);
    }
    p.setParameter (params::makeUpGain, 0.5f);
    p.setParameter (params::finalMix, 0.9f);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

void processBlock (benchmark::State& state, Setting setting)
{
    const int frames = static_cast<int> (state.range (0));
    VarnocAudioProcessor p;
    p.setPlayConfigDetails (2, 2, sampleRate, frames);
    p.prepareToPlay (sampleRate, frames);
    configure (p, setting);

    // A second of a loud, busy signal, fed block by block.
    const int length = 48000;
    // Twice the length, so every block can be copied from one contiguous run.
    std::vector<float> left ((size_t) length * 2), right ((size_t) length * 2);
    juce::Random rng (7);
    for (int i = 0; i < length; ++i)
    {
        const float t = (float) i / (float) sampleRate;
        const float tone = 0.4f * std::sin (2.0f * 3.14159265f * 60.0f * t) + 0.2f * std::sin (2.0f * 3.14159265f * 1500.0f * t);
        left[(size_t) i] = left[(size_t) (i + length)] = tone + 0.2f * (rng.nextFloat() - 0.5f);
        right[(size_t) i] = right[(size_t) (i + length)] = tone + 0.2f * (rng.nextFloat() - 0.5f);
    }

    juce::AudioBuffer<float> buffer (2, frames);
    juce::MidiBuffer midi;
    int position = 0;
    for (auto _ : state)
    {
        // The copy costs a few nanoseconds; a host hands over fresh audio every block too.
        buffer.copyFrom (0, 0, left.data() + position, frames);
        buffer.copyFrom (1, 0, right.data() + position, frames);
        position = (position + frames) % length;

        p.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    state.counters["realtime"] = benchmark::Counter (frames / sampleRate,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Defaults (benchmark::State& state) { processBlock (state, Setting::defaults); }
void BM_AllCompressing (benchmark::State& state) { processBlock (state, Setting::allCompressing); }
} // namespace

BENCHMARK (BM_Defaults)->Arg (64)->Arg (512)->Arg (4096);
BENCHMARK (BM_AllCompressing)->Arg (64)->Arg (512)->Arg (4096);

BENCHMARK_MAIN();
