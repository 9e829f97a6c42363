#include "panels/ReadoutUnits.h"

#include "panels/DisplayText.h"
#include "plugin/ParameterTable.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace readout
{
namespace
{
    enum class Kind { attack, release, mix, add, gain, threshold, ratio, onOff,
                      inputGain, makeUpGain, finalMix, crossover, unused };

    Kind kindOf (int index)
    {
        if (index >= 0 && index < params::numBands * params::perBand)
        {
            switch (static_cast<params::BandParameter> (index % params::perBand))
            {
                case params::attack:    return Kind::attack;
                case params::release:   return Kind::release;
                case params::fxmix:     return Kind::mix;
                case params::add:       return Kind::add;
                case params::gain:      return Kind::gain;
                case params::thresh:    return Kind::threshold;
                case params::ratio:     return Kind::ratio;
                case params::limonoff:
                case params::chanonoff: return Kind::onOff;
            }
        }
        switch (index)
        {
            case params::mainInGain: return Kind::inputGain;
            case params::makeUpGain: return Kind::makeUpGain;
            case params::finalMix:   return Kind::finalMix;
            case params::fqLow:
            case params::fqHigh:     return Kind::crossover;
            case params::mainOnOff:  return Kind::onOff;
            default:                 return Kind::unused;
        }
    }

    constexpr double labelSampleRate = 44100.0; // as in the time readouts

    // The readout rules solved for v, in double and unrounded. x is in the unit shown.
    double inverse (Kind kind, double x)
    {
        switch (kind)
        {
            case Kind::attack:     // tenths = -301030.1 / (log10 (1 - 10^(-0.002 - 2v)) * 44100)
            {
                const double coefficient = 1.0 - std::pow (10.0, -301030.1 / (10.0 * x * labelSampleRate));
                return (-0.002 - std::log10 (coefficient)) / 2.0;
            }
            case Kind::release:    // ms = -301.0301 / (log10 (1 - 10^(-2 - 3v)) * 44100)
            {
                const double coefficient = 1.0 - std::pow (10.0, -301.0301 / (x * labelSampleRate));
                return (-2.0 - std::log10 (coefficient)) / 3.0;
            }
            case Kind::mix:
            case Kind::finalMix:   return x / 100.0;
            case Kind::add:
            case Kind::makeUpGain: return (std::pow (10.0, x / 20.0) - 1.0) / 2.0;
            case Kind::gain:       return std::pow (10.0, x / 20.0) / 2.0;
            case Kind::inputGain:  return std::pow (10.0, x / 20.0) / 4.0;
            case Kind::threshold:  return (x + 25.0) / 25.0;
            case Kind::ratio:      // x = 4 ln(1 - p)^2 + 0.8 with ln(1 - p) < 0, p = 0.7805 - 0.5805 v
            {
                const double openShare = std::exp (-std::sqrt ((x - 0.8) / 4.0));
                return (0.7805 - (1.0 - openShare)) / 0.5805;
            }
            case Kind::crossover:  return std::pow (10.0, x / 36000.0) - 1.0;
            case Kind::onOff:
            case Kind::unused:     return x;
        }
        return x;
    }

    juce::String displayText (Kind kind, float v)
    {
        switch (kind)
        {
            case Kind::attack:     return display::attackText (v);
            case Kind::release:    return display::releaseText (v);
            case Kind::mix:        return display::mixText (v);
            case Kind::add:        return display::addText (v);
            case Kind::gain:       return display::gainText (v) + "dB";
            case Kind::threshold:
            {
                const auto shown = display::thresholdText (v);
                return shown.endsWith ("dB") ? shown : shown + "dB";
            }
            case Kind::ratio:      return display::ratioText (v) + ":1";
            case Kind::onOff:      return v > 0.0f ? "on" : "off";
            case Kind::inputGain:  return display::inputGainText (v);
            case Kind::makeUpGain: return display::makeUpGainText (v);
            case Kind::finalMix:   return display::finalMixText (v);
            case Kind::crossover:  return display::crossoverText (v);
            case Kind::unused:     return juce::String (v, 2);
        }
        return {};
    }

    // The number at the start of a text and where it ends; nothing when there is none.
    std::optional<double> leadingNumber (const std::string& text, size_t& end)
    {
        const char* start = text.c_str();
        char* stop = nullptr;
        errno = 0;
        const double x = std::strtod (start, &stop);
        if (stop == start || errno == ERANGE)
            return std::nullopt;
        end = static_cast<size_t> (stop - start);
        return x;
    }

    // The number a readout shows for v (1 or 0 for a switch).
    double shownNumber (Kind kind, float v)
    {
        if (kind == Kind::onOff)
            return v > 0.0f ? 1.0 : 0.0;
        size_t end = 0;
        return leadingNumber (displayText (kind, v).toStdString(), end).value_or (std::nan (""));
    }

    // Equal as shown, so "-0.0" (just below the top of the threshold) is not "0.0".
    bool sameNumber (double a, double b)
    {
        return std::abs (a - b) <= 1.0e-9 * std::max (1.0, std::abs (b)) && std::signbit (a) == std::signbit (b);
    }

    // Float rounding inside a readout rule can put the exact inverse one or two steps
    // below a truncation edge, where the readout shows the next lower number. Walks a
    // few float steps each way for the nearest value that shows x; keeps v otherwise.
    float nearestShowing (Kind kind, float v, double x)
    {
        if (sameNumber (shownNumber (kind, v), x))
            return v;
        float below = v, above = v;
        for (int step = 0; step < 256; ++step)
        {
            above = std::nextafter (above, 2.0f);
            if (above <= 1.0f && sameNumber (shownNumber (kind, above), x))
                return above;
            below = std::nextafter (below, -1.0f);
            if (below >= 0.0f && sameNumber (shownNumber (kind, below), x))
                return below;
        }
        return v;
    }

    // The scale factor a unit suffix applies to reach the readout's unit, or 0 when
    // the suffix does not belong to this kind of readout.
    double suffixScale (Unit unit, const juce::String& suffix)
    {
        const auto s = suffix.toLowerCase();
        switch (unit)
        {
            case Unit::milliseconds: return s == "ms" ? 1.0 : s == "s" ? 1000.0 : 0.0;
            case Unit::percent:      return s == "%" ? 1.0 : 0.0;
            case Unit::decibels:     return s == "db" ? 1.0 : 0.0;
            case Unit::ratio:        return s == ":1" ? 1.0 : 0.0;
            case Unit::hertz:        return s == "hz" ? 1.0 : s == "khz" ? 1000.0 : 0.0;
            case Unit::onOff:
            case Unit::none:         return 0.0;
        }
        return 0.0;
    }

    // The readout's ends; the crossovers start at the lowest position a drag reaches.
    float lowestValue (Kind kind, Reach reach)
    {
        return kind == Kind::crossover && reach == Reach::drag ? params::minimumCrossoverValue : 0.0f;
    }

    std::pair<double, double> shownRange (int index, Reach reach)
    {
        const auto kind = kindOf (index);
        const float lowest = lowestValue (kind, reach);
        const double a = shownNumber (kind, lowest), b = shownNumber (kind, 1.0f);
        return { std::min (a, b), std::max (a, b) };
    }

    // Texts of the readout's two ends in order of their numbers.
    std::pair<juce::String, juce::String> shownRangeTexts (int index)
    {
        const auto kind = kindOf (index);
        const float lowest = kind == Kind::crossover ? params::minimumCrossoverValue : 0.0f;
        auto a = text (index, lowest), b = text (index, 1.0f);
        if (kind == Kind::gain || kind == Kind::inputGain)
            a = "-inf dB"; // the readout stops at -30 dB, the control goes on to silence
        if (shownNumber (kind, lowest) > shownNumber (kind, 1.0f))
            std::swap (a, b);
        return { a, b };
    }
} // namespace

Unit unitOf (int index)
{
    switch (kindOf (index))
    {
        case Kind::attack:
        case Kind::release:    return Unit::milliseconds;
        case Kind::mix:
        case Kind::finalMix:   return Unit::percent;
        case Kind::add:
        case Kind::gain:
        case Kind::threshold:
        case Kind::inputGain:
        case Kind::makeUpGain: return Unit::decibels;
        case Kind::ratio:      return Unit::ratio;
        case Kind::crossover:  return Unit::hertz;
        case Kind::onOff:      return Unit::onOff;
        case Kind::unused:     return Unit::none;
    }
    return Unit::none;
}

juce::String unitName (Unit unit)
{
    switch (unit)
    {
        case Unit::milliseconds: return "ms";
        case Unit::percent:      return "%";
        case Unit::decibels:     return "dB";
        case Unit::ratio:        return ":1";
        case Unit::hertz:        return "Hz";
        case Unit::onOff:        return "on/off";
        case Unit::none:         return {};
    }
    return {};
}

juce::String title (int index)
{
    switch (kindOf (index))
    {
        case Kind::attack:     return "attack time";
        case Kind::release:    return "release time";
        case Kind::mix:        return "compressor mix";
        case Kind::add:        return "dry band added";
        case Kind::gain:       return "band gain";
        case Kind::threshold:  return "threshold";
        case Kind::ratio:      return "ratio";
        case Kind::onOff:      return index == params::mainOnOff ? "processing"
                                    : index % params::perBand == params::limonoff ? "band limiter" : "band on";
        case Kind::inputGain:  return "input gain";
        case Kind::makeUpGain: return "make-up gain";
        case Kind::finalMix:   return "final mix";
        case Kind::crossover:  return index == params::fqLow ? "low crossover" : "high crossover";
        case Kind::unused:     return "(unused)";
    }
    return {};
}

juce::String text (int index, float v)
{
    return displayText (kindOf (index), v);
}

juce::String spacedText (int index, float v)
{
    const auto shown = text (index, v);
    const auto unit = unitOf (index);
    if (unit == Unit::ratio || unit == Unit::onOff || unit == Unit::none)
        return shown;
    const auto suffix = unitName (unit);
    const auto number = shown.dropLastCharacters (suffix.length());
    if (! shown.endsWith (suffix) || number.endsWithChar (' '))
        return shown;
    return number + " " + suffix;
}

juce::String rangeText (int index)
{
    const auto kind = kindOf (index);
    if (kind == Kind::onOff)
        return "off or on";
    if (kind == Kind::unused)
        return "0 to 1";
    const auto [low, high] = shownRangeTexts (index);
    return low + " to " + high;
}

juce::String exampleText (int index)
{
    const auto kind = kindOf (index);
    if (kind == Kind::onOff)
        return "on";
    return text (index, kind == Kind::crossover ? 0.1f : 0.25f).removeCharacters (" ");
}

Parsed parse (int index, const juce::String& typed, Reach reach)
{
    const auto kind = kindOf (index);
    const auto unit = unitOf (index);
    const auto name = params::name (index);
    const auto trimmed = typed.trim();

    Parsed result;
    auto refuse = [&] (const juce::String& why)
    {
        juce::String accepted = unit == Unit::none ? juce::String ("a number from 0 to 1")
                              : unit == Unit::onOff ? juce::String ("on, off, or a number from 0 to 1")
                              : rangeText (index) + ", or a plain number from 0 to 1";
        result.error = name + " takes " + accepted + "; " + why + " '" + typed + "'";
        return result;
    };

    if (unit == Unit::onOff && (trimmed.equalsIgnoreCase ("on") || trimmed.equalsIgnoreCase ("off")))
    {
        result.value = trimmed.equalsIgnoreCase ("on") ? 1.0f : 0.0f;
        return result;
    }

    const auto utf8 = trimmed.toStdString();
    size_t end = 0;
    const auto number = leadingNumber (utf8, end);
    if (utf8.empty() || ! number)
        return refuse ("got");
    const auto suffix = juce::String::fromUTF8 (utf8.c_str() + end).trim();

    // A plain number is the 0..1 value, except a ratio above 1, which is the ratio.
    if (suffix.isEmpty() && ! (kind == Kind::ratio && *number > 1.0))
    {
        if (! (*number >= 0.0 && *number <= 1.0))
            return refuse (unit == Unit::none || unit == Unit::onOff
                               ? juce::String ("got")
                               : "a plain number is the 0..1 value, so write the unit (" + unitName (unit) + "); got");
        result.value = static_cast<float> (*number);
        return result;
    }

    const double scale = suffix.isEmpty() ? 1.0 : suffixScale (unit, suffix);
    if (scale == 0.0)
        return refuse ("'" + suffix + "' is not its unit, in");

    const double x = *number * scale;
    // The gain readouts stop at -30 dB; below that the control goes on down to silence.
    if (std::isinf (x) && x < 0.0 && (kind == Kind::gain || kind == Kind::inputGain))
        return result; // value 0
    // Within the ends as shown, or within the control's exact range beyond them (the
    // make-up gain's top shows 9.5dB but is 9.54dB).
    const auto [low, high] = shownRange (index, reach);
    const double exact = inverse (kind, x);
    const double lowest = lowestValue (kind, reach);
    if (! (x >= low && x <= high) && ! (exact >= lowest && exact <= 1.0))
        return refuse ("out of range:");

    const double v = juce::jlimit (0.0, 1.0, exact);
    result.value = nearestShowing (kind, static_cast<float> (v), x);
    return result;
}
} // namespace readout
