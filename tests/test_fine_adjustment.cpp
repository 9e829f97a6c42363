// Fine adjustment on every control: shift-held drags move a tenth as fast, the arrow
// keys step by the interval, and the crossover handles also take the wheel and a
// double-click. Every such change reaches the host as one framed gesture.
#include "editor/VarnocAudioProcessorEditor.h"
#include "host_event_recorder.h"
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "panels/compcontrol.h"
#include "panels/fqSelector.h"
#include "plugin/ParameterTable.h"
#include "widgets/ImageSlider.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{
const auto shift = juce::ModifierKeys (juce::ModifierKeys::shiftModifier | juce::ModifierKeys::leftButtonModifier);
const auto plain = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);

juce::MouseEvent mouseAt (juce::Component& target, juce::Point<float> down, juce::Point<float> now,
                          juce::ModifierKeys mods)
{
    const auto time = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), now, mods, 0.0f, 0.0f, 0.0f, 0.0f,
                             0.0f, &target, &target, time, down, time, 1, down != now);
}

struct Step { juce::Point<float> offset; juce::ModifierKeys mods; };

// Press, move through the offsets from the press point (each with its modifiers), release.
void dragWith (juce::Component& target, std::initializer_list<Step> steps)
{
    const juce::Point<float> down (20.0f, 30.0f);
    target.mouseDown (mouseAt (target, down, down, plain));
    auto now = down;
    for (const auto& step : steps)
        target.mouseDrag (mouseAt (target, down, now = down + step.offset, step.mods));
    target.mouseUp (mouseAt (target, down, now, plain));
}

std::unique_ptr<ImageSlider> makeSlider (int style)
{
    auto slider = std::make_unique<ImageSlider> ("dial");
    slider->setImageStyle (style);
    slider->frameHeight = 30;
    slider->setRange (0.0, 1.0, 0.001);
    slider->setSliderSnapsToMousePosition (false);
    slider->setBounds (0, 0, 200, 200);
    slider->setValue (0.5, juce::dontSendNotification);
    return slider;
}
} // namespace

TEST (FineAdjustment, ShiftHeldWhileDraggingASliderMovesATenthAsFar)
{
    // A fifth of the range: a fifth of the thumb's travel on the 200-pixel linear
    // sliders (200 less the default thumb's 24 pixels), 50 of 250 pixels on a knob.
    struct Row { int style; juce::Point<float> towardsMore; };
    const Row rows[] = {
        { ImageSlider::horizontalThumb, { 0.2f * (200 - 24), 0.0f } },
        { ImageSlider::verticalThumb, { 0.0f, -0.2f * (200 - 24) } },
        { ImageSlider::rotaryStrip, { 0.0f, -50.0f } },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (testing::Message() << "style " << row.style);
        const auto d = row.towardsMore;

        auto slider = makeSlider (row.style);
        dragWith (*slider, { { d, plain } });
        EXPECT_NEAR (slider->getValue(), 0.7, 1e-9);

        slider = makeSlider (row.style);
        dragWith (*slider, { { d, shift } });
        EXPECT_NEAR (slider->getValue(), 0.52, 1e-9);

        // Shift pressed and released mid-drag changes the speed from there on, no jump.
        slider = makeSlider (row.style);
        dragWith (*slider, { { d, plain }, { d * 2.0f, shift }, { d * 3.0f, plain } });
        EXPECT_NEAR (slider->getValue(), 0.5 + 0.2 + 0.02 + 0.2, 1e-9);
    }
}

TEST (FineAdjustment, EveryFaderAndSliderThumbStaysUnderThePointer)
{
    VarnocAudioProcessor processor;
    VarnocAudioProcessorEditor editor (processor);
    struct Row { const char* what; ImageSlider* slider; bool vertical; };
    const Row rows[] = {
        { "threshold fader", editor.lowBandPanel->thresholdSlider.get(), true },
        { "ratio fader", editor.highBandPanel->ratioSlider.get(), true },
        { "input gain", editor.inputGainSlider.get(), false },
        { "make-up gain", editor.makeUpGainSlider.get(), false },
        { "final mix", editor.finalMixSlider.get(), false },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        auto& slider = *row.slider;
        const auto along = [&] (juce::Point<int> p) { return row.vertical ? -p.y : p.x; }; // towards more
        const int travel = row.vertical ? slider.getHeight() - slider.getImage().getHeight()
                                        : slider.getWidth() - slider.getImage().getWidth();
        EXPECT_EQ (slider.getDragDistanceForFullRange(), travel);

        // From either end and from the middle, drags of every length that stays on the
        // track, both ways: the thumb moves as far as the pointer, give or take the
        // rounding of the value to its 0.001 step and of the thumb to whole pixels.
        for (double start : { 0.0, 0.5, 1.0 })
            for (int pixels = -travel; pixels <= travel; pixels += 7)
            {
                slider.setValue (start, juce::dontSendNotification);
                const int from = along (slider.getThumbPosition());
                const int target = from + pixels;
                const int lowest = row.vertical ? -travel : 0, highest = row.vertical ? 0 : travel;
                if (target < lowest || target > highest)
                    continue;

                const auto offset = row.vertical ? juce::Point<float> (0.0f, (float) -pixels) : juce::Point<float> ((float) pixels, 0.0f);
                dragWith (slider, { { offset * 0.5f, plain }, { offset, plain } });
                EXPECT_NEAR (along (slider.getThumbPosition()) - from, pixels, 1) << "from " << start << " by " << pixels;
            }
    }
    paneltest::pump (5);
}

TEST (FineAdjustment, ArrowKeysStepAFocusedSliderByItsInterval)
{
    auto slider = makeSlider (ImageSlider::rotaryStrip);
    EXPECT_TRUE (slider->getWantsKeyboardFocus());

    struct Row { int key; double expected; };
    for (const auto& row : { Row { juce::KeyPress::upKey, 0.501 }, Row { juce::KeyPress::rightKey, 0.502 },
                             Row { juce::KeyPress::downKey, 0.501 }, Row { juce::KeyPress::leftKey, 0.5 } })
    {
        EXPECT_TRUE (slider->keyPressed (juce::KeyPress (row.key)));
        EXPECT_NEAR (slider->getValue(), row.expected, 1e-9);
    }
}

//==============================================================================
namespace
{
constexpr int trackStart = 124;

class HandleTest : public ::testing::Test
{
protected:
    HandleTest()
    {
        parent.setBounds (0, 0, 914, 650);
        parent.addAndMakeVisible (handle);
        handle.setBounds (trackStart, 569, 58, 68);
        handle.onDragStart = [this] { ++starts; };
        handle.onDragEnd = [this] { ++ends; };
        handle.setValue (0.5f);
    }

    int offset() const { return handle.getX() - trackStart; }

    VarnocAudioProcessor processor;
    juce::Component parent;
    fqSelector handle { processor };
    int starts = 0, ends = 0;
};
} // namespace

TEST_F (HandleTest, ShiftHeldWhileDraggingMovesATenthAsFar)
{
    dragWith (handle, { { { 100.0f, 0.0f }, shift } });
    EXPECT_EQ (offset(), 164 + 10);

    handle.setValue (0.5f);
    dragWith (handle, { { { 100.0f, 0.0f }, plain }, { { 200.0f, 0.0f }, shift }, { { 150.0f, 0.0f }, plain } });
    EXPECT_EQ (offset(), 164 + 100 + 10 - 50);
    EXPECT_EQ (handle.getValueLabel()->getText(), display::crossoverText (handle.getValue()));
}

TEST_F (HandleTest, WheelKeysAndDoubleClickMoveItWithinItsLimitsEachInItsOwnFrame)
{
    handle.resetValue = 0.25f;
    handle.upperLimit = 0.8f;
    handle.lowerLimit = 0.2f;

    struct Row { const char* what; std::function<void()> act; int expectedOffset; };
    const Row rows[] = {
        { "wheel up", [&] { hostevents::wheel (handle, 0.5f); }, 164 + 25 },        // 7.5 % of 328
        { "wheel down", [&] { hostevents::wheel (handle, -0.5f); }, 164 },
        { "small wheel step", [&] { hostevents::wheel (handle, 0.001f); }, 165 },   // at least a pixel
        { "right key", [&] { handle.keyPressed (juce::KeyPress (juce::KeyPress::rightKey)); }, 166 },
        { "left key", [&] { handle.keyPressed (juce::KeyPress (juce::KeyPress::leftKey)); }, 165 },
        { "up key", [&] { handle.keyPressed (juce::KeyPress (juce::KeyPress::upKey)); }, 166 },
        { "double-click", [&] { hostevents::doubleClick (handle); }, 82 },          // trunc (0.25 * 328)
        { "wheel past the upper limit", [&] { hostevents::wheel (handle, 9.0f); }, 262 }, // trunc (0.8 * 328)
        { "wheel past the lower limit", [&] { hostevents::wheel (handle, -9.0f); }, 65 }, // trunc (0.2 * 328)
    };
    EXPECT_TRUE (handle.getWantsKeyboardFocus());
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        starts = ends = 0;
        row.act();
        EXPECT_EQ (offset(), row.expectedOffset);
        EXPECT_GE (starts, 1);
        EXPECT_EQ (starts, ends);
        EXPECT_EQ (handle.getValueLabel()->getText(), display::crossoverText (handle.getValue()));
    }
    EXPECT_FALSE (handle.keyPressed (juce::KeyPress ('a')));
}

//==============================================================================
TEST (FineAdjustmentGestures, EveryKeyWheelAndResetOnTheWindowIsOneFramedChange)
{
    VarnocAudioProcessor processor;
    VarnocAudioProcessorEditor editor (processor);
    const auto up = juce::KeyPress (juce::KeyPress::upKey);

    struct Row { const char* what; int index; std::function<void()> act; };
    auto& band = *editor.midBandPanel;
    const Row rows[] = {
        { "input key", params::mainInGain, [&] { editor.inputGainSlider->keyPressed (up); } },
        { "mix key", params::finalMix, [&] { editor.finalMixSlider->keyPressed (juce::KeyPress (juce::KeyPress::leftKey)); } },
        { "knob key", params::bandIndex (1, params::attack), [&] { band.attackDial->slider->keyPressed (up); } },
        { "fader key", params::bandIndex (1, params::thresh), [&] { band.thresholdSlider->keyPressed (juce::KeyPress (juce::KeyPress::downKey)); } },
        { "handle key", params::fqLow, [&] { editor.lowFrequencySelector->keyPressed (up); } },
        { "handle wheel", params::fqHigh, [&] { hostevents::wheel (*editor.highFrequencySelector, -0.2f); } },
        { "handle double-click", params::fqLow, [&] { hostevents::doubleClick (*editor.lowFrequencySelector); } },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        const float before = processor.getParameter (row.index);
        if (row.index == params::fqLow) // away from its default, so that the reset moves it
            editor.lowFrequencySelector->keyPressed (juce::KeyPress (juce::KeyPress::rightKey));
        paneltest::pump();

        hostevents::Recorder host (processor);
        row.act();
        paneltest::pump();
        const float reported = hostevents::expectGesturesOn (host.events, row.index);
        EXPECT_EQ (host.count (hostevents::Kind::begin), 1u);
        EXPECT_EQ (host.count (hostevents::Kind::change), 1u);
        EXPECT_EQ (processor.getParameter (row.index), reported);
        if (row.index != params::fqLow)
        {
            EXPECT_NE (reported, before);
        }
    }
    EXPECT_EQ (processor.getParameter (params::fqLow), editor.lowFrequencySelector->getValue());
}
