// The band panels: label texts, gestures, and the refresh from the processor.
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "panels/compcontrol.h"
#include "plugin/ParameterTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
using paneltest::pump;

//==============================================================================
// Label texts at the values the displays are specified for.

TEST (BandLabelText, TimesAreMillisecondsAt44100WithTruncation)
{
    EXPECT_EQ (display::attackText (0.0f), "0.2 ms");
    EXPECT_EQ (display::attackText (0.18f), "2.7 ms");
    EXPECT_EQ (display::attackText (0.5f), "14.9 ms");
    EXPECT_EQ (display::attackText (1.0f), "157.1 ms");

    EXPECT_EQ (display::releaseText (0.0f), "1 ms");
    EXPECT_EQ (display::releaseText (0.55f), "70 ms");
    EXPECT_EQ (display::releaseText (1.0f), "1571 ms");
}

TEST (BandLabelText, MixTruncatesInDoublePrecision)
{
    EXPECT_EQ (display::mixText (0.0f), "0 %");
    EXPECT_EQ (display::mixText (0.29f), "28 %"); // 0.28999999165534973
    EXPECT_EQ (display::mixText (0.555f), "55 %");
    EXPECT_EQ (display::mixText (1.0f), "100 %");
}

TEST (BandLabelText, AddCarriesDecibelsAndGainIsFlooredWithoutUnit)
{
    EXPECT_EQ (display::addText (0.0f), "0.0dB");
    EXPECT_EQ (display::addText (0.5f), "6.0dB");
    EXPECT_EQ (display::addText (1.0f), "9.5dB");

    EXPECT_EQ (display::gainText (0.0f), "-30.0");
    EXPECT_EQ (display::gainText (0.001f), "-30.0"); // -48 dB, floored
    EXPECT_EQ (display::gainText (0.18f), "-8.9");
    EXPECT_EQ (display::gainText (0.5f), "0.0");
    EXPECT_EQ (display::gainText (1.0f), "6.0");
    EXPECT_EQ (display::gainText (-0.5f), "-30.0"); // a chunk's negative value
}

TEST (BandLabelText, ThresholdHasAUnitOnlyAtTheTop)
{
    EXPECT_EQ (display::thresholdText (0.0f), "-25.0");
    EXPECT_EQ (display::thresholdText (0.5f), "-12.5");
    EXPECT_EQ (display::thresholdText (0.999f), "-0.0");
    EXPECT_EQ (display::thresholdText (1.0f), "0.0dB");
}

TEST (BandLabelText, RatioComesFromTheInvertedFaderMapping)
{
    EXPECT_EQ (display::ratioText (0.0f), "10.00");
    EXPECT_EQ (display::ratioText (0.18f), "5.88");
    EXPECT_EQ (display::ratioText (0.5f), "2.62");
    EXPECT_EQ (display::ratioText (1.0f), "1.00");
}

TEST (BandLabelText, ValuesOutsideTheRangeStillGiveDefinedTexts)
{
    // Only a saved chunk can carry these; the texts must not depend on undefined
    // conversions of infinities or NaNs.
    EXPECT_FALSE (display::attackText (-5.0f).isEmpty());
    EXPECT_FALSE (display::releaseText (-5.0f).isEmpty());
    EXPECT_FALSE (display::mixText (1.0e30f).isEmpty());
    EXPECT_EQ (display::releaseText (-1.0f), "0 ms"); // coefficient 10: no time
}

//==============================================================================
class BandPanelTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        band = GetParam();
        panel = makePanel (band);
        panel->setBounds (84, 100, 248, 460);
        panel->refreshFromProcessor();
        recorder = std::make_unique<paneltest::HostRecorder> (processor);
    }

    void TearDown() override
    {
        recorder.reset();
        panel.reset();
    }

    std::unique_ptr<BandPanel> makePanel (int b)
    {
        if (b == 0) return std::make_unique<compcontrol> (processor);
        if (b == 1) return std::make_unique<compcontrolMID> (processor);
        return std::make_unique<compcontrolHIGH> (processor);
    }

    int index (params::BandParameter p) const { return params::bandIndex (band, p); }
    DynamicsUnit& stage1() { return *processor.bandDynamics[(size_t) band]; }
    DynamicsUnit& stage2() { return *processor.bandDynamics[(size_t) band + 3]; }

    // A user turning a knob: the slider notifies the dial, which announces the change.
    void turn (rotaryDial& dial, double value)
    {
        dial.slider->setValue (value, juce::sendNotificationSync);
        pump();
    }

    void moveFader (ImageSlider& fader, double value) { fader.setValue (value, juce::sendNotificationSync); }

    void click (juce::Button& button)
    {
        button.triggerClick();
        pump();
    }

    // Exactly one report to the host, for `p` with value v, and the value stored.
    void expectReportedOnce (params::BandParameter p, float v)
    {
        ASSERT_EQ (recorder->changes.size(), 1u);
        EXPECT_EQ (recorder->changes[0].first, index (p));
        EXPECT_EQ (recorder->changes[0].second, v);
        EXPECT_EQ (processor.getParameter (index (p)), v);
        recorder->changes.clear();
    }

    int band = 0;
    VarnocAudioProcessor processor;
    std::unique_ptr<BandPanel> panel;
    std::unique_ptr<paneltest::HostRecorder> recorder;
};

INSTANTIATE_TEST_SUITE_P (Bands, BandPanelTest, ::testing::Values (0, 1, 2));

TEST_P (BandPanelTest, ConstructionAndRefreshReportNothingAndMirrorTheParameters)
{
    // A second panel built and refreshed while the host listens.
    auto other = makePanel (band);
    other->refreshFromProcessor();
    pump();
    EXPECT_TRUE (recorder->changes.empty());

    EXPECT_EQ (other->getBand(), band);
    EXPECT_DOUBLE_EQ (other->attackDial->getValue(), 0.42);
    EXPECT_DOUBLE_EQ (other->gainDial->getValue(), 0.5);
    EXPECT_DOUBLE_EQ (other->ratioSlider->getValue(), 1.0);
    EXPECT_FALSE (other->limiterButton->getToggleState());
    EXPECT_TRUE (other->channelButton->getToggleState());

    EXPECT_EQ (other->attackLabel->getText(), display::attackText (0.42f));
    EXPECT_EQ (other->releaseLabel->getText(), display::releaseText (0.6f));
    EXPECT_EQ (other->mixLabel->getText(), "100 %");
    EXPECT_EQ (other->addLabel->getText(), "0.0dB");
    EXPECT_EQ (other->gainLabel->getText(), "0.0");
    EXPECT_EQ (other->thresholdLabel->getText(), "0.0dB");
    EXPECT_EQ (other->ratioLabel->getText(), "1.00");
}

TEST_P (BandPanelTest, HighBandsMetersSitFurtherRightAndKnobLabelsStayHidden)
{
    const int meterX = band == 2 ? 54 : 52;
    EXPECT_EQ (panel->levelMeter->getBounds(), juce::Rectangle<int> (meterX, 24, 135, 83));
    EXPECT_EQ (panel->reductionMeter->getBounds(), panel->levelMeter->getBounds());
    EXPECT_GT (panel->getIndexOfChildComponent (panel->reductionMeter.get()),
               panel->getIndexOfChildComponent (panel->levelMeter.get()));

    for (auto* dial : { panel->attackDial.get(), panel->releaseDial.get(), panel->mixDial.get(),
                        panel->addDial.get(), panel->gainDial.get() })
        EXPECT_FALSE (dial->valueLabel->isVisible());
}

TEST_P (BandPanelTest, SwitchesStartOnForAnyPositiveValue)
{
    processor.setParameter (index (params::limonoff), 0.01f);
    processor.setParameter (index (params::chanonoff), 0.0f);
    auto other = makePanel (band);
    EXPECT_TRUE (other->limiterButton->getToggleState());
    EXPECT_FALSE (other->channelButton->getToggleState());
}

TEST_P (BandPanelTest, TimeKnobsSetTheirSettingAndShowMilliseconds)
{
    turn (*panel->attackDial, static_cast<double> (0.18f));
    expectReportedOnce (params::attack, 0.18f);
    EXPECT_EQ (panel->attackLabel->getText(), "2.7 ms");
    EXPECT_EQ (stage1().attack.load(), 0.18f);

    turn (*panel->releaseDial, static_cast<double> (0.55f));
    expectReportedOnce (params::release, 0.55f);
    EXPECT_EQ (panel->releaseLabel->getText(), "70 ms");
    EXPECT_EQ (stage1().release.load(), 0.55f);
    EXPECT_EQ (stage2().release.load(), 0.6f); // stage 2 keeps its own settings
}

TEST_P (BandPanelTest, MixAddAndGainKnobs)
{
    turn (*panel->mixDial, 0.29);
    expectReportedOnce (params::fxmix, 0.29f);
    EXPECT_EQ (panel->mixLabel->getText(), "28 %");
    EXPECT_EQ (stage1().mix.load(), 0.29f);
    EXPECT_FLOAT_EQ (stage1().dryLevel.load(), 0.71f); // coefficients re-derived

    turn (*panel->addDial, 0.5);
    expectReportedOnce (params::add, 0.5f);
    EXPECT_EQ (panel->addLabel->getText(), "6.0dB");
    EXPECT_EQ (processor.bandAddAmount[band].load(), 1.0f);

    turn (*panel->gainDial, 0.0);
    expectReportedOnce (params::gain, 0.0f);
    EXPECT_EQ (panel->gainLabel->getText(), "-30.0");
    EXPECT_EQ (processor.bandGain[band].load(), 0.0f);
}

TEST_P (BandPanelTest, DoubleClickRestoresTheKnobsResetValueAndTellsTheHost)
{
    turn (*panel->attackDial, 0.9);
    recorder->changes.clear();

    panel->attackDial->slider->mouseDoubleClick (paneltest::mouseEventAt (*panel->attackDial->slider, 50.0f, 0.0f, 2));
    pump (60);

    // The dial may announce the reset once or twice; the host hears the reset value.
    ASSERT_FALSE (recorder->changes.empty());
    for (const auto& change : recorder->changes)
        EXPECT_EQ (change, std::make_pair (index (params::attack), 0.18f));
    EXPECT_EQ (panel->attackLabel->getText(), "2.7 ms");
    EXPECT_EQ (stage1().attack.load(), 0.18f);
}

TEST_P (BandPanelTest, ThresholdFader)
{
    moveFader (*panel->thresholdSlider, 0.999);
    expectReportedOnce (params::thresh, 0.999f);
    EXPECT_EQ (panel->thresholdLabel->getText(), "-0.0");
    EXPECT_EQ (stage1().threshold.load(), params::thresholdSetting (0.999f));

    moveFader (*panel->thresholdSlider, 0.0);
    expectReportedOnce (params::thresh, 0.0f);
    EXPECT_EQ (panel->thresholdLabel->getText(), "-25.0");
    EXPECT_EQ (stage1().threshold.load(), 0.376f);

    moveFader (*panel->thresholdSlider, 1.0);
    expectReportedOnce (params::thresh, 1.0f);
    EXPECT_EQ (panel->thresholdLabel->getText(), "0.0dB");
}

TEST_P (BandPanelTest, RatioFaderStoresThePositionAndSetsTheInvertedRatio)
{
    moveFader (*panel->ratioSlider, 0.0);
    expectReportedOnce (params::ratio, 0.0f);
    EXPECT_EQ (panel->ratioLabel->getText(), "10.00");
    EXPECT_EQ (stage1().ratio.load(), 0.7805f);
    EXPECT_EQ (stage1().fullMode.load(), 1);

    moveFader (*panel->ratioSlider, 1.0);
    expectReportedOnce (params::ratio, 1.0f);
    EXPECT_EQ (panel->ratioLabel->getText(), "1.00");
    EXPECT_EQ (stage1().ratio.load(), params::ratioSetting (1.0f));
    EXPECT_NEAR (stage1().ratio.load(), 0.2f, 1e-7f);
}

TEST_P (BandPanelTest, SwitchClicksReportExactlyOneOrZero)
{
    click (*panel->limiterButton);
    expectReportedOnce (params::limonoff, 1.0f);
    EXPECT_EQ (stage1().limiter.load(), 0.65f);
    EXPECT_EQ (stage2().limiter.load(), 0.65f);

    click (*panel->limiterButton);
    expectReportedOnce (params::limonoff, 0.0f);
    EXPECT_EQ (stage1().limiter.load(), 1.0f);
    EXPECT_EQ (stage2().limiter.load(), 1.0f);

    click (*panel->channelButton);
    expectReportedOnce (params::chanonoff, 0.0f);
    EXPECT_EQ (processor.bandLevelMultiplier[band].load(), 0.0f);

    click (*panel->channelButton);
    expectReportedOnce (params::chanonoff, 1.0f);
    EXPECT_EQ (processor.bandLevelMultiplier[band].load(), 1.0f);
}

TEST_P (BandPanelTest, GesturesTouchOnlyTheirOwnBand)
{
    const int otherBand = (band + 1) % 3;
    const float otherAttack = processor.bandDynamics[(size_t) otherBand]->attack.load();

    turn (*panel->attackDial, 0.9);
    click (*panel->channelButton);

    EXPECT_EQ (processor.bandDynamics[(size_t) otherBand]->attack.load(), otherAttack);
    EXPECT_EQ (processor.bandLevelMultiplier[otherBand].load(), 1.0f);
    EXPECT_EQ (processor.getParameter (params::bandIndex (otherBand, params::attack)), 0.42f);
    for (const auto& change : recorder->changes)
        EXPECT_EQ (change.first / params::perBand, band);
}

TEST_P (BandPanelTest, RefreshMirrorsStoredValuesIntoControlsLabelsAndSignalChain)
{
    processor.setParameter (index (params::attack), 0.5f);
    processor.setParameter (index (params::release), 1.0f);
    processor.setParameter (index (params::fxmix), 0.555f);
    processor.setParameter (index (params::add), 1.0f);
    processor.setParameter (index (params::gain), 1.0f);
    processor.setParameter (index (params::thresh), 0.5f);
    processor.setParameter (index (params::ratio), 0.18f);
    processor.setParameter (index (params::limonoff), 0.3f);
    processor.setParameter (index (params::chanonoff), 0.0f);

    // Knock the signal chain out of line: the refresh must bring it back.
    stage1().attack.store (0.0f);
    stage1().threshold.store (0.0f);
    stage2().limiter.store (1.0f);
    processor.bandGain[band].store (0.0f);
    processor.bandLevelMultiplier[band].store (1.0f);

    panel->refreshFromProcessor();
    pump();
    EXPECT_TRUE (recorder->changes.empty());

    EXPECT_EQ (panel->attackLabel->getText(), "14.9 ms");
    EXPECT_EQ (panel->releaseLabel->getText(), "1571 ms");
    EXPECT_EQ (panel->mixLabel->getText(), "55 %");
    EXPECT_EQ (panel->addLabel->getText(), "9.5dB");
    EXPECT_EQ (panel->gainLabel->getText(), "6.0");
    EXPECT_EQ (panel->thresholdLabel->getText(), "-12.5");
    EXPECT_EQ (panel->ratioLabel->getText(), "5.88");

    EXPECT_DOUBLE_EQ (panel->attackDial->getValue(), 0.5);
    EXPECT_DOUBLE_EQ (panel->mixDial->getValue(), 0.555);
    EXPECT_DOUBLE_EQ (panel->ratioSlider->getValue(), 0.18);
    EXPECT_TRUE (panel->limiterButton->getToggleState());
    EXPECT_FALSE (panel->channelButton->getToggleState());

    EXPECT_EQ (stage1().attack.load(), 0.5f);
    EXPECT_EQ (stage1().threshold.load(), params::thresholdSetting (0.5f));
    EXPECT_EQ (stage1().ratio.load(), params::ratioSetting (0.18f));
    EXPECT_EQ (stage1().limiter.load(), 0.65f);
    EXPECT_EQ (stage2().limiter.load(), 0.65f);
    EXPECT_EQ (processor.bandGain[band].load(), 2.0f);
    EXPECT_EQ (processor.bandLevelMultiplier[band].load(), 0.0f);

    processor.setParameter (index (params::limonoff), 0.0f);
    panel->refreshFromProcessor();
    EXPECT_FALSE (panel->limiterButton->getToggleState());
    EXPECT_EQ (stage1().limiter.load(), 1.0f);
    EXPECT_EQ (stage2().limiter.load(), 1.0f);
}
} // namespace
