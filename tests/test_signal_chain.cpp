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

//==============================================================================
// Restarts, unusable rates, stored values out of range and parameter jumps.
namespace
{
void setFromHost (VarnocAudioProcessor& p, int index, float v)
{
    juce::AudioProcessor& host = p;
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    host.setParameter (index, v);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

void prepareAt (VarnocAudioProcessor& p, double sampleRate, int block = blockSize)
{
    p.setPlayConfigDetails (2, 2, sampleRate, block);
    p.prepareToPlay (sampleRate, block);
}

// Every band compressing, limited, with some add: the output depends on each band.
void compressEveryBand (VarnocAudioProcessor& p)
{
    for (int band = 0; band < 3; ++band)
    {
        setFromHost (p, params::bandIndex (band, params::thresh), 0.1f);
        setFromHost (p, params::bandIndex (band, params::ratio), 0.0f);
        setFromHost (p, params::bandIndex (band, params::limonoff), 1.0f);
        setFromHost (p, params::bandIndex (band, params::add), 0.3f);
        setFromHost (p, params::bandIndex (band, params::gain), 0.3f + 0.2f * (float) band);
    }
}

float peakOf (const std::vector<float>& v, size_t from = 0, size_t to = SIZE_MAX)
{
    float m = 0.0f;
    for (size_t i = from; i < std::min (to, v.size()); ++i)
        m = std::max (m, std::abs (v[i]));
    return m;
}

float peakOf (const Stereo& s) { return std::max (peakOf (s.left), peakOf (s.right)); }
} // namespace

TEST (SignalChainRestart, PrepareToPlayStartsLikeANewProcessor)
{
    // Earlier rates whose filter memories do not fit 44.1 kHz at all (at 1 Hz and
    // 100 Hz a resumed chain once peaked at 341 from an input of 0.25).
    const auto in = makeStereo (8 * blockSize);
    // Hosts restart with or without releasing first.
    for (const bool release : { true, false })
    {
        for (const double earlier : { 1.0, 100.0, 96000.0 })
        {
            VarnocAudioProcessor used;
            compressEveryBand (used);
            prepareAt (used, earlier);
            run (used, makeStereo (40 * blockSize), blockSize);
            used.suspendProcessing (true);
            if (release)
                used.releaseResources();
            prepareAt (used, 44100.0);
            used.suspendProcessing (false);
            const auto out = run (used, in, blockSize);

            VarnocAudioProcessor fresh;
            compressEveryBand (fresh);
            prepareAt (fresh, 44100.0);
            const auto reference = run (fresh, in, blockSize);

            EXPECT_EQ (out.left, reference.left) << earlier;
            EXPECT_EQ (out.right, reference.right) << earlier;
            EXPECT_EQ (used.bandLevelBlocks[0], fresh.bandLevelBlocks[0]);
        }
    }
}

TEST (SignalChainRestart, UnusableRatesActAsTheNearestUsableRate)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double cases[][2] = { { 0.0, 44100.0 }, { -48000.0, 44100.0 }, { nan, 44100.0 }, { inf, 44100.0 },
                                { 1.0, 8000.0 }, { 100.0, 8000.0 }, { 1.0e9, 768000.0 } };
    const auto in = makeStereo (6 * blockSize);
    for (const auto& c : cases)
    {
        VarnocAudioProcessor bad, usable;
        for (auto* p : { &bad, &usable })
        {
            setFromHost (*p, params::bandIndex (1, params::gain), 0.0f); // without the mid band the crossovers matter
            setFromHost (*p, params::bandIndex (2, params::gain), 1.0f);
        }
        prepareAt (bad, c[0]);
        prepareAt (usable, c[1]);
        const auto out = run (bad, in, blockSize);
        const auto reference = run (usable, in, blockSize);
        EXPECT_EQ (out.left, reference.left) << c[0];
        EXPECT_EQ (out.right, reference.right) << c[0];
        EXPECT_EQ (bad.bandDynamics[3]->sampleRate.load(), c[1]);
        EXPECT_TRUE (allFinite (out));
    }
}

TEST (SignalChainParameters, StoredValuesOutsideTheRangeActAsTheNearestLimit)
{
    // Hosts and chunks may store any finite value ("FinalMix" 3e38 once gave an output
    // peak of 1.6e37, "MakeUpGain" 1e30 one of 5e29). The value stays stored as given.
    const auto in = makeStereo (2 * blockSize);
    const float outside[][2] = { { 3.0e38f, 1.0f }, { 1.5f, 1.0f }, { -2.0f, 0.0f }, { -3.0e38f, 0.0f } };
    for (int index = 0; index < params::numParameters; ++index)
    {
        for (const auto& c : outside)
        {
            VarnocAudioProcessor stored, limited;
            setFromHost (stored, index, c[0]);
            setFromHost (limited, index, c[1]);
            prepare (stored);
            prepare (limited);
            ASSERT_EQ (stored.getParameter (index), c[0]);
            const auto out = run (stored, in, blockSize);
            const auto reference = run (limited, in, blockSize);
            ASSERT_EQ (out.left, reference.left) << index << " " << c[0];
            ASSERT_EQ (out.right, reference.right) << index << " " << c[0];
        }
        EXPECT_EQ (params::unitValue (index, std::numeric_limits<float>::quiet_NaN()), params::defaultValue (index));
    }
}

TEST (SignalChainParameters, CrossoverJumpsDoNotMakeTheBandsRing)
{
    // Moving "Fq_Low" from 1 to 0 between two blocks once made the next block peak at
    // 149 from an input peaking at 0.25. Each band alone (the other two switched off)
    // must stay near the input's level through every jump, at any rate: this signal's
    // bands peak at up to 1.3 times its peak with steady crossovers, and a crossover
    // sweeping through its tones adds a phase transient (about 2.1 at worst, hardly
    // less with a glide twice as slow).
    struct Jump { int index; float from, to; };
    const Jump jumps[] = { { params::fqLow, 1.0f, 0.0f }, { params::fqLow, 0.0f, 1.0f },
                           { params::fqHigh, 1.0f, 0.0f }, { params::fqHigh, 0.0f, 1.0f } };
    const auto in = makeStereo (40 * blockSize);
    const float inputPeak = peakOf (in);

    for (const double sampleRate : { 44100.0, 192000.0 })
        for (const auto& jump : jumps)
            for (int solo = 0; solo < 3; ++solo)
            {
                VarnocAudioProcessor p;
                for (int band = 0; band < 3; ++band)
                    setFromHost (p, params::bandIndex (band, params::chanonoff), band == solo ? 1.0f : 0.0f);
                setFromHost (p, jump.index, jump.from);
                prepareAt (p, sampleRate);

                Stereo out = in;
                juce::MidiBuffer midi;
                for (int start = 0; start < (int) in.left.size(); start += blockSize)
                {
                    if (start == 20 * blockSize)
                        setFromHost (p, jump.index, jump.to);
                    float* channels[] = { out.left.data() + start, out.right.data() + start };
                    juce::AudioBuffer<float> buffer (channels, 2, blockSize);
                    p.processBlock (buffer, midi);
                }
                EXPECT_LT (peakOf (out), 3.0f * inputPeak)
                    << sampleRate << " index " << jump.index << " to " << jump.to << " band " << solo;
            }
}

TEST (SignalChainParameters, RandomJumpsOfEveryParameterKeepEveryBlockBounded)
{
    // The honest bound. After the input gain (at most 4x) each band is a linear filter
    // of the input, so its peak is at most the L1 norm of its impulse response times
    // the input peak: over every crossover pair at 44.1 kHz at most 1.64 (low), 2.94
    // (mid) and 4.49 (high); gliding crossovers add a little, so 10 for the three
    // together. Stage 1 never amplifies (gain at most mix, plus 1 - mix of the dry
    // band); the add puts up to 2x the band beside it and the band gain doubles that:
    // 6x. Stage 2 never amplifies; the make-up gain is at most 3x; the final mix blends
    // with the dry input (at most 4x). So |out| <= 4 * 10 * 6 * 3 = 720 times the input
    // peak. Typical blocks stay far below; the faults this guards against (ringing
    // crossovers, unlimited values) went to tens of thousands.
    constexpr float bound = 720.0f;

    juce::Random rng (12);
    for (const double sampleRate : { 44100.0, 96000.0 })
    {
        VarnocAudioProcessor p;
        prepareAt (p, sampleRate, 512);

        const auto noise = testSignal (512, 3, 0.5f);
        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;
        for (int block = 0; block < 1500; ++block)
        {
            for (int index = 0; index < params::numParameters; ++index)
            {
                if (rng.nextInt (3) != 0)
                    continue;
                const float v = rng.nextInt (20) == 0 ? (rng.nextFloat() - 0.5f) * 1.0e6f : rng.nextFloat();
                setFromHost (p, index, v);
            }

            // Noise, or a loud sine at a random frequency, in blocks of random length.
            const int n = 1 + rng.nextInt (512);
            const bool sine = rng.nextBool();
            const float w = 0.001f + 1.5f * rng.nextFloat();
            buffer.setSize (2, n, false, false, true);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (c, i, sine ? 0.5f * std::sin (w * (float) (block * 512 + i)) : noise[(size_t) i]);

            p.processBlock (buffer, midi);
            const float peak = std::max (buffer.getMagnitude (0, 0, n), buffer.getMagnitude (1, 0, n));
            ASSERT_TRUE (std::isfinite (peak)) << block;
            ASSERT_LE (peak, bound * 0.5f) << "block " << block << " at " << sampleRate;
        }
    }
}
