// No readout is ever covered: whatever value each control holds, no control draws a
// solid pixel over a value label, no two labels overlap, and the crossover readouts
// stay whole, apart and grabbable at every pair of handle positions, crossed ones
// included. "Solid" is at least half opaque: the soft drop shadows may brush a label.
#include "editor/VarnocAudioProcessorEditor.h"
#include "host_event_recorder.h"
#include "panel_test_support.h"
#include "plugin/ParameterTable.h"
#include "plugin/VarnocAudioProcessor.h"
#include "widgets/SkinLayout.h"
#include "widgets/SkinParts.h"
#include "widgets/imageAnimator.h"
#include "panels/DisplayText.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

namespace
{
constexpr juce::uint8 solidAlpha = 128;

// The smallest rectangle holding every solid pixel of part of an image.
juce::Rectangle<int> solidBounds (const juce::Image& image, juce::Rectangle<int> area)
{
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    int left = area.getRight(), right = area.getX(), top = area.getBottom(), bottom = area.getY();
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (pixels.getPixelColour (x, y).getAlpha() >= solidAlpha)
            {
                left = juce::jmin (left, x);
                right = juce::jmax (right, x + 1);
                top = juce::jmin (top, y);
                bottom = juce::jmax (bottom, y + 1);
            }
    if (right <= left)
        return {};
    return juce::Rectangle<int>::leftTopRightBottom (left, top, right, bottom).translated (-area.getX(), -area.getY());
}

// Solid pixels of any frame of a strip, in frame coordinates.
juce::Rectangle<int> solidBoundsOfFrames (const juce::Image& strip, int frameHeight, int firstFrame, int lastFrame)
{
    juce::Rectangle<int> all;
    for (int frame = firstFrame; frame <= lastFrame; ++frame)
        all = all.getUnion (solidBounds (strip, { 0, frame * frameHeight, strip.getWidth(), frameHeight }));
    return all;
}

juce::Rectangle<int> inEditor (juce::Component& editor, juce::Component& c, juce::Rectangle<int> local)
{
    return editor.getLocalArea (&c, local);
}

struct Area
{
    juce::String what;
    juce::Rectangle<int> bounds; // editor coordinates
};

juce::String describe (const juce::Component& c)
{
    auto* parent = c.getParentComponent();
    return juce::String (typeid (c).name()) + " in " + (parent != nullptr ? typeid (*parent).name() : "?") + " at "
         + c.getBounds().toString();
}

// Everything a control can draw, swept over all its values: sliders' thumbs at every
// step (strips: every frame), the switches on and off, the needles at every frame they
// can show, the crossover handles' pointers and grips anywhere on the track.
std::vector<Area> controlAreas (VarnocAudioProcessorEditor& editor)
{
    std::vector<Area> areas;
    std::function<void (juce::Component&)> visit = [&] (juce::Component& c)
    {
        for (auto* child : c.getChildren())
        {
            if (! child->isVisible())
                continue;

            if (auto* slider = dynamic_cast<ImageSlider*> (child))
            {
                juce::Rectangle<int> swept;
                const auto& image = slider->getImage();
                if (slider->getSliderStyle() == juce::Slider::RotaryVerticalDrag)
                {
                    swept = solidBoundsOfFrames (image, slider->frameHeight, 0, image.getHeight() / slider->frameHeight - 1);
                }
                else
                {
                    const auto solid = solidBounds (image, image.getBounds());
                    const double before = slider->getValue();
                    for (int step = 0; step <= 1000; ++step)
                    {
                        slider->setValue (step / 1000.0, juce::dontSendNotification);
                        swept = swept.getUnion (solid + slider->getThumbPosition());
                    }
                    slider->setValue (before, juce::dontSendNotification);
                }
                areas.push_back ({ describe (*slider), inEditor (editor, *slider, swept) });
                continue;
            }
            if (auto* button = dynamic_cast<juce::ImageButton*> (child))
            {
                juce::Rectangle<int> drawn;
                for (const auto& image : { button->getNormalImage(), button->getDownImage() })
                    drawn = drawn.getUnion (solidBounds (image, image.getBounds()));
                areas.push_back ({ describe (*button), inEditor (editor, *button, drawn) });
                continue;
            }
            if (auto* meter = dynamic_cast<imageAnimator*> (child))
            {
                const auto strip = skinparts::skinImage (meter == static_cast<BandPanel*> (meter->getParentComponent())->levelMeter.get()
                                                             ? skinimage::Id::meter_level_needle_strip
                                                             : skinimage::Id::meter_reduction_needle_strip);
                areas.push_back ({ describe (*meter), inEditor (editor, *meter, solidBoundsOfFrames (strip, skinlayout::meterHeight, 0, skinlayout::highestNeedleFrame)) });
                continue;
            }
            if (dynamic_cast<fqSelector*> (child) != nullptr)
            {
                const auto art = skinparts::skinImage (skinimage::Id::crossover_handle);
                const auto grip = solidBounds (art, art.getBounds().withTop (skinlayout::handleFlagHeight)).translated (0, skinlayout::handleFlagHeight);
                const auto track = juce::Rectangle<int> (skinlayout::crossoverTrackStart, skinlayout::crossoverY, 0, 0);
                areas.push_back ({ "crossover pointer and grip", grip.translated (track.getX(), track.getY())
                                                                     .getUnion (grip.translated (track.getX() + skinlayout::crossoverTrackLength, track.getY())) });
                continue;
            }
            visit (*child);
        }
    };
    visit (editor);
    return areas;
}

// The value labels a user reads, in editor coordinates.
std::vector<std::pair<juce::Label*, juce::Rectangle<int>>> readouts (VarnocAudioProcessorEditor& editor)
{
    std::vector<std::pair<juce::Label*, juce::Rectangle<int>>> labels;
    std::function<void (juce::Component&)> visit = [&] (juce::Component& c)
    {
        for (auto* child : c.getChildren())
        {
            if (! child->isVisible())
                continue;
            if (auto* label = dynamic_cast<juce::Label*> (child))
                labels.emplace_back (label, inEditor (editor, *label, label->getLocalBounds()));
            visit (*child);
        }
    };
    visit (editor);
    return labels;
}

juce::String named (juce::Label& label, juce::Rectangle<int> bounds)
{
    return "label \"" + label.getText() + "\" at " + bounds.toString();
}

struct ReadoutGeometry : public ::testing::Test
{
    VarnocAudioProcessor processor;
    std::unique_ptr<VarnocAudioProcessorEditor> editor = std::make_unique<VarnocAudioProcessorEditor> (processor);

    void setCrossovers (int lowOffset, int highOffset)
    {
        processor.setParameter (params::fqLow, (float) (lowOffset / 328.0));
        processor.setParameter (params::fqHigh, (float) (highOffset / 328.0));
        editor->refreshFromProcessor();
    }

    fqSelector& handle (int i) const { return i == 0 ? *editor->lowFrequencySelector : *editor->highFrequencySelector; }
};
} // namespace

TEST_F (ReadoutGeometry, NoControlDrawsOverAReadoutAtAnyValue)
{
    const auto areas = controlAreas (*editor);
    ASSERT_EQ (areas.size(), 3u * (7u + 3u + 2u) + 3u + 1u + 2u); // panels' sliders, switches, meters; globals; power; handles

    // The crossover readouts at both ends of the track as well.
    for (int offset : { 0, 164, 328 })
    {
        setCrossovers (offset, offset);
        for (const auto& [label, bounds] : readouts (*editor))
            for (const auto& area : areas)
                EXPECT_FALSE (area.bounds.intersects (bounds)) << area.what << " draws within " << area.bounds.toString()
                                                                << ", over the " << named (*label, bounds);
    }
}

TEST_F (ReadoutGeometry, NoTwoReadoutsOverlap)
{
    const auto labels = readouts (*editor);
    ASSERT_EQ (labels.size(), 3u + 3u * 7u + 2u);
    for (size_t i = 0; i < labels.size(); ++i)
        for (size_t j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE (labels[i].second.intersects (labels[j].second))
                << named (*labels[i].first, labels[i].second) << " and " << named (*labels[j].first, labels[j].second);
}

TEST_F (ReadoutGeometry, BothCrossoverReadoutsStayWholeApartAndGrabbableAtEveryPairOfPositions)
{
    const juce::Rectangle<int> window (0, 0, editor->getWidth(), editor->getHeight());
    editor->setVisible (true); // hit-testing finds visible components only
    const auto others = [&]
    {
        std::vector<juce::Rectangle<int>> rest;
        for (const auto& [label, bounds] : readouts (*editor))
            if (label != handle (0).getValueLabel() && label != handle (1).getValueLabel())
                rest.push_back (bounds);
        return rest;
    }();

    // A grid over the whole track, both orders, with every near meeting around each point.
    std::vector<int> offsets;
    for (int offset = 0; offset <= 328; offset += 41)
        for (int near : { -3, 0, 1, 29, 57, 58 })
            if (offset + near >= 0 && offset + near <= 328)
                offsets.push_back (offset + near);

    int checked = 0;
    for (int low : offsets)
        for (int high : offsets)
        {
            setCrossovers (low, high);
            SCOPED_TRACE (testing::Message() << "low at " << low << ", high at " << high);
            ASSERT_EQ (handle (0).getX(), 124 + low);
            ASSERT_EQ (handle (1).getX(), 124 + high);

            juce::Rectangle<int> shown[2];
            for (int i = 0; i < 2; ++i)
            {
                auto& readout = handle (i).getReadout();
                auto& label = *handle (i).getValueLabel();
                shown[i] = inEditor (*editor, label, label.getLocalBounds());
                EXPECT_TRUE (window.contains (readout.getBounds()));
                EXPECT_EQ (label.getText(), display::crossoverText (handle (i).getValue()));
                for (const auto& other : others)
                    EXPECT_FALSE (shown[i].intersects (other));

                // Nothing lies over the readout: a press anywhere on it reaches this handle.
                for (auto point : { shown[i].getCentre(), shown[i].getTopLeft(), shown[i].getBottomRight() - juce::Point<int> (1, 1) })
                    EXPECT_EQ (editor->getComponentAt (point), &readout) << point.toString();
            }
            EXPECT_FALSE (handle (0).getReadout().getBounds().intersects (handle (1).getReadout().getBounds()));
            EXPECT_FALSE (shown[0].intersects (shown[1]));
            // Each readout sits over its own pointer's side: the order of the pointers.
            if (low != high)
            {
                EXPECT_EQ (low < high, handle (0).getReadout().getX() < handle (1).getReadout().getX());
            }
            ++checked;
            if (HasFailure())
                return;
        }
    EXPECT_GT (checked, 1000);
}

TEST_F (ReadoutGeometry, APressOnAReadoutDragsItsOwnHandleEvenWhenTheHandlesCoincide)
{
    // Set by a host: both at the same place, and crossed.
    for (auto [low, high] : { std::pair<int, int> { 200, 200 }, { 250, 100 } })
    {
        for (int i = 0; i < 2; ++i)
        {
            setCrossovers (low, high);
            paneltest::pump (5);
            SCOPED_TRACE (testing::Message() << "handle " << i << " with low at " << low << ", high at " << high);
            auto& readout = handle (i).getReadout();
            auto& other = handle (1 - i);
            const int otherX = other.getX();
            const int before = handle (i).getX();
            const int index = i == 0 ? params::fqLow : params::fqHigh;

            hostevents::Recorder host (processor);
            hostevents::drag (readout, readout.getLocalBounds().getCentre().toFloat(), { { -6.0f, 0.0f }, { -12.0f, 0.0f } });
            paneltest::pump (5);

            EXPECT_EQ (other.getX(), otherX);
            EXPECT_NE (handle (i).getX(), before);
            EXPECT_EQ (processor.getParameter (index), handle (i).getValue());
            hostevents::expectGesturesOn (host.events, index);

            // A click without moving opens this handle's edit field, in its readout.
            auto& label = *handle (i).getValueLabel();
            const auto onLabel = readout.getLocalPoint (&label, label.getLocalBounds().getCentre()).toFloat();
            hostevents::drag (readout, onLabel, {});
            EXPECT_NE (label.getCurrentTextEditor(), nullptr);
            EXPECT_EQ (handle (1 - i).getValueLabel()->getCurrentTextEditor(), nullptr);
            label.hideEditor (true);
        }
    }
}
