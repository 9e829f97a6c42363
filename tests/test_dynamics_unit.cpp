#include "plugin/DynamicsUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

namespace
{
    struct Stereo
    {
        std::vector<float> left, right;

        explicit Stereo (int n, float value = 0.0f)
            : left (static_cast<size_t> (n), value), right (static_cast<size_t> (n), value) {}

        int size() const { return static_cast<int> (left.size()); }
        void runThrough (DynamicsUnit& unit) { unit.processStereo (left.data(), right.data(), size()); }
    };

    Stereo noise (int n, float amplitude, std::uint32_t seed)
    {
        Stereo s (n);
        std::uint32_t state = seed;
        auto next = [&state, amplitude]
        {
            state = state * 1664525u + 1013904223u;
            return amplitude * static_cast<float> (static_cast<double> (state >> 8) / 8388608.0 - 1.0);
        };
        for (int i = 0; i < n; ++i)
        {
            s.left[static_cast<size_t> (i)] = next();
            s.right[static_cast<size_t> (i)] = next();
        }
        return s;
    }

    bool sameBits (const std::vector<float>& a, const std::vector<float>& b)
    {
        return a.size() == b.size() && std::memcmp (a.data(), b.data(), a.size() * sizeof (float)) == 0;
    }

    void configure (DynamicsUnit& unit, std::atomic<float> DynamicsUnit::*setting, float value)
    {
        (unit.*setting).store (value);
        unit.updateCoefficients();
    }

    // The ten settings, in one place, so that tests can copy them between units.
    std::atomic<float> DynamicsUnit::* const allSettings[] = {
        &DynamicsUnit::threshold, &DynamicsUnit::ratio, &DynamicsUnit::output, &DynamicsUnit::attack,
        &DynamicsUnit::release, &DynamicsUnit::limiter, &DynamicsUnit::gateThreshold,
        &DynamicsUnit::gateAttack, &DynamicsUnit::gateRelease, &DynamicsUnit::mix
    };

    void storeSettings (DynamicsUnit& unit, const float (&values)[10])
    {
        for (size_t k = 0; k < 10; ++k)
            (unit.*allSettings[k]).store (values[k]);
    }

    // The coefficients a freshly built unit derives from the same settings.
    DynamicsUnit::Coefficients derivedFrom (const DynamicsUnit& unit)
    {
        DynamicsUnit reference;
        for (auto setting : allSettings)
            (reference.*setting).store ((unit.*setting).load());
        reference.updateCoefficients();
        return reference.coefficients();
    }

    bool sameSet (const DynamicsUnit::Coefficients& a, const DynamicsUnit::Coefficients& b)
    {
        return std::memcmp (&a, &b, sizeof (a)) == 0;
    }
} // namespace

TEST (DynamicsUnitCoefficients, DefaultsPassTheSignal)
{
    DynamicsUnit unit (44100.0);
    EXPECT_EQ (unit.sampleRate.load(), 44100.0);
    EXPECT_EQ (unit.coefficients().thresholdLevel, 1.0f);
    EXPECT_EQ (unit.coefficients().trim, 1.0f);
    EXPECT_EQ (unit.coefficients().dryLevel, 0.0f);
    EXPECT_EQ (unit.coefficients().limiterLevel, 0.0f);
    EXPECT_EQ (unit.coefficients().gateLevel, 0.0f);
    EXPECT_EQ (unit.coefficients().fullMode, 0);
    EXPECT_EQ (unit.meanGain.load(), 1.0f); // no block yet: no reduction

    // 2.5 x 0.2f - 0.5 formed in double is not 0 but 2^-27: 0.2f lies 2^-27 / 2.5
    // above 0.2.
    EXPECT_EQ (unit.coefficients().ratioFactor, 0x1p-27f);

    EXPECT_NEAR (unit.coefficients().attackCoeff, std::pow (10.0, -0.842), 1e-6);
    EXPECT_NEAR (unit.coefficients().releaseCoeff, std::pow (10.0, -3.8), 1e-9);
    EXPECT_NEAR (unit.coefficients().gateAttackCoeff, std::pow (10.0, -0.302), 1e-6);
    EXPECT_NEAR (unit.coefficients().gateReleaseCoeff, 1.0 - std::pow (10.0, -3.65), 1e-7);
}

TEST (DynamicsUnitCoefficients, RatioShapesTheSlope)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::ratio, 0.7805f); // 2.5 x 0.7805 - 0.5 = 1.45125
    EXPECT_NEAR (unit.coefficients().ratioFactor, 4.258025, 1e-5); // 1 + 16 x 0.45125^2
    EXPECT_EQ (unit.coefficients().fullMode, 1);

    // Below 0.2 the slope turns negative (expansion), softened under low thresholds.
    configure (unit, &DynamicsUnit::ratio, 0.0f);
    EXPECT_EQ (unit.coefficients().ratioFactor, -0.3f);
    EXPECT_EQ (unit.coefficients().fullMode, 1);
    configure (unit, &DynamicsUnit::threshold, 0.3f);
    EXPECT_NEAR (unit.coefficients().ratioFactor, -0.3 * std::pow (10.0, -1.4) * 15.0, 1e-6);
}

TEST (DynamicsUnitCoefficients, LimiterAndGateThresholdsCompareInDouble)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::limiter, 0.65f);
    EXPECT_EQ (unit.coefficients().limiterLevel, 0.99f);
    EXPECT_EQ (unit.coefficients().fullMode, 1);

    configure (unit, &DynamicsUnit::limiter, 0.5f); // 30 x 0.5 - 20 = -5 dB steps
    EXPECT_NEAR (unit.coefficients().limiterLevel, 0.99 * std::pow (10.0, -0.25), 1e-6);

    configure (unit, &DynamicsUnit::limiter, 0.98f); // 0.98f lies above 0.98
    EXPECT_EQ (unit.coefficients().limiterLevel, 0.0f);
    EXPECT_EQ (unit.coefficients().fullMode, 0);

    configure (unit, &DynamicsUnit::gateThreshold, 0.02f); // 0.02f lies below 0.02
    EXPECT_EQ (unit.coefficients().gateLevel, 0.0f);
    configure (unit, &DynamicsUnit::gateThreshold, 0.5f);
    EXPECT_NEAR (unit.coefficients().gateLevel, std::pow (10.0, -1.5), 1e-7);
    EXPECT_EQ (unit.coefficients().fullMode, 1);
}

TEST (DynamicsUnitCoefficients, NonFiniteSettingsFallBackToDefaults)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::threshold, std::numeric_limits<float>::quiet_NaN());
    configure (unit, &DynamicsUnit::ratio, std::numeric_limits<float>::infinity());
    EXPECT_EQ (unit.coefficients().thresholdLevel, 1.0f);
    EXPECT_TRUE (std::isfinite (unit.coefficients().ratioFactor));
}

TEST (DynamicsUnitCoefficients, ResetClearsStateAndKeepsSettings)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::limiter, 0.65f);
    Stereo loud (64, 0.9f);
    loud.runThrough (unit);
    ASSERT_GT (unit.envelope, 0.0f);
    ASSERT_GT (unit.gateGain, 0.0f);
    const float gainBefore = unit.meanGain.load();

    unit.reset (96000.0);
    EXPECT_EQ (unit.sampleRate.load(), 96000.0);
    EXPECT_EQ (unit.envelope, 0.0f);
    EXPECT_EQ (unit.peakEnvelope, 0.0f);
    EXPECT_EQ (unit.gateGain, 0.0f);
    EXPECT_EQ (unit.limiter.load(), 0.65f);
    EXPECT_EQ (unit.coefficients().limiterLevel, 0.99f);
    EXPECT_EQ (unit.meanGain.load(), gainBefore);
}

TEST (DynamicsUnitCoefficients, ClearingStateLeavesCoefficientsAlone)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::limiter, 0.65f);
    Stereo loud (64, 0.9f);
    loud.runThrough (unit);
    const auto before = unit.coefficients();

    // A setting stored without marking it changed must not reach the audio through a clear.
    unit.ratio.store (0.7805f);
    unit.clearState();
    EXPECT_EQ (unit.envelope, 0.0f);
    EXPECT_EQ (unit.peakEnvelope, 0.0f);
    EXPECT_EQ (unit.gateGain, 0.0f);
    EXPECT_FALSE (sameSet (unit.coefficients(), before)); // what the settings now give

    // The next block runs on the old set: the same as a unit that never saw the ratio.
    DynamicsUnit twin;
    configure (twin, &DynamicsUnit::limiter, 0.65f);
    auto a = noise (256, 1.0f, 21);
    auto b = a;
    a.runThrough (unit);
    b.runThrough (twin);
    EXPECT_TRUE (sameBits (a.left, b.left));
}

// One control thread switches between two groups of settings that differ in every
// coefficient, each group changed as one, while the audio thread processes; each block
// must come out exactly as one of the two complete sets makes it, never as a mixture.
TEST (DynamicsUnitThreads, AudioTakesOneWholeSetPerBlock)
{
    const float gentle[10] = { 1.0f, 0.2f, 0.0f, 0.42f, 0.6f, 1.0f, 0.0f, 0.1f, 0.5f, 1.0f };
    const float strong[10] = { 0.3f, 0.7805f, 0.1f, 0.9f, 0.1f, 0.5f, 0.3f, 0.6f, 0.2f, 0.6f };

    const auto input = noise (64, 1.0f, 31);
    auto expectedFor = [&input] (const float (&values)[10])
    {
        DynamicsUnit reference;
        storeSettings (reference, values);
        reference.updateCoefficients();
        auto block = input;
        block.runThrough (reference);
        return block;
    };
    const auto gentleOut = expectedFor (gentle);
    const auto strongOut = expectedFor (strong);
    ASSERT_FALSE (sameBits (gentleOut.left, strongOut.left));

    DynamicsUnit unit;
    std::atomic<bool> running { true };
    std::atomic<int> published { 0 };
    std::thread control ([&]
    {
        for (int k = 0; running.load(); ++k)
        {
            unit.beginSettingsChange();
            storeSettings (unit, (k & 1) != 0 ? strong : gentle);
            unit.endSettingsChange();
            published.fetch_add (1);
            std::this_thread::yield(); // as control threads do: the audio thread gets its turn
        }
    });

    // Until both sets were seen many times (bounded: the control thread may start late).
    int mixtures = 0, gentleBlocks = 0, strongBlocks = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (2);
    for (int block = 0; block < 200000 && std::chrono::steady_clock::now() < deadline; ++block)
    {
        auto audio = input;
        unit.clearState();
        audio.runThrough (unit);
        if (sameBits (audio.left, gentleOut.left))
            ++gentleBlocks;
        else if (sameBits (audio.left, strongOut.left))
            ++strongBlocks;
        else
            ++mixtures;
        if (block >= 3000 && gentleBlocks > 500 && strongBlocks > 500 && published.load() > 5000)
            break;
    }
    running.store (false);
    control.join();
    EXPECT_EQ (mixtures, 0);
    EXPECT_GT (gentleBlocks, 0);
    EXPECT_GT (strongBlocks, 0);
}

// Two control threads change different settings of one unit at once; afterwards the
// published set is exactly what the final settings give.
TEST (DynamicsUnitThreads, ConcurrentWritersLeaveTheSetOfTheFinalSettings)
{
    DynamicsUnit unit;
    auto writer = [&unit] (std::atomic<float> DynamicsUnit::*setting, std::uint32_t seed)
    {
        return std::thread ([&unit, setting, seed]
        {
            std::uint32_t state = seed;
            for (int k = 0; k < 2000; ++k)
            {
                state = state * 1664525u + 1013904223u;
                configure (unit, setting, static_cast<float> (state >> 8) / 16777216.0f);
            }
        });
    };
    auto first = writer (&DynamicsUnit::attack, 1);
    auto second = writer (&DynamicsUnit::release, 2);
    auto third = writer (&DynamicsUnit::threshold, 3);
    first.join();
    second.join();
    third.join();

    EXPECT_TRUE (sameSet (unit.coefficients(), derivedFrom (unit)));

    // ...and that set is the one the audio thread uses next.
    DynamicsUnit twin;
    for (auto setting : allSettings)
        (twin.*setting).store ((unit.*setting).load());
    twin.updateCoefficients();
    auto a = noise (256, 1.0f, 41);
    auto b = a;
    unit.clearState();
    a.runThrough (unit);
    b.runThrough (twin);
    EXPECT_TRUE (sameBits (a.left, b.left));
}

TEST (DynamicsUnitProcess, DefaultsLeaveSignalsBelowFullScaleUntouched)
{
    DynamicsUnit unit;
    auto block = noise (1024, 0.99f, 1);
    const auto original = block;
    block.runThrough (unit);
    EXPECT_TRUE (sameBits (block.left, original.left));
    EXPECT_TRUE (sameBits (block.right, original.right));
    EXPECT_EQ (unit.meanGain.load(), 1.0f);
}

TEST (DynamicsUnitProcess, LimiterHoldsFullScaleSquareAtCeilingOnceGateOpens)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::limiter, 0.65f);

    Stereo square (512);
    for (int i = 0; i < square.size(); ++i)
        square.left[static_cast<size_t> (i)] = square.right[static_cast<size_t> (i)] = (i / 32) % 2 == 0 ? 1.0f : -1.0f;
    square.runThrough (unit);

    // The gate opens from 0 after the reset: about 0.499, 0.749, 0.874 of the ceiling.
    EXPECT_NEAR (square.left[0], 0.99 * 0.4989, 1e-3);
    EXPECT_NEAR (square.left[1], 0.99 * 0.7494, 1e-3);
    EXPECT_NEAR (square.left[2], 0.99 * 0.8743, 1e-3);
    for (int i = 64; i < square.size(); ++i)
    {
        ASSERT_NEAR (std::abs (square.left[static_cast<size_t> (i)]), 0.99f, 1e-6f) << i;
        ASSERT_EQ (square.left[static_cast<size_t> (i)], square.right[static_cast<size_t> (i)]);
    }
    EXPECT_NEAR (unit.meanGain.load(), 0.99f, 1e-5f);
}

TEST (DynamicsUnitProcess, StrongestRatioCompressesOnFullPath)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::threshold, 0.5f); // level 0.1
    configure (unit, &DynamicsUnit::ratio, 0.7805f);

    // Settled on a full-scale DC input: gain 1 / ((1 / 0.1 - 1) x 4.258025 + 1).
    Stereo dc (2048, 1.0f);
    dc.runThrough (unit);
    EXPECT_NEAR (dc.left.back(), 0.0254309, 1e-5);
    EXPECT_NEAR (dc.right.back(), 0.0254309, 1e-5);
}

TEST (DynamicsUnitProcess, NeutralRatioStillBendsAboveThreshold)
{
    // The 7.45e-9 slope of ratio 0.2 is not 1:1 when the envelope is far above threshold.
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::threshold, 0.0f); // level 0.01
    ASSERT_EQ (unit.coefficients().fullMode, 0);

    Stereo dc (256, 1.0f);
    dc.runThrough (unit);
    EXPECT_LT (dc.left.back(), 1.0f);
    EXPECT_GT (dc.left.back(), 0.999999f);
}

TEST (DynamicsUnitProcess, MixZeroPassesInputAndReportsZeroGain)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::threshold, 0.0f);
    configure (unit, &DynamicsUnit::ratio, 0.7805f);
    configure (unit, &DynamicsUnit::mix, 0.0f);
    EXPECT_EQ (unit.coefficients().trim, 0.0f);
    EXPECT_EQ (unit.coefficients().dryLevel, 1.0f);

    auto block = noise (512, 1.0f, 7);
    const auto original = block;
    block.runThrough (unit);
    EXPECT_TRUE (sameBits (block.left, original.left));
    EXPECT_TRUE (sameBits (block.right, original.right));
    EXPECT_EQ (unit.meanGain.load(), 0.0f);
}

TEST (DynamicsUnitProcess, GateMutesQuietSignals)
{
    DynamicsUnit unit;
    configure (unit, &DynamicsUnit::gateThreshold, 0.5f); // about 0.0316

    Stereo quiet (256, 0.001f);
    quiet.runThrough (unit);
    EXPECT_EQ (quiet.left.back(), 0.0f);

    Stereo loud (256, 0.5f);
    loud.runThrough (unit);
    EXPECT_NEAR (loud.left.back(), 0.5f, 1e-6f);
}

TEST (DynamicsUnitProcess, TinyEnvelopesAreStoredAsZero)
{
    for (const float limiter : { 1.0f, 0.65f })
    {
        DynamicsUnit unit;
        configure (unit, &DynamicsUnit::limiter, limiter);

        float l = 1e-11f, r = 0.0f;
        unit.processStereo (&l, &r, 1);
        EXPECT_EQ (unit.envelope, 0.0f);
        EXPECT_EQ (unit.peakEnvelope, 0.0f);

        l = 1e-8f;
        unit.processStereo (&l, &r, 1);
        EXPECT_GT (unit.envelope, 0.0f);
    }
}

TEST (DynamicsUnitProcess, EmptyBlockKeepsMeanGain)
{
    DynamicsUnit unit;
    auto block = noise (64, 0.5f, 9);
    block.runThrough (unit);
    ASSERT_EQ (unit.meanGain.load(), 1.0f);

    unit.processStereo (block.left.data(), block.right.data(), 0);
    unit.processStereo (nullptr, nullptr, 64);
    unit.processStereo (block.left.data(), block.right.data(), -1);
    EXPECT_EQ (unit.meanGain.load(), 1.0f);
}

TEST (DynamicsUnitProcess, RecoversAfterNonFiniteInput)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();

    for (const float limiter : { 1.0f, 0.65f })
    {
        DynamicsUnit unit;
        configure (unit, &DynamicsUnit::threshold, 0.5f);
        configure (unit, &DynamicsUnit::limiter, limiter);

        auto bad = noise (64, 0.5f, 13);
        bad.left[10] = inf;
        bad.right[20] = -inf;
        bad.left[30] = nan;
        bad.runThrough (unit);

        EXPECT_TRUE (std::isfinite (unit.envelope));
        EXPECT_TRUE (std::isfinite (unit.peakEnvelope));
        EXPECT_TRUE (std::isfinite (unit.gateGain));
        EXPECT_TRUE (std::isfinite (unit.meanGain.load()));

        auto clean = noise (256, 0.8f, 14);
        clean.runThrough (unit);
        for (int i = 0; i < clean.size(); ++i)
        {
            ASSERT_TRUE (std::isfinite (clean.left[static_cast<size_t> (i)])) << i;
            ASSERT_TRUE (std::isfinite (clean.right[static_cast<size_t> (i)])) << i;
        }
        EXPECT_TRUE (std::isfinite (unit.meanGain.load()));
    }
}
