// The editor: construction, the global controls, the crossover handles, and how
// parameter changes from elsewhere reach every control and label.
#include "editor/EditorSnapshot.h"
#include "editor/VarnocAudioProcessorEditor.h"
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "plugin/ParameterTable.h"
#include "resources/SkinImages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

namespace
{
using paneltest::dragBy;
using paneltest::pump;

constexpr int trackStart = 124;

class EditorTest : public ::testing::Test
{
protected:
    void openEditor()
    {
        editor = std::make_unique<VarnocAudioProcessorEditor> (processor);
        recorder = std::make_unique<paneltest::HostRecorder> (processor);
    }

    void TearDown() override
    {
        recorder.reset();
        editor.reset();
    }

    void moveSlider (ImageSlider& slider, double value) { slider.setValue (value, juce::sendNotificationSync); }

    // Exactly one report to the host, for parameter `index` with value v.
    void expectReportedOnce (int index, float v)
    {
        ASSERT_EQ (recorder->changes.size(), 1u);
        EXPECT_EQ (recorder->changes[0].first, index);
        EXPECT_EQ (recorder->changes[0].second, v);
        EXPECT_EQ (processor.getParameter (index), v);
        recorder->changes.clear();
    }

    int lowOffset() const  { return editor->lowFrequencySelector->getX() - trackStart; }
    int highOffset() const { return editor->highFrequencySelector->getX() - trackStart; }

    VarnocAudioProcessor processor;
    std::unique_ptr<VarnocAudioProcessorEditor> editor;
    std::unique_ptr<paneltest::HostRecorder> recorder;
};

// Sets a few values of every kind on a processor.
void setDistinctValues (VarnocAudioProcessor& p)
{
    p.setParameter (params::mainInGain, 1.0f);
    p.setParameter (params::makeUpGain, 1.0f);
    p.setParameter (params::finalMix, 0.5f);
    p.setParameter (params::fqLow, 0.1f);
    p.setParameter (params::fqHigh, 0.5f);
    p.setParameter (params::mainOnOff, 0.0f);
    p.setParameter (params::bandIndex (1, params::thresh), 0.5f);
    p.setParameter (params::bandIndex (2, params::fxmix), 0.29f);
}

void expectDistinctValuesShown (VarnocAudioProcessorEditor& e, VarnocAudioProcessor& p)
{
    EXPECT_EQ (e.inputGainLabel->getText(), "12.0dB");
    EXPECT_EQ (e.makeUpGainLabel->getText(), "9.5dB");
    EXPECT_EQ (e.finalMixLabel->getText(), "50.0%");
    EXPECT_DOUBLE_EQ (e.inputGainSlider->getValue(), 1.0);
    EXPECT_DOUBLE_EQ (e.finalMixSlider->getValue(), 0.5);
    EXPECT_EQ (e.lowFrequencySelector->getX(), trackStart + 32);
    EXPECT_EQ (e.highFrequencySelector->getX(), trackStart + 164);
    EXPECT_FALSE (e.powerButton->getToggleState());
    EXPECT_EQ (e.midBandPanel->thresholdLabel->getText(), "-12.5");
    EXPECT_EQ (e.highBandPanel->mixLabel->getText(), "28 %");

    EXPECT_EQ (p.inputGain.load(), 4.0f);
    EXPECT_EQ (p.outputGain.load(), 3.0f);
    EXPECT_EQ (p.finalMix.load(), 0.5f);
    EXPECT_EQ (p.processingOn.load(), 0.0f);
    EXPECT_EQ (p.lowCrossoverHz.load(), params::crossoverHz (0.1f));
    EXPECT_EQ (p.highCrossoverHz.load(), params::crossoverHz (0.5f));
}
} // namespace

//==============================================================================
TEST_F (EditorTest, OpeningChangesNoParameterAndReportsNothing)
{
    float before[params::numParameters];
    for (int i = 0; i < params::numParameters; ++i)
        before[i] = processor.getParameter (i);

    paneltest::HostRecorder earlyRecorder (processor);
    openEditor();
    pump (60);

    EXPECT_TRUE (earlyRecorder.changes.empty());
    for (int i = 0; i < params::numParameters; ++i)
        EXPECT_EQ (processor.getParameter (i), before[i]) << "parameter " << i;
}

TEST_F (EditorTest, OpensAt914x650WithEveryLabelShowingItsValue)
{
    openEditor();
    EXPECT_EQ (editor->getWidth(), 914);
    EXPECT_EQ (editor->getHeight(), 650);

    EXPECT_EQ (editor->inputGainLabel->getText(), "0.0dB");
    EXPECT_EQ (editor->makeUpGainLabel->getText(), "0.0dB");
    EXPECT_EQ (editor->finalMixLabel->getText(), "100.0%");
    EXPECT_TRUE (editor->powerButton->getToggleState());
    // The handle shows the frequency of its whole-pixel position: 0.03 lands on 9/328.
    EXPECT_EQ (editor->lowFrequencySelector->getValueLabel()->getText(), "423Hz");
    EXPECT_EQ (editor->lowBandPanel->attackLabel->getText(), display::attackText (0.42f));
}

TEST_F (EditorTest, OpeningShowsAndAppliesTheStoredValues)
{
    setDistinctValues (processor);
    // The signal chain out of line with the parameters: opening the editor realigns it.
    processor.inputGain.store (1.0f);
    processor.lowCrossoverHz.store (300.0);

    openEditor();
    expectDistinctValuesShown (*editor, processor);
    EXPECT_FLOAT_EQ (editor->highFrequencySelector->lowerLimit, 0.2f);
    EXPECT_FLOAT_EQ (editor->lowFrequencySelector->upperLimit, 0.4f);
}

TEST_F (EditorTest, InputGainSliderGesture)
{
    openEditor();

    moveSlider (*editor->inputGainSlider, 0.0);
    expectReportedOnce (params::mainInGain, 0.0f);
    EXPECT_EQ (editor->inputGainLabel->getText(), "-30.0dB");
    EXPECT_EQ (processor.inputGain.load(), 0.0f);

    moveSlider (*editor->inputGainSlider, 0.25);
    expectReportedOnce (params::mainInGain, 0.25f);
    EXPECT_EQ (editor->inputGainLabel->getText(), "0.0dB");
    EXPECT_EQ (processor.inputGain.load(), 1.0f);

    moveSlider (*editor->inputGainSlider, 1.0);
    expectReportedOnce (params::mainInGain, 1.0f);
    EXPECT_EQ (editor->inputGainLabel->getText(), "12.0dB");
    EXPECT_EQ (processor.inputGain.load(), 4.0f);

    // The echo of the processor's change message re-sets the controls, silently.
    pump();
    EXPECT_TRUE (recorder->changes.empty());
    EXPECT_DOUBLE_EQ (editor->inputGainSlider->getValue(), 1.0);
}

TEST_F (EditorTest, MakeUpGainAndFinalMixGestures)
{
    openEditor();

    moveSlider (*editor->makeUpGainSlider, 1.0);
    expectReportedOnce (params::makeUpGain, 1.0f);
    EXPECT_EQ (editor->makeUpGainLabel->getText(), "9.5dB");
    EXPECT_EQ (processor.outputGain.load(), 3.0f);

    moveSlider (*editor->makeUpGainSlider, 0.0);
    expectReportedOnce (params::makeUpGain, 0.0f);
    EXPECT_EQ (editor->makeUpGainLabel->getText(), "0.0dB");
    EXPECT_EQ (processor.outputGain.load(), 1.0f);

    moveSlider (*editor->finalMixSlider, 0.5);
    expectReportedOnce (params::finalMix, 0.5f);
    EXPECT_EQ (editor->finalMixLabel->getText(), "50.0%");
    EXPECT_EQ (processor.finalMix.load(), 0.5f);
}

TEST_F (EditorTest, PowerButtonClicksReportExactlyOneOrZero)
{
    openEditor();

    editor->powerButton->triggerClick();
    pump();
    expectReportedOnce (params::mainOnOff, 0.0f);
    EXPECT_EQ (processor.processingOn.load(), 0.0f);
    EXPECT_FALSE (editor->powerButton->getToggleState());

    editor->powerButton->triggerClick();
    pump();
    expectReportedOnce (params::mainOnOff, 1.0f);
    EXPECT_EQ (processor.processingOn.load(), 1.0f);
}

TEST_F (EditorTest, DraggingTheCrossoverHandlesSetsFrequenciesAndLimits)
{
    openEditor();

    dragBy (*editor->lowFrequencySelector, { -1000.0f });
    pump();
    const float lowest = 2.0f / 328.0f;
    ASSERT_EQ (paneltest::countChangesOf (*recorder, params::fqLow), 1);
    EXPECT_EQ (processor.getParameter (params::fqLow), lowest);
    EXPECT_NEAR (processor.lowCrossoverHz.load(), 95.0, 0.05);
    EXPECT_EQ (editor->lowFrequencySelector->getValueLabel()->getText(), "95Hz");
    EXPECT_FLOAT_EQ (editor->highFrequencySelector->lowerLimit, lowest + 0.1f);
    recorder->changes.clear();

    dragBy (*editor->highFrequencySelector, { 1000.0f });
    pump();
    ASSERT_EQ (paneltest::countChangesOf (*recorder, params::fqHigh), 1);
    EXPECT_EQ (processor.getParameter (params::fqHigh), 1.0f);
    EXPECT_NEAR (processor.highCrossoverHz.load(), 10837.0, 0.5);
    EXPECT_EQ (editor->highFrequencySelector->getValueLabel()->getText(), "10837Hz");
    EXPECT_FLOAT_EQ (editor->lowFrequencySelector->upperLimit, 0.9f);

    // The high handle cannot be dragged below the low one's value + 0.1.
    dragBy (*editor->highFrequencySelector, { -1000.0f });
    pump();
    EXPECT_GE (editor->highFrequencySelector->getValue(), lowest + 0.1f - 1.0f / 328.0f);
    EXPECT_LE (editor->highFrequencySelector->getValue(), lowest + 0.1f);
    EXPECT_EQ (processor.getParameter (params::fqHigh), editor->highFrequencySelector->getValue());
}

TEST_F (EditorTest, ADraggedHandleStaysWhereItWasLeftAfterTheRefresh)
{
    openEditor();
    // 16 pixels: a value whose float lies just below 16/328, so plain truncation would
    // move the handle one pixel left when the refresh mirrors it back.
    editor->lowFrequencySelector->setValue (0.0f);
    dragBy (*editor->lowFrequencySelector, { 16.0f });
    pump();
    EXPECT_EQ (lowOffset(), 16);
    EXPECT_EQ (editor->lowFrequencySelector->getValueLabel()->getText(),
               display::crossoverText (processor.getParameter (params::fqLow)));
}

TEST_F (EditorTest, HostAutomationReachesControlsLabelsAndSignalChain)
{
    openEditor();

    setDistinctValues (processor);
    processor.setParameter (params::bandIndex (0, params::limonoff), 0.3f);
    pump();

    expectDistinctValuesShown (*editor, processor);
    EXPECT_TRUE (editor->lowBandPanel->limiterButton->getToggleState());

    processor.setParameter (params::mainOnOff, 0.3f);
    pump();
    EXPECT_TRUE (editor->powerButton->getToggleState());
    EXPECT_EQ (processor.processingOn.load(), 1.0f);

    // Automation is the host's own doing: nothing is reported back to it.
    EXPECT_TRUE (recorder->changes.empty());
}

TEST_F (EditorTest, ProgramChangeReachesEveryControl)
{
    processor.setCurrentProgram (1);
    setDistinctValues (processor);
    processor.setCurrentProgram (0);

    openEditor();
    EXPECT_EQ (editor->inputGainLabel->getText(), "0.0dB");

    processor.setCurrentProgram (1);
    pump();
    expectDistinctValuesShown (*editor, processor);

    processor.setCurrentProgram (0);
    pump();
    EXPECT_EQ (editor->inputGainLabel->getText(), "0.0dB");
    EXPECT_TRUE (editor->powerButton->getToggleState());
    EXPECT_EQ (editor->midBandPanel->thresholdLabel->getText(), "0.0dB");
    EXPECT_TRUE (recorder->changes.empty());
}

TEST_F (EditorTest, RestoredChunkReachesEveryControl)
{
    juce::MemoryBlock chunk;
    {
        VarnocAudioProcessor source;
        setDistinctValues (source);
        source.getStateInformation (chunk);
    }

    openEditor();
    processor.setStateInformation (chunk.getData(), static_cast<int> (chunk.getSize()));
    pump();

    expectDistinctValuesShown (*editor, processor);
    EXPECT_TRUE (recorder->changes.empty());
}

TEST_F (EditorTest, CrossedCrossoversFromAChunkLeaveBothHandlesUsable)
{
    // Fq_Low above Fq_High: the limits conflict with each other and with the track.
    openEditor();
    processor.setParameter (params::fqLow, 0.95f);
    processor.setParameter (params::fqHigh, 0.05f);
    pump();

    EXPECT_TRUE (std::isfinite (processor.lowCrossoverHz.load()));
    EXPECT_GE (processor.highCrossoverHz.load(), params::crossoverHz (params::minimumCrossoverValue));

    // The high handle is pushed to the right end by its lower limit of 1.05 ...
    dragBy (*editor->highFrequencySelector, { -20.0f });
    pump();
    EXPECT_EQ (highOffset(), 328);
    EXPECT_EQ (processor.getParameter (params::fqHigh), 1.0f);

    // ... which frees the low handle to move below it again ...
    dragBy (*editor->lowFrequencySelector, { -1000.0f });
    pump();
    EXPECT_EQ (lowOffset(), 2);
    EXPECT_EQ (processor.getParameter (params::fqLow), 2.0f / 328.0f);

    // ... and the two are back to the usual 0.1 apart.
    dragBy (*editor->highFrequencySelector, { -1000.0f });
    pump();
    EXPECT_LE (processor.getParameter (params::fqLow) + 0.1f - 1.0f / 328.0f,
               processor.getParameter (params::fqHigh));
    EXPECT_LT (processor.getParameter (params::fqHigh), 0.2f);
}

TEST_F (EditorTest, OpenAndCloseRepeatedlyWhileAudioRuns)
{
    processor.setPlayConfigDetails (2, 2, 44100.0, 256);
    processor.prepareToPlay (44100.0, 256);

    std::atomic<bool> running { true };
    std::thread audio ([this, &running]
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;
        juce::Random random (1);
        while (running.load())
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 256; ++i)
                    buffer.setSample (c, i, random.nextFloat() - 0.5f);

            const juce::ScopedLock sl (processor.getCallbackLock()); // as the wrapper does
            processor.processBlock (buffer, midi);
        }
    });

    for (int round = 0; round < 20; ++round)
    {
        auto e = std::make_unique<VarnocAudioProcessorEditor> (processor);
        processor.setParameter (params::fqLow, round % 2 == 0 ? 0.2f : 0.05f);
        e->lowBandPanel->attackDial->slider->setValue (round / 20.0, juce::sendNotificationSync);
        pump (5);
    }

    running.store (false);
    audio.join();

    juce::AudioBuffer<float> buffer (2, 256);
    buffer.clear();
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_TRUE (std::isfinite (buffer.getSample (c, i)));
}

// The needles poll the processor on the message thread while the host's audio thread
// processes: a loud low tone moves the low band's level needle, and compressing it moves
// the reduction needle off its resting place.
TEST_F (EditorTest, NeedlesFollowTheAudioWhileItPlays)
{
    processor.setPlayConfigDetails (2, 2, 48000.0, 256);
    processor.prepareToPlay (48000.0, 256);
    processor.setParameter (params::bandIndex (0, params::thresh), 0.0f);
    processor.setParameter (params::bandIndex (0, params::ratio), 0.0f);
    openEditor();
    auto& panel = *editor->lowBandPanel;
    const int reductionBefore = panel.reductionMeter->getFrameIndex();

    std::atomic<bool> running { true };
    std::thread audio ([this, &running]
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;
        int phase = 0;
        while (running.load())
        {
            for (int i = 0; i < 256; ++i, ++phase)
                for (int c = 0; c < 2; ++c)
                    buffer.setSample (c, i, 0.5f * std::sin (2.0f * 3.14159265f * 80.0f * (float) phase / 48000.0f));

            const juce::ScopedLock sl (processor.getCallbackLock());
            processor.processBlock (buffer, midi);
        }
    });

    pump (400);
    running.store (false);
    audio.join();

    EXPECT_GT (panel.levelMeter->getFrameIndex(), 20);
    EXPECT_NE (panel.reductionMeter->getFrameIndex(), reductionBefore);
    EXPECT_GT (panel.reductionMeter->getFrameIndex(), 0);
    EXPECT_LT (editor->highBandPanel->levelMeter->getFrameIndex(), 5); // hardly anything up there
}

TEST_F (EditorTest, SnapshotShowsTheWholeWindowOverTheBackground)
{
    setDistinctValues (processor);
    const auto image = renderEditorSnapshot (processor);
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), 914);
    EXPECT_EQ (image.getHeight(), 650);

    // The top-left corner is covered by no control: it is the background's pixel.
    const auto background = juce::ImageCache::getFromMemory (skin::editor_background, skin::editor_backgroundSize);
    ASSERT_TRUE (background.isValid());
    EXPECT_EQ (image.getPixelAt (2, 2).getARGB(), background.getPixelAt (2, 2).getARGB());

    // Building the snapshot reported nothing and changed nothing.
    EXPECT_EQ (processor.getParameter (params::mainInGain), 1.0f);
}
