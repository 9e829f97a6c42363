// The crossover handle: its value is its own position on a 328-pixel track.
#include "panel_test_support.h"
#include "panels/DisplayText.h"
#include "panels/fqSelector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using paneltest::dragBy;
using paneltest::pump;

constexpr int trackStart = 124;

class ChangeCounter final : public juce::ChangeListener
{
public:
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

class FqSelectorTest : public ::testing::Test
{
protected:
    FqSelectorTest()
    {
        parent.setBounds (0, 0, 914, 650);
        parent.addAndMakeVisible (selector);
        selector.setBounds (trackStart, 569, 58, 68);
        selector.addChangeListener (&counter);
    }

    ~FqSelectorTest() override { selector.removeChangeListener (&counter); }

    int offset() const { return selector.getX() - trackStart; }
    juce::String label() const { return selector.getValueLabel()->getText(); }

    VarnocAudioProcessor processor;
    juce::Component parent;
    fqSelector selector { processor };
    ChangeCounter counter;
};
} // namespace

TEST_F (FqSelectorTest, SetValuePlacesOnWholePixelsIgnoringLimitsAndSendsNothing)
{
    selector.upperLimit = 0.05f;
    selector.lowerLimit = 0.02f;

    selector.setValue (0.0f); // left of the leftmost drag position
    EXPECT_EQ (offset(), 0);
    EXPECT_EQ (label(), "0Hz");

    selector.setValue (0.1f); // 32.8 pixels: the value read back is 32/328, not 0.1
    EXPECT_EQ (offset(), 32);
    EXPECT_EQ (selector.getValue(), static_cast<float> (32 / 328.0));

    selector.setValue (0.5f);
    EXPECT_EQ (label(), "6339Hz");

    selector.setValue (1.0f);
    EXPECT_EQ (label(), "10837Hz");
    EXPECT_EQ (selector.getBounds(), juce::Rectangle<int> (trackStart + 328, 569, 58, 68));

    pump();
    EXPECT_EQ (counter.count, 0);
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

TEST_F (FqSelectorTest, ValuesOutsideTheTrackAreShownAtTheNearerEnd)
{
    selector.setValue (-0.5f);
    EXPECT_EQ (offset(), 0);
    selector.setValue (7.0f);
    EXPECT_EQ (offset(), 328);
    selector.setValue (std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ (offset(), 0);
    selector.setValue (std::numeric_limits<float>::infinity());
    EXPECT_EQ (offset(), 328);
    EXPECT_EQ (label(), "10837Hz");
}

TEST_F (FqSelectorTest, DragFollowsTheMouseAndStopsAtTheTrackEnds)
{
    // presses on the label reach the handle
    bool selfClicks = true, childClicks = true;
    selector.getValueLabel()->getInterceptsMouseClicks (selfClicks, childClicks);
    EXPECT_FALSE (selfClicks || childClicks);

    selector.setValue (0.5f); // offset 164
    dragBy (selector, { 10.0f, -30.0f });
    EXPECT_EQ (offset(), 134);

    dragBy (selector, { -1000.0f });
    EXPECT_EQ (offset(), 2);
    EXPECT_EQ (selector.getValue(), 2.0f / 328.0f);
    EXPECT_EQ (label(), "95Hz");

    dragBy (selector, { 1000.0f });
    EXPECT_EQ (offset(), 328);
    EXPECT_EQ (selector.getValue(), 1.0f);
    EXPECT_EQ (label(), "10837Hz");
}

TEST_F (FqSelectorTest, EveryDragEventAnnouncesAndAPressAloneDoesNot)
{
    selector.setValue (0.5f);
    selector.mouseDown (paneltest::mouseEventAt (selector, 20.0f, 0.0f));
    pump();
    EXPECT_EQ (counter.count, 0);

    selector.mouseDrag (paneltest::mouseEventAt (selector, 20.0f, 5.0f, 1, true));
    pump();
    EXPECT_EQ (counter.count, 1);

    // the same position again still announces
    selector.mouseDrag (paneltest::mouseEventAt (selector, 20.0f, 5.0f, 1, true));
    pump();
    EXPECT_EQ (counter.count, 2);
}

TEST_F (FqSelectorTest, UpperLimitPullsTheHandleBack)
{
    selector.setValue (0.2f);
    selector.upperLimit = 0.3f;
    dragBy (selector, { 1000.0f });
    EXPECT_EQ (offset(), 98); // trunc (328 * 0.3)
    EXPECT_LE (selector.getValue(), 0.3f);
    EXPECT_EQ (label(), display::crossoverText (selector.getValue()));
}

TEST_F (FqSelectorTest, LowerLimitIsAppliedLastAndWins)
{
    selector.setValue (0.6f);
    selector.lowerLimit = 0.5f;
    dragBy (selector, { -1000.0f });
    EXPECT_EQ (offset(), 164);

    selector.upperLimit = 0.3f; // conflicts with the lower limit
    dragBy (selector, { 10.0f });
    EXPECT_EQ (offset(), 164);
}

TEST_F (FqSelectorTest, LimitsBeyondTheTrackStillLeaveTheHandleWhereADragCanReach)
{
    // A low crossover of 0.95 from a chunk gives the high handle a lower limit of 1.05.
    selector.setValue (0.5f);
    selector.lowerLimit = 1.05f;
    dragBy (selector, { -40.0f });
    EXPECT_EQ (offset(), 328);
    EXPECT_EQ (selector.getValue(), 1.0f);

    // A high crossover of 0.05 gives the low handle an upper limit of -0.05.
    selector.lowerLimit = 0.0f;
    selector.upperLimit = -0.05f;
    dragBy (selector, { -40.0f });
    EXPECT_EQ (offset(), 2);
    EXPECT_EQ (label(), "95Hz");

    // Once the limits are sane again the handle moves freely.
    selector.upperLimit = 1.0f;
    dragBy (selector, { 100.0f });
    EXPECT_EQ (offset(), 102);
}
