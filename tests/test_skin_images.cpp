// The embedded skin images: format, size and frame layout of every PNG, and the
// image cache handing out one shared decoded image per byte array.
#include "SkinImages.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
struct SkinImage { const char* name; const unsigned char* data; int size, width, height; bool alpha; };

const SkinImage skinImages[] = {
#define DUNSKARA_TEST_SKIN_IMAGE(name, w, h, alpha, frame) { #name, skin::name, skin::name##Size, w, h, alpha },
    DUNSKARA_SKIN_IMAGES (DUNSKARA_TEST_SKIN_IMAGE)
#undef DUNSKARA_TEST_SKIN_IMAGE
};

juce::Image decode (const char* name)
{
    for (const auto& image : skinImages)
        if (std::strcmp (image.name, name) == 0)
            return juce::ImageCache::getFromMemory (image.data, image.size);
    return {};
}

// Pixels that carry the knobs' value-ring colour (a saturated blue).
int litRingPixels (const juce::Image& frame)
{
    int count = 0;
    for (int y = 0; y < frame.getHeight(); ++y)
        for (int x = 0; x < frame.getWidth(); ++x)
            if (const auto c = frame.getPixelAt (x, y); c.getAlpha() > 200 && c.getBlue() > 180 && c.getRed() < 120)
                ++count;
    return count;
}

bool samePixels (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;
    return true;
}

int readBigEndian (const unsigned char* bytes) { return (bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3]; }

TEST (SkinImages, EveryImageIsAnEightBitPngThatDecodesOnceToItsListedSize)
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
        EXPECT_EQ (image.data[24], 8);                   // bits per channel
        EXPECT_EQ (image.data[25], image.alpha ? 6 : 2); // RGBA or RGB
        EXPECT_EQ (image.data[28], 0);                   // not interlaced

        const auto decoded = decode (image.name);
        ASSERT_TRUE (decoded.isValid());
        EXPECT_EQ (decoded.getBounds(), juce::Rectangle<int> (image.width, image.height));
        EXPECT_EQ (decoded.hasAlphaChannel(), image.alpha);
        EXPECT_EQ (decode (image.name).getPixelData(), decoded.getPixelData()); // one shared decode
    }
}

TEST (SkinImages, StripFramesRunFromMinimumToMaximum)
{
    struct Strip { const char* name; int frames, frameHeight; bool knob; };
    const Strip strips[] = { { "knob_attack_strip", 101, 105, true }, { "knob_release_strip", 101, 105, true },
                             { "knob_mix_strip", 81, 98, true }, { "knob_small_strip", 81, 73, true },
                             { "meter_level_needle_strip", 101, 83, false },
                             { "meter_reduction_needle_strip", 101, 83, false } };

    for (const auto& s : strips)
    {
        SCOPED_TRACE (s.name);
        const auto strip = decode (s.name);
        ASSERT_EQ (strip.getHeight(), s.frames * s.frameHeight);
        const auto frame = [&] (int i) { return strip.getClippedImage ({ 0, i * s.frameHeight, strip.getWidth(), s.frameHeight }); };

        if (s.knob)
        {
            // Square frames whose lit value ring is empty at the minimum and grows frame by frame.
            EXPECT_EQ (strip.getWidth(), s.frameHeight);
            std::vector<int> lit;
            for (int i = 0; i < s.frames; ++i)
                lit.push_back (litRingPixels (frame (i)));
            EXPECT_LT (lit.front(), 5);
            EXPECT_GT (lit.back(), 100);
            EXPECT_TRUE (std::is_sorted (lit.begin(), lit.end()));
        }
        else
        {
            // Frames 0 to 90 are the ones a meter shows; each must show the needle elsewhere.
            for (int i = 1; i <= 90; ++i)
                EXPECT_FALSE (samePixels (frame (i - 1), frame (i))) << "frame " << i;
        }
    }
}

TEST (SkinImages, SwitchImagesDifferBetweenOffAndOn)
{
    for (const auto& [off, on] : { std::pair { "limiter_switch_off", "limiter_switch_on" },
                                   std::pair { "channel_button_off", "channel_button_on" },
                                   std::pair { "solo_button_off", "solo_button_on" },
                                   std::pair { "power_button_off", "power_button_on" } })
        EXPECT_FALSE (samePixels (decode (off), decode (on))) << off;
}
} // namespace
