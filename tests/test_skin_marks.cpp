// Every mark printed on the background and the meter faces sits where its control
// shows the mark's value, and says what the control's label says there.
#include "editor/VarnocAudioProcessorEditor.h"
#include "panels/DisplayText.h"
#include "plugin/VarnocAudioProcessor.h"
#include "widgets/SkinLayout.h"
#include "widgets/imageAnimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{
using namespace skinlayout;

// "+3" -> 3, "1.5" -> 1.5, "2k" -> 2000.
double markNumber (const juce::String& text)
{
    const double n = text.getDoubleValue();
    return text.endsWith ("k") ? n * 1000.0 : n;
}

struct SkinMarks : public ::testing::Test
{
    VarnocAudioProcessor processor;
    std::unique_ptr<VarnocAudioProcessorEditor> editor = std::make_unique<VarnocAudioProcessorEditor> (processor);

    // The indicator line of a slider set to v: where its thumb is drawn plus the
    // line's place on the thumb.
    static float indicatorAt (ImageSlider& slider, double v, bool vertical, float indicator)
    {
        slider.setValue (v, juce::dontSendNotification);
        const auto thumb = slider.getThumbPosition();
        return (float) (vertical ? slider.getY() + thumb.y : slider.getX() + thumb.x) + indicator;
    }
};
} // namespace

TEST_F (SkinMarks, FaderMarksSitOnTheIndicatorAndMatchTheLabels)
{
    for (auto* panel : { static_cast<BandPanel*> (editor->lowBandPanel.get()), static_cast<BandPanel*> (editor->highBandPanel.get()) })
    {
        for (const auto& m : thresholdMarks())
        {
            EXPECT_NEAR (indicatorAt (*panel->thresholdSlider, m.value, true, faderIndicator), thresholdMarkY (m), 1.0f) << m.value;
            if (m.text.isNotEmpty())
            {
                EXPECT_NEAR (display::thresholdText ((float) m.value).getDoubleValue(), markNumber (m.text), 0.05) << m.text;
            }
        }

        for (const auto& m : ratioMarks())
        {
            EXPECT_NEAR (indicatorAt (*panel->ratioSlider, m.value, true, faderIndicator), ratioMarkY (m), 1.0f) << m.value;
            EXPECT_NEAR (display::ratioText ((float) m.value).getDoubleValue(), markNumber (m.text.isEmpty() ? "0" : m.text),
                         m.text.isEmpty() ? 100.0 : 0.02 * markNumber (m.text)) << m.text;
        }
    }
    EXPECT_EQ (thresholdMarks().size(), 11u);
}

TEST_F (SkinMarks, GlobalSliderMarksSitOnTheIndicatorAndMatchTheLabels)
{
    for (const auto& m : inputGainMarks())
    {
        EXPECT_NEAR (indicatorAt (*editor->inputGainSlider, m.value, false, gainIndicator), inputGainMarkX (m), 1.0f) << m.value;
        if (m.text.isNotEmpty() && m.value > 0.0)
        {
            EXPECT_NEAR (display::inputGainText ((float) m.value).getDoubleValue(), markNumber (m.text), 0.1) << m.text;
        }
    }
    // The left end is printed as the label's floor, which it reaches just above the end;
    // the end itself silences the signal and says so.
    EXPECT_EQ (inputGainMarks().front().text, "-30");
    EXPECT_EQ (display::inputGainText (0.001f), "-30.0dB");
    EXPECT_EQ (display::inputGainText (0.0f), "-inf dB");

    for (const auto& m : makeUpGainMarks())
    {
        EXPECT_NEAR (indicatorAt (*editor->makeUpGainSlider, m.value, false, gainIndicator), makeUpGainMarkX (m), 1.0f) << m.value;
        if (m.text.isNotEmpty())
        {
            EXPECT_NEAR (display::makeUpGainText ((float) m.value).getDoubleValue(), markNumber (m.text), 0.1) << m.text;
        }
    }

    for (const auto& m : finalMixMarks())
        EXPECT_NEAR (indicatorAt (*editor->finalMixSlider, m.value, false, mixIndicator), finalMixMarkX (m), 1.0f) << m.value;
}

TEST_F (SkinMarks, CrossoverMarksSitUnderTheHandlePointer)
{
    auto& handle = *editor->lowFrequencySelector;
    for (const auto& m : crossoverMarks())
    {
        handle.setValue ((float) m.value);
        EXPECT_NEAR ((float) handle.getX() + handlePointer, crossoverMarkX (m), 1.0f) << m.value;
        // The handle's own label is within one pixel's worth of the printed frequency.
        const double shown = display::crossoverText (handle.getValue()).getDoubleValue();
        const double onePixel = 36000.0 * std::log10 (1.0 + m.value) - 36000.0 * std::log10 (1.0 + m.value - 1.0 / 328.0);
        if (m.text.isNotEmpty())
        {
            EXPECT_NEAR (shown, markNumber (m.text), onePixel + 1.0) << m.text;
        }
    }
}

TEST_F (SkinMarks, NeedleMarksAreTheFramesTheNeedlesShow)
{
    editor.reset();
    const auto strip = juce::Image (juce::Image::ARGB, meterWidth, meterFrames * meterHeight, true);

    for (int band = 0; band < 3; ++band)
    {
        const auto marks = levelMarks (band);
        ASSERT_GE (marks.size(), 9u);
        int frameBelow = -1;
        for (const auto& m : marks)
        {
            imageAnimator level (strip, &processor, meterHeight, 0, band);
            processor.bandLevel[band][0] = (float) m.value;
            for (int i = 0; i < 400; ++i)
                level.timerCallback();
            EXPECT_EQ (level.getFrameIndex(), levelMarkFrame (band, m)) << band << " " << m.text;
            // Every mark has a needle position of its own: a mark beyond the needle's
            // stop would share the stop's frame with the mark below it.
            EXPECT_GT (level.getFrameIndex(), frameBelow) << band << " " << m.text;
            frameBelow = level.getFrameIndex();
        }
    }

    // The labelled marks are the same on every meter as far as each needle reaches.
    const auto labelled = [] (int band) { juce::StringArray t; for (auto& m : levelMarks (band)) if (m.text.isNotEmpty()) t.add (m.text); return t; };
    for (int i = 0; i < labelled (2).size(); ++i)
        EXPECT_EQ (labelled (2)[i], labelled (0)[i]);

    for (const auto& m : reductionMarks())
    {
        imageAnimator reduction (strip, &processor, meterHeight, 1, 1);
        processor.bandDynamics[1]->meanGain = (float) m.value;
        reduction.timerCallback();
        EXPECT_EQ (reduction.getFrameIndex(), reductionMarkFrame (m)) << m.text;
    }
    EXPECT_EQ (reductionMarkFrame (reductionMarks().front()), 0); // "0" is the needle's rest
}
