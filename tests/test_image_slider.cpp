#include "widgets/ImageSlider.h"

#include "SkinImages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A strip whose frame k is filled with red = k, so the drawn frame can be read back.
juce::Image makeStrip (int width, int frameHeight, int numFrames)
{
    juce::Image strip (juce::Image::ARGB, width, frameHeight * numFrames, true);
    juce::Graphics g (strip);

    for (int k = 0; k < numFrames; ++k)
    {
        g.setColour (juce::Colour::fromRGB ((juce::uint8) k, 200, 0));
        g.fillRect (0, k * frameHeight, width, frameHeight);
    }

    return strip;
}

juce::Image makeThumb (int width, int height)
{
    juce::Image thumb (juce::Image::ARGB, width, height, true);
    thumb.clear (thumb.getBounds(), juce::Colours::white);
    return thumb;
}

// The slider's own drawing only, on a transparent canvas of the slider's size.
juce::Image render (ImageSlider& slider)
{
    juce::Image canvas (juce::Image::ARGB, slider.getWidth(), slider.getHeight(), true);
    juce::Graphics g (canvas);
    slider.paint (g);
    return canvas;
}

int alphaAt (ImageSlider& slider, int x, int y) { return render (slider).getPixelAt (x, y).getAlpha(); }

std::unique_ptr<ImageSlider> makeSlider (int styleCode, juce::Image image, int width, int height)
{
    auto slider = std::make_unique<ImageSlider> ("dial");
    slider->setRange (0.0, 1.0, 0.001);
    slider->setTextBoxStyle (juce::Slider::NoTextBox, false, 40, 20);
    slider->setImageStyle (styleCode);
    slider->setImage (image);
    slider->setBounds (0, 0, width, height);
    return slider;
}

struct EventLog final : public juce::Slider::Listener,
                        public juce::ChangeListener
{
    void sliderValueChanged (juce::Slider*) override { events.push_back ("value"); }
    void changeListenerCallback (juce::ChangeBroadcaster*) override { events.push_back ("change"); }
    std::vector<std::string> events;
};
} // namespace

TEST (ImageSlider, StyleCodesInstallDefaultImagesEvenWhenStyleIsUnchanged)
{
    ImageSlider slider ("dial");
    EXPECT_EQ (slider.getSliderStyle(), juce::Slider::LinearVertical);
    EXPECT_EQ (slider.getImage(), juce::ImageCache::getFromMemory (skin::slider_thumb_vertical,
                                                                  skin::slider_thumb_verticalSize));

    slider.setImageStyle (ImageSlider::horizontalThumb);
    EXPECT_EQ (slider.getSliderStyle(), juce::Slider::LinearHorizontal);
    EXPECT_EQ (slider.getImage(), juce::ImageCache::getFromMemory (skin::slider_thumb_horizontal,
                                                                  skin::slider_thumb_horizontalSize));

    const auto custom = makeStrip (4, 4, 3);
    slider.setImageStyle (ImageSlider::rotaryStrip);
    slider.setImage (custom);
    slider.setImageStyle (ImageSlider::rotaryStrip);
    EXPECT_EQ (slider.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
    EXPECT_EQ (slider.getImage(), juce::ImageCache::getFromMemory (skin::rotary_default_strip,
                                                                  skin::rotary_default_stripSize));

    slider.setImage (custom);
    slider.setImageStyle (3); // unknown codes change nothing
    EXPECT_EQ (slider.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
    EXPECT_EQ (slider.getImage(), custom);
}

TEST (ImageSlider, RotaryShowsFrameForProportionAndLastFrameAtMaximum)
{
    struct Case { double value; int frame101; int frame81; };
    const Case cases[] = { { 0.0, 0, 0 }, { 0.5, 50, 40 }, { 0.999, 100, 80 }, { 1.0, 100, 80 } };

    for (const int numFrames : { 101, 81 })
    {
        auto slider = makeSlider (ImageSlider::rotaryStrip, makeStrip (5, 6, numFrames), 5, 6);
        slider->frameHeight = 6;

        for (const auto& c : cases)
        {
            slider->setValue (c.value, juce::dontSendNotification);
            const auto canvas = render (*slider);
            const int expected = numFrames == 101 ? c.frame101 : c.frame81;
            EXPECT_EQ (canvas.getPixelAt (0, 0).getRed(), expected) << numFrames << " frames, value " << c.value;
            EXPECT_EQ (canvas.getPixelAt (4, 5), canvas.getPixelAt (0, 0)) << "whole frame drawn";
            EXPECT_EQ (canvas.getPixelAt (0, 0).getAlpha(), 255);
        }
    }
}

TEST (ImageSlider, LinearThumbPositions)
{
    // Vertical, 295 high with a 77-high thumb: y = (1 - p) * 218, truncated; x = 2 / 2.
    auto vertical = makeSlider (ImageSlider::verticalThumb, makeThumb (43, 77), 45, 295);

    for (const auto& [value, top] : { std::pair { 0.0, 218 }, std::pair { 0.5, 109 }, std::pair { 0.999, 0 } })
    {
        vertical->setValue (value, juce::dontSendNotification);
        EXPECT_EQ (alphaAt (*vertical, 1, top), 255) << value;
        EXPECT_EQ (alphaAt (*vertical, 43, top + 76), 255) << value;
        EXPECT_EQ (alphaAt (*vertical, 0, top), 0) << value;
        EXPECT_EQ (alphaAt (*vertical, 1, top == 0 ? 77 : top - 1), 0) << value;
    }

    // Horizontal, 200 x 41 with a 49 x 34 thumb: x = p * 151, truncated; y = 7 / 2.
    auto horizontal = makeSlider (ImageSlider::horizontalThumb, makeThumb (49, 34), 200, 41);

    for (const auto& [value, left] : { std::pair { 0.0, 0 }, std::pair { 0.5, 75 }, std::pair { 1.0, 151 } })
    {
        horizontal->setValue (value, juce::dontSendNotification);
        EXPECT_EQ (alphaAt (*horizontal, left, 3), 255) << value;
        EXPECT_EQ (alphaAt (*horizontal, left + 48, 36), 255) << value;
        EXPECT_EQ (alphaAt (*horizontal, left, 2), 0) << value;
        EXPECT_EQ (alphaAt (*horizontal, left == 0 ? 49 : left - 1, 3), 0) << value;
    }
}

TEST (ImageSlider, DisabledSliderOrParentDrawsAtSixtyPercent)
{
    juce::Component parent;
    auto slider = makeSlider (ImageSlider::verticalThumb, makeThumb (45, 77), 45, 295);
    parent.addChildComponent (*slider);

    EXPECT_EQ (alphaAt (*slider, 0, 250), 255);
    slider->setEnabled (false);
    EXPECT_NEAR (alphaAt (*slider, 0, 250), 153, 1);
    slider->setEnabled (true);
    parent.setEnabled (false);
    EXPECT_NEAR (alphaAt (*slider, 0, 250), 153, 1);
}

TEST (ImageSlider, NullImageOrUnsetFrameHeightDrawsNothing)
{
    const auto isBlank = [] (const juce::Image& image)
    {
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (image.getPixelAt (x, y).getAlpha() != 0)
                    return false;
        return true;
    };

    for (const int code : { ImageSlider::horizontalThumb, ImageSlider::verticalThumb, ImageSlider::rotaryStrip })
    {
        auto slider = makeSlider (code, juce::Image(), 60, 60);
        slider->frameHeight = 10;
        EXPECT_TRUE (isBlank (render (*slider))) << code;
    }

    auto rotary = makeSlider (ImageSlider::rotaryStrip, makeStrip (5, 5, 4), 5, 5);
    for (const int frameHeight : { 0, -5 })
    {
        rotary->frameHeight = frameHeight;
        EXPECT_TRUE (isBlank (render (*rotary))) << frameHeight;
    }
}

TEST (ImageSlider, DoubleClickRestoresResetValueThenTellsValueAndChangeListeners)
{
    auto slider = makeSlider (ImageSlider::verticalThumb, makeThumb (4, 4), 10, 100);
    slider->setValue (0.2, juce::dontSendNotification);
    slider->setResetValue (0.75);
    slider->setEnabled (false); // the reset ignores the enabled state

    EventLog log;
    slider->addListener (&log);
    slider->addChangeListener (&log);

    const auto now = juce::Time::getCurrentTime();
    const juce::MouseEvent doubleClick (juce::Desktop::getInstance().getMainMouseSource(), {}, {},
                                        1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                        slider.get(), slider.get(), now, {}, now, 2, false);

    slider->mouseDoubleClick (doubleClick);
    EXPECT_EQ (slider->getValue(), 0.75); // set at once, announced later
    EXPECT_TRUE (log.events.empty());
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_EQ (log.events, (std::vector<std::string> { "value", "change" }));

    // Limited to the range and snapped to the interval like every value.
    slider->resetValue = 1.5;
    slider->mouseDoubleClick (doubleClick);
    EXPECT_EQ (slider->getValue(), 1.0);
    slider->resetValue = 0.12345;
    slider->mouseDoubleClick (doubleClick);
    EXPECT_NEAR (slider->getValue(), 0.123, 1e-12);

    slider->removeListener (&log);
    slider->removeChangeListener (&log);
}
