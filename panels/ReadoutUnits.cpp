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
    using Kind = params::Readout;

    Kind kindOf (int index) { return params::row (index).readout; }

    // The readout with its unit always written out (the gain, threshold and ratio
    // labels leave theirs off).
    juce::String displayText (int index, float v)
    {
        const auto shown = display::text (index, v);
        switch (kindOf (index))
        {
            case Kind::gainDecibels:      return shown + "dB";
            case Kind::thresholdDecibels: return shown.endsWith ("dB") ? shown : shown + "dB";
            case Kind::ratio:             return shown + ":1";
            default:                      return shown;
        }
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
    double shownNumber (int index, float v)
    {
        if (kindOf (index) == Kind::onOff)
            return v > 0.0f ? 1.0 : 0.0;
        size_t end = 0;
        return leadingNumber (displayText (index, v).toStdString(), end).value_or (std::nan (""));
    }

    // Equal as shown, so "-0.0" (just below the top of the threshold) is not "0.0".
    bool sameNumber (double a, double b)
    {
        return std::abs (a - b) <= 1.0e-9 * std::max (1.0, std::abs (b)) && std::signbit (a) == std::signbit (b);
    }

    // Float rounding inside a readout rule can put the exact inverse one or two steps
    // below a truncation edge, where the readout shows the next lower number. Walks a
    // few float steps each way for the nearest value that shows x; keeps v otherwise.
    float nearestShowing (int index, float v, double x)
    {
        if (sameNumber (shownNumber (index, v), x))
            return v;
        float below = v, above = v;
        for (int step = 0; step < 256; ++step)
        {
            above = std::nextafter (above, 2.0f);
            if (above <= 1.0f && sameNumber (shownNumber (index, above), x))
                return above;
            below = std::nextafter (below, -1.0f);
            if (below >= 0.0f && sameNumber (shownNumber (index, below), x))
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
    float lowestValue (int index, Reach reach)
    {
        return kindOf (index) == Kind::crossoverHertz && reach == Reach::drag ? params::minimumCrossoverValue : 0.0f;
    }

    std::pair<double, double> shownRange (int index, Reach reach)
    {
        const double a = shownNumber (index, lowestValue (index, reach)), b = shownNumber (index, 1.0f);
        return { std::min (a, b), std::max (a, b) };
    }

    // Texts of the readout's two ends in order of their numbers.
    std::pair<juce::String, juce::String> shownRangeTexts (int index)
    {
        const auto kind = kindOf (index);
        const float lowest = lowestValue (index, Reach::drag);
        auto a = text (index, lowest), b = text (index, 1.0f);
        if (kind == Kind::gainDecibels || kind == Kind::inputDecibels)
            a = "-inf dB"; // the readout stops at -30 dB, the control goes on to silence
        if (shownNumber (index, lowest) > shownNumber (index, 1.0f))
            std::swap (a, b);
        return { a, b };
    }
} // namespace

Unit unitOf (int index)
{
    switch (kindOf (index))
    {
        case Kind::attackTime:
        case Kind::releaseTime:       return Unit::milliseconds;
        case Kind::mixPercent:
        case Kind::finalMixPercent:   return Unit::percent;
        case Kind::addDecibels:
        case Kind::gainDecibels:
        case Kind::thresholdDecibels:
        case Kind::inputDecibels:
        case Kind::makeUpDecibels:    return Unit::decibels;
        case Kind::ratio:             return Unit::ratio;
        case Kind::crossoverHertz:    return Unit::hertz;
        case Kind::onOff:             return Unit::onOff;
        case Kind::plain:             return Unit::none;
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
    return params::row (index).title;
}

juce::String text (int index, float v)
{
    return displayText (index, v);
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
    if (kind == Kind::plain)
        return "0 to 1";
    const auto [low, high] = shownRangeTexts (index);
    return low + " to " + high;
}

juce::String exampleText (int index)
{
    const auto kind = kindOf (index);
    if (kind == Kind::onOff)
        return "on";
    return text (index, kind == Kind::crossoverHertz ? 0.1f : 0.25f).removeCharacters (" ");
}

Parsed parse (int index, const juce::String& typed, Reach reach, Beyond beyond)
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
    if (std::isinf (x) && x < 0.0 && (kind == Kind::gainDecibels || kind == Kind::inputDecibels))
        return result; // value 0
    // Within the ends as shown, or within the control's exact range beyond them (the
    // make-up gain's top shows 9.5dB but is 9.54dB).
    const auto [low, high] = shownRange (index, reach);
    const double exact = params::readoutInverse (kind, x);
    const double lowest = lowestValue (index, reach);
    if (! (x >= low && x <= high) && ! (exact >= lowest && exact <= 1.0))
    {
        if (beyond == Beyond::refuse || std::isnan (exact))
            return refuse ("out of range:");
        result.value = static_cast<float> (exact < lowest ? lowest : 1.0);
        return result;
    }

    const double v = juce::jlimit (0.0, 1.0, exact);
    result.value = nearestShowing (index, static_cast<float> (v), x);
    return result;
}
} // namespace readout
