// Band solo: which bands the output holds while soloed, that nothing else changes, and
// that solo is never saved nor reported to the host.
#include "host_event_recorder.h"
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
constexpr double rate = 44100.0;
constexpr int blockSize = 256;

struct Stereo
{
    std::vector<float> left, right;
};

// Content in all three bands, different on each side.
Stereo testSignal (int length)
{
    Stereo s { std::vector<float> ((size_t) length), std::vector<float> ((size_t) length) };
    juce::Random rng (7);
    for (int i = 0; i < length; ++i)
    {
        const float t = (float) i;
        s.left[(size_t) i] = 0.3f * std::sin (0.01f * t) + 0.2f * std::sin (0.31f * t) + 0.1f * (rng.nextFloat() - 0.5f);
        s.right[(size_t) i] = 0.25f * std::sin (0.017f * t) + 0.2f * std::sin (0.9f * t) + 0.1f * (rng.nextFloat() - 0.5f);
    }
    return s;
}

void prepare (VarnocAudioProcessor& p)
{
    p.setPlayConfigDetails (2, 2, rate, blockSize);
    p.prepareToPlay (rate, blockSize);
}

// Settings under which every band, the make-up gain and the final mix all matter: the
// mid band's switch is off, the mix is partly dry, the bands compress.
void useBusySettings (VarnocAudioProcessor& p)
{
    p.outputGain = 1.7f;
    p.finalMix = 0.6f;
    p.bandLevelMultiplier[1] = 0.0f;
    p.bandGain[0] = 1.4f;
    p.bandAddAmount[2] = 0.8f;
    for (int b = 0; b < 3; ++b)
    {
        p.bandDynamics[(size_t) b]->threshold = 0.2f;
        p.bandDynamics[(size_t) b]->ratio = 0.7805f;
        p.bandDynamics[(size_t) b]->updateCoefficients();
    }
}

void setSolo (VarnocAudioProcessor& p, unsigned mask)
{
    for (int b = 0; b < 3; ++b)
        p.setBandSolo (b, (mask >> b) & 1u);
}

// Processes frames [start, start + n) of io in place as one host block.
void processBlock (VarnocAudioProcessor& p, Stereo& io, int start, int n)
{
    float* channels[] = { io.left.data() + start, io.right.data() + start };
    juce::AudioBuffer<float> buffer (channels, 2, n);
    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);
}

bool sameBits (const std::vector<float>& a, const std::vector<float>& b, size_t from, size_t to)
{
    return std::memcmp (a.data() + from, b.data() + from, sizeof (float) * (to - from)) == 0;
}

juce::MemoryBlock stateOf (VarnocAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}
} // namespace

TEST (BandSolo, OutputHoldsExactlyTheSoloedBandsProcessedSignals)
{
    // Bit b: band b soloed. The mid band's switch is off and it is still heard when soloed.
    for (const unsigned mask : { 1u, 2u, 4u, 5u, 3u, 7u })
    {
        VarnocAudioProcessor p;
        prepare (p);
        useBusySettings (p);
        setSolo (p, mask);

        auto io = testSignal (3 * blockSize);
        for (int block = 0; block < 3; ++block)
            processBlock (p, io, block * blockSize, blockSize);

        // A prepared-size block runs as one section: the band buffers hold its bands,
        // each after both stages and its add and gain.
        const float makeUp = p.outputGain.load();
        for (int c = 0; c < 2; ++c)
        {
            const auto& out = c == 0 ? io.left : io.right;
            for (int i = 0; i < blockSize; ++i)
            {
                float sum = 0.0f;
                for (int b = 0; b < 3; ++b)
                    sum += (mask >> b) & 1u ? p.bandMix[b][c][i] : 0.0f;
                ASSERT_EQ (out[(size_t) (2 * blockSize + i)], sum * makeUp) << "mask " << mask << " channel " << c << " frame " << i;
            }
        }
    }
}

TEST (BandSolo, MasterSwitchStillPassesTheDryInput)
{
    VarnocAudioProcessor p;
    prepare (p);
    useBusySettings (p);
    p.inputGain = 0.5f;
    p.processingOn = 0.0f;
    p.setBandSolo (2, true);

    const auto in = testSignal (blockSize);
    auto io = in;
    processBlock (p, io, 0, blockSize);
    for (size_t i = 0; i < in.left.size(); ++i)
    {
        ASSERT_EQ (io.left[i], in.left[i] * 0.5f) << i;
        ASSERT_EQ (io.right[i], in.right[i] * 0.5f) << i;
    }
}

TEST (BandSolo, ClearingSoloRestoresBitIdenticalOutput)
{
    // Solo changes only what is summed: the bands keep running, so once no band is
    // soloed the output is that of a processor that never had solo, bit for bit, also
    // when host blocks run in several sections.
    for (const int block : { blockSize, 700 })
    {
        VarnocAudioProcessor never, soloed;
        for (auto* p : { &never, &soloed })
        {
            prepare (*p);
            useBusySettings (*p);
        }

        const int length = 6 * block;
        auto a = testSignal (length);
        auto b = a;
        const unsigned masks[] = { 0u, 2u, 5u, 0u, 4u, 0u };
        for (int k = 0; k < 6; ++k)
        {
            setSolo (soloed, masks[k]);
            processBlock (never, a, k * block, block);
            processBlock (soloed, b, k * block, block);

            const auto from = (size_t) (k * block), to = (size_t) ((k + 1) * block);
            if (masks[k] == 0)
            {
                EXPECT_TRUE (sameBits (a.left, b.left, from, to)) << "block " << k << " of " << block;
                EXPECT_TRUE (sameBits (a.right, b.right, from, to)) << "block " << k << " of " << block;
            }
            else
            {
                EXPECT_FALSE (sameBits (a.left, b.left, from, to)) << "solo had no effect in block " << k;
            }
        }
    }
}

TEST (BandSolo, IsMonitoringOnlyNeverSavedNorReported)
{
    VarnocAudioProcessor p;
    const auto before = stateOf (p);
    const hostevents::Recorder recorder (p);
    const auto changes = p.getChangeCount();

    p.setBandSolo (0, true);
    p.setBandSolo (2, true);
    EXPECT_TRUE (p.isBandSoloed (0));
    EXPECT_FALSE (p.isBandSoloed (1));
    EXPECT_TRUE (p.isBandSoloed (2));

    // Nothing for the host: no value, no gesture, no display update; the chunk and the
    // saved state is that of the unsoloed processor.
    EXPECT_TRUE (recorder.events.empty());
    EXPECT_EQ (p.getChangeCount(), changes);
    EXPECT_EQ (stateOf (p), before);

    // A session reopened from that chunk starts unsoloed, as does any new instance.
    VarnocAudioProcessor reopened;
    const auto chunk = stateOf (p);
    reopened.setStateInformation (chunk.getData(), (int) chunk.getSize());
    for (int b = 0; b < 3; ++b)
        EXPECT_FALSE (reopened.isBandSoloed (b)) << b;

    // Solo can be cleared band by band; unknown bands are ignored.
    p.setBandSolo (0, false);
    p.setBandSolo (3, true);
    p.setBandSolo (-1, true);
    EXPECT_FALSE (p.isBandSoloed (0));
    EXPECT_TRUE (p.isBandSoloed (2));
    EXPECT_FALSE (p.isBandSoloed (3));
    EXPECT_FALSE (p.isBandSoloed (-1));
}
