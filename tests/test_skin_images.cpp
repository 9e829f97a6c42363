// The embedded skin images: format, size and frame layout of every PNG, and the
// image cache handing out one shared decoded image per byte array.
#include "SkinImages.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace
{
struct SkinImage
{
    const char* name;
    const unsigned char* data;
    int size;
    int width;
    int height;
    bool alpha;
    int frameHeight;
};

const SkinImage skinImages[] = {
#define DUNSKARA_TEST_SKIN_IMAGE(name, w, h, alpha, frame) { #name, skin::name, skin::name##Size, w, h, alpha, frame },
    DUNSKARA_SKIN_IMAGES (DUNSKARA_TEST_SKIN_IMAGE)
#undef DUNSKARA_TEST_SKIN_IMAGE
};

int readBigEndian (const unsigned char* bytes)
{
    return (bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
}

juce::Image decode (const SkinImage& image)
{
    return juce::ImageCache::getFromMemory (image.data, image.size);
}

juce::Image frameOf (const juce::Image& strip, int frameHeight, int index)
{
    return strip.getClippedImage ({ 0, index * frameHeight, strip.getWidth(), frameHeight });
}

bool samePixels (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;

    return true;
}

// Pixels that carry the knobs' value-ring colour (a saturated blue).
int litRingPixels (const juce::Image& frame)
{
    int count = 0;

    for (int y = 0; y < frame.getHeight(); ++y)
        for (int x = 0; x < frame.getWidth(); ++x)
        {
            const auto c = frame.getPixelAt (x, y);
            count += (c.getAlpha() > 200 && c.getBlue() > 180 && c.getRed() < 120) ? 1 : 0;
        }

    return count;
}

const SkinImage& find (const char* name)
{
    for (const auto& image : skinImages)
        if (std::strcmp (image.name, name) == 0)
            return image;

    throw std::runtime_error (name);
}

//==============================================================================
TEST (SkinImages, EveryFileIsAPlainEightBitPngOfTheListedType)
{
    const unsigned char signature[] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };

    for (const auto& image : skinImages)
    {
        SCOPED_TRACE (image.name);
        ASSERT_GT (image.size, 33);
        EXPECT_EQ (std::memcmp (image.data, signature, sizeof (signature)), 0);
        EXPECT_EQ (std::memcmp (image.data + 12, "IHDR", 4), 0);
        EXPECT_EQ (readBigEndian (image.data + 16), image.width);
        EXPECT_EQ (readBigEndian (image.data + 20), image.height);
        EXPECT_EQ (image.data[24], 8);                       // bits per channel
        EXPECT_EQ (image.data[25], image.alpha ? 6 : 2);     // RGBA or RGB
        EXPECT_EQ (image.data[28], 0);                       // not interlaced
    }
}

TEST (SkinImages, EveryImageDecodesToItsListedSizeAndFormat)
{
    for (const auto& image : skinImages)
    {
        SCOPED_TRACE (image.name);
        const auto decoded = decode (image);
        ASSERT_TRUE (decoded.isValid());
        EXPECT_EQ (decoded.getWidth(), image.width);
        EXPECT_EQ (decoded.getHeight(), image.height);
        EXPECT_EQ (decoded.hasAlphaChannel(), image.alpha);
    }
}

TEST (SkinImages, FilmstripsHoldWholeSquareOrMeterFrames)
{
    const struct { const char* name; int frames; } strips[] = {
        { "knob_attack_strip", 101 }, { "knob_release_strip", 101 }, { "knob_mix_strip", 81 },
        { "knob_small_strip", 81 }, { "meter_level_needle_strip", 101 }, { "meter_reduction_needle_strip", 101 } };

    for (const auto& strip : strips)
    {
        SCOPED_TRACE (strip.name);
        const auto& image = find (strip.name);
        ASSERT_GT (image.frameHeight, 0);
        EXPECT_EQ (image.height % image.frameHeight, 0);
        EXPECT_EQ (image.height / image.frameHeight, strip.frames);

        if (juce::String (strip.name).startsWith ("knob"))
            EXPECT_EQ (image.frameHeight, image.width);
        else
            EXPECT_EQ (image.frameHeight, 83);
    }

    for (const auto& image : skinImages)
    {
        if (! juce::String (image.name).containsIgnoreCase ("strip"))
        {
            EXPECT_EQ (image.frameHeight, 0) << image.name;
        }
    }
}

TEST (SkinImages, KnobFramesRunFromMinimumToMaximum)
{
    for (const char* name : { "knob_attack_strip", "knob_mix_strip", "knob_small_strip" })
    {
        SCOPED_TRACE (name);
        const auto& image = find (name);
        const auto strip = decode (image);
        const int frames = image.height / image.frameHeight;

        // The lit value ring is empty at the minimum and grows frame by frame.
        int previous = litRingPixels (frameOf (strip, image.frameHeight, 0));
        EXPECT_LT (previous, 5);

        for (int i = 1; i < frames; ++i)
        {
            const int lit = litRingPixels (frameOf (strip, image.frameHeight, i));
            EXPECT_GE (lit, previous) << "frame " << i;
            previous = lit;
        }

        EXPECT_GT (previous, 100);

        // Corners stay transparent so that the panel shows around the knob.
        const auto last = frameOf (strip, image.frameHeight, frames - 1);
        EXPECT_EQ (last.getPixelAt (0, 0).getAlpha(), 0);
        EXPECT_EQ (last.getPixelAt (last.getWidth() - 1, last.getHeight() - 1).getAlpha(), 0);
    }
}

TEST (SkinImages, NeedleFramesMoveAndLetTheMeterFaceShowThrough)
{
    for (const char* name : { "meter_level_needle_strip", "meter_reduction_needle_strip" })
    {
        SCOPED_TRACE (name);
        const auto& image = find (name);
        const auto strip = decode (image);

        // Mostly transparent: the needles lie over the face printed on the background.
        const auto rest = frameOf (strip, image.frameHeight, 0);
        int transparent = 0;

        for (int y = 0; y < rest.getHeight(); ++y)
            for (int x = 0; x < rest.getWidth(); ++x)
                transparent += rest.getPixelAt (x, y).getAlpha() == 0 ? 1 : 0;

        EXPECT_GT (transparent, rest.getWidth() * rest.getHeight() * 9 / 10);

        // Frames 0 to 90 are the ones the meter shows; each must show the needle elsewhere.
        for (int i = 1; i <= 90; ++i)
            EXPECT_FALSE (samePixels (frameOf (strip, image.frameHeight, i - 1), frameOf (strip, image.frameHeight, i)))
                << "frame " << i;
    }
}

TEST (SkinImages, SwitchImagesDifferBetweenOffAndOn)
{
    const char* pairs[][2] = { { "limiter_switch_off", "limiter_switch_on" },
                               { "channel_button_off", "channel_button_on" },
                               { "power_button_off", "power_button_on" } };

    for (const auto& pair : pairs)
    {
        SCOPED_TRACE (pair[0]);
        EXPECT_FALSE (samePixels (decode (find (pair[0])), decode (find (pair[1]))));
    }
}

TEST (SkinImages, TheSameImageRequestedTwiceIsOneSharedDecode)
{
    for (const auto& image : skinImages)
    {
        SCOPED_TRACE (image.name);
        const auto first = decode (image);
        const auto second = decode (image);
        ASSERT_TRUE (first.isValid());
        EXPECT_TRUE (first == second);   // same pixel data, not merely equal pixels
        EXPECT_EQ (first.getPixelData(), second.getPixelData());
    }
}
} // namespace
