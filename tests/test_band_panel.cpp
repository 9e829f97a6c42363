// The band panels: label texts, gestures, and the refresh from the processor.
#include "host_event_recorder.h"
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "panels/compcontrol.h"
#include "plugin/ParameterTable.h"
#include "tools/skin/Layout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace
{
using paneltest::pump;

TEST (BandLabelText, EveryLabelShowsItsValueInItsOwnFormat)
{
    struct Example { float v; const char* text; };
    const std::pair<juce::String (*) (float), std::vector<Example>> rows[] = {
        // times in milliseconds at 44100 Hz, truncated
        { display::attackText, { { 0.0f, "0.2 ms" }, { 0.18f, "2.7 ms" }, { 0.5f, "14.9 ms" }, { 1.0f, "157.1 ms" } } },
        { display::releaseText, { { 0.0f, "1 ms" }, { 0.55f, "70 ms" }, { 1.0f, "1571 ms" }, { -1.0f, "0 ms" } } },
        // the mix truncates in double precision: 0.29f is 0.28999999165534973
        { display::mixText, { { 0.0f, "0 %" }, { 0.29f, "28 %" }, { 0.555f, "55 %" }, { 1.0f, "100 %" } } },
        // add carries decibels; gain is floored at -30 and carries none
        { display::addText, { { 0.0f, "0.0dB" }, { 0.5f, "6.0dB" }, { 1.0f, "9.5dB" } } },
        { display::gainText, { { 0.0f, "-inf" }, { 0.001f, "-30.0" }, { 0.18f, "-8.9" }, { 0.5f, "0.0" },
                               { 1.0f, "6.0" }, { -0.5f, "-30.0" } } },
        // the threshold has a unit only at the very top
        { display::thresholdText, { { 0.0f, "-25.0" }, { 0.5f, "-12.5" }, { 0.999f, "-0.0" }, { 1.0f, "0.0dB" } } },
        // the ratio comes from the inverted fader mapping
        { display::ratioText, { { 0.0f, "10.00" }, { 0.18f, "5.88" }, { 0.5f, "2.62" }, { 1.0f, "1.00" } } },
    };
    for (const auto& [text, examples] : rows)
        for (const auto& example : examples)
            EXPECT_EQ (text (example.v), example.text) << "value " << example.v;

    // Only a saved chunk can carry these: no undefined conversion of infinities or NaNs.
    EXPECT_FALSE (display::attackText (-5.0f).isEmpty());
    EXPECT_FALSE (display::releaseText (-5.0f).isEmpty());
    EXPECT_FALSE (display::mixText (1.0e30f).isEmpty());
}

//==============================================================================
class BandPanelTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        // The host listens from the start: building and refreshing a panel reports nothing.
        recorder = std::make_unique<paneltest::HostRecorder> (processor);
        if (band == 0) panel = std::make_unique<compcontrol> (processor);
        else if (band == 1) panel = std::make_unique<compcontrolMID> (processor);
        else panel = std::make_unique<compcontrolHIGH> (processor);
        panel->setBounds (84, 100, 248, 460);
        panel->refreshFromProcessor();
        pump();
    }

    int index (params::BandParameter p) const { return params::bandIndex (band, p); }
    DynamicsUnit& stage1() { return *processor.bandDynamics[(size_t) band]; }
    DynamicsUnit& stage2() { return *processor.bandDynamics[(size_t) band + 3]; }

    // The slider the user moves for a knob or fader parameter, its label and the DSP
    // value it writes.
    struct Control { juce::Slider* slider; juce::Label* label; std::atomic<float>* dsp; };
    Control controlOf (params::BandParameter p)
    {
        const Control controls[] = {
            { panel->attackDial->slider, panel->attackLabel.get(), &stage1().attack },
            { panel->releaseDial->slider, panel->releaseLabel.get(), &stage1().release },
            { panel->mixDial->slider, panel->mixLabel.get(), &stage1().mix },
            { panel->addDial->slider, panel->addLabel.get(), &processor.bandAddAmount[band] },
            { panel->gainDial->slider, panel->gainLabel.get(), &processor.bandGain[band] },
            { panel->thresholdSlider.get(), panel->thresholdLabel.get(), &stage1().threshold },
            { panel->ratioSlider.get(), panel->ratioLabel.get(), &stage1().ratio },
        };
        return controls[p];
    }

    // A knob's slider notifies the dial, which announces the change asynchronously.
    void move (params::BandParameter p, double v)
    {
        controlOf (p).slider->setValue (v, juce::sendNotificationSync);
        pump();
    }

    void expectReportedOnce (params::BandParameter p, float v)
    {
        paneltest::expectReportedOnce (*recorder, processor, index (p), v);
    }

    const int band = GetParam();
    VarnocAudioProcessor processor;
    std::unique_ptr<paneltest::HostRecorder> recorder;
    std::unique_ptr<BandPanel> panel; // destroyed before the recorder stops listening
};

INSTANTIATE_TEST_SUITE_P (Bands, BandPanelTest, ::testing::Values (0, 1, 2));

TEST_P (BandPanelTest, ConstructionAndRefreshReportNothingAndMirrorTheParameters)
{
    EXPECT_TRUE (recorder->changes.empty());

    const juce::String shown[] = { display::attackText (0.42f), display::releaseText (0.6f), "100 %",
                                   "0.0dB", "0.0", "0.0dB", "1.00" };
    const double values[] = { 0.42, 0.6, 1.0, 0.0, 0.5, 1.0, 1.0 };
    for (int i = 0; i < 7; ++i)
    {
        EXPECT_EQ (controlOf (params::BandParameter (i)).label->getText(), shown[i]);
        EXPECT_DOUBLE_EQ (controlOf (params::BandParameter (i)).slider->getValue(), values[i]);
    }
    EXPECT_FALSE (panel->limiterButton->getToggleState());
    EXPECT_TRUE (panel->channelButton->getToggleState());
}

TEST_P (BandPanelTest, EachKnobAndFaderSetsItsParameterLabelAndDspValue)
{
    struct Row { params::BandParameter p; float v; const char* label; float dsp; };
    const Row rows[] = {
        { params::attack, 0.18f, "2.7 ms", 0.18f },
        { params::release, 0.55f, "70 ms", 0.55f },
        { params::fxmix, 0.29f, "28 %", 0.29f },
        { params::add, 0.5f, "6.0dB", 1.0f },
        { params::gain, 0.0f, "-inf", 0.0f },
        { params::thresh, 0.999f, "-0.0", params::thresholdSetting (0.999f) },
        { params::thresh, 0.0f, "-25.0", 0.376f },
        { params::thresh, 1.0f, "0.0dB", params::thresholdSetting (1.0f) },
        // the parameter stores the fader position, the DSP the inverted ratio
        { params::ratio, 0.18f, "5.88", params::ratioSetting (0.18f) },
        { params::ratio, 1.0f, "1.00", params::ratioSetting (1.0f) },
        { params::ratio, 0.0f, "10.00", 0.7805f },
    };
    const int otherBand = (band + 1) % 3;
    const float otherAttack = processor.bandDynamics[(size_t) otherBand]->attack.load();

    for (const auto& row : rows)
    {
        SCOPED_TRACE (testing::Message() << "parameter " << row.p << " to " << row.v);
        move (row.p, static_cast<double> (row.v));
        expectReportedOnce (row.p, row.v);
        EXPECT_EQ (controlOf (row.p).label->getText(), row.label);
        EXPECT_EQ (controlOf (row.p).dsp->load(), row.dsp);
    }

    // The coefficients are re-derived; stage 2 and the other bands keep their settings.
    EXPECT_FLOAT_EQ (stage1().coefficients().dryLevel, 0.71f);
    EXPECT_EQ (stage1().coefficients().fullMode, 1);
    EXPECT_EQ (stage2().release.load(), 0.6f);
    EXPECT_EQ (stage2().ratio.load(), 0.2f);
    EXPECT_EQ (processor.bandDynamics[(size_t) otherBand]->attack.load(), otherAttack);
    EXPECT_EQ (processor.getParameter (params::bandIndex (otherBand, params::attack)), 0.42f);
}

TEST_P (BandPanelTest, DoubleClickRestoresTheKnobsResetValueAndTellsTheHost)
{
    move (params::attack, 0.9);
    recorder->changes.clear();

    auto& knob = *panel->attackDial->slider;
    knob.mouseDoubleClick (paneltest::mouseEventAt (knob, 50.0f, 0.0f, 2));
    pump (60);

    // The dial may announce the reset once or twice; the host hears the reset value.
    ASSERT_FALSE (recorder->changes.empty());
    for (const auto& change : recorder->changes)
        EXPECT_EQ (change, std::make_pair (index (params::attack), 0.18f));
    EXPECT_EQ (panel->attackLabel->getText(), "2.7 ms");
    EXPECT_EQ (stage1().attack.load(), 0.18f);
}

TEST_P (BandPanelTest, SwitchClicksReportExactlyOneOrZero)
{
    for (float on : { 1.0f, 0.0f })
    {
        panel->limiterButton->triggerClick();
        pump();
        expectReportedOnce (params::limonoff, on);
        EXPECT_EQ (stage1().limiter.load(), on > 0.0f ? 0.65f : 1.0f);
        EXPECT_EQ (stage2().limiter.load(), on > 0.0f ? 0.65f : 1.0f);
    }
    for (float on : { 0.0f, 1.0f })
    {
        panel->channelButton->triggerClick();
        pump();
        expectReportedOnce (params::chanonoff, on);
        EXPECT_EQ (processor.bandLevelMultiplier[band].load(), on);
    }
}

TEST_P (BandPanelTest, RefreshMirrorsStoredValuesIntoControlsLabelsAndSignalChain)
{
    // attack, release, fxmix, add, gain, thresh, ratio, limonoff, chanonoff
    const float stored[] = { 0.5f, 1.0f, 0.555f, 1.0f, 1.0f, 0.5f, 0.18f, 0.01f, 0.0f };
    const char* shown[] = { "14.9 ms", "1571 ms", "55 %", "9.5dB", "6.0", "-12.5", "5.88" };
    const float dsp[] = { 0.5f, 1.0f, 0.555f, 2.0f, 2.0f, params::thresholdSetting (0.5f), params::ratioSetting (0.18f) };
    for (int i = 0; i < params::perBand; ++i)
        processor.setParameter (band * params::perBand + i, stored[i]);
    for (int i = 0; i < 7; ++i)
        controlOf (params::BandParameter (i)).dsp->store (-1.0f); // out of line: the refresh restores it

    panel->refreshFromProcessor();
    pump();
    EXPECT_TRUE (recorder->changes.empty());

    for (int i = 0; i < 7; ++i)
    {
        const auto control = controlOf (params::BandParameter (i));
        EXPECT_EQ (control.label->getText(), shown[i]);
        EXPECT_NEAR (control.slider->getValue(), stored[i], 1.0e-6);
        EXPECT_EQ (control.dsp->load(), dsp[i]);
    }
    EXPECT_TRUE (panel->limiterButton->getToggleState()); // any positive value is on
    EXPECT_EQ (stage1().limiter.load(), 0.65f);
    EXPECT_EQ (stage2().limiter.load(), 0.65f);
    EXPECT_FALSE (panel->channelButton->getToggleState());
    EXPECT_EQ (processor.bandLevelMultiplier[band].load(), 0.0f);

    processor.setParameter (index (params::limonoff), 0.0f);
    panel->refreshFromProcessor();
    EXPECT_FALSE (panel->limiterButton->getToggleState());
    EXPECT_EQ (stage1().limiter.load(), 1.0f);
    EXPECT_EQ (stage2().limiter.load(), 1.0f);
}
//==============================================================================
// Hosts record touch automation and undo steps from the gestures around the changes.
TEST_P (BandPanelTest, EveryDragOrWheelStepOnAKnobOrFaderIsOneGestureOnItsParameter)
{
    for (int p = params::attack; p <= params::ratio; ++p)
    {
        SCOPED_TRACE (testing::Message() << "parameter " << p);
        auto& slider = *controlOf (params::BandParameter (p)).slider;
        move (params::BandParameter (p), 0.5); // room to move both ways
        const float before = processor.getParameter (index (params::BandParameter (p)));

        // Knobs turn with vertical drags, faders follow them.
        hostevents::Recorder host (processor);
        hostevents::drag (slider, { 20.0f, 60.0f }, { { 0.0f, -10.0f }, { 0.0f, -25.0f }, { 0.0f, -40.0f } });
        pump();
        const float dragged = hostevents::expectGesturesOn (host.events, index (params::BandParameter (p)));
        EXPECT_EQ (host.count (hostevents::Kind::begin), 1u);
        EXPECT_NE (dragged, before);
        EXPECT_EQ (processor.getParameter (index (params::BandParameter (p))), dragged);

        host.events.clear();
        hostevents::wheel (slider, -0.5f);
        pump();
        hostevents::expectGesturesOn (host.events, index (params::BandParameter (p)));
        EXPECT_EQ (host.count (hostevents::Kind::begin), 1u);
        EXPECT_LT (processor.getParameter (index (params::BandParameter (p))), dragged);

        // A press that moves nothing tells the host nothing.
        host.events.clear();
        hostevents::drag (slider, { 20.0f, 60.0f }, {});
        pump();
        EXPECT_TRUE (host.events.empty());
    }
}

TEST_P (BandPanelTest, DoubleClickResetsAndSwitchClicksAreFramedToo)
{
    move (params::attack, 0.9);
    move (params::thresh, 0.3);
    hostevents::Recorder host (processor);

    hostevents::doubleClick (*panel->attackDial->slider);
    pump (60);
    EXPECT_EQ (hostevents::expectGesturesOn (host.events, index (params::attack)), 0.18f);

    host.events.clear();
    hostevents::doubleClick (*panel->thresholdSlider);
    pump (60);
    EXPECT_EQ (hostevents::expectGesturesOn (host.events, index (params::thresh)), 1.0f);

    host.events.clear();
    panel->limiterButton->triggerClick();
    pump();
    EXPECT_EQ (hostevents::expectGesturesOn (host.events, index (params::limonoff)), 1.0f);
    EXPECT_EQ (host.count (hostevents::Kind::change), 1u);

    // Mirroring stored values into the controls is no gesture.
    host.events.clear();
    processor.setParameter (index (params::gain), 0.9f);
    panel->refreshFromProcessor();
    pump();
    EXPECT_TRUE (host.events.empty());
}

TEST_P (BandPanelTest, APanelClosedInTheMiddleOfADragEndsTheGesture)
{
    hostevents::Recorder host (processor);
    auto& fader = *panel->ratioSlider;
    fader.mouseDown (hostevents::mouseAt (fader, { 20.0f, 60.0f }, { 20.0f, 60.0f }));
    fader.mouseDrag (hostevents::mouseAt (fader, { 20.0f, 60.0f }, { 20.0f, 90.0f }));
    panel.reset();
    hostevents::expectGesturesOn (host.events, index (params::ratio));
}
} // namespace

//==============================================================================
// Solo is monitoring: the button talks to the processor only, never to the host.
TEST_P (BandPanelTest, SoloButtonSoloesTheBandAndReportsNothing)
{
    const hostevents::Recorder host (processor);
    for (const bool on : { true, false })
    {
        panel->soloButton->triggerClick();
        pump();
        EXPECT_EQ (panel->soloButton->getToggleState(), on);
        for (int b = 0; b < 3; ++b)
            EXPECT_EQ (processor.isBandSoloed (b), on && b == band) << "band " << b;
    }
    EXPECT_TRUE (host.events.empty());
    EXPECT_TRUE (recorder->changes.empty());
}

TEST_P (BandPanelTest, SoloButtonShowsTheProcessorsSoloState)
{
    EXPECT_FALSE (panel->soloButton->getToggleState());

    // Soloed with the window closed: a panel built afterwards shows it, and a refresh
    // follows later changes.
    processor.setBandSolo (band, true);
    panel.reset();
    if (band == 0) panel = std::make_unique<compcontrol> (processor);
    else if (band == 1) panel = std::make_unique<compcontrolMID> (processor);
    else panel = std::make_unique<compcontrolHIGH> (processor);
    EXPECT_TRUE (panel->soloButton->getToggleState());

    processor.setBandSolo (band, false);
    panel->refreshFromProcessor();
    EXPECT_FALSE (panel->soloButton->getToggleState());
    EXPECT_TRUE (recorder->changes.empty());
}

// Placed in free space: clear of every other control's box, and of the scales printed
// around the attack and release knobs, whose boxes have free corners.
TEST_P (BandPanelTest, SoloButtonSitsClearOfEveryOtherControl)
{
    const auto solo = panel->soloButton->getBounds();
    EXPECT_EQ (solo, skinlayout::soloButton);
    for (auto* child : panel->getChildren())
    {
        if (child == panel->soloButton.get())
            continue;
        const bool largeKnob = child == panel->attackDial.get() || child == panel->releaseDial.get();
        if (! largeKnob)
        {
            EXPECT_FALSE (child->getBounds().intersects (solo)) << child->getName() << " " << child->getBounds().toString();
            continue;
        }
        const auto centre = child->getBounds().toFloat().getCentre();
        const auto nearest = solo.toFloat().getConstrainedPoint (centre);
        EXPECT_GT (nearest.getDistanceFrom (centre), skinlayout::largeKnob.tickOuter) << child->getBounds().toString();
    }
}
