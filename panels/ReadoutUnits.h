#pragma once

#include <juce_core/juce_core.h>

// Values in the units the readouts show, both ways: the text for a parameter value,
// and the parameter value for a typed text ("-12dB", "4:1", "2.5kHz", "on"). Typed
// numbers go through the exact inverse of the readout rule (display namespace), so a
// text copied from a readout comes back as a value that shows that same text.
namespace readout
{
enum class Unit { none, milliseconds, percent, decibels, ratio, hertz, onOff };

Unit unitOf (int index);
juce::String unitName (Unit unit);  // "ms", "%", "dB", ":1", "Hz", "on/off", ""
juce::String title (int index);     // what the readout shows: "attack time", "threshold"

// The readout's text with its unit always written out (the gain and threshold labels
// leave it off): "2.7 ms", "-12.5dB", "4.00:1", "462Hz", "on". Unused parameters: "0.50".
juce::String text (int index, float v);

// The same text with a space between the number and its unit, as hosts list values:
// "-16.3 dB", "10.1 ms", "5254 Hz", "100 %". The ratio keeps "4.00:1"; parse() reads both.
juce::String spacedText (int index, float v);

// The readout's ends, as it shows them: "-25.0dB to 0.0dB".
juce::String rangeText (int index);

// A shell-ready example value for the parameter: "-12.5dB".
juce::String exampleText (int index);

struct Parsed
{
    float value = 0.0f;
    juce::String error; // empty when the text was understood; says what is accepted

    bool ok() const noexcept { return error.isEmpty(); }
};

// A typed value for parameter `index`: a number with the readout's unit, or a plain
// number from 0 to 1 (the parameter's own scale). For the ratio a plain number above 1
// is the ratio itself, and the switches take on/off.
// How far typed values may go: as far as the controls reach (the crossovers stop short
// of 0), or over the parameter's whole 0..1 scale, as a host may set it.
enum class Reach { drag, parameter };

// What becomes of a readable value beyond that reach: refused with the range, or
// limited to the nearer end, as a value typed on a control is.
enum class Beyond { refuse, limit };

Parsed parse (int index, const juce::String& typed, Reach reach = Reach::drag, Beyond beyond = Beyond::refuse);
} // namespace readout
