// The per-block signal chain of the processor.
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
constexpr double rate = 44100.0;
constexpr int blockSize = 256;

// A test signal below full scale with content in all three bands.
std::vector<float> testSignal (int length, int seed, float level = 0.25f)
{
    std::vector<float> s ((size_t) length);
    juce::Random rng (seed);
    for (int i = 0; i < length; ++i)
        s[(size_t) i] = level * (0.5f * std::sin (0.01f * (float) i) + 0.3f * std::sin (0.31f * (float) i)
                                 + 0.2f * (rng.nextFloat() * 2.0f - 1.0f));
    return s;
}

struct Stereo
{
    std::vector<float> left, right;
};

Stereo makeStereo (int length) { return { testSignal (length, 1), testSignal (length, 2) }; }

// Runs the signal through the processor in blocks of `block` frames.
Stereo run (VarnocAudioProcessor& p, const Stereo& in, int block)
{
    Stereo out = in;
    const int length = (int) in.left.size();
    juce::MidiBuffer midi;
    for (int start = 0; start < length; start += block)
    {
        const int n = std::min (block, length - start);
        float* channels[] = { out.left.data() + start, out.right.data() + start };
        juce::AudioBuffer<float> buffer (channels, 2, n);
        p.processBlock (buffer, midi);
    }
    return out;
}

void prepare (VarnocAudioProcessor& p, int inputs = 2, int block = blockSize)
{
    p.setPlayConfigDetails (inputs, 2, rate, block);
    p.prepareToPlay (rate, block);
}

// The stage-1 units run their full path at the default ratio setting (0.7805f - 0.5805f
// is a hair below 0.2), so their gate fades in over the first samples after a reset.
constexpr size_t gateFadeIn = 64;

double maxDifference (const std::vector<float>& a, const std::vector<float>& b, size_t from = gateFadeIn)
{
    double m = 0.0;
    for (size_t i = from; i < a.size(); ++i)
        m = std::max (m, (double) std::abs (a[i] - b[i]));
    return m;
}

bool allFinite (const Stereo& s)
{
    for (size_t i = 0; i < s.left.size(); ++i)
        if (! std::isfinite (s.left[i]) || ! std::isfinite (s.right[i]))
            return false;
    return true;
}
} // namespace

TEST (SignalChain, DefaultsReproduceTheInput)
{
    VarnocAudioProcessor p;
    prepare (p);
    const auto in = makeStereo (4 * blockSize);
    const auto out = run (p, in, blockSize);
    // split and re-sum are exact up to float rounding; the units pass signals below full scale
    EXPECT_LT (maxDifference (out.left, in.left), 2.0e-6);
    EXPECT_LT (maxDifference (out.right, in.right), 2.0e-6);
    EXPECT_FLOAT_EQ (p.bandDynamics[0]->meanGain.load(), 1.0f);
}

TEST (SignalChain, BypassAndFinalMixZeroGiveTheGainAdjustedInput)
{
    const auto in = makeStereo (2 * blockSize);
    for (const bool bypass : { true, false })
    {
        VarnocAudioProcessor p;
        prepare (p);
        p.inputGain = 0.5f;
        p.outputGain = 3.0f;
        p.bandGain[0] = 2.0f;
        p.bandAddAmount[2] = 1.5f;
        p.bandDynamics[1]->ratio = 0.7805f;
        p.bandDynamics[1]->threshold = 0.376f;
        p.bandDynamics[1]->updateCoefficients();
        if (bypass)
            p.processingOn = 0.0f;
        else
            p.finalMix = 0.0f;

        const auto out = run (p, in, blockSize);
        for (size_t i = 0; i < in.left.size(); ++i)
        {
            ASSERT_EQ (out.left[i], in.left[i] * 0.5f) << i;
            ASSERT_EQ (out.right[i], in.right[i] * 0.5f) << i;
        }
    }
}

TEST (SignalChain, BandSwitchRemovesExactlyThatBand)
{
    const auto in = makeStereo (2 * blockSize);

    VarnocAudioProcessor all;
    prepare (all);
    VarnocAudioProcessor noMid;
    prepare (noMid);
    noMid.bandLevelMultiplier[1] = 0.0f;

    const auto outAll = run (all, in, blockSize);
    const auto outNoMid = run (noMid, in, blockSize);

    // The mid band on its own, from the same filters: LP_high (in - LP_low (in)).
    Dsp::ButterLowPass<4, 1> low, high;
    std::vector<float> lowBand = in.left, mid = in.left;
    for (int start = 0; start < (int) in.left.size(); start += blockSize)
    {
        low.setCutoff (6.283185307179586 * all.lowCrossoverHz.load() / rate);
        low.process (blockSize, lowBand.data() + start);
        for (int i = start; i < start + blockSize; ++i)
            mid[(size_t) i] -= lowBand[(size_t) i];
        high.setCutoff (6.283185307179586 * all.highCrossoverHz.load() / rate);
        high.process (blockSize, mid.data() + start);
    }

    for (size_t i = gateFadeIn; i < in.left.size(); ++i)
        ASSERT_NEAR (outAll.left[i] - outNoMid.left[i], mid[i], 2.0e-6) << i;
}

TEST (SignalChain, LongBlocksMatchPreparedBlocks)
{
    const auto in = makeStereo (10 * blockSize + 17);
    VarnocAudioProcessor a, b;
    for (auto* p : { &a, &b })
    {
        prepare (*p);
        p->bandDynamics[0]->ratio = 0.7805f;
        p->bandDynamics[0]->threshold = 0.376f;
        p->bandDynamics[0]->updateCoefficients();
        p->bandDynamics[4]->limiter = 0.65f;
        p->bandDynamics[4]->updateCoefficients();
    }
    const auto pieces = run (a, in, blockSize);
    const auto whole = run (b, in, 4 * blockSize + 3); // longer than prepared
    for (size_t i = 0; i < in.left.size(); ++i)
    {
        ASSERT_EQ (pieces.left[i], whole.left[i]) << i;
        ASSERT_EQ (pieces.right[i], whole.right[i]) << i;
    }
}

TEST (SignalChain, UnpreparedProcessorPassesAudioUnchanged)
{
    VarnocAudioProcessor p;
    const auto in = makeStereo (blockSize);
    const auto out = run (p, in, blockSize);
    EXPECT_EQ (out.left, in.left);
    EXPECT_EQ (out.right, in.right);

    prepare (p);
    p.releaseResources();
    const auto released = run (p, in, blockSize);
    EXPECT_EQ (released.left, in.left);
}

TEST (SignalChain, MonoInputIsProcessedOntoBothOutputs)
{
    const auto mono = testSignal (3 * blockSize, 5);

    VarnocAudioProcessor p;
    prepare (p, 1);
    p.bandDynamics[2]->ratio = 0.7805f;
    p.bandDynamics[2]->threshold = 0.376f;
    p.bandDynamics[2]->updateCoefficients();
    Stereo in { mono, std::vector<float> (mono.size(), 0.7f) }; // channel 1 holds junk
    const auto out = run (p, in, blockSize);

    VarnocAudioProcessor stereo;
    prepare (stereo, 2);
    stereo.bandDynamics[2]->ratio = 0.7805f;
    stereo.bandDynamics[2]->threshold = 0.376f;
    stereo.bandDynamics[2]->updateCoefficients();
    const auto reference = run (stereo, Stereo { mono, mono }, blockSize);

    EXPECT_EQ (out.left, reference.left);
    EXPECT_EQ (out.right, reference.left);
}

TEST (SignalChain, MetersPublishTheMeanOfTwoBlocksOnTheThird)
{
    VarnocAudioProcessor p;
    prepare (p);
    Stereo sine { std::vector<float> (blockSize), std::vector<float> (blockSize) };
    for (int i = 0; i < blockSize; ++i)
        sine.left[(size_t) i] = sine.right[(size_t) i] = 0.5f * std::sin (0.002f * (float) i);

    run (p, sine, blockSize);
    run (p, sine, blockSize);
    for (int b = 0; b < 3; ++b)
        EXPECT_EQ (p.bandLevel[b][0].load(), 0.0f);
    EXPECT_EQ (p.bandLevelBlocks[0], 2);

    const float expected = p.bandLevelSum[0][0] * 0.5f;
    run (p, sine, blockSize);
    EXPECT_GT (p.bandLevel[0][0].load(), 0.05f); // a slow sine lives in the low band
    EXPECT_EQ (p.bandLevel[0][0].load(), expected);
    EXPECT_EQ (p.bandLevelBlocks[0], 0);
    EXPECT_EQ (p.bandLevelSum[0][0], 0.0f); // block 3 itself was not measured
}

TEST (SignalChain, EmptyBlocksChangeNoAudioAndAdvanceTheMeters)
{
    VarnocAudioProcessor p;
    prepare (p);
    p.bandDynamics[0]->meanGain = 0.75f;
    juce::AudioBuffer<float> empty (2, 0);
    juce::MidiBuffer midi;
    p.processBlock (empty, midi);
    EXPECT_EQ (p.bandLevelBlocks[0], 1);
    EXPECT_EQ (p.bandLevelSum[0][0], 0.0f);
    EXPECT_EQ (p.bandDynamics[0]->meanGain.load(), 0.75f); // no samples, no new mean
}

TEST (SignalChain, NonFiniteInputNeverReachesTheOutputAndTheChainRecovers)
{
    VarnocAudioProcessor p;
    prepare (p);
    p.bandDynamics[5]->limiter = 0.65f;
    p.bandDynamics[5]->updateCoefficients();

    const float bad[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity() };
    for (const float value : bad)
    {
        auto in = makeStereo (blockSize);
        in.left[3] = value;
        in.right[0] = value;
        const auto out = run (p, in, blockSize);
        EXPECT_TRUE (allFinite (out)) << value;

        const auto clean = makeStereo (blockSize);
        const auto next = run (p, clean, blockSize);
        EXPECT_TRUE (allFinite (next));
        EXPECT_LT (maxDifference (next.left, clean.left), 1.0e-3) << value;
    }
}

TEST (SignalChain, ZeroCrossoverFromAHostStaysFinite)
{
    VarnocAudioProcessor p;
    prepare (p);
    juce::AudioProcessor& host = p;
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    host.setParameter (30, 0.0f);
    host.setParameter (31, 0.0f);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
    const auto out = run (p, makeStereo (4 * blockSize), blockSize);
    EXPECT_TRUE (allFinite (out));

    // a crossover above Nyquist is clamped by the filter
    p.lowCrossoverHz = 1.0e6;
    EXPECT_TRUE (allFinite (run (p, makeStereo (blockSize), blockSize)));
}
