#include "plugin/ParameterTable.h"
#include "plugin/VarnocAudioProcessor.h"

#include <cmath>

namespace params
{
namespace
{
    const char* const bandNames[perBand] = { "attack", "release", "fxmix", "add", "gain",
                                             "thresh", "ratio", "limonoff", "chanonoff" };
    const char* const globalNames[numParameters - numBands * perBand] = {
        "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not-used", "not-used"
    };
    const float bandDefaults[perBand] = { 0.42f, 0.6f, 1.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.0f, 1.0f };
    const float globalDefaults[numParameters - numBands * perBand] = {
        0.25f, 0.0f, 1.0f, 0.03f, 0.4f, 1.0f, 0.5f, 0.5f
    };

    constexpr double decibelsPerNeper = 8.685889638065037; // 20 / ln 10
} // namespace

juce::String name (int index)
{
    if (! isValidIndex (index))
        return {};
    if (index < numBands * perBand)
        return juce::String (bandNames[index % perBand]) + "_" + juce::String (index / perBand);
    return globalNames[index - numBands * perBand];
}

juce::String hostId (int index)
{
    if (index == notUsed33 || index == notUsed34)
        return "not_used_" + juce::String (index);
    return name (index);
}

float defaultValue (int index)
{
    if (! isValidIndex (index))
        return 0.0f;
    if (index < numBands * perBand)
        return bandDefaults[index % perBand];
    return globalDefaults[index - numBands * perBand];
}

float thresholdSetting (float v) noexcept
{
    return static_cast<float> (static_cast<double> (0.624f) * v + static_cast<double> (0.376f));
}

float ratioSetting (float v) noexcept
{
    return static_cast<float> (static_cast<double> (0.7805f) - static_cast<double> (0.5805f) * v);
}

float limiterSetting (float v) noexcept { return v > 0.0f ? 0.65f : 1.0f; }
float switchFactor (float v) noexcept   { return v > 0.0f ? 1.0f : 0.0f; }
float addAmount (float v) noexcept      { return 2.0f * v; }
float bandGain (float v) noexcept       { return 2.0f * v; }
float inputGain (float v) noexcept      { return 4.0f * v; }
float outputGain (float v) noexcept     { return static_cast<float> (1.0 + 2.0 * static_cast<double> (v)); }

double crossoverHz (float v) noexcept
{
    return std::log (1.0 + static_cast<double> (v)) * decibelsPerNeper * 1800.0;
}

double boundedCrossoverHz (float v) noexcept
{
    return crossoverHz (v > minimumCrossoverValue ? v : minimumCrossoverValue);
}

namespace
{
    void setDynamics (DynamicsUnit& unit, std::atomic<float> DynamicsUnit::*setting, float value)
    {
        (unit.*setting).store (value, std::memory_order_relaxed);
        unit.updateCoefficients();
    }
} // namespace

float unitValue (int index, float v) noexcept
{
    if (std::isnan (v))
        return defaultValue (index);
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

void applyToProcessor (VarnocAudioProcessor& p, int index, float stored)
{
    if (! isValidIndex (index))
        return;

    // Hosts and chunks may store anything; the rules are made for 0..1.
    const float v = unitValue (index, stored);

    if (index < numBands * perBand)
    {
        const int band = index / perBand;
        auto& stage1 = *p.bandDynamics[(size_t) band];
        auto& stage2 = *p.bandDynamics[(size_t) band + 3];

        switch (static_cast<BandParameter> (index % perBand))
        {
            case attack:    setDynamics (stage1, &DynamicsUnit::attack, v); break;
            case release:   setDynamics (stage1, &DynamicsUnit::release, v); break;
            case fxmix:     setDynamics (stage1, &DynamicsUnit::mix, v); break;
            case add:       p.bandAddAmount[band].store (addAmount (v), std::memory_order_relaxed); break;
            case gain:      p.bandGain[band].store (bandGain (v), std::memory_order_relaxed); break;
            case thresh:    setDynamics (stage1, &DynamicsUnit::threshold, thresholdSetting (v)); break;
            case ratio:     setDynamics (stage1, &DynamicsUnit::ratio, ratioSetting (v)); break;
            case limonoff:
                // stage 2 first, then stage 1, as the band panel does
                setDynamics (stage2, &DynamicsUnit::limiter, limiterSetting (v));
                setDynamics (stage1, &DynamicsUnit::limiter, limiterSetting (v));
                break;
            case chanonoff: p.bandLevelMultiplier[band].store (switchFactor (v), std::memory_order_relaxed); break;
        }
        return;
    }

    switch (index)
    {
        case mainInGain: p.inputGain.store (inputGain (v), std::memory_order_relaxed); break;
        case makeUpGain: p.outputGain.store (outputGain (v), std::memory_order_relaxed); break;
        case finalMix:   p.finalMix.store (v, std::memory_order_relaxed); break;
        case fqLow:      p.lowCrossoverHz.store (boundedCrossoverHz (v), std::memory_order_relaxed); break;
        case fqHigh:     p.highCrossoverHz.store (boundedCrossoverHz (v), std::memory_order_relaxed); break;
        case mainOnOff:  p.processingOn.store (switchFactor (v), std::memory_order_relaxed); break;
        default: break;
    }
}
} // namespace params
