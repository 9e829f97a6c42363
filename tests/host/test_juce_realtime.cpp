// The VST3 and LV2 plug-ins' audio thread, watched through JUCE's own hosting as a
// JUCE-based host drives them: automation reaching the plug-in inside every block (the
// VST3 process call's parameter changes, the LV2 run's control ports) while another
// thread saves the state in a loop. Measured against plain processing of the same
// blocks: automation and the saver may add no allocation and no write on the audio
// thread, and no lock at all in LV2; in VST3 none but the changed parameter's listener
// lock in JUCE's client, once per change. (What JUCE's client does in every block
// anyway, such as the VST3 wrapper's copy of its channel buffer, is the baseline.)
#include "RealtimeProbe.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <cmath>
#include <iterator>
#include <memory>
#include <optional>
#include <thread>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int numBlocks = 1500;
constexpr int warmUpBlocks = 8;
const char* const automatedNames[] = { "thresh_0", "gain_1", "MainInGain", "Fq_Low" };
constexpr int numAutomated = (int) std::size (automatedNames);

enum class Format { vst3, lv2 };

class HostedRealTime : public ::testing::TestWithParam<Format>
{
protected:
    std::unique_ptr<juce::AudioPluginInstance> createInstance()
    {
        const auto vst3 = GetParam() == Format::vst3;
        format.reset (vst3 ? static_cast<juce::AudioPluginFormat*> (new juce::VST3PluginFormat) : new juce::LV2PluginFormat);
        if (! vst3)
            format->searchPathsForPlugins (juce::FileSearchPath (DUNSKARA_LV2_FOLDER), false, false);

        juce::OwnedArray<juce::PluginDescription> descriptions;
        format->findAllTypesForFile (descriptions, vst3 ? DUNSKARA_VST3_BUNDLE : DUNSKARA_LV2_URI);
        if (descriptions.size() != 1)
            return nullptr;

        juce::String error;
        auto instance = format->createInstanceFromDescription (*descriptions[0], sampleRate, blockSize, error);
        if (instance != nullptr)
            instance->prepareToPlay (sampleRate, blockSize);
        return instance;
    }

    // The plug-in binary inside the bundle.
    static const char* binaryName() { return GetParam() == Format::vst3 ? "/DUNSKARA.so" : "/libDUNSKARA.so"; }

    struct Run
    {
        rtprobe::Counts counts;
        int saves = 0;
    };

    // numBlocks blocks on an audio thread of their own; with `load`, the automated
    // parameters change before every block while another thread saves in a loop.
    static Run runBlocks (juce::AudioPluginInstance& instance, juce::AudioProcessorParameter* const (&automated)[numAutomated],
                          bool load)
    {
        rtprobe::reset();
        std::atomic<bool> running { true }, saverDone { ! load }, audioDone { false };
        std::atomic<int> saves { 0 };
        std::thread saver;
        if (load)
            saver = std::thread ([&]
            {
                while (running.load())
                {
                    juce::MemoryBlock state;
                    instance.getStateInformation (state); // JUCE's VST3 hosting locks the message thread here
                    if (state.getSize() > 0)
                        saves.fetch_add (1);
                }
                saverDone.store (true);
            });

        std::thread audio ([&]
        {
            juce::AudioBuffer<float> buffer (2, blockSize);
            juce::MidiBuffer midi;
            for (int block = 0; block < numBlocks; ++block)
            {
                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < blockSize; ++i)
                        buffer.setSample (c, i, 0.5f * std::sin (0.01f * (float) (block * blockSize + i)));

                if (load)
                    for (int k = 0; k < numAutomated; ++k)
                        automated[k]->setValue (0.1f + 0.8f * (float) ((block + 7 * k) % 50) / 50.0f);

                // The first blocks on a new thread may set up JUCE's per-thread state.
                std::optional<rtprobe::Window> window;
                if (block >= warmUpBlocks)
                    window.emplace();
                instance.processBlock (buffer, midi);
            }
            audioDone.store (true);
        });

        // The message thread goes on delivering, as a host's does.
        auto* messages = juce::MessageManager::getInstance();
        while (! audioDone.load())
            messages->runDispatchLoopUntil (5);
        running.store (false);
        while (! saverDone.load())
            messages->runDispatchLoopUntil (5);
        audio.join();
        if (saver.joinable())
            saver.join();
        return { rtprobe::counted(), saves.load() };
    }

    std::unique_ptr<juce::AudioPluginFormat> format;
};

TEST_P (HostedRealTime, AutomationInsideEveryBlockWhileAnotherThreadSavesNeverWaitsOrAllocates)
{
    if (! rtprobe::isAvailable())
        GTEST_SKIP() << "the probe needs the system allocator";

    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);
    ASSERT_TRUE (rtprobe::watch (binaryName()));

    // LV2 hosts identify a control port by its symbol, the parameter's name.
    juce::AudioProcessorParameter* automated[numAutomated] {};
    for (auto* parameter : instance->getParameters())
        for (int k = 0; k < numAutomated; ++k)
            if (parameter->getName (64) == automatedNames[k]
                || dynamic_cast<juce::HostedAudioProcessorParameter&> (*parameter).getParameterID() == juce::String ("sym:") + automatedNames[k])
                automated[k] = parameter;
    for (auto* parameter : automated)
        ASSERT_NE (parameter, nullptr);

    const auto steady = runBlocks (*instance, automated, false);
    const auto loaded = runBlocks (*instance, automated, true);
    instance->releaseResources();

    const int measured = numBlocks - warmUpBlocks;
    const int locksPerChange = GetParam() == Format::vst3 ? 1 : 0;
    EXPECT_GT (loaded.saves, 0);
    EXPECT_LE (loaded.counts.allocations, steady.counts.allocations);
    EXPECT_LE (loaded.counts.writes, steady.counts.writes);
    EXPECT_LE (loaded.counts.locks, steady.counts.locks + measured * numAutomated * locksPerChange);
    EXPECT_LE (loaded.counts.distinctMutexes, steady.counts.distinctMutexes + numAutomated * locksPerChange);

    // Our own LV2 layer does nothing of the kind in any block.
    if (GetParam() == Format::lv2)
    {
        EXPECT_EQ (steady.counts.allocations + steady.counts.locks + steady.counts.writes, 0);
        EXPECT_EQ (loaded.counts.allocations + loaded.counts.locks + loaded.counts.writes, 0);
    }
    if (::testing::Test::HasFailure())
        ADD_FAILURE() << "steady: " << steady.counts.allocations << " allocations, " << steady.counts.locks << " locks\n"
                      << "loaded: " << loaded.counts.allocations << " allocations, " << loaded.counts.locks << " locks, "
                      << loaded.counts.distinctMutexes << " lock objects\n" << rtprobe::describe();
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedRealTime, ::testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& test) { return test.param == Format::vst3 ? "VST3" : "LV2"; });
} // namespace
