#include "widgets/rotaryDial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace
{
struct RotaryDial : public ::testing::Test, public juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++changes; }

    // A dial on a strip of square 8-pixel frames, frame k filled with red = k; this fixture
    // counts its change messages.
    rotaryDial& makeDial (int numFrames, int mode)
    {
        juce::Image strip (juce::Image::ARGB, 8, 8 * numFrames, true);
        for (int k = 0; k < numFrames; ++k)
            strip.clear ({ 0, 8 * k, 8, 8 }, juce::Colour::fromRGB ((juce::uint8) k, 100, 0));

        dial = std::make_unique<rotaryDial> (strip, 8, 17, -41, mode);
        dial->setBounds (0, 0, 8, 8);
        dial->addChangeListener (this);
        return *dial;
    }

    int frameShown() { return dial->createComponentSnapshot (dial->getLocalBounds()).getPixelAt (0, 0).getRed(); }
    juce::String label() const { return dial->valueLabel->getText(); }
    static void pumpMessages() { juce::MessageManager::getInstance()->runDispatchLoopUntil (50); }

    std::unique_ptr<rotaryDial> dial;
    int changes = 0;
};
} // namespace

TEST_F (RotaryDial, LabelTextOfEveryMode)
{
    struct Case { int mode; double value; const char* text; };
    const Case cases[] = {
        { 0, 0.5, "0.0" }, { 0, 1.0, "20.0" }, { 0, 0.0, "-20.0" }, { 0, 0.499, "-0.0" },
        { 1, 0.4, "8000" }, { 1, 0.5, "10.0k" }, { 1, 0.001, "  20" }, { 1, 0.499, "9980" }, { 1, 1.0, "20.0k" },
        { 2, 0.0, "-45.0" }, { 2, 0.6, "9.0" }, { 3, 0.75, "5.0" }, { 4, 0.0, "-6" }, { 4, 0.6, "1" },
        { 5, 0.257, "26" }, { 6, 0.375, "2" }, { 6, 0.125, "0" }, // ties print to even
        { 7, 0.011, "1" }, { 8, 0.25, "0.00" }, { 8, 0.0, "inf" }, { 8, 0.001, "-23.98" }, { 8, 1.0, "6.02" },
        { 9, 0.333, "1.33" }, { 10, 0.75, "22" }, { 10, 0.0, "-45" },
        { 25, 0.9, "0.0" }, { -1, 0.9, "0.0" }, // no format: the label keeps its text
    };

    for (const auto& c : cases)
    {
        auto& d = makeDial (11, c.mode);
        d.setValue (0.0); // leaves the fresh 0.5, which setValue would skip
        d.setValue (c.value);
        EXPECT_EQ (label(), juce::String (c.text)) << "mode " << c.mode << " value " << c.value;
    }
}

TEST_F (RotaryDial, FreshDialShowsMiddleFrameAndSetValueMovesItSilently)
{
    for (const auto& [numFrames, middleFrame] : { std::pair { 101, 50 }, std::pair { 81, 40 } })
    {
        auto& d = makeDial (numFrames, 1);
        EXPECT_EQ (frameShown(), middleFrame);
        EXPECT_EQ (d.slider->resetValue, 0.5);

        d.setValue (0.5); // equal: not even the label is touched, whose mode text appears after a change
        EXPECT_EQ (label(), "0.0");
        d.setValue (0.4);
        d.setValue (std::nan (""));
        EXPECT_EQ (d.getValue(), 0.4);
        EXPECT_EQ (label(), "8000");
        EXPECT_EQ (frameShown(), numFrames * 2 / 5);
        pumpMessages();
        EXPECT_EQ (changes, 0);
    }
}

TEST_F (RotaryDial, SliderChangesAndResetsAreReannounced)
{
    auto& d = makeDial (101, 0);
    juce::ChangeBroadcaster other;
    juce::Slider otherSlider;

    // A double-click reset arrives as the slider's own change broadcast; other sources are ignored.
    struct Case { const char* source; std::function<void()> change; const char* text; int changes; };
    const Case cases[] = {
        { "drag", [&] { d.slider->setValue (0.75, juce::sendNotificationSync); }, "10.0", 1 },
        { "key or wheel", [&] { d.slider->setValue (0.25, juce::sendNotificationAsync); }, "-10.0", 2 },
        { "reset", [&] { d.slider->setValue (0.9, juce::dontSendNotification); d.slider->sendChangeMessage(); }, "16.0", 3 },
        { "other", [&] { d.slider->setValue (0.1, juce::dontSendNotification); d.changeListenerCallback (&other);
                         d.sliderValueChanged (&otherSlider); }, "16.0", 3 },
    };

    for (const auto& c : cases)
    {
        c.change();
        pumpMessages();
        EXPECT_EQ (label(), juce::String (c.text)) << c.source;
        EXPECT_EQ (changes, c.changes) << c.source;
    }
}
