// The crossover handle: its value is its own position on a 328-pixel track.
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "panels/fqSelector.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <vector>

namespace
{
using paneltest::dragBy;
using paneltest::pump;

constexpr int trackStart = 124;

class FqSelectorTest : public ::testing::Test, private juce::ChangeListener
{
protected:
    FqSelectorTest()
    {
        parent.setBounds (0, 0, 914, 650);
        parent.addAndMakeVisible (selector);
        selector.setBounds (trackStart, 569, 58, 68);
        selector.addChangeListener (this);
    }

    ~FqSelectorTest() override { selector.removeChangeListener (this); }

    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++announcements; }

    int offset() const { return selector.getX() - trackStart; }
    juce::String label() const { return selector.getValueLabel()->getText(); }

    VarnocAudioProcessor processor;
    juce::Component parent;
    fqSelector selector { processor };
    int announcements = 0;
};
} // namespace

TEST_F (FqSelectorTest, SetValuePlacesOnWholePixelsIgnoringTrackEndsAndLimitsAndSendsNothing)
{
    selector.upperLimit = 0.05f;
    selector.lowerLimit = 0.02f;
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();

    // 0 lies left of the leftmost drag position; 0.1 is 32.8 pixels, so it reads back as 32/328.
    struct Row { float v; int offset; const char* label; };
    const Row rows[] = { { 0.0f, 0, "0Hz" },  { 0.1f, 32, nullptr }, { 0.5f, 164, "6339Hz" },
                         { 1.0f, 328, "10837Hz" }, { -0.5f, 0, nullptr }, { 7.0f, 328, nullptr },
                         { nan, 0, nullptr }, { inf, 328, "10837Hz" } };
    for (const auto& row : rows)
    {
        selector.setValue (row.v);
        EXPECT_EQ (offset(), row.offset) << "value " << row.v;
        if (row.label != nullptr)
        {
            EXPECT_EQ (label(), row.label) << "value " << row.v;
        }
    }
    selector.setValue (0.1f);
    EXPECT_EQ (selector.getValue(), static_cast<float> (32 / 328.0));
    EXPECT_EQ (selector.getBounds(), juce::Rectangle<int> (trackStart + 32, 569, 58, 68));

    pump();
    EXPECT_EQ (announcements, 0);
}

TEST_F (FqSelectorTest, EveryTrackPositionMapsBackToItself)
{
    // The editor reports getValue() and mirrors the stored value back with setValue();
    // the handle must not creep.
    for (int k = 0; k <= 328; ++k)
    {
        selector.setBounds (trackStart + k, 569, 58, 68);
        const float v = selector.getValue();
        selector.setValue (v);
        ASSERT_EQ (offset(), k) << "value " << v;
    }
}

TEST_F (FqSelectorTest, DragFollowsTheMouseStopsAtTheTrackEndsAndAnnouncesEveryMove)
{
    selector.setValue (0.5f); // offset 164
    selector.mouseDown (paneltest::mouseEventAt (selector, 20.0f, 0.0f));
    pump();
    EXPECT_EQ (announcements, 0); // a press alone does not announce
    for (float distance : { 10.0f, -30.0f, -30.0f }) // the same position again still announces
    {
        selector.mouseDrag (paneltest::mouseEventAt (selector, 20.0f, distance, 1, true));
        pump();
    }
    EXPECT_EQ (announcements, 3);
    EXPECT_EQ (offset(), 134);

    // the track ends: 2/328 on the left, 1.0 on the right
    for (const auto& [distance, end, text] : { std::tuple (-1000.0f, 2, "95Hz"), std::tuple (1000.0f, 328, "10837Hz") })
    {
        dragBy (selector, { distance });
        EXPECT_EQ (offset(), end);
        EXPECT_EQ (selector.getValue(), static_cast<float> (end / 328.0));
        EXPECT_EQ (label(), text);
    }
}

TEST_F (FqSelectorTest, LimitsPullTheHandleBackTheLowerOneWinsAndTheTrackStaysReachable)
{
    struct Row { float lower, upper, distance; int offset; };
    const Row rows[] = {
        { 0.0f, 0.3f, 1000.0f, 98 },     // trunc (328 * 0.3)
        { 0.5f, 1.0f, -1000.0f, 164 },
        { 0.5f, 0.3f, 10.0f, 164 },      // conflicting limits: the lower one is applied last
        { 1.05f, 1.0f, -40.0f, 328 },    // a low crossover of 0.95 from a chunk
        { 0.0f, -0.05f, -40.0f, 2 },     // a high crossover of 0.05 from a chunk
        { 0.0f, 1.0f, 100.0f, 102 },     // sane limits again: the handle moves freely
    };
    selector.setValue (0.2f);
    for (const auto& row : rows)
    {
        selector.lowerLimit = row.lower;
        selector.upperLimit = row.upper;
        dragBy (selector, { row.distance });
        EXPECT_EQ (offset(), row.offset) << "limits " << row.lower << ", " << row.upper;
        EXPECT_EQ (selector.getValue(), static_cast<float> (row.offset / 328.0));
        EXPECT_EQ (label(), display::crossoverText (selector.getValue()));
    }
}

TEST_F (FqSelectorTest, PressAndReleaseAreAnnouncedToTheGestureHooksOnly)
{
    // Without hooks a press and release are harmless.
    selector.mouseDown (paneltest::mouseEventAt (selector, 20.0f, 0.0f));
    selector.mouseUp (paneltest::mouseEventAt (selector, 20.0f, 0.0f));

    std::vector<char> calls;
    selector.onDragStart = [&calls] { calls.push_back ('s'); };
    selector.onDragEnd = [&calls] { calls.push_back ('e'); };
    const int before = offset();
    selector.mouseDown (paneltest::mouseEventAt (selector, 20.0f, 0.0f));
    selector.mouseDrag (paneltest::mouseEventAt (selector, 20.0f, 12.0f, 1, true));
    selector.mouseUp (paneltest::mouseEventAt (selector, 20.0f, 12.0f, 1, true));
    pump();
    EXPECT_EQ (calls, (std::vector<char> { 's', 'e' }));
    EXPECT_EQ (offset(), before + 12);
    EXPECT_EQ (announcements, 1); // the release itself announces no move
}
