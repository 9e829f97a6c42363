#pragma once

// Butterworth low-pass filters designed from the analog prototype by the prewarped
// bilinear transform and run as a cascade of biquads in direct form I. Coefficients
// and memories are double; samples are float, filtered in place. Plain C++: no heap,
// no locks, no framework headers, so the audio thread may design and run them freely.

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>

namespace Dsp
{
// One second-order section: y = b0 x + b1 x[-1] + b2 x[-2] + a1 y[-1] + a2 y[-2].
// The denominator is 1 - a1 z^-1 - a2 z^-2, so a1 and a2 carry the sign that the
// recursion adds. a0 is kept for layout only; the recursion takes it as 1.
struct BiquadStage
{
    double a0, a1, a2;
    double b0, b1, b2;
};

// Memories of one stage for one channel, newest first.
struct StageHistory
{
    double x1, x2;
    double y1, y2;
};

// A cascade of biquads over interleaved channels. It works through two pointers to
// storage that the derived CascadeStages owns, so it is neither copyable nor movable.
class CascadeFilter
{
public:
    CascadeFilter (const CascadeFilter&) = delete;
    CascadeFilter& operator= (const CascadeFilter&) = delete;

    // Filters frameCount frames of channelCount interleaved floats in place. Every
    // stage sums b1 x1 + b0 x + b2 x2 + a1 y1 + a2 y2 in that order and hands its
    // output to the next stage in double; only the last output is rounded to float.
    void process (int frameCount, float* samples) noexcept;

    // Complex response of the whole cascade at w radians per sample.
    std::complex<double> frequencyResponse (double w) const noexcept;

    // Zeroes every memory. Designing never does this; only an owner that wants to
    // restart the filter (for example after non-finite input) calls it.
    void clearHistory() noexcept;

    int getChannelCount() const noexcept { return channelCount; }
    int getStageCount() const noexcept { return stageCount; }

    // Out-of-range indices give an all-zero record.
    const BiquadStage& getStage (int index) const noexcept;
    const StageHistory& getHistory (int channel, int stage) const noexcept;

    friend void processPair (CascadeFilter& left, float* leftSamples,
                             CascadeFilter& right, float* rightSamples, int frameCount) noexcept;

protected:
    // DC gain of the stages 0..k together, for k = 0 .. stageCount - 2 (the signal
    // passed from stage k to stage k + 1). A stage with a pole on z = 1 gives infinity.
    void innerDcGains (double* gains) const noexcept;

    // After a redesign: scales the memories that hold the signal between stages k and
    // k + 1 (y of stage k, x of stage k + 1) by after[k] / before[k], so that they hold
    // what the new design would carry there for slowly changing input. Input and
    // output memories stay. Ratios that are not finite and positive leave that signal.
    void scaleInnerMemories (const double* before, const double* after) noexcept;

    CascadeFilter (std::int32_t numChannels, std::int32_t numStages,
                   BiquadStage* firstStage, StageHistory* firstHistory) noexcept
        : channelCount (numChannels), stageCount (numStages), stages (firstStage), histories (firstHistory)
    {
    }

    ~CascadeFilter() = default;

    std::int32_t channelCount;
    std::int32_t stageCount;
    BiquadStage* stages;       // stageCount records
    StageHistory* histories;   // channelCount * stageCount records, channel-major

private:
    bool isMonoTwoStage() const noexcept { return channelCount == 1 && stageCount == 2; }
};

// Runs two independent filters over two buffers in one loop, so that the two
// recursions overlap in the processor. The result is bit-identical to
// left.process (frameCount, leftSamples) followed by right.process (frameCount, rightSamples);
// cascades that are not single-channel two-stage ones, one filter passed twice or
// overlapping buffers simply take that sequential route.
void processPair (CascadeFilter& left, float* leftSamples,
                  CascadeFilter& right, float* rightSamples, int frameCount) noexcept;

// Largest |H(w)| over [lo, hi], found by Brent's derivative-free minimisation of -|H(w)|.
double findPeakGain (const CascadeFilter& filter, double lo, double hi) noexcept;

// Inline storage for MaxStages stages over Channels channels: the history first,
// then the stages. Starts with zeroed memories and pass-through stages.
template <int MaxStages, int Channels>
class CascadeStages : public CascadeFilter
{
    static_assert (MaxStages >= 1 && Channels >= 1, "a cascade needs a stage and a channel");

public:
    CascadeStages() noexcept
        : CascadeFilter (Channels, MaxStages, stageStorage, historyStorage)
    {
        for (auto& stage : stageStorage)
            stage.b0 = 1.0;
    }

protected:
    ~CascadeStages() = default;

private:
    StageHistory historyStorage[static_cast<std::size_t> (Channels * MaxStages)] {};
    BiquadStage stageStorage[static_cast<std::size_t> (MaxStages)] {};
};

// A cascade designed from poles and zeros in the z-plane. The derived filter type
// supplies them through the virtual operations, in this slot order.
template <int MaxStages, int Channels>
class PoleFilter : public CascadeStages<MaxStages, Channels>
{
public:
    // Gain normalisation applied at the end of a design.
    static constexpr std::int32_t normaliseToPeak = 1;       // peak of |H| in peakSearchRange becomes 1
    static constexpr std::int32_t normaliseAtFrequency = 2;  // |H| at normalisationFrequency becomes 1

    virtual int poleCount() const noexcept = 0;
    virtual int zeroCount() const noexcept = 0;
    virtual std::complex<double> digitalPole (int index) const noexcept = 0;
    virtual std::complex<double> digitalZero (int index) const noexcept = 0;
    virtual std::complex<double> analogPole (int index, double cutoffRadians) const noexcept = 0;
    virtual void peakSearchRange (double& lo, double& hi) const noexcept = 0;
    virtual double normalisationFrequency() const noexcept = 0;

    // Rebuilds every stage from the poles and zeros, then normalises. Stages are
    // cleared first, so the result never depends on the previous design; the
    // memories are left alone, so the signal runs on across a redesign.
    void design() noexcept
    {
        for (int k = 0; k < this->stageCount; ++k)
        {
            auto& stage = this->stages[k];
            stage.a1 = 0.0;
            stage.a2 = 0.0;
            stage.b0 = 1.0;
            stage.b1 = 0.0;
            stage.b2 = 0.0;
        }

        // A conjugate pair is added once, from its member with the positive imaginary part.
        const int numPoles = poleCount();
        for (int i = 0; i < numPoles; ++i)
        {
            const auto p = withTinyImaginaryDropped (digitalPole (i));
            if (p.imag() == 0.0)
                addPoleFactor (p.real(), 0.0);
            else if (p.imag() > 0.0)
                addPoleFactor (2.0 * p.real(), -(p.real() * p.real() + p.imag() * p.imag()));
        }

        const int numZeros = zeroCount();
        for (int i = 0; i < numZeros; ++i)
        {
            const auto q = withTinyImaginaryDropped (digitalZero (i));
            if (q.imag() == 0.0)
                addZeroFactor (-q.real(), 1.0, 0.0);
            else if (q.imag() > 0.0)
                addZeroFactor (q.real() * q.real() + q.imag() * q.imag(), -2.0 * q.real(), 1.0);
        }

        normalise();
        designCurrent = true;
    }

    int getNormalisationMode() const noexcept { return normalisationMode; }

    void setNormalisationMode (int mode) noexcept
    {
        normalisationMode = mode;
        designCurrent = false;
    }

protected:
    PoleFilter() noexcept = default;
    ~PoleFilter() = default; // held by value, never deleted through a base pointer

    // Multiplies the denominator by 1 - c1 z^-1 - c2 z^-2: the first empty stage takes
    // the factor, or a stage holding one real pole takes a second one. A factor that
    // finds no place is dropped.
    void addPoleFactor (double c1, double c2) noexcept
    {
        for (int k = 0; k < this->stageCount; ++k)
        {
            auto& stage = this->stages[k];
            if (stage.a1 == 0.0 && stage.a2 == 0.0)
            {
                stage.a1 = c1;
                stage.a2 = c2;
                return;
            }
            if (stage.a2 == 0.0 && c2 == 0.0)
            {
                stage.a2 = -(c1 * stage.a1);
                stage.a1 = stage.a1 + c1;
                return;
            }
        }
    }

    // Multiplies the numerator by c0 + c1 z^-1 + c2 z^-2, placed like addPoleFactor.
    void addZeroFactor (double c0, double c1, double c2) noexcept
    {
        for (int k = 0; k < this->stageCount; ++k)
        {
            auto& stage = this->stages[k];
            if (stage.b1 == 0.0 && stage.b2 == 0.0)
            {
                stage.b0 = c0;
                stage.b1 = c1;
                stage.b2 = c2;
                return;
            }
            if (stage.b2 == 0.0 && c2 == 0.0)
            {
                const double b0 = stage.b0;
                const double b1 = stage.b1;
                stage.b0 = b0 * c0;
                stage.b1 = b1 * c0 + b0 * c1;
                stage.b2 = b1 * c1;
                return;
            }
        }
    }

    // Only stage 0's numerator carries the gain correction.
    void normalise() noexcept
    {
        double gain = 0.0;

        if (normalisationMode == normaliseAtFrequency)
        {
            const auto h = this->frequencyResponse (normalisationFrequency());
            gain = std::sqrt (h.real() * h.real() + h.imag() * h.imag());
        }
        else if (normalisationMode == normaliseToPeak)
        {
            double lo = 0.0, hi = 0.0;
            peakSearchRange (lo, hi);
            gain = findPeakGain (*this, lo, hi);
        }
        else
        {
            return;
        }

        const double scale = 1.0 / gain;
        auto& first = this->stages[0];
        first.b0 = first.b0 * scale;
        first.b1 = first.b1 * scale;
        first.b2 = first.b2 * scale;
    }

    bool isDesignCurrent() const noexcept { return designCurrent; }

    std::int32_t normalisationMode = normaliseAtFrequency;

private:
    static std::complex<double> withTinyImaginaryDropped (std::complex<double> z) noexcept
    {
        return std::abs (z.imag()) < 1.0e-6 ? std::complex<double> (z.real(), 0.0) : z;
    }

    bool designCurrent = false; // the stages hold the design for the stored settings
};

// Butterworth prototype of the given order: poles evenly spaced on a left half-circle
// whose radius is the prewarped cutoff, so that the digital -3 dB point is the cutoff.
template <int Order, int Channels>
class Butterworth : public PoleFilter<(Order + 1) / 2, Channels>
{
    static_assert (Order >= 1, "a Butterworth filter needs at least one pole");

public:
    // Just below pi, where tan (cutoff / 2) of the prewarping still is finite.
    static constexpr double maximumCutoff = 3.141592643589793;

    // setCutoff raises lower cutoffs (0, negative, NaN) to this: closer to 0 the poles
    // reach z = 1 in double precision and the design turns unstable or non-finite.
    // It is about 0.07 Hz at 44.1 kHz, far below any crossover.
    static constexpr double minimumCutoff = 1.0e-5;

    // Cutoff in radians per sample (2 pi f / fs). Stores the order and the cutoff and
    // designs, skipping the design only when it would give the same coefficients:
    // same settings as the last design.
    void setCutoff (double newCutoff) noexcept
    {
        const double wanted = usableCutoff (newCutoff);

        if (this->isDesignCurrent() && order == Order && wanted == cutoff)
            return;

        order = Order;
        cutoff = wanted;
        design();
    }

    // Redesigns for a new cutoff while the signal runs on. A plain redesign leaves the
    // memories between the stages at the level of the old design; the gain split across
    // the stages moves with the cutoff (at low cutoffs stage 0 passes a tiny signal that
    // stage 1 amplifies), so after a large change those memories act as a huge impulse.
    // Here they are rescaled to the new design's level. Small steps (about 1/8 octave)
    // then change the output no more than the changed response itself does.
    void moveCutoff (double newCutoff) noexcept
    {
        if (! this->isDesignCurrent())
        {
            setCutoff (newCutoff);
            return;
        }

        double before[stageTotal] {};
        double after[stageTotal] {};
        this->innerDcGains (before);
        setCutoff (newCutoff);
        this->innerDcGains (after);
        this->scaleInnerMemories (before, after);
    }

    // The cutoff that setCutoff would store for this request.
    static double usableCutoff (double requested) noexcept
    {
        if (! (requested >= minimumCutoff))
            return minimumCutoff;
        return requested > maximumCutoff ? maximumCutoff : requested;
    }

    // Full design from the stored cutoff, which is first clamped below pi.
    void design() noexcept
    {
        if (cutoff > maximumCutoff)
            cutoff = maximumCutoff;

        PoleFilter<(Order + 1) / 2, Channels>::design();
    }

    int getOrder() const noexcept { return order; }
    double getCutoff() const noexcept { return cutoff; }

    int poleCount() const noexcept override { return order; }
    int zeroCount() const noexcept override { return order; }

    std::complex<double> digitalPole (int index) const noexcept override
    {
        const auto s = analogPole (index, cutoff);
        return (1.0 + s) / (1.0 - s);
    }

    std::complex<double> analogPole (int index, double cutoffRadians) const noexcept override
    {
        constexpr double pi = 3.141592653589793;
        const double angle = static_cast<double> (2 * index + 1) * pi / static_cast<double> (2 * order) + pi / 2.0;
        const double radius = std::tan (cutoffRadians / 2.0);
        return { radius * std::cos (angle), radius * std::sin (angle) };
    }

protected:
    Butterworth() noexcept = default;
    ~Butterworth() = default;

    static constexpr int stageTotal = (Order + 1) / 2;

    std::int32_t order = Order;
    double cutoff = 0.0;
};

// The low-pass: every zero at z = -1, unity gain at DC. Call setCutoff before process.
template <int Order, int Channels>
class ButterLowPass final : public Butterworth<Order, Channels>
{
public:
    ButterLowPass() noexcept = default;

    std::complex<double> digitalZero (int) const noexcept override { return { -1.0, 0.0 }; }

    void peakSearchRange (double& lo, double& hi) const noexcept override
    {
        lo = 0.0001;
        hi = 3.141492653589793;
    }

    double normalisationFrequency() const noexcept override { return 0.0; }
};

} // namespace Dsp
