// The building blocks alone, without JUCE: one crossover filter pair and one dynamics
// unit over a stereo block, in samples per second of CPU time.
#include "dsp/DspFilter.h"
#include "plugin/DynamicsUnit.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
std::vector<float> testTone (int frames, float frequency)
{
    std::vector<float> tone ((size_t) frames);
    for (int i = 0; i < frames; ++i)
        tone[(size_t) i] = 0.7f * std::sin (frequency * (float) i);
    return tone;
}

void BM_CrossoverPair (benchmark::State& state)
{
    const int frames = static_cast<int> (state.range (0));
    Dsp::ButterLowPass<4, 1> left, right;
    left.setCutoff (6.283185307179586 * 300.0 / 48000.0);
    right.setCutoff (6.283185307179586 * 300.0 / 48000.0);
    auto a = testTone (frames, 0.01f), b = testTone (frames, 0.013f);
    for (auto _ : state)
    {
        Dsp::processPair (left, a.data(), right, b.data(), frames);
        benchmark::DoNotOptimize (a.data());
    }
    state.SetItemsProcessed (state.iterations() * frames);
}

// The limiter on: the unit's fuller loop.
void BM_DynamicsUnit (benchmark::State& state)
{
    const int frames = static_cast<int> (state.range (0));
    DynamicsUnit unit (48000.0);
    unit.threshold.store (0.6f);
    unit.limiter.store (0.65f);
    unit.updateCoefficients();
    auto a = testTone (frames, 0.01f), b = testTone (frames, 0.013f);
    for (auto _ : state)
    {
        unit.processStereo (a.data(), b.data(), frames);
        benchmark::DoNotOptimize (a.data());
    }
    state.SetItemsProcessed (state.iterations() * frames);
}
} // namespace

BENCHMARK (BM_CrossoverPair)->Arg (64)->Arg (512);
BENCHMARK (BM_DynamicsUnit)->Arg (64)->Arg (512);
BENCHMARK_MAIN();
