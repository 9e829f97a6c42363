// Block times under automation from the audio thread, with and without a host thread
// saving the state in a loop at the same time (as a host autosaving during automated
// playback does). Reports the 99.9th percentile and the longest block in microseconds;
// the saver must not make the longest block much longer, since the audio thread never
// waits for it. The automation's own cost per block is the difference between the
// "automated" and "steady" runs.
#include "plugin/VarnocAudioProcessor.h"

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int frames = 512;

enum class Load { steady, automated, automatedWithSaver };

// Hosts run their audio thread at real-time priority; where the system allows it (as
// root, or with an rtprio limit) the measured thread does too, and the saver does not.
struct RealTimePriority
{
    RealTimePriority()
    {
        sched_param param {};
        param.sched_priority = 70;
        pthread_getschedparam (pthread_self(), &previousPolicy, &previous);
        granted = pthread_setschedparam (pthread_self(), SCHED_FIFO, &param) == 0;
    }

    ~RealTimePriority()
    {
        if (granted)
            pthread_setschedparam (pthread_self(), previousPolicy, &previous);
    }

    int previousPolicy = SCHED_OTHER;
    sched_param previous {};
    bool granted = false;
};

void blockTimes (benchmark::State& state, Load load)
{
    VarnocAudioProcessor p;
    p.setPlayConfigDetails (2, 2, sampleRate, frames);
    p.prepareToPlay (sampleRate, frames);

    std::atomic<bool> running { true };
    std::atomic<long> saves { 0 };
    std::thread saver;
    if (load == Load::automatedWithSaver)
        saver = std::thread ([&]
        {
            while (running.load())
            {
                juce::MemoryBlock chunk;
                p.getStateInformation (chunk);
                saves.fetch_add (1);
            }
        });

    const RealTimePriority priority;
    juce::AudioBuffer<float> buffer (2, frames);
    juce::MidiBuffer midi;
    std::vector<double> micros;
    micros.reserve (1 << 16);
    long block = 0;

    for (auto _ : state)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < frames; ++i)
                buffer.setSample (c, i, 0.5f * std::sin (0.01f * (float) (block * frames + i + 31 * c)));

        const auto start = std::chrono::steady_clock::now();
        {
            // As a host's wrapper does: automation arrives inside the audio callback.
            const juce::ScopedLock lock (p.getCallbackLock());
            if (load != Load::steady)
            {
                JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
                for (int index : { 0, 5, 14, 27, 30 })
                    p.setParameter (index, 0.1f + 0.8f * (float) ((block + index) % 64) / 64.0f);
                JUCE_END_IGNORE_WARNINGS_GCC_LIKE
            }
            p.processBlock (buffer, midi);
        }
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
        if (micros.size() < micros.capacity())
            micros.push_back (std::chrono::duration<double, std::micro> (end - start).count());
        ++block;

        // An audio thread waits for the next block: a real-time thread that never sleeps
        // would be throttled by the kernel and measure that instead.
        state.PauseTiming();
        std::this_thread::sleep_for (std::chrono::microseconds (100));
        state.ResumeTiming();
    }

    running.store (false);
    if (saver.joinable())
        saver.join();

    if (micros.empty())
        return;

    std::sort (micros.begin(), micros.end());
    const auto at = [&micros] (double share) { return micros[std::min (micros.size() - 1, (size_t) (share * (double) micros.size()))]; };
    state.counters["p50_us"] = at (0.5);
    state.counters["p99.9_us"] = at (0.999);
    state.counters["max_us"] = micros.back();
    state.counters["saves"] = (double) saves.load();
    state.counters["realtime_priority"] = priority.granted ? 1.0 : 0.0;
}

void BM_BlockSteady (benchmark::State& state)             { blockTimes (state, Load::steady); }
void BM_BlockAutomated (benchmark::State& state)          { blockTimes (state, Load::automated); }
void BM_BlockAutomatedWithSaver (benchmark::State& state) { blockTimes (state, Load::automatedWithSaver); }
} // namespace

BENCHMARK (BM_BlockSteady)->Iterations (20000)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_BlockAutomated)->Iterations (20000)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_BlockAutomatedWithSaver)->Iterations (20000)->Unit (benchmark::kMicrosecond);
