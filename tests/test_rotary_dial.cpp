#include "widgets/rotaryDial.h"

#include <gtest/gtest.h>

namespace
{
// Square frames, frame k filled with red = k.
juce::Image makeKnobStrip (int frameSize, int numFrames)
{
    juce::Image strip (juce::Image::ARGB, frameSize, frameSize * numFrames, true);
    juce::Graphics g (strip);

    for (int k = 0; k < numFrames; ++k)
    {
        g.setColour (juce::Colour::fromRGB ((juce::uint8) k, 100, 0));
        g.fillRect (0, k * frameSize, frameSize, frameSize);
    }

    return strip;
}

int frameShown (rotaryDial& dial)
{
    return dial.createComponentSnapshot (dial.getLocalBounds()).getPixelAt (0, 0).getRed();
}

struct ChangeCounter final : public juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

void pumpMessages() { juce::MessageManager::getInstance()->runDispatchLoopUntil (50); }
} // namespace

TEST (RotaryDial, LabelTextOfEveryMode)
{
    struct Case { int mode; double value; const char* text; };
    const Case cases[] = {
        { 0, 0.5, "0.0" },   { 0, 1.0, "20.0" },  { 0, 0.0, "-20.0" }, { 0, 0.499, "-0.0" },
        { 1, 0.4, "8000" },  { 1, 0.5, "10.0k" }, { 1, 0.001, "  20" }, { 1, 0.499, "9980" }, { 1, 1.0, "20.0k" },
        { 2, 0.0, "-45.0" }, { 2, 0.6, "9.0" },
        { 3, 0.75, "5.0" },
        { 4, 0.0, "-6" },    { 4, 0.6, "1" },
        { 5, 0.257, "26" },
        { 6, 0.375, "2" },   { 6, 0.125, "0" }, // ties print to even
        { 7, 0.011, "1" },
        { 8, 0.25, "0.00" }, { 8, 0.0, "inf" },   { 8, 0.001, "-23.98" }, { 8, 1.0, "6.02" },
        { 9, 0.333, "1.33" },
        { 10, 0.75, "22" },  { 10, 0.0, "-45" },
        { 25, 0.9, "0.0" },  { -1, 0.9, "0.0" }, // no format: the label keeps its text
    };

    for (const auto& c : cases)
    {
        rotaryDial dial (makeKnobStrip (4, 11), 4, 17, -41, c.mode);
        if (c.value == dial.getValue())
            dial.setValue (0.0);
        dial.setValue (c.value);
        EXPECT_EQ (dial.valueLabel->getText(), juce::String (c.text)) << "mode " << c.mode << " value " << c.value;
    }
}

TEST (RotaryDial, FreshDialShowsMiddleFrameAndZeroLabel)
{
    for (const auto& [numFrames, middleFrame] : { std::pair { 101, 50 }, std::pair { 81, 40 } })
    {
        rotaryDial dial (makeKnobStrip (8, numFrames), 8, 17, -41, 1);
        dial.setBounds (0, 0, 8, 8);

        EXPECT_EQ (dial.getValue(), 0.5);
        EXPECT_EQ (frameShown (dial), middleFrame);
        EXPECT_EQ (dial.valueLabel->getText(), "0.0"); // the mode's own text appears after a change
        EXPECT_EQ (dial.slider->resetValue, 0.5);
        EXPECT_EQ (dial.valueLabel->getBounds(), juce::Rectangle<int> (25, -35, 27, 14));
    }
}

TEST (RotaryDial, SetValueIsSilentAndSkipsEqualValues)
{
    rotaryDial dial (makeKnobStrip (8, 101), 8, 17, -41, 1);
    dial.setBounds (0, 0, 8, 8);
    ChangeCounter listener;
    dial.addChangeListener (&listener);

    dial.setValue (0.5); // equal: the label is not touched
    EXPECT_EQ (dial.valueLabel->getText(), "0.0");

    dial.setValue (0.4);
    EXPECT_EQ (dial.getValue(), 0.4);
    EXPECT_EQ (dial.valueLabel->getText(), "8000");
    EXPECT_EQ (frameShown (dial), 40);

    dial.setValue (std::nan (""));
    EXPECT_EQ (dial.getValue(), 0.4);

    pumpMessages();
    EXPECT_EQ (listener.count, 0);
    dial.removeChangeListener (&listener);
}

TEST (RotaryDial, SliderChangesAndResetsAreReannounced)
{
    rotaryDial dial (makeKnobStrip (8, 101), 8, 17, -41, 0);
    ChangeCounter listener;
    dial.addChangeListener (&listener);

    dial.slider->setValue (0.75, juce::sendNotificationSync); // as a drag reports it
    EXPECT_EQ (dial.valueLabel->getText(), "10.0");
    pumpMessages();
    EXPECT_EQ (listener.count, 1);

    dial.slider->setValue (0.25, juce::sendNotificationAsync); // as a key or the wheel reports it
    pumpMessages();
    EXPECT_EQ (dial.valueLabel->getText(), "-10.0");
    EXPECT_EQ (listener.count, 2);

    // A double-click reset arrives as the slider's own change broadcast.
    dial.slider->setValue (0.9, juce::dontSendNotification);
    dial.slider->sendChangeMessage();
    pumpMessages();
    EXPECT_EQ (dial.valueLabel->getText(), "16.0");
    EXPECT_EQ (listener.count, 3);

    // Other sources are ignored.
    juce::ChangeBroadcaster other;
    juce::Slider otherSlider;
    dial.valueLabel->setText ("x", juce::dontSendNotification);
    dial.changeListenerCallback (&other);
    dial.sliderValueChanged (&otherSlider);
    pumpMessages();
    EXPECT_EQ (dial.valueLabel->getText(), "x");
    EXPECT_EQ (listener.count, 3);

    dial.removeChangeListener (&listener);
}
