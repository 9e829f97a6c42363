#pragma once

#include <juce_core/juce_core.h>

// The texts of the value labels of the editor, the band panels and the crossover
// handles. Each is a pure function of the control's 0..1 value, so that every place
// that shows a value (a gesture, a refresh, a test) prints the same characters.
// Precision follows the displays exactly: the truncations make the last digit depend
// on where values are rounded to float.
namespace display
{
// Band panel labels.
juce::String attackText (float v);     // milliseconds at 44100 Hz in tenths: "2.7 ms"
juce::String releaseText (float v);    // whole milliseconds at 44100 Hz: "70 ms"
juce::String mixText (float v);        // truncated percent: "28 %"
juce::String addText (float v);        // dB of 2v + 1: "6.0dB"
juce::String gainText (float v);       // dB of 2v, floored at -30, no unit: "-30.0"; "-inf" at 0
juce::String thresholdText (float v);  // 25v - 25, "0.0dB" at the top: "-12.5"
juce::String ratioText (float v);      // ratio from the inverted fader mapping: "10.00"

// Crossover handle label: the frequency of v in whole hertz: "95Hz".
juce::String crossoverText (float v);

// Editor labels.
juce::String inputGainText (float v);  // dB of 4v, floored at -30: "-30.0dB"; "-inf dB" at 0
juce::String makeUpGainText (float v); // dB of 1 + 2v: "9.5dB"
juce::String finalMixText (float v);   // percent with tenths: "50.0%"

// The readout of parameter `index` by its row: one of the above, "on"/"off" for a
// switch, and the plain value ("0.50") for the unused ones.
juce::String text (int index, float v);
} // namespace display
