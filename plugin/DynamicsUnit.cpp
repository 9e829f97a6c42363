#include "plugin/DynamicsUnit.h"

#include <algorithm>
#include <cmath>

namespace
{
    constexpr auto relaxed = std::memory_order_relaxed;

    // Settings as the formulas may use them: finite and within 0..1.
    float settingValue (const std::atomic<float>& setting, float fallback) noexcept
    {
        const float v = setting.load (relaxed);
        if (! std::isfinite (v))
            return fallback;
        return std::min (std::max (v, 0.0f), 1.0f);
    }

    // 10^x in double from a single-precision exponent: the exponent's rounding to float
    // is part of the result.
    double tenToThe (float exponent) noexcept
    {
        return std::pow (10.0, static_cast<double> (exponent));
    }

    // State that decayed into the denormal range restarts from exactly 0, and so does
    // state that a non-finite block left behind.
    float settledState (float v) noexcept
    {
        return (! std::isfinite (v) || static_cast<double> (v) < 1.0e-10) ? 0.0f : v;
    }
} // namespace

DynamicsUnit::DynamicsUnit (double initialSampleRate) noexcept
    : sampleRate (initialSampleRate), audioSet (coefficients())
{
}

void DynamicsUnit::updateCoefficients() noexcept
{
    settingsChanged.store (true, std::memory_order_release);
}

void DynamicsUnit::beginSettingsChange() noexcept
{
    changesUnderWay.fetch_add (1);
}

void DynamicsUnit::endSettingsChange() noexcept
{
    changesCompleted.fetch_add (1);
    changesUnderWay.fetch_sub (1);
    updateCoefficients();
}

DynamicsUnit::Coefficients DynamicsUnit::coefficients() const noexcept
{
    const float thresholdSetting = settingValue (threshold, 1.0f);
    const float ratioSetting = settingValue (ratio, 0.2f);
    const float outputSetting = settingValue (output, 0.0f);
    const float attackSetting = settingValue (attack, 0.42f);
    const float releaseSetting = settingValue (release, 0.6f);
    const float limiterSetting = settingValue (limiter, 1.0f);
    const float gateThresholdSetting = settingValue (gateThreshold, 0.0f);
    const float gateAttackSetting = settingValue (gateAttack, 0.1f);
    const float gateReleaseSetting = settingValue (gateRelease, 0.5f);
    const float mixSetting = settingValue (mix, 1.0f);

    // The ratio is formed in double: 0.2 gives 7.45e-9 rather than 0, and with it the
    // simple path still divides above the threshold.
    int full = 0;
    const float newThresholdLevel = static_cast<float> (tenToThe (static_cast<float> (2.0 * thresholdSetting - 2.0)));

    float slope = static_cast<float> (2.5 * ratioSetting - 0.5);
    if (slope > 1.0f)
    {
        const double excess = static_cast<double> (slope) - 1.0;
        slope = static_cast<float> (1.0 + 16.0 * (excess * excess));
        full = 1;
    }
    if (slope < 0.0f)
    {
        slope = 0.6f * slope;
        full = 1;
    }

    const float level = static_cast<float> (tenToThe (static_cast<float> (2.0 * outputSetting)));
    const float newAttackCoeff = static_cast<float> (tenToThe (static_cast<float> (-0.002f - 2.0 * attackSetting)));
    const float newReleaseCoeff = static_cast<float> (tenToThe (static_cast<float> (-2.0 - 3.0 * releaseSetting)));

    // The ceiling moves in whole decibels below 0.99; 0.65 gives exactly 0.99.
    float newLimiterLevel = 0.0f;
    if (! (static_cast<double> (limiterSetting) > 0.98))
    {
        const double steps = std::trunc (30.0 * limiterSetting - 20.0);
        newLimiterLevel = static_cast<float> (static_cast<double> (0.99f) * tenToThe (static_cast<float> (steps / 20.0)));
        full = 1;
    }

    float newGateLevel = 0.0f;
    if (! (static_cast<double> (gateThresholdSetting) < 0.02))
    {
        newGateLevel = static_cast<float> (tenToThe (static_cast<float> (3.0 * gateThresholdSetting - 3.0)));
        full = 1;
    }

    const float newGateReleaseCoeff = static_cast<float> (1.0 - tenToThe (static_cast<float> (-2.0 - 3.3f * gateReleaseSetting)));
    const float newGateAttackCoeff = static_cast<float> (tenToThe (static_cast<float> (-0.002f - 3.0 * gateAttackSetting)));

    // An expanding slope under a low threshold is softened in proportion to the threshold.
    if (slope < 0.0f && newThresholdLevel < 0.1f)
        slope = static_cast<float> (static_cast<double> (slope * newThresholdLevel) * 15.0);

    const float newDryLevel = static_cast<float> (1.0 - mixSetting);
    const float newTrim = mixSetting * level;

    Coefficients set;
    set.thresholdLevel = newThresholdLevel;
    set.ratioFactor = slope;
    set.attackCoeff = newAttackCoeff;
    set.releaseCoeff = newReleaseCoeff;
    set.trim = newTrim;
    set.limiterLevel = newLimiterLevel;
    set.gateLevel = newGateLevel;
    set.gateReleaseCoeff = newGateReleaseCoeff;
    set.dryLevel = newDryLevel;
    set.gateAttackCoeff = newGateAttackCoeff;
    set.fullMode = full;
    return set;
}

// The flag is cleared before the settings are read: a setting stored meanwhile marks
// them again, and the next block derives once more. A set derived while a grouped
// change was open, or across one, is dropped and the flag raised again for next time.
const DynamicsUnit::Coefficients& DynamicsUnit::takeNewestCoefficients() noexcept
{
    if (! settingsChanged.load (relaxed) || ! settingsChanged.exchange (false))
        return audioSet;

    const unsigned completedBefore = changesCompleted.load();
    if (changesUnderWay.load() == 0)
    {
        const auto fresh = coefficients();
        if (changesUnderWay.load() == 0 && changesCompleted.load() == completedBefore)
        {
            audioSet = fresh;
            return audioSet;
        }
    }

    settingsChanged.store (true);
    return audioSet;
}

void DynamicsUnit::reset (double newSampleRate) noexcept
{
    clearState();
    sampleRate.store (newSampleRate, relaxed);

    // No block runs now: derive at once. The flag is cleared first, so a setting stored
    // meanwhile is derived again at the next block.
    settingsChanged.store (false);
    audioSet = coefficients();
}

void DynamicsUnit::clearState() noexcept
{
    envelope = 0.0f;
    peakEnvelope = 0.0f;
    gateGain = 0.0f;
}

void DynamicsUnit::processStereo (float* left, float* right, int n) noexcept
{
    if (n <= 0 || left == nullptr || right == nullptr)
        return;

    // One complete set per block; the loops below run on locals only.
    const Coefficients& set = takeNewestCoefficients();
    const float thresholdValue = set.thresholdLevel;
    const float slope = set.ratioFactor;
    const float rise = set.attackCoeff;
    const float fall = 1.0f - set.releaseCoeff;
    const float gain = set.trim;
    const float dry = set.dryLevel;

    float e = envelope;
    float p = peakEnvelope;
    float q = gateGain;
    float sum = 0.0f;

    if (set.fullMode != 0)
    {
        const float ceiling = set.limiterLevel == 0.0f ? 1000.0f : set.limiterLevel;
        const float gateOpenLevel = set.gateLevel;
        const float gateOpen = set.gateAttackCoeff;
        const float gateClose = set.gateReleaseCoeff;

        for (int i = 0; i < n; ++i)
        {
            const float a = left[i];
            const float b = right[i];
            const float x = std::max (std::fabs (a), std::fabs (b));

            // Plain branches: they predict well on audio, and measured faster than selects.
            e = x > e ? e + (x - e) * rise : e * fall;
            p = x > e ? x : p * fall;

            float g = gain;
            if (e > thresholdValue)
                g = gain / ((e / thresholdValue - 1.0f) * slope + 1.0f);
            if (g < 0.0f)
                g = 0.0f;
            if (g * p > ceiling)
                g = ceiling / p;

            q = e > gateOpenLevel ? q + gateOpen - q * gateOpen : q * gateClose;

            const float y = g * q + dry;
            left[i] = a * y;
            right[i] = b * y;
            sum += g;
        }
    }
    else
    {
        for (int i = 0; i < n; ++i)
        {
            const float a = left[i];
            const float b = right[i];
            const float x = std::max (std::fabs (a), std::fabs (b));

            e = x > e ? e + (x - e) * rise : e * fall;

            float g = gain;
            if (e > thresholdValue)
                g = gain / ((e / thresholdValue - 1.0f) * slope + 1.0f);

            const float y = g + dry;
            left[i] = a * y;
            right[i] = b * y;
            sum += g;
        }
    }

    const float mean = sum / static_cast<float> (n);
    if (std::isfinite (mean))
        meanGain.store (mean, relaxed);

    envelope = settledState (e);
    peakEnvelope = settledState (p);
    gateGain = settledState (q);
}
