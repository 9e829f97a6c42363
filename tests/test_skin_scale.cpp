// The skin at twice the resolution: the 2x image set, the choice of image by the
// graphics context's scale, and the editor drawn for a screen at 200 %.
#include "editor/EditorSnapshot.h"
#include "plugin/VarnocAudioProcessor.h"
#include "resources/SkinImages.h"
#include "widgets/ImageSlider.h"
#include "widgets/SkinTwins.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
struct SkinPair { const char* name; const unsigned char* data; int size; const unsigned char* twin; int twinSize;
                  int width, height, frameHeight; };

const SkinPair skinPairs[] = {
#define DUNSKARA_TEST_SKIN_PAIR(name, w, h, alpha, frame) \
    { #name, skin::name, skin::name##Size, skin::name##_2x, skin::name##_2xSize, w, h, frame },
    DUNSKARA_SKIN_IMAGES (DUNSKARA_TEST_SKIN_PAIR)
#undef DUNSKARA_TEST_SKIN_PAIR
};

juce::Image load (const unsigned char* data, int size) { return juce::ImageCache::getFromMemory (data, size); }

// Draws a component into an image of its size times scale, as a scaled screen would.
juce::Image paintAtScale (juce::Component& component, int scale)
{
    juce::Image image (juce::Image::ARGB, component.getWidth() * scale, component.getHeight() * scale, true,
                       juce::SoftwareImageType());
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale ((float) scale));
    component.paintEntireComponent (g, true);
    return image;
}

bool samePixels (const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return false;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;
    return true;
}

// Mean squared difference of neighbouring pixels' brightness: how much fine detail
// (edges, text, texture) a picture carries.
double gradientEnergy (const juce::Image& image)
{
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    const auto brightness = [&] (int x, int y)
    {
        const auto c = pixels.getPixelColour (x, y);
        return 0.299 * c.getRed() + 0.587 * c.getGreen() + 0.114 * c.getBlue();
    };
    double sum = 0.0;
    for (int y = 0; y + 1 < image.getHeight(); ++y)
        for (int x = 0; x + 1 < image.getWidth(); ++x)
        {
            const double b = brightness (x, y);
            const double dx = brightness (x + 1, y) - b, dy = brightness (x, y + 1) - b;
            sum += dx * dx + dy * dy;
        }
    return sum / ((double) (image.getWidth() - 1) * (image.getHeight() - 1));
}

TEST (SkinScale, EveryTwinIsAPngOfTwiceTheSizeWithTheSameFrames)
{
    for (const auto& pair : skinPairs)
    {
        SCOPED_TRACE (pair.name);
        const auto image = load (pair.data, pair.size);
        const auto twin = load (pair.twin, pair.twinSize);
        ASSERT_TRUE (twin.isValid());
        EXPECT_EQ (pair.twin[25], pair.data[25]); // same PNG colour type
        EXPECT_EQ (twin.getWidth(), 2 * image.getWidth());
        EXPECT_EQ (twin.getHeight(), 2 * image.getHeight());
        EXPECT_EQ (twin.hasAlphaChannel(), image.hasAlphaChannel());
        if (pair.frameHeight > 0)
        {
            EXPECT_EQ (twin.getHeight() % (2 * pair.frameHeight), 0);
            EXPECT_EQ (twin.getHeight() / (2 * pair.frameHeight), image.getHeight() / pair.frameHeight);
        }

        SkinTwins twins;
        EXPECT_EQ (twins.twinOf (image), twin);
    }

    // Images that are not the skin's have no twin.
    SkinTwins twins;
    EXPECT_TRUE (twins.twinOf (juce::Image (juce::Image::ARGB, 10, 10, true)).isNull());
    EXPECT_TRUE (twins.twinOf ({}).isNull());
}

TEST (SkinScale, AKnobShowsTheSameFrameAtBothScalesAndTheTwinWhenScaled)
{
    const auto strip = load (skin::knob_mix_strip, skin::knob_mix_stripSize);
    const auto twin = load (skin::knob_mix_strip_2x, skin::knob_mix_strip_2xSize);
    ImageSlider knob ("dial");
    knob.setRange (0.0, 1.0, 0.001);
    knob.setImageStyle (ImageSlider::rotaryStrip);
    knob.setImage (strip);
    knob.setTextBoxStyle (juce::Slider::NoTextBox, false, 40, 20);
    knob.frameHeight = 98;
    knob.setBounds (0, 0, 98, 98);

    for (const double value : { 0.0, 0.37, 0.5, 1.0 })
    {
        SCOPED_TRACE (value);
        knob.setValue (value, juce::dontSendNotification);
        const int frame = juce::jmin (80, (int) (value * 81)); // 81 frames, the last also for 1.0
        EXPECT_TRUE (samePixels (paintAtScale (knob, 1), strip.getClippedImage ({ 0, frame * 98, 98, 98 })));
        EXPECT_TRUE (samePixels (paintAtScale (knob, 2), twin.getClippedImage ({ 0, frame * 196, 196, 196 })));
    }
}

TEST (SkinScale, AThumbSitsAtTheSameLogicalPlaceAtBothScales)
{
    const auto thumb = load (skin::fader_thumb_ratio, skin::fader_thumb_ratioSize);
    const auto twin = load (skin::fader_thumb_ratio_2x, skin::fader_thumb_ratio_2xSize);
    ImageSlider fader ("dial");
    fader.setRange (0.0, 1.0, 0.001);
    fader.setImage (thumb);
    fader.setTextBoxStyle (juce::Slider::NoTextBox, false, 40, 20);
    fader.setBounds (0, 0, 45, 295);
    fader.setValue (0.25, juce::dontSendNotification);

    const int top = (int) (0.75 * (295 - 77)); // 163
    EXPECT_TRUE (samePixels (paintAtScale (fader, 1).getClippedImage ({ 0, top, 45, 77 }), thumb));
    EXPECT_TRUE (samePixels (paintAtScale (fader, 2).getClippedImage ({ 0, 2 * top, 90, 154 }), twin));
}

TEST (SkinScale, EditorPictureAtTwiceTheScaleIsSharperThanTheEnlargedOne)
{
    VarnocAudioProcessor processor;
    const auto small = renderEditorSnapshot (processor);
    const auto large = renderEditorSnapshot (processor, 0, 2.0f);
    ASSERT_EQ (small.getBounds(), juce::Rectangle<int> (914, 650));
    ASSERT_EQ (large.getBounds(), juce::Rectangle<int> (1828, 1300));
    EXPECT_EQ (renderEditorSnapshot (processor, 0, 1.5f).getBounds(), juce::Rectangle<int> (1371, 975));

    // The background's corner is the 2x background's pixel, not an enlarged one.
    const auto background = load (skin::editor_background_2x, skin::editor_background_2xSize);
    EXPECT_EQ (large.getPixelAt (3, 3).getARGB(), background.getPixelAt (3, 3).getARGB());

    juce::Image enlarged (juce::Image::ARGB, 1828, 1300, true, juce::SoftwareImageType());
    {
        juce::Graphics g (enlarged);
        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
        g.drawImage (small, 0, 0, 1828, 1300, 0, 0, 914, 650);
    }
    EXPECT_GT (gradientEnergy (large), 1.3 * gradientEnergy (enlarged));
}
} // namespace
