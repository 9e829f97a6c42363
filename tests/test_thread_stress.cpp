// Every kind of thread at once, as hosts drive the plug-in: the audio thread
// processing and automating a few parameters before every block (as hosts that
// automate from their audio thread do), one host thread automating all parameters, switching programs and loading
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
            for (int k = 0; k < 4; ++k)
                processor.setParameter (random.below (35), random.unit());
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

    // The live values are the current program's: leaving it and coming back finds them.
    const int current = processor.getCurrentProgram();
    float live[35];
    for (int i = 0; i < 35; ++i)
        live[i] = processor.getParameter (i);
    processor.setCurrentProgram ((current + 1) % 10);
    processor.setCurrentProgram (current);
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ (processor.getParameter (i), live[i]) << i;

    // The state saved now restores exactly.
    const auto saved = saveState (processor);
    VarnocAudioProcessor restored;
    restored.setStateInformation (saved.getData(), (int) saved.getSize());
    EXPECT_EQ (saveState (restored), saved);

    // The signal chain is in line with the final values: from a clean start, the
    // processor sounds exactly like a fresh one restored from its saved state.
    juce::AudioBuffer<float> ours (2, blockSize), theirs (2, blockSize);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < blockSize; ++i)
            ours.setSample (c, i, 0.8f * std::sin (0.03f * (float) (i * (c + 1))));
    theirs.makeCopyOf (ours);
    restored.setPlayConfigDetails (2, 2, 44100.0, blockSize);
    restored.prepareToPlay (44100.0, blockSize);
    processor.prepareToPlay (44100.0, blockSize);
    juce::MidiBuffer midi;
    processor.processBlock (ours, midi);
    restored.processBlock (theirs, midi);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < blockSize; ++i)
            ASSERT_EQ (ours.getSample (c, i), theirs.getSample (c, i)) << c << " " << i;

    editor.reset();
}

// The audio thread's recovery from non-finite input only restarts state: a setting
// stored without marking it changed does not reach the audio through it.
TEST (ThreadStress, NonFiniteRecoveryDerivesNoCoefficients)
{
    const auto prepared = []
    {
        auto processor = std::make_unique<VarnocAudioProcessor>();
        processor->setPlayConfigDetails (2, 2, 44100.0, 64);
        processor->prepareToPlay (44100.0, 64);
        return processor;
    };
    auto processor = prepared();
    auto reference = prepared();
    processor->bandDynamics[1]->threshold.store (0.2f);

    juce::AudioBuffer<float> buffer (2, 64);
    juce::MidiBuffer midi;
    buffer.clear();
    buffer.setSample (0, 3, std::numeric_limits<float>::infinity());
    processor->processBlock (buffer, midi);
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE (std::isfinite (buffer.getSample (0, i))) << i;
    EXPECT_EQ (processor->bandDynamics[1]->envelope, 0.0f);

    // From the restart on, both run on the same coefficients.
    juce::AudioBuffer<float> expected (2, 64);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i)
            buffer.setSample (c, i, 0.9f * std::sin (0.05f * (float) (i + 17 * c)));
    expected.makeCopyOf (buffer);
    reference->processBlock (expected, midi); // the reference's filters start clean too
    processor->processBlock (buffer, midi);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ (buffer.getSample (c, i), expected.getSample (c, i)) << c << " " << i;
}
