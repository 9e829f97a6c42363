#include "dsp/DspFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
    constexpr double twoPi = 6.283185307179586;

    double cutoffFor (double hz, double sampleRate) { return twoPi * hz / sampleRate; }
    double decibels (std::complex<double> h) { return 20.0 * std::log10 (std::abs (h)); }

    // Deterministic noise plus a low sine, in [-1, 1].
    std::vector<float> testSignal (int n, std::uint32_t seed)
    {
        std::vector<float> v (static_cast<size_t> (n));
        std::uint32_t state = seed;
        for (int i = 0; i < n; ++i)
        {
            state = state * 1664525u + 1013904223u;
            const double noise = static_cast<double> (state >> 8) / 16777216.0 - 0.5;
            v[static_cast<size_t> (i)] = static_cast<float> (0.5 * noise + 0.5 * std::sin (0.01 * i));
        }
        return v;
    }

    template <typename T>
    bool sameBits (const T& a, const T& b) { return std::memcmp (&a, &b, sizeof (T)) == 0; }

    bool sameBits (const std::vector<float>& a, const std::vector<float>& b)
    {
        return a.size() == b.size() && std::memcmp (a.data(), b.data(), a.size() * sizeof (float)) == 0;
    }

    template <int Stages, int Channels>
    bool sameCoefficients (const Dsp::CascadeStages<Stages, Channels>& a, const Dsp::CascadeStages<Stages, Channels>& b)
    {
        for (int k = 0; k < Stages; ++k)
            if (! sameBits (a.getStage (k), b.getStage (k)))
                return false;
        return true;
    }

    // Direct form I written out independently: the order of the sum decides the last bit.
    struct ReferenceCascade
    {
        double h[2][4] {}; // x1, x2, y1, y2 per stage

        float run (const Dsp::CascadeFilter& f, float sample)
        {
            double x = static_cast<double> (sample);
            for (int k = 0; k < 2; ++k)
            {
                const auto& s = f.getStage (k);
                const double y = s.b1 * h[k][0] + s.b0 * x + s.b2 * h[k][1] + s.a1 * h[k][2] + s.a2 * h[k][3];
                h[k][1] = h[k][0];
                h[k][0] = x;
                h[k][3] = h[k][2];
                h[k][2] = y;
                x = y;
            }
            return static_cast<float> (x);
        }
    };

    // A band-pass with one resonance well away from DC and far above unity gain. Brent's
    // search finds a local peak, so the test case has a single one.
    class ResonantTestFilter final : public Dsp::PoleFilter<2, 1>
    {
    public:
        int poleCount() const noexcept override { return 4; }
        int zeroCount() const noexcept override { return 2; }
        std::complex<double> digitalPole (int i) const noexcept override
        {
            const double radius = i < 2 ? 0.95 : 0.8;
            return std::polar (radius, i % 2 == 0 ? 1.0 : -1.0);
        }
        std::complex<double> digitalZero (int i) const noexcept override { return { i == 0 ? 1.0 : -1.0, 0.0 }; }
        std::complex<double> analogPole (int, double) const noexcept override { return {}; }
        void peakSearchRange (double& lo, double& hi) const noexcept override { lo = 0.0001; hi = 3.1414; }
        double normalisationFrequency() const noexcept override { return 0.0; }
    };
} // namespace

TEST (ButterLowPassDesign, CoefficientsAt1kHzAnd44k1)
{
    Dsp::ButterLowPass<4, 1> f;
    f.setCutoff (cutoffFor (1000.0, 44100.0));

    EXPECT_EQ (f.getOrder(), 4);
    EXPECT_EQ (f.poleCount(), 4);
    EXPECT_EQ (f.zeroCount(), 4);

    const auto& s0 = f.getStage (0);
    EXPECT_NEAR (s0.a1, 1.877702697, 5e-10);
    EXPECT_NEAR (s0.a2, -0.8969233244, 5e-11);
    EXPECT_NEAR (s0.b0, 2.152095e-5, 5e-12);
    EXPECT_NEAR (s0.b1, 4.304190e-5, 5e-12);
    EXPECT_NEAR (s0.b2, 2.152095e-5, 5e-12);

    const auto& s1 = f.getStage (1);
    EXPECT_NEAR (s1.a1, 1.750141505, 5e-10);
    EXPECT_NEAR (s1.a2, -0.7680563844, 5e-11);
    EXPECT_EQ (s1.b0, 1.0);
    EXPECT_EQ (s1.b1, 2.0);
    EXPECT_EQ (s1.b2, 1.0);
}

TEST (ButterLowPassDesign, ResponseAtDcCutoffAndOctave)
{
    Dsp::ButterLowPass<4, 1> f;
    f.setCutoff (cutoffFor (1000.0, 44100.0));

    EXPECT_NEAR (std::abs (f.frequencyResponse (0.0)), 1.0, 1e-12);
    EXPECT_NEAR (decibels (f.frequencyResponse (cutoffFor (1000.0, 44100.0))), -3.0103, 5e-5);
    EXPECT_NEAR (decibels (f.frequencyResponse (cutoffFor (2000.0, 44100.0))), -24.28, 5e-3);
}

TEST (ButterLowPassDesign, MatchesBilinearButterworthPrototype)
{
    // |H| of an order-n Butterworth through the prewarped bilinear transform.
    auto expected = [] (int order, double w, double wc)
    {
        const double ratio = std::tan (w / 2.0) / std::tan (wc / 2.0);
        return 1.0 / std::sqrt (1.0 + std::pow (ratio, 2.0 * order));
    };

    Dsp::ButterLowPass<4, 1> order4;
    Dsp::ButterLowPass<3, 1> order3;
    Dsp::ButterLowPass<2, 1> order2;

    for (const double wc : { cutoffFor (95.0, 44100.0), cutoffFor (1000.0, 48000.0), cutoffFor (5260.6, 44100.0), 2.5 })
    {
        order4.setCutoff (wc);
        order3.setCutoff (wc);
        order2.setCutoff (wc);

        for (const double w : { 0.001, 0.3 * wc, 0.9 * wc, wc, 1.5 * wc, 0.5 * (wc + 3.14159) })
        {
            SCOPED_TRACE (testing::Message() << "wc " << wc << " w " << w);
            const double tolerance = 1e-7;
            EXPECT_NEAR (std::abs (order4.frequencyResponse (w)) / expected (4, w, wc), 1.0, tolerance);
            EXPECT_NEAR (std::abs (order3.frequencyResponse (w)) / expected (3, w, wc), 1.0, tolerance);
            EXPECT_NEAR (std::abs (order2.frequencyResponse (w)) / expected (2, w, wc), 1.0, tolerance);
        }
    }
}

TEST (ButterLowPassDesign, CutoffAtOrAbovePiIsClampedJustBelowIt)
{
    Dsp::ButterLowPass<4, 1> atPi, above, atLimit;
    atPi.setCutoff (3.141592653589793);
    above.setCutoff (100.0);
    atLimit.setCutoff (3.141592643589793);

    EXPECT_EQ (atPi.getCutoff(), 3.141592643589793);
    EXPECT_EQ (above.getCutoff(), 3.141592643589793);
    EXPECT_TRUE (sameCoefficients (atPi, atLimit));
    EXPECT_TRUE (sameCoefficients (above, atLimit));
    for (int k = 0; k < 2; ++k)
        EXPECT_TRUE (std::isfinite (atPi.getStage (k).a1) && std::isfinite (atPi.getStage (k).b0));
}

TEST (ButterLowPassDesign, UnusableCutoffsAreRaisedToTheMinimum)
{
    for (const double bad : { 0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity() })
    {
        Dsp::ButterLowPass<4, 1> f;
        f.setCutoff (bad);
        EXPECT_EQ (f.getCutoff(), (Dsp::ButterLowPass<4, 1>::minimumCutoff));

        auto samples = testSignal (4096, 3);
        f.process (static_cast<int> (samples.size()), samples.data());
        for (const float s : samples)
            ASSERT_TRUE (std::isfinite (s));
        EXPECT_NEAR (std::abs (f.frequencyResponse (0.0)), 1.0, 1e-9);
    }
}

TEST (ButterLowPassDesign, RedesignDoesNotDependOnThePreviousDesign)
{
    Dsp::ButterLowPass<4, 1> direct, viaOther;
    direct.setCutoff (cutoffFor (1000.0, 44100.0));
    viaOther.setCutoff (cutoffFor (7000.0, 44100.0));
    viaOther.setCutoff (cutoffFor (1000.0, 44100.0));
    EXPECT_TRUE (sameCoefficients (direct, viaOther));

    Dsp::ButterLowPass<4, 1> twice;
    twice.setCutoff (cutoffFor (1000.0, 44100.0));
    twice.design();
    EXPECT_TRUE (sameCoefficients (direct, twice));
}

TEST (ButterLowPassDesign, PeakNormalisationGivesUnityPeak)
{
    ResonantTestFilter raw;
    raw.setNormalisationMode (0);
    raw.design();
    const double rawPeak = Dsp::findPeakGain (raw, 0.0001, 3.1414);
    ASSERT_GT (rawPeak, 5.0);

    ResonantTestFilter normalised;
    normalised.setNormalisationMode (ResonantTestFilter::normaliseToPeak);
    normalised.design();

    double gridPeak = 0.0;
    for (double w = 0.0001; w < 3.1414; w += 0.0005)
        gridPeak = std::max (gridPeak, std::abs (normalised.frequencyResponse (w)));
    EXPECT_NEAR (gridPeak, 1.0, 1e-4);
    EXPECT_NEAR (Dsp::findPeakGain (normalised, 0.0001, 3.1414), 1.0, 1e-9);
    EXPECT_NEAR (normalised.getStage (0).b0 * rawPeak, raw.getStage (0).b0, 1e-9 * std::abs (raw.getStage (0).b0));
    EXPECT_TRUE (sameBits (normalised.getStage (1), raw.getStage (1)));
}

TEST (ButterLowPassProcess, ConstantInputSettlesToOne)
{
    Dsp::ButterLowPass<4, 1> f;
    f.setCutoff (cutoffFor (300.0, 48000.0));
    std::vector<float> block (512, 1.0f);
    for (int b = 0; b < 20; ++b)
    {
        std::fill (block.begin(), block.end(), 1.0f);
        f.process (static_cast<int> (block.size()), block.data());
    }
    EXPECT_NEAR (block.back(), 1.0f, 1e-6f);
}

TEST (ButterLowPassProcess, EmptyBlockChangesNothing)
{
    Dsp::ButterLowPass<4, 1> f;
    f.setCutoff (cutoffFor (1000.0, 44100.0));
    auto samples = testSignal (64, 5);
    f.process (64, samples.data());

    const auto historyBefore = f.getHistory (0, 1);
    const auto samplesBefore = samples;
    f.process (0, samples.data());
    f.process (-3, samples.data());
    f.process (0, nullptr);
    EXPECT_TRUE (sameBits (samples, samplesBefore));
    EXPECT_TRUE (sameBits (f.getHistory (0, 1), historyBefore));
}

TEST (ButterLowPassProcess, MatchesDirectFormIAcrossCutoffChanges)
{
    // The memories run on through every redesign: no reset transient at block boundaries.
    Dsp::ButterLowPass<4, 1> f;
    ReferenceCascade reference;
    const auto input = testSignal (6 * 256, 11);
    std::vector<float> output = input, expected (input.size());

    const double cutoffs[] = { 300.0, 300.0, 4500.0, 95.0, 10837.0, 1000.0 };
    for (int b = 0; b < 6; ++b)
    {
        const auto before = f.getHistory (0, 0);
        f.setCutoff (cutoffFor (cutoffs[b], 44100.0));
        EXPECT_TRUE (sameBits (f.getHistory (0, 0), before));

        float* block = output.data() + b * 256;
        f.process (256, block);
        for (int i = b * 256; i < (b + 1) * 256; ++i)
            expected[static_cast<size_t> (i)] = reference.run (f, input[static_cast<size_t> (i)]);
    }
    EXPECT_TRUE (sameBits (output, expected));

    // The float output hides most double rounding; the memories show every bit of it.
    for (int k = 0; k < 2; ++k)
    {
        const auto& h = f.getHistory (0, k);
        const double memories[] = { h.x1, h.x2, h.y1, h.y2 };
        EXPECT_EQ (std::memcmp (memories, reference.h[k], sizeof (memories)), 0) << "stage " << k;
    }
}

TEST (ButterLowPassProcess, PairIsBitIdenticalToSeparateProcessing)
{
    Dsp::ButterLowPass<4, 1> leftA, rightA, leftB, rightB;
    auto leftInA = testSignal (1000, 21), rightInA = testSignal (1000, 22);
    auto leftInB = leftInA, rightInB = rightInA;

    const int blockSizes[] = { 64, 1, 0, 512, 423 };
    int offset = 0;
    for (const int n : blockSizes)
    {
        const double w = cutoffFor (200.0 + 10.0 * offset, 44100.0);
        leftA.setCutoff (w);
        rightA.setCutoff (w);
        leftB.setCutoff (w);
        rightB.setCutoff (w);

        leftA.process (n, leftInA.data() + offset);
        rightA.process (n, rightInA.data() + offset);
        Dsp::processPair (leftB, leftInB.data() + offset, rightB, rightInB.data() + offset, n);
        offset += n;
    }
    EXPECT_TRUE (sameBits (leftInA, leftInB));
    EXPECT_TRUE (sameBits (rightInA, rightInB));
    EXPECT_TRUE (sameBits (leftA.getHistory (0, 1), leftB.getHistory (0, 1)));
    EXPECT_TRUE (sameBits (rightA.getHistory (0, 1), rightB.getHistory (0, 1)));

    // One buffer through two filters, and one filter given twice, keep the sequential result.
    auto shared = testSignal (300, 23), sharedPair = shared;
    leftA.process (300, shared.data());
    rightA.process (300, shared.data());
    Dsp::processPair (leftB, sharedPair.data(), rightB, sharedPair.data(), 300);
    EXPECT_TRUE (sameBits (shared, sharedPair));

    auto twiceA = testSignal (200, 24), twiceB = twiceA;
    leftA.process (100, twiceA.data());
    leftA.process (100, twiceA.data() + 100);
    Dsp::processPair (leftB, twiceB.data(), leftB, twiceB.data() + 100, 100);
    EXPECT_TRUE (sameBits (twiceA, twiceB));
}

TEST (ButterLowPassProcess, InterleavedChannelsMatchSingleChannelFilters)
{
    Dsp::ButterLowPass<4, 2> stereo;
    Dsp::ButterLowPass<4, 1> left, right;
    stereo.setCutoff (0.05);
    left.setCutoff (0.05);
    right.setCutoff (0.05);

    auto l = testSignal (500, 31), r = testSignal (500, 32);
    std::vector<float> interleaved;
    for (size_t i = 0; i < l.size(); ++i)
    {
        interleaved.push_back (l[i]);
        interleaved.push_back (r[i]);
    }

    stereo.process (500, interleaved.data());
    left.process (500, l.data());
    right.process (500, r.data());
    for (size_t i = 0; i < l.size(); ++i)
    {
        ASSERT_EQ (interleaved[2 * i], l[i]);
        ASSERT_EQ (interleaved[2 * i + 1], r[i]);
    }
}

TEST (ButterLowPassMove, FreshOrUnchangedFilterIsDesignedExactlyAsBySetCutoff)
{
    const double cutoff = cutoffFor (1000.0, 44100.0);
    Dsp::ButterLowPass<4, 1> moved, set;
    moved.moveCutoff (cutoff);
    set.setCutoff (cutoff);
    EXPECT_TRUE (sameCoefficients (moved, set));

    // The same cutoff again leaves coefficients and memories bit for bit.
    auto a = testSignal (300, 9);
    auto b = a;
    moved.process (300, a.data());
    set.process (300, b.data());
    moved.moveCutoff (cutoff);
    for (int k = 0; k < 2; ++k)
        EXPECT_TRUE (sameBits (moved.getHistory (0, k), set.getHistory (0, k)));
    moved.process (300, a.data());
    set.process (300, b.data());
    EXPECT_TRUE (sameBits (a, b));

    for (const double request : { 0.0, -2.0, 1.0e-9, 0.3, 3.2, std::numeric_limits<double>::quiet_NaN() })
    {
        Dsp::ButterLowPass<4, 1> f;
        f.setCutoff (request);
        EXPECT_EQ (f.getCutoff(), (Dsp::ButterLowPass<4, 1>::usableCutoff (request))) << request;
    }
}

TEST (ButterLowPassMove, LargeMovesKeepASettledSignalWhereItIs)
{
    // Settled on DC at one cutoff, then moved far: the rescaled memories are exactly the
    // new design's settled state, so the output stays at the input. A plain redesign
    // leaves stage 0's output at the old design's level and the filter rings far out.
    const double far[][2] = { { cutoffFor (10837.0, 44100.0), cutoffFor (95.0, 44100.0) },
                              { cutoffFor (95.0, 192000.0), cutoffFor (10837.0, 192000.0) } };
    for (const auto& change : far)
    {
        Dsp::ButterLowPass<4, 1> moved, redesigned;
        std::vector<float> ones (20000, 1.0f);
        for (auto* f : { &moved, &redesigned })
        {
            f->setCutoff (change[0]);
            auto settle = ones;
            f->process (static_cast<int> (settle.size()), settle.data());
        }
        moved.moveCutoff (change[1]);
        redesigned.setCutoff (change[1]);

        auto a = ones, b = ones;
        moved.process (2000, a.data());
        redesigned.process (2000, b.data());
        double movedError = 0.0, redesignedError = 0.0;
        for (int i = 0; i < 2000; ++i)
        {
            movedError = std::max (movedError, std::abs (a[(size_t) i] - 1.0));
            redesignedError = std::max (redesignedError, std::abs (b[(size_t) i] - 1.0));
        }
        EXPECT_LT (movedError, 1.0e-6) << redesignedError;
        EXPECT_GT (redesignedError, 0.1) << movedError; // what the rescaling is for
    }
}
