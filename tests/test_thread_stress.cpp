// Every kind of thread at once, as hosts drive the plug-in: the audio thread
// processing, one host thread automating all parameters, switching programs and loading
// chunks, another saving chunks and renaming programs, and the message thread with an
// open editor whose controls are moved. Built with ThreadSanitizer this must report
// nothing; in every build the audio stays finite and the state ends up consistent.
//
// DUNSKARA_STRESS_SECONDS sets how long the threads run (default half a second).
#include "editor/VarnocAudioProcessorEditor.h"
#include "panels/compcontrol.h"
#include "plugin/VarnocAudioProcessor.h"
#include "widgets/ImageSlider.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace
{
constexpr int blockSize = 256;

double stressSeconds()
{
    if (const char* text = std::getenv ("DUNSKARA_STRESS_SECONDS"))
    {
        const double seconds = std::atof (text);
        if (seconds > 0.0)
            return std::min (seconds, 60.0);
    }
    return 0.5;
}

struct Random
{
    std::uint32_t state;

    std::uint32_t next() { return state = state * 1664525u + 1013904223u; }
    float unit() { return static_cast<float> (next() >> 8) / 16777216.0f; }
    int below (int n) { return static_cast<int> ((next() >> 8) % static_cast<std::uint32_t> (n)); }
};

juce::MemoryBlock saveState (VarnocAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}

// Chunks for the loading thread: a fresh bank, a changed bank with long names, one cut
// short and one that is no chunk at all.
std::vector<juce::MemoryBlock> makeChunks()
{
    std::vector<juce::MemoryBlock> chunks;
    VarnocAudioProcessor source;
    chunks.push_back (saveState (source));

    Random random { 99 };
    for (int program = 0; program < 10; ++program)
    {
        source.setCurrentProgram (program);
        for (int i = 0; i < 35; ++i)
            source.setParameter (i, random.unit());
        source.changeProgramName (program, juce::String::repeatedString ("long name ", program + 3));
    }
    chunks.push_back (saveState (source));

    auto truncated = chunks.back();
    truncated.setSize (truncated.getSize() / 2);
    chunks.push_back (truncated);

    const char junk[] = "not a chunk at all";
    chunks.emplace_back (junk, sizeof (junk));
    return chunks;
}

bool sameCoefficients (const DynamicsUnit::Coefficients& a, const DynamicsUnit::Coefficients& b)
{
    return std::memcmp (&a, &b, sizeof (a)) == 0;
}

// What a unit with these settings derives when nobody else touches it.
DynamicsUnit::Coefficients derivedFrom (const DynamicsUnit& unit)
{
    DynamicsUnit reference;
    for (auto setting : { &DynamicsUnit::threshold, &DynamicsUnit::ratio, &DynamicsUnit::output,
                          &DynamicsUnit::attack, &DynamicsUnit::release, &DynamicsUnit::limiter,
                          &DynamicsUnit::gateThreshold, &DynamicsUnit::gateAttack,
                          &DynamicsUnit::gateRelease, &DynamicsUnit::mix })
        (reference.*setting).store ((unit.*setting).load());
    reference.updateCoefficients();
    return reference.coefficients();
}

// The message thread's share: a user moving the editor's faders while it also delivers
// the processor's change messages and runs the meters' timers.
void moveSomeControls (VarnocAudioProcessorEditor& editor, Random& random)
{
    const auto value = [&random] { return static_cast<double> (random.unit()); };
    editor.inputGainSlider->setValue (value(), juce::sendNotificationSync);
    editor.finalMixSlider->setValue (value(), juce::sendNotificationSync);
    editor.lowBandPanel->thresholdSlider->setValue (value(), juce::sendNotificationSync);
    editor.midBandPanel->ratioSlider->setValue (value(), juce::sendNotificationSync);
    editor.highBandPanel->thresholdSlider->setValue (value(), juce::sendNotificationSync);
}
} // namespace

TEST (ThreadStress, AudioHostAndEditorThreadsTogether)
{
    const auto chunks = makeChunks();

    VarnocAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, 44100.0, blockSize);
    processor.prepareToPlay (44100.0, blockSize);

    auto* messageManager = juce::MessageManager::getInstance();
    ASSERT_TRUE (messageManager->isThisTheMessageThread());
    auto editor = std::make_unique<VarnocAudioProcessorEditor> (processor);

    std::atomic<bool> running { true };
    std::atomic<int> blocks { 0 }, badBlocks { 0 }, saves { 0 }, emptySaves { 0 };

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        Random random { 1 };
        while (running.load())
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < blockSize; ++i)
                    buffer.setSample (c, i, random.unit() - 0.5f);

            const juce::ScopedLock sl (processor.getCallbackLock());
            processor.processBlock (buffer, midi);

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < blockSize; ++i)
                    if (! std::isfinite (buffer.getSample (c, i)))
                    {
                        badBlocks.fetch_add (1);
                        c = 2;
                        break;
                    }
            blocks.fetch_add (1);
        }
    });

    std::thread automation ([&]
    {
        Random random { 2 };
        for (int round = 0; running.load(); ++round)
        {
            for (int i = 0; i < 35; ++i)
                processor.setParameter (i, random.unit());
            if (round % 4 == 0)
                processor.setCurrentProgram (random.below (10));
            if (round % 8 == 0)
            {
                const auto& chunk = chunks[(size_t) random.below ((int) chunks.size())];
                processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
            }
            processor.getCurrentProgram();
            // Hosts rename from any thread, so the saver below races this too.
            processor.changeProgramName (random.below (10), juce::String::repeatedString ("y", 1 + random.below (40)));
        }
    });

    std::thread saver ([&]
    {
        Random random { 3 };
        while (running.load())
        {
            const auto block = saveState (processor);
            saves.fetch_add (1);
            if (block.getSize() < 8)
                emptySaves.fetch_add (1);

            // Names of changing length, so every rename replaces the text's storage.
            const int program = random.below (10);
            processor.changeProgramName (program, juce::String::repeatedString ("x", 1 + random.below (40)));
            (void) processor.getProgramName (random.below (10)).length();
        }
    });

    // The message thread: deliver messages, move controls, and now and then close the
    // window and open a new one.
    Random random { 4 };
    const auto end = juce::Time::getMillisecondCounterHiRes() + 1000.0 * stressSeconds();
    for (int round = 1; juce::Time::getMillisecondCounterHiRes() < end; ++round)
    {
        messageManager->runDispatchLoopUntil (5);
        moveSomeControls (*editor, random);
        if (round % 40 == 0)
        {
            editor.reset();
            editor = std::make_unique<VarnocAudioProcessorEditor> (processor);
        }
    }

    running.store (false);
    audio.join();
    automation.join();
    saver.join();
    messageManager->runDispatchLoopUntil (50); // the last change messages reach the editor

    EXPECT_GT (blocks.load(), 0);
    EXPECT_GT (saves.load(), 0);
    EXPECT_EQ (badBlocks.load(), 0);
    EXPECT_EQ (emptySaves.load(), 0);

    // The live values are the current program's row of the bank.
    const int current = processor.getCurrentProgram();
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ (processor.programBank->getValue (current, i), processor.getParameter (i)) << i;

    // Every unit's published set is the one its final settings give.
    for (size_t u = 0; u < processor.bandDynamics.size(); ++u)
        EXPECT_TRUE (sameCoefficients (processor.bandDynamics[u]->coefficients(),
                                       derivedFrom (*processor.bandDynamics[u]))) << "unit " << u;

    // The state saved now restores exactly.
    const auto saved = saveState (processor);
    VarnocAudioProcessor restored;
    restored.setStateInformation (saved.getData(), (int) saved.getSize());
    EXPECT_EQ (saveState (restored), saved);

    editor.reset();
}

// The audio thread's recovery from non-finite input only restarts state: a setting
// stored without a fresh derivation does not reach the audio through it.
TEST (ThreadStress, NonFiniteRecoveryDerivesNoCoefficients)
{
    VarnocAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, 44100.0, 64);
    processor.prepareToPlay (44100.0, 64);
    auto& unit = *processor.bandDynamics[1];
    const auto before = unit.coefficients();
    unit.threshold.store (0.2f);

    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    buffer.setSample (0, 3, std::numeric_limits<float>::infinity());
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);

    EXPECT_TRUE (sameCoefficients (unit.coefficients(), before));
    EXPECT_EQ (unit.envelope, 0.0f);
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE (std::isfinite (buffer.getSample (0, i))) << i;
}
