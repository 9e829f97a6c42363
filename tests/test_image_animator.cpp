#include "widgets/imageAnimator.h"

#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
constexpr int frameHeight = 83;
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

void tick (imageAnimator& meter, int times)
{
    for (int i = 0; i < times; ++i)
        meter.timerCallback();
}

struct ImageAnimatorTest : public ::testing::Test
{
    // The frame drawn at the origin (-1 for nothing); exactly one frame may be drawn.
    static int frameShown (imageAnimator& meter)
    {
        juce::Image canvas (juce::Image::ARGB, 3, 2 * frameHeight, true);
        juce::Graphics g (canvas);
        meter.paint (g);
        const auto top = canvas.getPixelAt (0, 0);
        EXPECT_EQ (canvas.getPixelAt (2, frameHeight - 1), top);
        EXPECT_EQ (canvas.getPixelAt (0, frameHeight).getAlpha(), 0);
        return top.getAlpha() == 0 ? -1 : (int) top.getRed();
    }

    VarnocAudioProcessor processor;
    const juce::Image strip = []
    {
        juce::Image image (juce::Image::ARGB, 3, frameHeight * 101, true); // frame k has red = k
        for (int k = 0; k < 101; ++k)
            image.clear ({ 0, k * frameHeight, 3, frameHeight }, juce::Colour::fromRGB ((juce::uint8) k, 50, 50));
        return image;
    }();
};
} // namespace

TEST_F (ImageAnimatorTest, LevelNeedleIsASinglePrecisionDampedSpring)
{
    // The level jumps from 0 to 1; the high band's spring is stiffer.
    struct Case { int band; float firstTick; double firstTickApprox; int peakTick; double peak; };
    const Case cases[] = { { 0, 0.092f - 0.092f * 0.32f, 0.06256, 15, 1.046 },
                           { 1, 0.092f - 0.092f * 0.32f, 0.06256, 15, 1.046 },
                           { 2, 0.142f - 0.142f * 0.32f, 0.09656, 11, 1.118 } };

    for (const auto& c : cases)
    {
        processor.bandLevel[c.band][0] = 1.0f;
        imageAnimator meter (strip, &processor, frameHeight, 0, c.band);
        EXPECT_EQ (meter.getTimerInterval(), 10);

        std::vector<float> path; // path[t - 1]: the position after tick t
        for (int t = 1; t <= 200; ++t)
        {
            tick (meter, 1);
            path.push_back (meter.getPosition());
        }

        EXPECT_EQ (path[0], c.firstTick) << c.band;
        EXPECT_NEAR (path[0], c.firstTickApprox, 1e-7) << c.band;
        const auto peak = std::max_element (path.begin(), path.end());
        EXPECT_EQ (peak - path.begin() + 1, c.peakTick) << c.band;
        EXPECT_NEAR (*peak, c.peak, 5e-4) << c.band;
        EXPECT_NEAR (path.back(), 1.0f, 1e-4) << c.band;
    }
}

TEST_F (ImageAnimatorTest, NeedleSettlesOnTheFrameOfItsSource)
{
    // Frame = truncation of 101 * min (scale * position, 0.9), scale 1.9 (3 for the high band).
    // Bands outside 0 to 2 keep their target, as do mode 2 and NaN levels; unknown modes rest at 0.
    // Without a strip or frame height nothing is drawn (-1) but the needle keeps moving.
    struct Case { int mode, band; float level, target; int frame; std::string missing = {}; };
    const Case cases[] = { { 0, 0, 0.2f, 0.2f, 38 }, { 0, 0, 0.6f, 0.6f, 90 }, { 0, 2, 0.25f, 0.25f, 75 },
                           { 0, -1, 0.5f, 0.0f, 0 }, { 0, 3, 0.5f, 0.0f, 0 }, { 1, 3, 0.5f, 0.0f, 0 },
                           { 2, 0, 0.5f, 0.0f, 0 }, { 7, 0, 0.5f, 0.0f, 0 }, { 0, 0, notANumber, 0.0f, 0 },
                           { 0, 0, 0.5f, 0.0f, 0, "processor" },
                           { 0, 0, 0.4f, 0.4f, -1, "strip" }, { 0, 0, 0.4f, 0.4f, -1, "frame height" } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "mode " << c.mode << ", band " << c.band << ", level " << c.level << ' ' << c.missing);
        for (int b = 0; b < 3; ++b)
        {
            processor.bandLevel[b][0] = c.level;
            processor.bandDynamics[(size_t) b]->meanGain = 0.2f;
        }

        imageAnimator meter (c.missing == "strip" ? juce::Image() : strip, c.missing == "processor" ? nullptr : &processor,
                             c.missing == "frame height" ? 0 : frameHeight, c.mode, c.band);
        tick (meter, 300);
        EXPECT_EQ (meter.getTarget(), c.target);
        EXPECT_NEAR (meter.getPosition(), c.target, 1e-6);
        EXPECT_EQ (frameShown (meter), c.frame);
        EXPECT_TRUE (meter.isTicking());
    }
}

TEST_F (ImageAnimatorTest, ReductionNeedleFollowsMeanGainDirectly)
{
    // A mean gain of 0 (possible only in extreme settings) is full reduction: frame 90.
    struct Case { float meanGain; float target; int frame; };
    const Case cases[] = { { 0.0f, 1.0f, 90 }, { 1.0f, 0.0f, 0 }, { 0.5f, 0.5f, 70 }, { 1.7f, 0.0f, 0 },
                           { -0.5f, 1.0f, 90 }, { 0.9f, 0.1f, 14 }, { notANumber, 0.1f, 14 } };

    for (const int mode : { 1, 3 })
    {
        imageAnimator meter (strip, &processor, frameHeight, mode, 1);

        for (const auto& c : cases)
        {
            processor.bandDynamics[1]->meanGain = c.meanGain;
            tick (meter, 1);
            EXPECT_FLOAT_EQ (meter.getTarget(), c.target) << mode << ", " << c.meanGain;
            EXPECT_EQ (frameShown (meter), c.frame) << mode << ", " << c.meanGain;
        }
    }
}

TEST_F (ImageAnimatorTest, HugeLevelsNeverPoisonTheSpring)
{
    processor.bandLevel[0][0] = std::numeric_limits<float>::max();
    imageAnimator meter (strip, &processor, frameHeight, 0, 0);
    tick (meter, 50);
    EXPECT_TRUE (std::isfinite (meter.getPosition()) && std::isfinite (meter.getVelocity()));
    EXPECT_GE (frameShown (meter), 0);
    EXPECT_LE (frameShown (meter), 90);
}

TEST_F (ImageAnimatorTest, ReductionNeedleRestsAtNoReductionBeforeAudioAndAfterARestart)
{
    imageAnimator meter (strip, &processor, frameHeight, 1, 0);
    tick (meter, 3);
    EXPECT_EQ (frameShown (meter), 0);

    processor.prepareToPlay (48000.0, 64);
    processor.bandDynamics[0]->meanGain = 0.5f; // as a compressing block leaves it
    tick (meter, 1);
    EXPECT_EQ (frameShown (meter), 70);

    processor.releaseResources();
    processor.prepareToPlay (44100.0, 64);
    tick (meter, 1);
    EXPECT_EQ (frameShown (meter), 0);
}

TEST_F (ImageAnimatorTest, SettledNeedlesRequestNoMoreRepaints)
{
    for (const int band : { 0, 2 })
    {
        imageAnimator level (strip, &processor, frameHeight, 0, band);
        imageAnimator reduction (strip, &processor, frameHeight, 1, band);
        processor.bandLevel[band][0] = 0.2f;
        processor.bandDynamics[(size_t) band]->meanGain = 0.8f;

        tick (level, 200);
        tick (reduction, 200);
        const int levelRequests = level.getRepaintRequestCount();
        const int reductionRequests = reduction.getRepaintRequestCount();
        EXPECT_GT (levelRequests, 5);        // the needle swung there frame by frame
        EXPECT_EQ (reductionRequests, 1);    // one jump

        tick (level, 500);
        tick (reduction, 500);
        EXPECT_EQ (level.getRepaintRequestCount(), levelRequests) << band;
        EXPECT_EQ (reduction.getRepaintRequestCount(), reductionRequests) << band;

        // A new value moves it again.
        processor.bandLevel[band][0] = 0.0f;
        tick (level, 5);
        EXPECT_GT (level.getRepaintRequestCount(), levelRequests);
    }
}

TEST_F (ImageAnimatorTest, AnIdleMeterRestsAndWakesAtTheFirstNewValue)
{
    struct Row { int mode; std::function<void (float)> publish; };
    const Row rows[] = {
        { 0, [this] (float v) { processor.bandLevel[1][0] = v; } },
        { 1, [this] (float v) { processor.bandDynamics[1]->meanGain = 1.0f - v; } },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.mode);
        row.publish (0.3f);
        imageAnimator meter (strip, &processor, frameHeight, row.mode, 1);
        EXPECT_EQ (meter.getTimerInterval(), imageAnimator::tickIntervalMs);

        // Audio running: a new reading on every tick keeps it ticking fast.
        for (int t = 0; t < 300; ++t)
        {
            row.publish (0.3f + 0.001f * (float) (t % 7));
            tick (meter, 1);
            ASSERT_EQ (meter.getTimerInterval(), imageAnimator::tickIntervalMs) << t;
        }

        // Audio stopped: once the needle has settled its own timer stops and the shared
        // clock looks ten times less often...
        int ticks = 0;
        while (! meter.isResting() && ticks < 1000)
            tick (meter, 1), ++ticks;
        EXPECT_TRUE (meter.isResting());
        EXPECT_FALSE (meter.isTimerRunning());
        EXPECT_TRUE (meter.isTicking());
        const int requests = meter.getRepaintRequestCount();
        tick (meter, 100);
        EXPECT_EQ (meter.getRepaintRequestCount(), requests);
        EXPECT_FALSE (meter.isTimerRunning());

        // ... and the first new reading brings its own 10 ms ticks back at once.
        row.publish (0.6f);
        tick (meter, 1);
        EXPECT_FALSE (meter.isResting());
        EXPECT_TRUE (meter.isTimerRunning());
        EXPECT_EQ (meter.getTimerInterval(), imageAnimator::tickIntervalMs);
        EXPECT_GT (meter.getRepaintRequestCount(), requests);
    }
}

TEST_F (ImageAnimatorTest, RestingMetersAreWokenByTheSharedClock)
{
    processor.bandLevel[0][0] = 0.2f;
    imageAnimator first (strip, &processor, frameHeight, 0, 0);
    imageAnimator second (strip, &processor, frameHeight, 0, 0);
    tick (first, 400);
    tick (second, 400);
    ASSERT_TRUE (first.isResting() && second.isResting());

    // Only the clock ticks them now; a new level reaches both through it.
    processor.bandLevel[0][0] = 0.4f;
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + 2000.0;
    while ((first.isResting() || second.isResting()) && juce::Time::getMillisecondCounterHiRes() < deadline)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    EXPECT_FALSE (first.isResting());
    EXPECT_FALSE (second.isResting());
    EXPECT_EQ (first.getTarget(), 0.4f);
}

TEST (RestingClock, RidesTheDisplayRefreshAndFallsBackToItsOwnTimer)
{
    juce::SharedResourcePointer<RestingClock> clock;
    struct Counter final : RestingClock::Client
    {
        int ticks = 0;
        void restingTick() override { ++ticks; }
    } counter;
    const auto pump = [] (int ms) { juce::MessageManager::getInstance()->runDispatchLoopUntil (ms); };

    // No window on screen: its own timer ticks the client.
    clock->add (counter);
    EXPECT_FALSE (clock->isDrivenByDisplay());
    pump (450);
    EXPECT_GE (counter.ticks, 2);

    // A display refreshing every 10 ms drives it, one tick per period (counted against
    // the time the refreshes really took, which a loaded machine stretches).
    counter.ticks = 0;
    const auto start = juce::Time::getMillisecondCounterHiRes();
    for (int refresh = 0; refresh < 50; ++refresh)
    {
        clock->displayRefreshed();
        juce::Thread::sleep (10);
    }
    const auto periods = (juce::Time::getMillisecondCounterHiRes() - start) / RestingClock::periodMs;
    EXPECT_TRUE (clock->isDrivenByDisplay());
    EXPECT_GE (counter.ticks, (int) periods - 1);
    EXPECT_LE (counter.ticks, (int) periods + 1);

    // The refreshes stop: the watchdog hands the ticks back to its own timer.
    pump (RestingClock::watchdogMs * 2 + 300);
    EXPECT_FALSE (clock->isDrivenByDisplay());
    const int before = counter.ticks;
    pump (450);
    EXPECT_GT (counter.ticks, before);
    clock->remove (counter);
    EXPECT_FALSE (clock->holds (counter));
}
