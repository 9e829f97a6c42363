#include "plugin/ParameterTable.h"
#include "plugin/VarnocAudioProcessor.h"

#include <cmath>

namespace params
{
namespace
{
    // A band's nine, in index order.
    const Row bandRows[perBand] = {
        { "attack",    "attack time",    0.42f, false, Rule::attack,        Readout::attackTime },
        { "release",   "release time",   0.6f,  false, Rule::release,       Readout::releaseTime },
        { "fxmix",     "compressor mix", 1.0f,  false, Rule::compressorMix, Readout::mixPercent },
        { "add",       "dry band added", 0.0f,  false, Rule::addAmount,     Readout::addDecibels },
        { "gain",      "band gain",      0.5f,  false, Rule::bandGain,      Readout::gainDecibels },
        { "thresh",    "threshold",      1.0f,  false, Rule::threshold,     Readout::thresholdDecibels },
        { "ratio",     "ratio",          1.0f,  false, Rule::ratio,         Readout::ratio },
        { "limonoff",  "band limiter",   0.0f,  true,  Rule::limiter,       Readout::onOff },
        { "chanonoff", "band on",        1.0f,  true,  Rule::bandSwitch,    Readout::onOff },
    };

    // Indices 27 to 34.
    const Row globalRows[numParameters - numBands * perBand] = {
        { "MainInGain", "input gain",     0.25f, false, Rule::inputGain,     Readout::inputDecibels },
        { "MakeUpGain", "make-up gain",   0.0f,  false, Rule::makeUpGain,    Readout::makeUpDecibels },
        { "FinalMix",   "final mix",      1.0f,  false, Rule::finalMix,      Readout::finalMixPercent },
        { "Fq_Low",     "low crossover",  0.03f, false, Rule::lowCrossover,  Readout::crossoverHertz },
        { "Fq_High",    "high crossover", 0.4f,  false, Rule::highCrossover, Readout::crossoverHertz },
        { "MainOnOff",  "processing",     1.0f,  true,  Rule::processing,    Readout::onOff },
        { "not-used",   "(unused)",       0.5f,  false, Rule::unused,        Readout::plain },
        { "not-used",   "(unused)",       0.5f,  false, Rule::unused,        Readout::plain },
    };

    const Row outOfRange { "", "", 0.0f, false, Rule::unused, Readout::plain };
} // namespace

const Row& row (int index) noexcept
{
    if (! isValidIndex (index))
        return outOfRange;
    if (index < numBands * perBand)
        return bandRows[index % perBand];
    return globalRows[index - numBands * perBand];
}

juce::String name (int index)
{
    if (! isValidIndex (index))
        return {};
    if (index < numBands * perBand)
        return juce::String (row (index).name) + "_" + juce::String (index / perBand);
    return row (index).name;
}

juce::String hostId (int index)
{
    if (row (index).rule == Rule::unused && isValidIndex (index))
        return "not_used_" + juce::String (index);
    return name (index);
}

float defaultValue (int index) { return row (index).defaultValue; }
bool isSwitch (int index) noexcept { return row (index).isSwitch; }

double readoutInverse (Readout readout, double x) noexcept
{
    constexpr double labelSampleRate = 44100.0; // the time readouts ignore the host's rate

    switch (readout)
    {
        case Readout::attackTime:  // tenths = -301030.1 / (log10 (1 - 10^(-0.002 - 2v)) * 44100)
        {
            const double coefficient = 1.0 - std::pow (10.0, -301030.1 / (10.0 * x * labelSampleRate));
            return (-0.002 - std::log10 (coefficient)) / 2.0;
        }
        case Readout::releaseTime: // ms = -301.0301 / (log10 (1 - 10^(-2 - 3v)) * 44100)
        {
            const double coefficient = 1.0 - std::pow (10.0, -301.0301 / (x * labelSampleRate));
            return (-2.0 - std::log10 (coefficient)) / 3.0;
        }
        case Readout::mixPercent:
        case Readout::finalMixPercent:   return x / 100.0;
        case Readout::addDecibels:
        case Readout::makeUpDecibels:    return (std::pow (10.0, x / 20.0) - 1.0) / 2.0;
        case Readout::gainDecibels:      return std::pow (10.0, x / 20.0) / 2.0;
        case Readout::inputDecibels:     return std::pow (10.0, x / 20.0) / 4.0;
        case Readout::thresholdDecibels: return (x + 25.0) / 25.0;
        case Readout::ratio:             // x = 4 ln (1 - p)^2 + 0.8 with ln (1 - p) < 0, p = 0.7805 - 0.5805 v
        {
            const double openShare = std::exp (-std::sqrt ((x - 0.8) / 4.0));
            return (0.7805 - (1.0 - openShare)) / 0.5805;
        }
        case Readout::crossoverHertz:    return std::pow (10.0, x / 36000.0) - 1.0;
        case Readout::onOff:
        case Readout::plain:             return x;
    }
    return x;
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
    const int band = index / perBand; // band rows only
    const auto stage = [&p, band] (int number) -> DynamicsUnit& { return *p.bandDynamics[(size_t) (band + 3 * (number - 1))]; };
    constexpr auto relaxed = std::memory_order_relaxed;

    switch (row (index).rule)
    {
        case Rule::attack:        setDynamics (stage (1), &DynamicsUnit::attack, v); break;
        case Rule::release:       setDynamics (stage (1), &DynamicsUnit::release, v); break;
        case Rule::compressorMix: setDynamics (stage (1), &DynamicsUnit::mix, v); break;
        case Rule::addAmount:     p.bandAddAmount[band].store (addAmount (v), relaxed); break;
        case Rule::bandGain:      p.bandGain[band].store (bandGain (v), relaxed); break;
        case Rule::threshold:     setDynamics (stage (1), &DynamicsUnit::threshold, thresholdSetting (v)); break;
        case Rule::ratio:         setDynamics (stage (1), &DynamicsUnit::ratio, ratioSetting (v)); break;
        case Rule::limiter:
            // stage 2 first, then stage 1, as the band panel does
            setDynamics (stage (2), &DynamicsUnit::limiter, limiterSetting (v));
            setDynamics (stage (1), &DynamicsUnit::limiter, limiterSetting (v));
            break;
        case Rule::bandSwitch:    p.bandLevelMultiplier[band].store (switchFactor (v), relaxed); break;
        case Rule::inputGain:     p.inputGain.store (inputGain (v), relaxed); break;
        case Rule::makeUpGain:    p.outputGain.store (outputGain (v), relaxed); break;
        case Rule::finalMix:      p.finalMix.store (v, relaxed); break;
        case Rule::lowCrossover:  p.lowCrossoverHz.store (boundedCrossoverHz (v), relaxed); break;
        case Rule::highCrossover: p.highCrossoverHz.store (boundedCrossoverHz (v), relaxed); break;
        case Rule::processing:    p.processingOn.store (switchFactor (v), relaxed); break;
        case Rule::unused:        break;
    }
}
} // namespace params
