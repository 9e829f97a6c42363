#include "widgets/imageAnimator.h"

#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
constexpr int frameHeight = 83;

// A 101-frame needle strip, frame k filled with red = k.
juce::Image makeNeedleStrip()
{
    juce::Image strip (juce::Image::ARGB, 3, frameHeight * 101, true);
    juce::Graphics g (strip);

    for (int k = 0; k < 101; ++k)
    {
        g.setColour (juce::Colour::fromRGB ((juce::uint8) k, 50, 50));
        g.fillRect (0, k * frameHeight, 3, frameHeight);
    }

    return strip;
}

// The frame drawn at the origin (-1 for nothing); exactly one frame may be drawn.
int frameShown (imageAnimator& meter)
{
    juce::Image canvas (juce::Image::ARGB, 3, 2 * frameHeight, true);
    {
        juce::Graphics g (canvas);
        meter.paint (g);
    }

    const auto top = canvas.getPixelAt (0, 0);
    if (top.getAlpha() == 0)
        return -1;

    EXPECT_EQ (canvas.getPixelAt (2, frameHeight - 1), top);
    EXPECT_EQ (canvas.getPixelAt (0, frameHeight).getAlpha(), 0);
    return (int) top.getRed();
}

void tick (imageAnimator& meter, int times)
{
    for (int i = 0; i < times; ++i)
        meter.timerCallback();
}

struct ImageAnimatorTest : public ::testing::Test
{
    VarnocAudioProcessor processor;
    juce::Image strip = makeNeedleStrip();
};
} // namespace

TEST_F (ImageAnimatorTest, LevelNeedleIsASinglePrecisionDampedSpring)
{
    processor.bandLevel[0][0] = 1.0f;
    processor.bandLevel[1][0] = 1.0f;
    processor.bandLevel[2][0] = 1.0f;
    imageAnimator low (strip, &processor, frameHeight, 0, 0);
    imageAnimator mid (strip, &processor, frameHeight, 0, 1);
    imageAnimator high (strip, &processor, frameHeight, 0, 2);
    EXPECT_EQ (low.getTimerInterval(), 10);

    tick (low, 1);
    tick (mid, 1);
    tick (high, 1);
    EXPECT_EQ (low.getPosition(), 0.092f - 0.092f * 0.32f);
    EXPECT_NEAR (low.getPosition(), 0.06256, 1e-7);
    EXPECT_EQ (mid.getPosition(), low.getPosition());
    EXPECT_NEAR (high.getPosition(), 0.09656, 1e-7);
    EXPECT_EQ (low.getScale(), 1.9f);
    EXPECT_EQ (high.getScale(), 3.0f);

    int firstAboveNine = 0, peakTick = 0, lastOutsideOnePercent = 0, highPeakTick = 0;
    float peak = 0.0f, highPeak = 0.0f;

    for (int t = 2; t <= 200; ++t)
    {
        tick (low, 1);
        tick (high, 1);
        const float p = low.getPosition();

        if (firstAboveNine == 0 && p > 0.9f)
            firstAboveNine = t;
        if (p > peak) { peak = p; peakTick = t; }
        if (std::abs (p - 1.0f) > 0.01f)
            lastOutsideOnePercent = t;
        if (high.getPosition() > highPeak) { highPeak = high.getPosition(); highPeakTick = t; }
    }

    EXPECT_EQ (firstAboveNine, 10);
    EXPECT_EQ (peakTick, 15);
    EXPECT_NEAR (peak, 1.046, 5e-4);
    EXPECT_EQ (lastOutsideOnePercent, 23);
    EXPECT_EQ (highPeakTick, 11);
    EXPECT_NEAR (highPeak, 1.118, 5e-4);
}

TEST_F (ImageAnimatorTest, LevelNeedleFramesStopAtNinety)
{
    imageAnimator meter (strip, &processor, frameHeight, 0, 0);
    EXPECT_EQ (frameShown (meter), 0);

    processor.bandLevel[0][0] = 0.2f;
    tick (meter, 300);
    EXPECT_NEAR (meter.getPosition(), 0.2f, 1e-6);
    EXPECT_EQ (frameShown (meter), 38);

    processor.bandLevel[0][0] = 0.6f;
    tick (meter, 300);
    EXPECT_EQ (frameShown (meter), 90);

    processor.bandLevel[2][0] = 0.25f; // high band: x = 3 * 0.25
    imageAnimator high (strip, &processor, frameHeight, 0, 2);
    tick (high, 300);
    EXPECT_EQ (frameShown (high), 75);
}

TEST_F (ImageAnimatorTest, ReductionNeedleFollowsMeanGainDirectly)
{
    for (const int mode : { 1, 3 })
    {
        imageAnimator meter (strip, &processor, frameHeight, mode, 1);

        struct Case { float meanGain; float target; int frame; };
        const Case cases[] = { { 0.0f, 1.0f, 90 }, { 1.0f, 0.0f, 0 }, { 0.5f, 0.5f, 70 }, { 1.7f, 0.0f, 0 },
                               { -0.5f, 1.0f, 90 }, { 0.9f, 0.1f, 14 },
                               { std::numeric_limits<float>::quiet_NaN(), 0.1f, 14 } };

        for (const auto& c : cases)
        {
            processor.bandDynamics[1]->meanGain = c.meanGain;
            tick (meter, 1);
            EXPECT_FLOAT_EQ (meter.getTarget(), c.target) << mode << ", " << c.meanGain;
            EXPECT_EQ (meter.getPosition(), meter.getTarget());
            EXPECT_EQ (meter.getScale(), 1.4f);
            EXPECT_EQ (frameShown (meter), c.frame) << mode << ", " << c.meanGain;
        }
    }
}

TEST_F (ImageAnimatorTest, UnusableBandModeOrSourceKeepsTheNeedleAtRest)
{
    for (int b = 0; b < 3; ++b)
    {
        processor.bandLevel[b][0] = 0.5f;
        processor.bandDynamics[(size_t) b]->meanGain = 0.2f;
    }

    for (const auto& [mode, band] : { std::pair { 0, -1 }, std::pair { 0, 3 }, std::pair { 1, 3 },
                                      std::pair { 2, 0 }, std::pair { 7, 0 } })
    {
        imageAnimator meter (strip, &processor, frameHeight, mode, band);
        tick (meter, 20);
        EXPECT_EQ (meter.getTarget(), 0.0f) << mode << ", " << band;
        EXPECT_EQ (meter.getPosition(), 0.0f) << mode << ", " << band;
        EXPECT_EQ (frameShown (meter), 0) << mode << ", " << band;
    }

    imageAnimator noProcessor (strip, nullptr, frameHeight, 0, 0);
    tick (noProcessor, 2);
    EXPECT_EQ (frameShown (noProcessor), 0);
}

TEST_F (ImageAnimatorTest, NonFiniteOrHugeLevelsNeverPoisonTheSpring)
{
    imageAnimator meter (strip, &processor, frameHeight, 0, 0);
    processor.bandLevel[0][0] = 0.3f;
    tick (meter, 5);
    const float target = meter.getTarget();

    processor.bandLevel[0][0] = std::numeric_limits<float>::quiet_NaN();
    tick (meter, 5);
    EXPECT_EQ (meter.getTarget(), target);

    processor.bandLevel[0][0] = std::numeric_limits<float>::max();
    for (int t = 0; t < 50; ++t)
    {
        tick (meter, 1);
        ASSERT_TRUE (std::isfinite (meter.getPosition()) && std::isfinite (meter.getVelocity())) << t;
    }

    const int frame = frameShown (meter);
    EXPECT_GE (frame, 0);
    EXPECT_LE (frame, 90);
}

TEST_F (ImageAnimatorTest, MissingStripOrFrameHeightDrawsNothingAndKeepsTicking)
{
    processor.bandLevel[0][0] = 0.4f;

    imageAnimator noStrip (juce::Image(), &processor, frameHeight, 0, 0);
    tick (noStrip, 10);
    EXPECT_GT (noStrip.getPosition(), 0.0f);
    EXPECT_EQ (frameShown (noStrip), -1);
    EXPECT_TRUE (noStrip.isTimerRunning());

    imageAnimator noFrameHeight (strip, &processor, 0, 0, 0);
    tick (noFrameHeight, 10);
    EXPECT_EQ (frameShown (noFrameHeight), -1);
}
