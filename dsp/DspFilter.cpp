#include "dsp/DspFilter.h"

#include <cmath>
#include <cstdint>

namespace Dsp
{
namespace
{
    const BiquadStage zeroStage {};
    const StageHistory zeroHistory {};

    // One stage of the recursion on a history record.
    inline double tick (const BiquadStage& s, StageHistory& h, double x) noexcept
    {
        const double y = s.b1 * h.x1 + s.b0 * x + s.b2 * h.x2 + s.a1 * h.y1 + s.a2 * h.y2;
        h.x2 = h.x1;
        h.x1 = x;
        h.y2 = h.y1;
        h.y1 = y;
        return y;
    }

    // A single-channel two-stage cascade copied into locals for the length of a block,
    // so that the compiler keeps coefficients and memories in registers.
    struct MonoTwoStage
    {
        BiquadStage s0, s1;
        StageHistory h0, h1;

        MonoTwoStage (const BiquadStage* stages, const StageHistory* histories) noexcept
            : s0 (stages[0]), s1 (stages[1]), h0 (histories[0]), h1 (histories[1])
        {
        }

        float run (float sample) noexcept
        {
            const double y0 = tick (s0, h0, static_cast<double> (sample));
            return static_cast<float> (tick (s1, h1, y0));
        }

        void storeTo (StageHistory* histories) const noexcept
        {
            histories[0] = h0;
            histories[1] = h1;
        }
    };

#if defined(__GNUC__)
    // Two lanes of double: lane 0 the left filter, lane 1 the right one. Each lane does
    // exactly the scalar IEEE operations, so the results are bit-identical to the
    // single-filter loop, while both recursions share every instruction.
    typedef double DoublePair __attribute__ ((vector_size (16)));

    struct PairedStage
    {
        DoublePair a1, a2, b0, b1, b2;
        DoublePair x1, x2, y1, y2;

        PairedStage (const CascadeFilter& left, const CascadeFilter& right, int k) noexcept
        {
            const auto& l = left.getStage (k);
            const auto& r = right.getStage (k);
            const auto& hl = left.getHistory (0, k);
            const auto& hr = right.getHistory (0, k);
            a1 = DoublePair { l.a1, r.a1 };
            a2 = DoublePair { l.a2, r.a2 };
            b0 = DoublePair { l.b0, r.b0 };
            b1 = DoublePair { l.b1, r.b1 };
            b2 = DoublePair { l.b2, r.b2 };
            x1 = DoublePair { hl.x1, hr.x1 };
            x2 = DoublePair { hl.x2, hr.x2 };
            y1 = DoublePair { hl.y1, hr.y1 };
            y2 = DoublePair { hl.y2, hr.y2 };
        }

        DoublePair run (DoublePair x) noexcept
        {
            const DoublePair y = b1 * x1 + b0 * x + b2 * x2 + a1 * y1 + a2 * y2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }

        void storeTo (StageHistory& left, StageHistory& right) const noexcept
        {
            left = StageHistory { x1[0], x2[0], y1[0], y2[0] };
            right = StageHistory { x1[1], x2[1], y1[1], y2[1] };
        }
    };
#endif

    bool rangesOverlap (const float* a, const float* b, int count) noexcept
    {
        const auto begin1 = reinterpret_cast<std::uintptr_t> (a);
        const auto begin2 = reinterpret_cast<std::uintptr_t> (b);
        const auto bytes = static_cast<std::uintptr_t> (count) * sizeof (float);
        return begin1 < begin2 + bytes && begin2 < begin1 + bytes;
    }

    double magnitude (std::complex<double> h) noexcept
    {
        return std::sqrt (h.real() * h.real() + h.imag() * h.imag());
    }
} // namespace

void CascadeFilter::process (int frameCount, float* samples) noexcept
{
    if (frameCount <= 0 || samples == nullptr || stageCount <= 0 || channelCount <= 0)
        return;

    if (isMonoTwoStage())
    {
        MonoTwoStage cascade (stages, histories);
        for (int i = 0; i < frameCount; ++i)
            samples[i] = cascade.run (samples[i]);
        cascade.storeTo (histories);
        return;
    }

    float* frame = samples;
    for (int i = 0; i < frameCount; ++i, frame += channelCount)
    {
        for (int c = 0; c < channelCount; ++c)
        {
            StageHistory* history = histories + c * stageCount;
            double x = static_cast<double> (frame[c]);
            for (int k = 0; k < stageCount; ++k)
                x = tick (stages[k], history[k], x);
            frame[c] = static_cast<float> (x);
        }
    }
}

void processPair (CascadeFilter& left, float* leftSamples,
                  CascadeFilter& right, float* rightSamples, int frameCount) noexcept
{
    if (frameCount <= 0)
        return;

    const bool interleavable = left.isMonoTwoStage() && right.isMonoTwoStage() && &left != &right
                               && leftSamples != nullptr && rightSamples != nullptr
                               && ! rangesOverlap (leftSamples, rightSamples, frameCount);

    if (! interleavable)
    {
        left.process (frameCount, leftSamples);
        right.process (frameCount, rightSamples);
        return;
    }

#if defined(__GNUC__)
    PairedStage first (left, right, 0);
    PairedStage second (left, right, 1);
    for (int i = 0; i < frameCount; ++i)
    {
        const DoublePair x { static_cast<double> (leftSamples[i]), static_cast<double> (rightSamples[i]) };
        const DoublePair y = second.run (first.run (x));
        leftSamples[i] = static_cast<float> (y[0]);
        rightSamples[i] = static_cast<float> (y[1]);
    }
    first.storeTo (left.histories[0], right.histories[0]);
    second.storeTo (left.histories[1], right.histories[1]);
#else
    MonoTwoStage l (left.stages, left.histories);
    MonoTwoStage r (right.stages, right.histories);
    for (int i = 0; i < frameCount; ++i)
    {
        leftSamples[i] = l.run (leftSamples[i]);
        rightSamples[i] = r.run (rightSamples[i]);
    }
    l.storeTo (left.histories);
    r.storeTo (right.histories);
#endif
}

std::complex<double> CascadeFilter::frequencyResponse (double w) const noexcept
{
    const std::complex<double> u (std::cos (-w), std::sin (-w));             // e^-jw
    const std::complex<double> u2 (std::cos (-2.0 * w), std::sin (-2.0 * w)); // e^-2jw

    std::complex<double> numerator (1.0, 0.0);
    std::complex<double> denominator (1.0, 0.0);
    for (int k = 0; k < stageCount; ++k)
    {
        const auto& s = stages[k];
        numerator = numerator * (s.b0 + s.b1 * u + s.b2 * u2);
        denominator = denominator * (1.0 - s.a1 * u - s.a2 * u2);
    }
    return numerator / denominator;
}

void CascadeFilter::clearHistory() noexcept
{
    for (int i = 0; i < channelCount * stageCount; ++i)
        histories[i] = StageHistory {};
}

void CascadeFilter::innerDcGains (double* gains) const noexcept
{
    double gain = 1.0;
    for (int k = 0; k + 1 < stageCount; ++k)
    {
        const auto& s = stages[k];
        gain = gain * ((s.b0 + s.b1 + s.b2) / (1.0 - s.a1 - s.a2));
        gains[k] = gain;
    }
}

void CascadeFilter::scaleInnerMemories (const double* before, const double* after) noexcept
{
    for (int k = 0; k + 1 < stageCount; ++k)
    {
        const double factor = after[k] / before[k];
        if (! (std::isfinite (factor) && factor > 0.0) || factor == 1.0)
            continue;

        for (int c = 0; c < channelCount; ++c)
        {
            StageHistory& from = histories[c * stageCount + k];
            StageHistory& into = histories[c * stageCount + k + 1];
            from.y1 *= factor;
            from.y2 *= factor;
            into.x1 *= factor;
            into.x2 *= factor;
        }
    }
}

const BiquadStage& CascadeFilter::getStage (int index) const noexcept
{
    return index >= 0 && index < stageCount ? stages[index] : zeroStage;
}

const StageHistory& CascadeFilter::getHistory (int channel, int stage) const noexcept
{
    if (channel < 0 || channel >= channelCount || stage < 0 || stage >= stageCount)
        return zeroHistory;
    return histories[channel * stageCount + stage];
}

double findPeakGain (const CascadeFilter& filter, double lo, double hi) noexcept
{
    // Brent's minimisation of f (w) = -|H (w)|: golden-section steps, replaced by
    // parabolic interpolation through the three best points whenever that step is
    // acceptable. The iteration cap only matters for non-finite responses.
    constexpr double golden = 0.3819660112501051; // (3 - sqrt 5) / 2
    constexpr double sqrtEpsilon = 1.4901161193847656e-08; // sqrt (2.220446049250313e-16)
    constexpr double absoluteTolerance = 0.0001;
    constexpr int maxIterations = 200;

    auto f = [&filter] (double w) { return -magnitude (filter.frequencyResponse (w)); };

    double a = lo, b = hi;
    double x = a + golden * (b - a);
    double w = x, v = x;
    double fx = f (x);
    double fw = fx, fv = fx;
    double d = 0.0, e = 0.0;

    for (int iteration = 0; iteration < maxIterations; ++iteration)
    {
        const double m = 0.5 * (a + b);
        const double tol1 = sqrtEpsilon * std::abs (x) + absoluteTolerance;
        const double tol2 = 2.0 * tol1;

        if (std::abs (x - m) <= tol2 - 0.5 * (b - a))
            break;

        bool parabolic = false;
        if (std::abs (e) > tol1)
        {
            double r = (x - w) * (fx - fv);
            double q = (x - v) * (fx - fw);
            double p = (x - v) * q - (x - w) * r;
            q = 2.0 * (q - r);
            if (q > 0.0)
                p = -p;
            q = std::abs (q);
            const double previousStep = e;
            e = d;

            if (std::abs (p) < std::abs (0.5 * q * previousStep) && p > q * (a - x) && p < q * (b - x))
            {
                d = p / q;
                const double u = x + d;
                if (u - a < tol2 || b - u < tol2)
                    d = m - x >= 0.0 ? tol1 : -tol1;
                parabolic = true;
            }
        }

        if (! parabolic)
        {
            e = (x < m) ? b - x : a - x;
            d = golden * e;
        }

        const double u = std::abs (d) >= tol1 ? x + d : (d >= 0.0 ? x + tol1 : x - tol1);
        const double fu = f (u);

        if (fu <= fx)
        {
            if (u < x)
                b = x;
            else
                a = x;
            v = w; fv = fw;
            w = x; fw = fx;
            x = u; fx = fu;
        }
        else
        {
            if (u < x)
                a = u;
            else
                b = u;

            if (fu <= fw || w == x)
            {
                v = w; fv = fw;
                w = u; fw = fu;
            }
            else if (fu <= fv || v == x || v == w)
            {
                v = u; fv = fu;
            }
        }
    }

    return -fx;
}

} // namespace Dsp
