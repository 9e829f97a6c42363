// The audio callback: input gain, three-band split, two dynamics stages per band with
// the parallel add in between, band switches, make-up gain, final mix and bypass.
#include "plugin/VarnocAudioProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
    constexpr double twoPi = 6.283185307179586;
    constexpr double releasedSampleRate = 44100.0;

    // Rates a host may report that no audio runs at (0 before it says, NaN, 1 Hz, a
    // gigahertz) are taken as the nearest rate that does, for everything that depends
    // on the rate: an unknown rate as 44.1 kHz, others within 8 kHz to 768 kHz.
    constexpr double lowestSampleRate = 8000.0;
    constexpr double highestSampleRate = 768000.0;

    double usableSampleRate (double rate) noexcept
    {
        if (! (rate > 0.0) || ! std::isfinite (rate))
            return releasedSampleRate;
        return std::min (std::max (rate, lowestSampleRate), highestSampleRate);
    }

    double crossoverCutoff (double hz, double rate) noexcept { return twoPi * hz / rate; }

    // A changed crossover glides to its new value in steps of 1/8 octave, one per
    // 8 samples at 44.1 kHz (as long in time at other rates): the whole range takes
    // about 10 ms. Each step also rescales the memories between the filter stages
    // (moveCutoff). A single large jump made the filters ring hundreds of times above
    // the signal.
    constexpr double glideStepRatio = 1.0905077326652577; // 2^(1/8)

    int glideSegmentLength (double rate) noexcept
    {
        return std::max (1, static_cast<int> (std::lround (8.0 * rate / 44100.0)));
    }

    double glideStep (double current, double target) noexcept
    {
        if (target > current)
            return std::min (target, current * glideStepRatio);
        return std::max (target, current / glideStepRatio);
    }

    // Work arrays per channel: dry input, the three band buffers, then bandCopy and
    // bandMix for each band.
    constexpr int numWorkArrays = 2 * (1 + params::numBands) + 2 * 2 * params::numBands;

    // AudioBuffer::applyGain's rules: exactly 1 leaves the data alone, 0 clears it.
    void applyGain (float* data, int n, float gain) noexcept
    {
        if (gain == 1.0f)
            return;
        if (gain == 0.0f)
        {
            std::fill (data, data + n, 0.0f);
            return;
        }
        for (int i = 0; i < n; ++i)
            data[i] *= gain;
    }

    // Replaces non-finite samples by silence; true when there were any.
    bool silenceNonFinite (float* data, int n) noexcept
    {
        bool found = false;
        for (int i = 0; i < n; ++i)
        {
            if (! std::isfinite (data[i]))
            {
                data[i] = 0.0f;
                found = true;
            }
        }
        return found;
    }

} // namespace

//==============================================================================
void VarnocAudioProcessor::setBandSolo (int band, bool soloed) noexcept
{
    if (band < 0 || band >= params::numBands)
        return;
    const std::uint32_t bit = 1u << band;
    if (soloed)
        soloedBands.fetch_or (bit, std::memory_order_relaxed);
    else
        soloedBands.fetch_and (~bit, std::memory_order_relaxed);
}

bool VarnocAudioProcessor::isBandSoloed (int band) const noexcept
{
    if (band < 0 || band >= params::numBands)
        return false;
    return (soloedBands.load (std::memory_order_relaxed) >> band) & 1u;
}

//==============================================================================
void VarnocAudioProcessor::prepareToPlay (double sampleRate, int estimatedSamplesPerBlock)
{
    // Every start is a clean start: whatever ran before (another rate, a broken
    // stream) leaves nothing in the filters, envelopes or meters.
    resetDynamics (usableSampleRate (sampleRate));
    clearSplitFilters();
    resetMeters();

    preparedBlockSize = std::max (1, estimatedSamplesPerBlock);
    workArrayStorage.assign ((size_t) numWorkArrays * (size_t) preparedBlockSize, 0.0f);

    float* next = workArrayStorage.data();
    auto take = [&next, this] { auto* p = next; next += preparedBlockSize; return p; };

    for (int c = 0; c < 2; ++c)
    {
        work.dry[c] = take();
        for (auto& band : work.bands)
            band[c] = take();
    }
    for (int b = 0; b < params::numBands; ++b)
        for (int c = 0; c < 2; ++c)
        {
            bandCopy[b][c] = take();
            bandMix[b][c] = take();
        }
}

void VarnocAudioProcessor::releaseResources()
{
    resetDynamics (releasedSampleRate);
    clearSplitFilters();
    resetMeters();
    freeWorkArrays();
}

void VarnocAudioProcessor::clearSplitFilters() noexcept
{
    for (auto* filter : { &lowSplitFilter[0], &lowSplitFilter[1], &highSplitFilter[0], &highSplitFilter[1] })
        filter->clearHistory();
    splitsStartClean = true;
}

void VarnocAudioProcessor::resetDynamics (double sampleRate)
{
    for (auto& unit : bandDynamics)
        unit->reset (sampleRate);
}

void VarnocAudioProcessor::resetMeters()
{
    for (int b = 0; b < params::numBands; ++b)
    {
        for (int c = 0; c < 2; ++c)
        {
            bandLevel[b][c].store (0.0f, std::memory_order_relaxed);
            bandLevelSum[b][c] = 0.0f;
        }
        bandLevelBlocks[b] = 0;
    }

    // The gain-reduction needles read "no reduction" until audio says otherwise. The
    // mean gain is only ever published, never read by the signal chain.
    for (auto& unit : bandDynamics)
        unit->meanGain.store (1.0f, std::memory_order_relaxed);
}

void VarnocAudioProcessor::freeWorkArrays()
{
    preparedBlockSize = 0;
    workArrayStorage.clear();
    workArrayStorage.shrink_to_fit();
    work = {};
    for (int b = 0; b < params::numBands; ++b)
        for (int c = 0; c < 2; ++c)
            bandCopy[b][c] = bandMix[b][c] = nullptr;
}

//==============================================================================
void VarnocAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;

    // Values changed since the last block, on whatever thread, reach the chain now.
    applyChangedParameters();

    const int n = buffer.getNumSamples();
    const int numChannels = buffer.getNumChannels();
    const int numIn = std::min (getTotalNumInputChannels(), numChannels);
    const int numOut = std::min (getTotalNumOutputChannels(), numChannels);

    // Before prepareToPlay there is nowhere to work: the audio passes unchanged.
    if (preparedBlockSize == 0 || n < 0)
        return;

    if (numIn >= 1)
    {
        const bool monoInput = numIn == 1 || numChannels < 2;
        float* io[2] = { buffer.getWritePointer (0), numChannels > 1 ? buffer.getWritePointer (1) : nullptr };

        // Meters measure whole host blocks, even when the block is processed in pieces.
        // Longer blocks than prepared run in pieces; an empty block still runs once.
        beginMeterBlock();
        int start = 0;
        do
        {
            const int length = std::min (preparedBlockSize, n - start);
            processSection (io, start, length, monoInput);
            start += length;
        } while (start < n);
        endMeterBlock (n);
    }

    // A mono input is delivered on both outputs (written above); any other output
    // without an input is cleared.
    const int firstSilent = numIn == 1 ? 2 : numIn;
    for (int c = firstSilent; c < numOut; ++c)
        buffer.clear (c, 0, n);
}

// One section of a block: the input gain and copies, the three-band split, the band
// stages with the parallel add and band gain between them, and the sum and mix.
void VarnocAudioProcessor::processSection (float* const* io, int start, int n, bool monoInput)
{
    float* out[2] = { io[0] + start, io[1] != nullptr ? io[1] + start : nullptr };

    copyIn (out, n, monoInput);
    splitBands (n);
    measureBands (work.bands, n, monoInput);
    runBandStages (n);
    if (sumAndMix (out, n))
        recoverFromNonFiniteState();
}

// Input gain, in place, on the channels the buffer has; then the dry copy and the
// three band buffers get the result (a mono input on both sides).
void VarnocAudioProcessor::copyIn (float* const (&out)[2], int n, bool monoInput) noexcept
{
    const float gainIn = inputGain.load (std::memory_order_relaxed);
    applyGain (out[0], n, gainIn);
    if (out[1] != nullptr)
        applyGain (out[1], n, gainIn);

    for (int c = 0; c < 2; ++c)
    {
        const float* source = (monoInput || out[1] == nullptr) ? out[0] : out[c];
        const size_t bytes = sizeof (float) * (size_t) n;
        std::memcpy (work.dry[c], source, bytes);
        for (auto& band : work.bands)
            std::memcpy (band[c], source, bytes);
    }
}

// Two complementary splits: low = LP(in), mid = LP(in - low), high = in - low - mid.
// Each band's unprocessed copy is kept for the parallel add.
void VarnocAudioProcessor::splitBands (int n) noexcept
{
    const double fs = usableSampleRate (getSampleRate());
    const double lowCutoff = crossoverCutoff (lowCrossoverHz.load (std::memory_order_relaxed), fs);
    const double highCutoff = crossoverCutoff (highCrossoverHz.load (std::memory_order_relaxed), fs);
    auto& low = work.bands[0];
    auto& mid = work.bands[1];
    auto& high = work.bands[2];

    splitBand (lowSplitFilter, lowCutoff, fs, low[0], low[1], n);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i)
            mid[c][i] -= low[c][i];

    splitBand (highSplitFilter, highCutoff, fs, mid[0], mid[1], n);
    splitsStartClean = false;

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i)
            high[c][i] = high[c][i] - low[c][i] - mid[c][i];

    for (int b = 0; b < params::numBands; ++b)
        for (int c = 0; c < 2; ++c)
            std::memcpy (bandCopy[b][c], work.bands[b][c], sizeof (float) * (size_t) n);
}

// Stage 1 of every band, then each band's parallel add and gain, then stage 2.
void VarnocAudioProcessor::runBandStages (int n) noexcept
{
    for (int b = 0; b < params::numBands; ++b)
        bandDynamics[(size_t) b]->processStereo (work.bands[b][0], work.bands[b][1], n);

    for (int b = 0; b < params::numBands; ++b)
    {
        const float add = bandAddAmount[b].load (std::memory_order_relaxed);
        const float gain = bandGain[b].load (std::memory_order_relaxed);
        for (int c = 0; c < 2; ++c)
        {
            const float* copy = bandCopy[b][c];
            const float* processed = work.bands[b][c];
            float* mixed = bandMix[b][c];
            for (int i = 0; i < n; ++i)
                mixed[i] = (copy[i] * add + processed[i]) * gain;
        }
    }

    for (int b = 0; b < params::numBands; ++b)
        bandDynamics[(size_t) b + 3]->processStereo (bandMix[b][0], bandMix[b][1], n);
}

// The switched bands summed, made up and blended with the dry input, or the dry input
// alone when processing is off. While any band is soloed, the soloed bands take the
// switches' place and the blend is fully wet, so that no unsplit input leaks in; with
// none soloed the arithmetic is exactly the unsoloed one. True when the output held
// non-finite samples (now silenced).
bool VarnocAudioProcessor::sumAndMix (float* const (&out)[2], int n) noexcept
{
    const std::uint32_t solo = soloedBands.load (std::memory_order_relaxed);
    const auto bandFactor = [this, solo] (int b)
    {
        if (solo != 0)
            return (solo >> b) & 1u ? 1.0f : 0.0f;
        return bandLevelMultiplier[b].load (std::memory_order_relaxed);
    };
    const float on0 = bandFactor (0);
    const float on1 = bandFactor (1);
    const float on2 = bandFactor (2);
    const float makeUp = outputGain.load (std::memory_order_relaxed);
    const float wetShare = solo != 0 ? 1.0f : finalMix.load (std::memory_order_relaxed);
    const float dryShare = 1.0f - wetShare;
    const bool processing = processingOn.load (std::memory_order_relaxed) > 0.0f;

    bool nonFinite = false;
    for (int c = 0; c < 2; ++c)
    {
        float* dest = out[c];
        if (dest == nullptr)
            continue;

        const float* dry = work.dry[c];
        if (processing)
        {
            const float* m0 = bandMix[0][c];
            const float* m1 = bandMix[1][c];
            const float* m2 = bandMix[2][c];
            for (int i = 0; i < n; ++i)
            {
                const float wet = (on0 * m0[i] + on1 * m1[i] + on2 * m2[i]) * makeUp;
                dest[i] = wet * wetShare + dryShare * dry[i];
            }
        }
        else
        {
            std::memcpy (dest, dry, sizeof (float) * (size_t) n);
        }

        nonFinite = silenceNonFinite (dest, n) || nonFinite;
    }
    return nonFinite;
}

// Filters a band pair through one crossover. An unchanged cutoff (the same design as
// the last block) or empty memories take the new design for the whole block; a changed
// one glides there, redesigning at every step.
void VarnocAudioProcessor::splitBand (Dsp::ButterLowPass<4, 1> (&pair)[2], double cutoff, double sampleRate,
                                      float* left, float* right, int n) noexcept
{
    const double target = Dsp::ButterLowPass<4, 1>::usableCutoff (cutoff);

    if (splitsStartClean || pair[0].getCutoff() == target)
    {
        pair[0].setCutoff (target);
        pair[1].setCutoff (target);
        Dsp::processPair (pair[0], left, pair[1], right, n);
        return;
    }

    const int segment = glideSegmentLength (sampleRate);
    for (int done = 0; done < n;)
    {
        const double current = pair[0].getCutoff();
        int length = n - done;
        if (current != target)
        {
            const double next = glideStep (current, target);
            pair[0].moveCutoff (next);
            pair[1].moveCutoff (next);
            length = std::min (segment, length);
        }
        Dsp::processPair (pair[0], left + done, pair[1], right + done, length);
        done += length;
    }
}

//==============================================================================
// Meters: each band's RMS is summed over two blocks and published on the third as their
// mean; the third block itself is not measured.
void VarnocAudioProcessor::beginMeterBlock() noexcept
{
    for (int b = 0; b < params::numBands; ++b)
    {
        measuringBand[b] = bandLevelBlocks[b] < 2;
        meterSquares[b][0] = meterSquares[b][1] = 0.0;

        if (! measuringBand[b])
        {
            for (int c = 0; c < 2; ++c)
            {
                bandLevel[b][c].store (bandLevelSum[b][c] * 0.5f, std::memory_order_relaxed);
                bandLevelSum[b][c] = 0.0f;
            }
            bandLevelBlocks[b] = 0;
        }
    }
}

void VarnocAudioProcessor::measureBands (const WorkBuffers::Bands& bands, int n, bool monoInput) noexcept
{
    for (int b = 0; b < params::numBands; ++b)
    {
        if (! measuringBand[b])
            continue;
        for (int c = 0; c < 2; ++c)
        {
            const float* data = bands[b][monoInput ? 0 : c];
            double sum = 0.0;
            for (int i = 0; i < n; ++i)
                sum += data[i] * data[i];
            meterSquares[b][c] += sum;
        }
    }
}

void VarnocAudioProcessor::endMeterBlock (int n) noexcept
{
    for (int b = 0; b < params::numBands; ++b)
    {
        if (! measuringBand[b])
            continue;
        for (int c = 0; c < 2; ++c)
        {
            const float rms = n > 0 ? static_cast<float> (std::sqrt (meterSquares[b][c] / n)) : 0.0f;
            bandLevelSum[b][c] += rms;
        }
        ++bandLevelBlocks[b];
    }
}

// Non-finite output means that some state was fed non-finite or overflowing audio (a
// broken upstream plug-in): filter memories and envelopes could hold NaN or enormous
// values for a long time. Restart them all, so the next clean block comes out clean.
// Only state is cleared here: the coefficients follow the settings as they are.
void VarnocAudioProcessor::recoverFromNonFiniteState() noexcept
{
    clearSplitFilters();
    for (auto& unit : bandDynamics)
        unit->clearState();
}
