// Values typed into the readout labels: read in the readout's units, applied as one
// framed change, and shown back as typed; unreadable text changes nothing and the
// label says why.
#include "editor/VarnocAudioProcessorEditor.h"
#include "host_event_recorder.h"
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "panels/ReadoutUnits.h"
#include "panels/TypedEntry.h"
#include "plugin/ParameterTable.h"

#include <gtest/gtest.h>

namespace
{
// What a user does: click the label, type, press return.
void type (juce::Label& label, const juce::String& text)
{
    ASSERT_TRUE (label.isEditableOnSingleClick());
    label.showEditor();
    auto* field = label.getCurrentTextEditor();
    ASSERT_NE (field, nullptr);
    // Readable over the skin: the readout's own colour on an opaque ground.
    EXPECT_EQ (field->findColour (juce::TextEditor::textColourId), label.findColour (juce::Label::textColourId));
    EXPECT_TRUE (field->findColour (juce::TextEditor::backgroundColourId).isOpaque());
    field->setText (text, false);
    label.hideEditor (false);
}

class TypedValues : public ::testing::Test
{
protected:
    struct Readout { juce::Label* label; int index; };

    // Every kind of readout: the band labels (mid band) and the window's own.
    std::vector<Readout> readouts()
    {
        auto& b = *editor.midBandPanel;
        const auto in = [] (params::BandParameter p) { return params::bandIndex (1, p); };
        return { { b.attackLabel.get(), in (params::attack) },   { b.releaseLabel.get(), in (params::release) },
                 { b.mixLabel.get(), in (params::fxmix) },       { b.addLabel.get(), in (params::add) },
                 { b.gainLabel.get(), in (params::gain) },       { b.thresholdLabel.get(), in (params::thresh) },
                 { b.ratioLabel.get(), in (params::ratio) },     { editor.inputGainLabel.get(), params::mainInGain },
                 { editor.makeUpGainLabel.get(), params::makeUpGain }, { editor.finalMixLabel.get(), params::finalMix } };
    }

    VarnocAudioProcessor processor;
    VarnocAudioProcessorEditor editor { processor };
};
} // namespace

TEST_F (TypedValues, TheShownTextTypedBackGivesAValueThatShowsItAndIsOneFramedChange)
{
    for (const auto& r : readouts())
    {
        for (float shownAt : { 0.0f, 0.013f, 0.37f, 0.5f, 0.91f, 1.0f })
        {
            const auto text = display::text (r.index, shownAt);
            SCOPED_TRACE (testing::Message() << "parameter " << r.index << " '" << text << "'");
            processor.setParameter (r.index, shownAt < 0.5f ? 0.8f : 0.2f); // elsewhere first
            editor.refreshFromProcessor();
            paneltest::pump (5);

            hostevents::Recorder host (processor);
            type (*r.label, text);
            paneltest::pump (5);
            const float reported = hostevents::expectGesturesOn (host.events, r.index);
            EXPECT_EQ (host.count (hostevents::Kind::change), 1u);
            EXPECT_EQ (processor.getParameter (r.index), reported);
            EXPECT_EQ (display::text (r.index, reported), text);
            EXPECT_EQ (r.label->getText(), text);
        }
    }
}

TEST_F (TypedValues, NumbersAreReadInTheReadoutsUnitsWithOrWithoutTheUnit)
{
    auto& b = *editor.lowBandPanel;
    struct Row { juce::Label* label; const char* typed; const char* shown; };
    const Row rows[] = {
        { b.gainLabel.get(), "-12", "-12.0" },
        { b.gainLabel.get(), "-12 dB", "-12.0" },
        { b.gainLabel.get(), "-inf", "-inf" },
        { b.thresholdLabel.get(), "-12", "-12.0" },
        { b.thresholdLabel.get(), "0", "0.0dB" },
        { b.attackLabel.get(), "25 ms", "25.0 ms" },
        { b.releaseLabel.get(), "300", "300 ms" },
        { b.mixLabel.get(), "50 %", "50 %" },
        { b.mixLabel.get(), "1", "1 %" },  // a bare number is the readout's unit, never 0..1
        { b.ratioLabel.get(), "4", "4.00" },
        { b.ratioLabel.get(), "4:1", "4.00" },
        { editor.inputGainLabel.get(), "-inf dB", "-inf dB" },
        { editor.inputGainLabel.get(), "6", "6.0dB" },
        { editor.finalMixLabel.get(), "50", "50.0%" },
        // beyond the ends: limited to the control's range
        { b.thresholdLabel.get(), "-40 dB", "-25.0" },
        { b.thresholdLabel.get(), "3", "0.0dB" },
        { b.mixLabel.get(), "200 %", "100 %" },
        { b.ratioLabel.get(), "20:1", "10.00" },
        { editor.inputGainLabel.get(), "40 dB", "12.0dB" },
        { editor.makeUpGainLabel.get(), "-3", "0.0dB" },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.typed);
        type (*row.label, row.typed);
        paneltest::pump (5);
        EXPECT_EQ (row.label->getText(), row.shown);
    }
}

TEST_F (TypedValues, UnreadableTextChangesNothingAndTheLabelSaysWhy)
{
    for (const auto& r : readouts())
    {
        for (const char* typed : { "loud", "5 Hz", "12 s", "-5 ms", "50 dB" })
        {
            SCOPED_TRACE (testing::Message() << "parameter " << r.index << " '" << typed << "'");
            const float before = processor.getParameter (r.index);
            const auto parsed = readout::parse (r.index, typed, readout::Reach::drag, readout::Beyond::limit);
            if (parsed.ok())
                continue; // some of these are fine for some readouts

            hostevents::Recorder host (processor);
            type (*r.label, typed);
            paneltest::pump (5);
            EXPECT_TRUE (host.events.empty());
            EXPECT_EQ (processor.getParameter (r.index), before);
            EXPECT_EQ (r.label->getText(), parsed.error);
            EXPECT_EQ (r.label->getTooltip(), parsed.error);
        }
    }
}

TEST_F (TypedValues, AHandleTakesATypedFrequencyOnItsNearestPixelWithinItsLimits)
{
    auto& low = *editor.lowFrequencySelector;
    auto& high = *editor.highFrequencySelector;
    constexpr int trackLength = fqSelector::trackLength;

    // A click on the label without moving opens the field; a drag does not.
    hostevents::drag (low, { 20.0f, 10.0f }, {});
    EXPECT_NE (low.getValueLabel()->getCurrentTextEditor(), nullptr);
    low.getValueLabel()->hideEditor (true);
    hostevents::drag (low, { 20.0f, 10.0f }, { { 5.0f, 0.0f } });
    EXPECT_EQ (low.getValueLabel()->getCurrentTextEditor(), nullptr);
    hostevents::drag (low, { 20.0f, 50.0f }, {}); // below the label
    EXPECT_EQ (low.getValueLabel()->getCurrentTextEditor(), nullptr);

    // Every text the handle shows, typed back, puts it on the pixel that shows it.
    for (int pixel : { 2, 9, 40, 71, 97 }) // below the high handle's default, less 0.1
    {
        const auto text = display::crossoverText (static_cast<float> (pixel / double (trackLength)));
        SCOPED_TRACE (text);
        hostevents::Recorder host (processor);
        type (*low.getValueLabel(), text);
        const float reported = hostevents::expectGesturesOn (host.events, params::fqLow);
        EXPECT_EQ (host.count (hostevents::Kind::change), 1u);
        EXPECT_EQ (low.getX() - low.trackStartX, pixel);
        EXPECT_EQ (reported, low.getValue());
        EXPECT_EQ (low.getValueLabel()->getText(), text);
        EXPECT_EQ (high.lowerLimit, static_cast<float> (reported + 0.1));
    }

    // Within the handle's limits, as a drag: the low handle stops 0.1 below the high one,
    // also when the frequency is beyond the track's end.
    type (*low.getValueLabel(), "300 Hz");
    type (*high.getValueLabel(), "8000");
    type (*low.getValueLabel(), "20 kHz");
    EXPECT_EQ (low.getX(), editor.lowFrequencySelector->trackStartX + static_cast<int> (trackLength * low.upperLimit));

    // Unreadable text changes nothing.
    const float before = processor.getParameter (params::fqLow);
    hostevents::Recorder host (processor);
    type (*low.getValueLabel(), "20 dB");
    EXPECT_TRUE (host.events.empty());
    EXPECT_EQ (processor.getParameter (params::fqLow), before);
    EXPECT_EQ (low.getValueLabel()->getText(), readout::parse (params::fqLow, "20 dB").error);
}

TEST_F (TypedValues, TheReasonGivesWayToTheValueAgain)
{
    auto& label = *editor.midBandPanel->gainLabel;
    const auto shown = label.getText();
    type (label, "loud");
    EXPECT_NE (label.getText(), shown);

    EXPECT_TRUE (paneltest::pumpUntil ([&] { return label.getText() == shown; }, typedentry::errorShownMs + 5000));
}
