// The editor: construction, the global controls, the crossover handles, and how
// parameter changes from elsewhere reach every control and label.
#include "editor/EditorSnapshot.h"
#include "editor/VarnocAudioProcessorEditor.h"
#include "editor/WindowRefreshRate.h"
#include "host_event_recorder.h"
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "plugin/ParameterTable.h"
#include "resources/SkinImages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace
{
using paneltest::dragBy;
using paneltest::pump;

constexpr int trackStart = 124;

// Processes stereo blocks of 256 samples on another thread, under the callback lock as
// the wrapper does, while `meanwhile` runs on this one.
void playWhile (VarnocAudioProcessor& processor, const std::function<float (int)>& sampleAt,
                const std::function<void()>& meanwhile)
{
    std::atomic<bool> running { true };
    std::thread audio ([&]
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;
        for (int n = 0; running.load();)
        {
            for (int i = 0; i < 256; ++i, ++n)
                for (int c = 0; c < 2; ++c)
                    buffer.setSample (c, i, sampleAt (n));
            const juce::ScopedLock sl (processor.getCallbackLock());
            processor.processBlock (buffer, midi);
        }
    });
    meanwhile();
    running.store (false);
    audio.join();
}

// Sets a few values of every kind on a processor.
void setDistinctValues (VarnocAudioProcessor& p)
{
    for (auto [index, v] : { std::pair<int, float> (params::mainInGain, 1.0f), { params::makeUpGain, 1.0f },
                             { params::finalMix, 0.5f }, { params::fqLow, 0.1f }, { params::fqHigh, 0.5f },
                             { params::mainOnOff, 0.0f }, { params::bandIndex (1, params::thresh), 0.5f },
                             { params::bandIndex (2, params::fxmix), 0.29f } })
        p.setParameter (index, v);
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
    // the handles keep 0.1 apart
    EXPECT_FLOAT_EQ (e.highFrequencySelector->lowerLimit, 0.2f);
    EXPECT_FLOAT_EQ (e.lowFrequencySelector->upperLimit, 0.4f);

    EXPECT_EQ (p.inputGain.load(), 4.0f);
    EXPECT_EQ (p.outputGain.load(), 3.0f);
    EXPECT_EQ (p.finalMix.load(), 0.5f);
    EXPECT_EQ (p.processingOn.load(), 0.0f);
    EXPECT_EQ (p.lowCrossoverHz.load(), params::crossoverHz (0.1f));
    EXPECT_EQ (p.highCrossoverHz.load(), params::crossoverHz (0.5f));
}

class EditorTest : public ::testing::Test
{
protected:
    void openEditor()
    {
        editor = std::make_unique<VarnocAudioProcessorEditor> (processor);
        recorder = std::make_unique<paneltest::HostRecorder> (processor);
    }

    void expectReportedOnce (int index, float v) { paneltest::expectReportedOnce (*recorder, processor, index, v); }

    // Delivers what is pending, then makes the editor's poll of the change count at once
    // rather than whenever its timer next fires.
    void pump (int milliseconds = 30)
    {
        paneltest::pump (milliseconds);
        if (editor != nullptr)
            editor->refreshIfChanged();
    }

    // Automation, program changes and restored chunks are the host's own doing: with the
    // editor open they reach every control at its next poll of the change count, and
    // nothing is reported back.
    void expectDeliveredSilently (const std::function<void()>& setDistinctValuesFromTheHost)
    {
        openEditor();
        setDistinctValuesFromTheHost();
        pump();
        expectDistinctValuesShown (*editor, processor);
        EXPECT_TRUE (recorder->changes.empty());
    }

    int lowOffset() const  { return editor->lowFrequencySelector->getX() - trackStart; }
    int highOffset() const { return editor->highFrequencySelector->getX() - trackStart; }

    VarnocAudioProcessor processor;
    std::unique_ptr<VarnocAudioProcessorEditor> editor;
    std::unique_ptr<paneltest::HostRecorder> recorder; // stops listening before the editor goes
};
} // namespace

//==============================================================================
TEST_F (EditorTest, OpeningChangesNoParameterReportsNothingAndShowsEveryValue)
{
    paneltest::HostRecorder earlyRecorder (processor);
    openEditor();
    pump (60);

    EXPECT_TRUE (earlyRecorder.changes.empty());
    VarnocAudioProcessor untouched;
    for (int i = 0; i < params::numParameters; ++i)
        EXPECT_EQ (processor.getParameter (i), untouched.getParameter (i)) << "parameter " << i;

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
}

TEST_F (EditorTest, EachGlobalSliderSetsItsParameterLabelAndDspValue)
{
    openEditor();
    auto& e = *editor;
    struct Row { ImageSlider* slider; juce::Label* label; std::atomic<float>* dsp; int index; float v; const char* text; float dspValue; };
    const Row rows[] = {
        { e.inputGainSlider.get(), e.inputGainLabel.get(), &processor.inputGain, params::mainInGain, 0.0f, "-inf dB", 0.0f },
        { e.inputGainSlider.get(), e.inputGainLabel.get(), &processor.inputGain, params::mainInGain, 0.25f, "0.0dB", 1.0f },
        { e.inputGainSlider.get(), e.inputGainLabel.get(), &processor.inputGain, params::mainInGain, 1.0f, "12.0dB", 4.0f },
        { e.makeUpGainSlider.get(), e.makeUpGainLabel.get(), &processor.outputGain, params::makeUpGain, 1.0f, "9.5dB", 3.0f },
        { e.makeUpGainSlider.get(), e.makeUpGainLabel.get(), &processor.outputGain, params::makeUpGain, 0.0f, "0.0dB", 1.0f },
        { e.finalMixSlider.get(), e.finalMixLabel.get(), &processor.finalMix, params::finalMix, 0.5f, "50.0%", 0.5f },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (testing::Message() << "parameter " << row.index << " to " << row.v);
        row.slider->setValue (row.v, juce::sendNotificationSync);
        expectReportedOnce (row.index, row.v);
        EXPECT_EQ (row.label->getText(), row.text);
        EXPECT_EQ (row.dsp->load(), row.dspValue);
    }

    // The echo of the processor's change message re-sets the controls, silently.
    pump();
    EXPECT_TRUE (recorder->changes.empty());
    EXPECT_DOUBLE_EQ (editor->inputGainSlider->getValue(), 1.0);
}

TEST_F (EditorTest, PowerButtonClicksReportExactlyOneOrZero)
{
    openEditor();
    for (float on : { 0.0f, 1.0f })
    {
        editor->powerButton->triggerClick();
        pump();
        expectReportedOnce (params::mainOnOff, on);
        EXPECT_EQ (processor.processingOn.load(), on);
        EXPECT_EQ (editor->powerButton->getToggleState(), on > 0.0f);
    }
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
    expectDeliveredSilently ([this]
    {
        setDistinctValues (processor);
        processor.setParameter (params::bandIndex (0, params::limonoff), 0.3f);
    });
    EXPECT_TRUE (editor->lowBandPanel->limiterButton->getToggleState());

    processor.setParameter (params::mainOnOff, 0.3f);
    pump();
    EXPECT_TRUE (editor->powerButton->getToggleState());
    EXPECT_EQ (processor.processingOn.load(), 1.0f);
}

TEST_F (EditorTest, ProgramChangeReachesEveryControl)
{
    processor.setCurrentProgram (1);
    setDistinctValues (processor);
    processor.setCurrentProgram (0);
    expectDeliveredSilently ([this] { processor.setCurrentProgram (1); });
}

// No message comes from the processor: the editor's own timer finds the change.
TEST_F (EditorTest, ItsTimerPicksUpAHostChangeWithoutAnyMessage)
{
    openEditor();
    processor.setParameter (params::finalMix, 0.5f);
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + 5000.0;
    while (editor->finalMixLabel->getText() != "50.0%" && juce::Time::getMillisecondCounterHiRes() < deadline)
        paneltest::pump (10);
    EXPECT_EQ (editor->finalMixLabel->getText(), "50.0%");
    EXPECT_EQ (editor->finalMixSlider->getValue(), 0.5);
    EXPECT_TRUE (recorder->changes.empty());
}

TEST_F (EditorTest, RestoredChunkReachesEveryControl)
{
    VarnocAudioProcessor source;
    setDistinctValues (source);
    juce::MemoryBlock chunk;
    source.getStateInformation (chunk);
    expectDeliveredSilently ([&] { processor.setStateInformation (chunk.getData(), (int) chunk.getSize()); });
}

TEST_F (EditorTest, CrossoverHandlesSetTheirFrequenciesAndKeepApartEvenFromCrossedValues)
{
    // Fq_Low above Fq_High, as only the host or a chunk can set: the limits conflict with
    // each other and with the track.
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
    expectReportedOnce (params::fqHigh, 1.0f);
    EXPECT_NEAR (processor.highCrossoverHz.load(), 10837.0, 0.5);
    EXPECT_EQ (editor->highFrequencySelector->getValueLabel()->getText(), "10837Hz");
    EXPECT_FLOAT_EQ (editor->lowFrequencySelector->upperLimit, 0.9f);

    // ... which frees the low handle to move to the left end of its track ...
    const float lowest = 2.0f / 328.0f;
    dragBy (*editor->lowFrequencySelector, { -1000.0f });
    pump();
    EXPECT_EQ (lowOffset(), 2);
    expectReportedOnce (params::fqLow, lowest);
    EXPECT_NEAR (processor.lowCrossoverHz.load(), 95.0, 0.05);
    EXPECT_EQ (editor->lowFrequencySelector->getValueLabel()->getText(), "95Hz");
    EXPECT_FLOAT_EQ (editor->highFrequencySelector->lowerLimit, lowest + 0.1f);

    // ... and the high handle cannot be dragged below the low one's value + 0.1.
    dragBy (*editor->highFrequencySelector, { -1000.0f });
    pump();
    EXPECT_GE (editor->highFrequencySelector->getValue(), lowest + 0.1f - 1.0f / 328.0f);
    EXPECT_LE (editor->highFrequencySelector->getValue(), lowest + 0.1f);
    EXPECT_EQ (processor.getParameter (params::fqHigh), editor->highFrequencySelector->getValue());
}

TEST_F (EditorTest, TheHandleInHandIsDrawnOverTheOtherAndBelowTheLabels)
{
    openEditor();
    auto& e = *editor;
    const auto index = [&e] (juce::Component& c) { return e.getIndexOfChildComponent (&c); };
    const int labelsFrom = index (*e.inputGainLabel);

    // The low handle starts on top: close together, its label is not hidden.
    EXPECT_GT (index (*e.lowFrequencySelector), index (*e.highFrequencySelector));

    dragBy (*e.highFrequencySelector, { 0.0f });
    EXPECT_GT (index (*e.highFrequencySelector), index (*e.lowFrequencySelector));
    dragBy (*e.lowFrequencySelector, { 0.0f });
    EXPECT_GT (index (*e.lowFrequencySelector), index (*e.highFrequencySelector));

    // Both stay under the labels and the power switch, as built.
    EXPECT_LT (index (*e.lowFrequencySelector), labelsFrom);
    EXPECT_LT (index (*e.highFrequencySelector), labelsFrom);
    EXPECT_EQ (index (*e.powerButton), e.getNumChildComponents() - 1);
}

TEST_F (EditorTest, OpenAndCloseRepeatedlyWhileAudioRuns)
{
    processor.setPlayConfigDetails (2, 2, 44100.0, 256);
    processor.prepareToPlay (44100.0, 256);
    juce::Random random (1);
    playWhile (processor, [&random] (int) { return random.nextFloat() - 0.5f; }, [this]
    {
        for (int round = 0; round < 20; ++round)
        {
            auto e = std::make_unique<VarnocAudioProcessorEditor> (processor);
            processor.setParameter (params::fqLow, round % 2 == 0 ? 0.2f : 0.05f);
            e->lowBandPanel->attackDial->slider->setValue (round / 20.0, juce::sendNotificationSync);
            pump (5);
        }
    });

    juce::AudioBuffer<float> buffer (2, 256);
    buffer.clear();
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
    for (int c = 0; c < 2; ++c)
        EXPECT_TRUE (std::isfinite (buffer.getRMSLevel (c, 0, 256))); // no NaN or infinity anywhere
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
    playWhile (processor, [] (int n) { return 0.5f * std::sin (2.0f * 3.14159265f * 80.0f * (float) n / 48000.0f); },
               [&]
               {
                   paneltest::pumpUntil ([&] { return panel.levelMeter->getFrameIndex() > 20
                                                      && panel.reductionMeter->getFrameIndex() > 0; });
               });

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

//==============================================================================
// Hosts record touch automation and undo steps from the gestures around the changes.
TEST_F (EditorTest, GlobalSlidersHandlesAndPowerSwitchFrameEveryGesture)
{
    openEditor();
    hostevents::Recorder host (processor);

    struct Row { ImageSlider* slider; int index; };
    for (const auto& row : { Row { editor->inputGainSlider.get(), params::mainInGain },
                             Row { editor->makeUpGainSlider.get(), params::makeUpGain },
                             Row { editor->finalMixSlider.get(), params::finalMix } })
    {
        SCOPED_TRACE (testing::Message() << "parameter " << row.index);
        row.slider->setValue (0.5, juce::dontSendNotification);
        hostevents::drag (*row.slider, { 100.0f, 10.0f }, { { 10.0f, 0.0f }, { 30.0f, 0.0f } });
        pump();
        EXPECT_GT (hostevents::expectGesturesOn (host.events, row.index), 0.5f);
        EXPECT_EQ (host.count (hostevents::Kind::begin), 1u);

        host.events.clear();
        hostevents::wheel (*row.slider, 0.5f);
        pump();
        hostevents::expectGesturesOn (host.events, row.index);
        host.events.clear();
    }

    editor->powerButton->triggerClick();
    pump();
    EXPECT_EQ (hostevents::expectGesturesOn (host.events, params::mainOnOff), 0.0f);
    host.events.clear();

    // The handle's moves arrive as queued change messages; the last one is still
    // reported before the gesture ends.
    auto& handle = *editor->lowFrequencySelector;
    hostevents::drag (handle, { 20.0f, 10.0f }, { { 10.0f, 0.0f }, { 25.0f, 0.0f }, { 40.0f, 0.0f } });
    EXPECT_EQ (hostevents::expectGesturesOn (host.events, params::fqLow), handle.getValue());
    host.events.clear();
    pump();
    EXPECT_TRUE (host.events.empty());
}

TEST_F (EditorTest, AutomationProgramChangesAndRestoresAreNoGestures)
{
    openEditor();
    hostevents::Recorder host (processor);
    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);

    processor.setParameter (params::finalMix, 0.3f);
    pump();
    processor.setCurrentProgram (2);
    pump();
    processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
    pump();

    // Only the two requests to re-read the values, none of them a gesture or a change.
    ASSERT_EQ (host.events.size(), 2u);
    for (const auto& event : host.events)
    {
        EXPECT_EQ (event.kind, hostevents::Kind::display);
        EXPECT_TRUE (event.programChanged);
    }
}

TEST_F (EditorTest, AnIdleWindowPollsSlowlyAndSpeedsUpAtTheFirstChange)
{
    openEditor();
    EXPECT_EQ (editor->getPollIntervalMs(), VarnocAudioProcessorEditor::changePollIntervalMs);

    for (int poll = 1; poll < VarnocAudioProcessorEditor::quietPollsBeforeRest; ++poll)
        editor->pollForChanges();
    EXPECT_EQ (editor->getPollIntervalMs(), VarnocAudioProcessorEditor::changePollIntervalMs);
    editor->pollForChanges();
    EXPECT_TRUE (editor->isPollResting());
    EXPECT_EQ (editor->getPollIntervalMs(), VarnocAudioProcessorEditor::restingPollIntervalMs);

    // Host automation: seen at the next poll, which speeds the polling up again.
    processor.setParameter (params::finalMix, 0.25f);
    editor->pollForChanges();
    EXPECT_EQ (editor->finalMixLabel->getText(), "25.0%");
    EXPECT_FALSE (editor->isPollResting());
    EXPECT_EQ (editor->getPollIntervalMs(), VarnocAudioProcessorEditor::changePollIntervalMs);

    // While resting, the shared clock polls it: a host change arrives without any call here.
    for (int poll = 0; poll < VarnocAudioProcessorEditor::quietPollsBeforeRest; ++poll)
        editor->pollForChanges();
    ASSERT_TRUE (editor->isPollResting());
    processor.setParameter (params::finalMix, 0.75f);
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + 2000.0;
    while (editor->finalMixLabel->getText() != "75.0%" && juce::Time::getMillisecondCounterHiRes() < deadline)
        paneltest::pump (10);
    EXPECT_EQ (editor->finalMixLabel->getText(), "75.0%");
    EXPECT_FALSE (editor->isPollResting());
}

// JUCE's Linux windows redraw on a timer at the display's rate for as long as they
// exist; an editor holds its windows to maxWindowRefreshHz, whatever the display says.
TEST_F (EditorTest, WindowsRefreshAtMostAtTheCappedRate)
{
    auto& displays = const_cast<juce::Displays&> (juce::Desktop::getInstance().getDisplays());
    const auto saved = displays.displays;
    juce::Displays::Display fast, unknown; // without an X display, JUCE knows none
    fast.totalArea = fast.userArea = { 0, 0, 1920, 1080 };
    fast.verticalFrequencyHz = 144.0;
    unknown.totalArea = unknown.userArea = { 1920, 0, 1920, 1080 };
    displays.displays = { fast, unknown };

    openEditor();
    for (const auto& display : displays.displays)
    {
        ASSERT_TRUE (display.verticalFrequencyHz.has_value());
        EXPECT_LE (*display.verticalFrequencyHz, dunskara::editor::maxWindowRefreshHz);
    }
    displays.displays = saved;
}
