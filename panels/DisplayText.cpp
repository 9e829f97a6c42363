#include "panels/DisplayText.h"
#include "plugin/ParameterTable.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace display
{
namespace
{
    using params::decibelsPerNeper;
    constexpr double labelSampleRate = 44100.0;             // time labels ignore the host's rate
    constexpr double gainFloorDb = -30.0;

    juce::String format (const char* pattern, double x)
    {
        char text[64];
        std::snprintf (text, sizeof (text), pattern, x);
        return text;
    }

    // Truncation toward zero that stays defined for values no int can hold: a value
    // outside 0..1 from a saved chunk can send a logarithm to infinity or NaN.
    int truncateToInt (double x)
    {
        if (std::isnan (x))
            return 0;
        constexpr double limit = static_cast<double> (std::numeric_limits<int>::max());
        if (x >= limit)
            return std::numeric_limits<int>::max();
        if (x <= -limit)
            return -std::numeric_limits<int>::max();
        return static_cast<int> (x);
    }

    // dB of x, never below the floor (also when x is 0 or the logarithm is NaN).
    double flooredDecibels (double x)
    {
        const double db = std::log (x) * decibelsPerNeper;
        return db >= gainFloorDb ? db : gainFloorDb;
    }

    // Milliseconds for the envelope to cover half the distance, from a per-sample
    // coefficient c = 10^t with t rounded to float, as the dynamics unit derives it.
    double halfTimeQuotient (double numerator, float exponent)
    {
        const auto coefficient = static_cast<float> (std::pow (10.0, static_cast<double> (exponent)));
        return numerator / (std::log10 (1.0 - static_cast<double> (coefficient)) * labelSampleRate);
    }
} // namespace

juce::String attackText (float v)
{
    const auto exponent = static_cast<float> (static_cast<double> (-0.002f) - 2.0 * static_cast<double> (v));
    const int tenths = truncateToInt (halfTimeQuotient (-301030.1, exponent));
    return format ("%1.1f", tenths * 0.1) + " ms";
}

juce::String releaseText (float v)
{
    const auto exponent = static_cast<float> (-2.0 - 3.0 * static_cast<double> (v));
    const int milliseconds = truncateToInt (halfTimeQuotient (-301.0301, exponent));
    return juce::String (milliseconds) + " ms";
}

juce::String mixText (float v)
{
    return juce::String (truncateToInt (static_cast<double> (v) * 100.0)) + " %";
}

juce::String addText (float v)
{
    return format ("%1.1f", decibelsPerNeper * std::log (2.0 * static_cast<double> (v) + 1.0)) + "dB";
}

juce::String gainText (float v)
{
    if (v == 0.0f)
        return "-inf"; // silence: no finite number of decibels
    return format ("%1.1f", flooredDecibels (2.0 * static_cast<double> (v)));
}

juce::String thresholdText (float v)
{
    if (std::trunc (static_cast<double> (v)) == 1.0)
        return "0.0dB";
    return format ("%1.1f", 25.0 * static_cast<double> (v) - 25.0);
}

juce::String ratioText (float v)
{
    const float setting = params::ratioSetting (v);
    const auto openShare = static_cast<float> (1.0 - static_cast<double> (setting));
    const auto r = static_cast<float> (std::log (static_cast<double> (openShare)));
    const double rd = static_cast<double> (r);
    return format ("%1.2f", 4.0 * rd * rd + 0.8);
}

juce::String crossoverText (float v)
{
    return format ("%1.0f", params::crossoverHz (v)) + "Hz";
}

juce::String inputGainText (float v)
{
    if (v == 0.0f)
        return "-inf dB"; // silence: no finite number of decibels
    return format ("%1.1f", flooredDecibels (4.0 * static_cast<double> (v))) + "dB";
}

juce::String makeUpGainText (float v)
{
    return format ("%1.1f", std::log (1.0 + 2.0 * static_cast<double> (v)) * decibelsPerNeper) + "dB";
}

juce::String finalMixText (float v)
{
    return format ("%1.1f", 100.0 * static_cast<double> (v)) + "%";
}

juce::String text (int index, float v)
{
    using params::Readout;
    switch (params::row (index).readout)
    {
        case Readout::attackTime:        return attackText (v);
        case Readout::releaseTime:       return releaseText (v);
        case Readout::mixPercent:        return mixText (v);
        case Readout::addDecibels:       return addText (v);
        case Readout::gainDecibels:      return gainText (v);
        case Readout::thresholdDecibels: return thresholdText (v);
        case Readout::ratio:             return ratioText (v);
        case Readout::onOff:             return v > 0.0f ? "on" : "off";
        case Readout::inputDecibels:     return inputGainText (v);
        case Readout::makeUpDecibels:    return makeUpGainText (v);
        case Readout::finalMixPercent:   return finalMixText (v);
        case Readout::crossoverHertz:    return crossoverText (v);
        case Readout::plain:             return juce::String (v, 2);
    }
    return {};
}
} // namespace display
