#include "widgets/ImageSlider.h"

#include "SkinImages.h"

#include <gtest/gtest.h>

#include <tuple>

namespace
{
// A strip whose frame k is filled with red = k, so the drawn frame can be read back.
juce::Image makeStrip (int width, int frameHeight, int numFrames)
{
    juce::Image strip (juce::Image::ARGB, width, frameHeight * numFrames, true);
    for (int k = 0; k < numFrames; ++k)
        strip.clear ({ 0, k * frameHeight, width, frameHeight }, juce::Colour::fromRGB ((juce::uint8) k, 200, 0));
    return strip;
}

// The slider's own drawing only, on a transparent canvas of the slider's size.
juce::Image render (ImageSlider& slider)
{
    juce::Image canvas (juce::Image::ARGB, slider.getWidth(), slider.getHeight(), true);
    juce::Graphics g (canvas);
    slider.paint (g);
    return canvas;
}

// The smallest rectangle holding every pixel that was drawn (empty when nothing was).
juce::Rectangle<int> drawnBounds (const juce::Image& image)
{
    juce::Rectangle<int> bounds;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() != 0)
                bounds = bounds.getUnion ({ x, y, 1, 1 });
    return bounds;
}

std::unique_ptr<ImageSlider> makeSlider (int styleCode, juce::Image image, int width, int height)
{
    auto slider = std::make_unique<ImageSlider> ("dial");
    slider->setRange (0.0, 1.0, 0.001);
    slider->setImageStyle (styleCode);
    slider->setImage (image);
    slider->setBounds (0, 0, width, height);
    return slider;
}
} // namespace

TEST (ImageSlider, StyleCodesInstallDefaultImagesEvenWhenStyleIsUnchanged)
{
    using S = juce::Slider;
    const auto custom = makeStrip (4, 4, 3);
    const auto rotary = juce::ImageCache::getFromMemory (skin::rotary_default_strip, skin::rotary_default_stripSize);
    ImageSlider slider ("dial");
    EXPECT_EQ (slider.getSliderStyle(), S::LinearVertical);
    EXPECT_EQ (slider.getImage(), juce::ImageCache::getFromMemory (skin::slider_thumb_vertical, skin::slider_thumb_verticalSize));

    // The second code 2 finds the style already rotary but still replaces the image; unknown codes change nothing.
    struct Case { int code; S::SliderStyle style; juce::Image image; };
    const Case cases[] = { { 0, S::LinearHorizontal, juce::ImageCache::getFromMemory (skin::slider_thumb_horizontal,
                                                                                      skin::slider_thumb_horizontalSize) },
                           { 2, S::RotaryVerticalDrag, rotary }, { 2, S::RotaryVerticalDrag, rotary },
                           { 3, S::RotaryVerticalDrag, custom } };

    for (const auto& c : cases)
    {
        slider.setImage (custom);
        slider.setImageStyle (c.code);
        EXPECT_EQ (slider.getSliderStyle(), c.style) << c.code;
        EXPECT_EQ (slider.getImage(), c.image) << c.code;
    }
}

TEST (ImageSlider, RotaryShowsFrameForProportionAndNothingWithoutStripOrFrameHeight)
{
    // Frame = truncation of p * N, where p = 1 shows the last frame; -1: nothing drawn.
    struct Case { int numFrames, frameHeight; double value; int frame; };
    const Case cases[] = { { 101, 6, 0.0, 0 }, { 101, 6, 0.5, 50 }, { 101, 6, 0.999, 100 }, { 101, 6, 1.0, 100 },
                           { 81, 6, 0.0, 0 }, { 81, 6, 0.5, 40 }, { 81, 6, 0.999, 80 }, { 81, 6, 1.0, 80 },
                           { 0, 6, 0.5, -1 }, { 4, 0, 0.5, -1 }, { 4, -5, 0.5, -1 } };

    for (const auto& c : cases)
    {
        auto slider = makeSlider (ImageSlider::rotaryStrip, c.numFrames > 0 ? makeStrip (5, 6, c.numFrames) : juce::Image(), 5, 6);
        slider->frameHeight = c.frameHeight;
        slider->setValue (c.value, juce::dontSendNotification);
        const auto canvas = render (*slider);
        const auto origin = canvas.getPixelAt (0, 0);
        EXPECT_EQ (origin.getAlpha() == 0 ? -1 : origin.getRed(), c.frame) << c.numFrames << " frames, value " << c.value;
        EXPECT_EQ (drawnBounds (canvas), c.frame < 0 ? juce::Rectangle<int>() : canvas.getBounds()) << "one whole frame";
    }
}

TEST (ImageSlider, LinearThumbPositionsAndNullThumb)
{
    // Vertical: x = (W - w) / 2, y = (1 - p) * (H - h); horizontal: x = p * (W - w), y = (H - h) / 2;
    // all truncated. A zero-sized thumb stands for a null image, which draws nothing.
    constexpr int V = ImageSlider::verticalThumb, H = ImageSlider::horizontalThumb;
    struct Case { int code, width, height, thumbWidth, thumbHeight; double value; int x, y; };
    const Case cases[] = { { V, 45, 295, 45, 77, 0.0, 0, 218 }, { V, 45, 295, 45, 77, 0.5, 0, 109 },
                           { V, 45, 295, 45, 77, 0.999, 0, 0 }, { V, 45, 295, 45, 77, 1.0, 0, 0 },
                           { V, 45, 295, 43, 77, 0.0, 1, 218 }, { V, 45, 295, 0, 0, 0.5, 0, 0 },
                           { H, 200, 41, 49, 34, 0.0, 0, 3 }, { H, 200, 41, 49, 34, 0.5, 75, 3 },
                           { H, 200, 41, 49, 34, 1.0, 151, 3 }, { H, 200, 41, 0, 0, 0.5, 0, 0 } };

    for (const auto& c : cases)
    {
        const auto thumb = c.thumbWidth > 0 ? makeStrip (c.thumbWidth, c.thumbHeight, 1) : juce::Image();
        auto slider = makeSlider (c.code, thumb, c.width, c.height);
        slider->setValue (c.value, juce::dontSendNotification);
        EXPECT_EQ (drawnBounds (render (*slider)), juce::Rectangle<int> (c.x, c.y, c.thumbWidth, c.thumbHeight))
            << "style " << c.code << ", value " << c.value;
    }
}

TEST (ImageSlider, DisabledSliderOrParentDrawsAtSixtyPercent)
{
    juce::Component parent;
    auto slider = makeSlider (ImageSlider::verticalThumb, makeStrip (45, 77, 1), 45, 295);
    parent.addChildComponent (*slider);
    for (const auto& [sliderEnabled, parentEnabled, alpha] : { std::tuple { true, true, 255 }, std::tuple { false, true, 153 },
                                                               std::tuple { true, false, 153 } })
    {
        slider->setEnabled (sliderEnabled);
        parent.setEnabled (parentEnabled);
        EXPECT_NEAR (render (*slider).getPixelAt (0, 250).getAlpha(), alpha, 1) << sliderEnabled << parentEnabled;
    }
}

TEST (ImageSlider, DoubleClickRestoresResetValueThenTellsValueAndChangeListeners)
{
    struct EventLog final : public juce::Slider::Listener, public juce::ChangeListener
    {
        void sliderValueChanged (juce::Slider*) override { events.add ("value"); }
        void changeListenerCallback (juce::ChangeBroadcaster*) override { events.add ("change"); }
        juce::StringArray events;
    } log;

    auto slider = makeSlider (ImageSlider::verticalThumb, makeStrip (4, 4, 1), 10, 100);
    slider->setResetValue (0.75);
    slider->setEnabled (false); // the reset ignores the enabled state
    slider->addListener (&log);
    slider->addChangeListener (&log);

    const auto now = juce::Time::getCurrentTime();
    slider->mouseDoubleClick ({ juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                slider.get(), slider.get(), now, {}, now, 2, false });
    EXPECT_EQ (slider->getValue(), 0.75); // set at once, announced later
    EXPECT_TRUE (log.events.isEmpty());
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_EQ (log.events.joinIntoString (","), "value,change");
}
