#pragma once

#include <juce_core/juce_core.h>

class VarnocAudioProcessor;

// One place for every fact about a parameter: one row each (name, default, switch or
// not, the rule that turns its 0..1 value into the value the signal chain reads, and
// the readout that shows it), from which the processor, the window, the renderer and
// the format layers all take what they need. A new parameter is one more row.
namespace params
{
constexpr int numParameters = 35;
constexpr int numPrograms   = 10;
constexpr int numBands      = 3;
constexpr int perBand       = 9;

// Position of a band parameter inside its band's block of nine.
enum BandParameter
{
    attack = 0, release, fxmix, add, gain, thresh, ratio, limonoff, chanonoff
};

enum GlobalParameter
{
    mainInGain = 27, makeUpGain, finalMix, fqLow, fqHigh, mainOnOff, notUsed33, notUsed34
};

constexpr int bandIndex (int band, BandParameter p) noexcept { return perBand * band + p; }
constexpr bool isValidIndex (int index) noexcept { return index >= 0 && index < numParameters; }

// How a value reaches the signal chain.
enum class Rule
{
    attack, release, compressorMix, addAmount, bandGain, threshold, ratio, limiter, bandSwitch,
    inputGain, makeUpGain, finalMix, lowCrossover, highCrossover, processing, unused
};

// How a value is shown: each readout has its text (panels/DisplayText) and its exact
// inverse (readoutInverse below).
enum class Readout
{
    attackTime, releaseTime, mixPercent, addDecibels, gainDecibels, thresholdDecibels, ratio, onOff,
    inputDecibels, makeUpDecibels, finalMixPercent, crossoverHertz, plain
};

struct Row
{
    const char* name;     // band rows without the band digit ("attack" for "attack_0")
    const char* title;    // what the readout shows, for people: "attack time"
    float defaultValue;
    bool isSwitch;        // shown by hosts as a two-state switch; every value above 0 is on
    Rule rule;
    Readout readout;
};

// The row of parameter `index`; out-of-range indices get the unused row.
const Row& row (int index) noexcept;

juce::String name (int index);    // "attack_0", "MainInGain", "not-used"; empty when out of range
juce::String hostId (int index);  // unique, starts with a letter; saved by hosts, never change
float defaultValue (int index);   // 0 when out of range
bool isSwitch (int index) noexcept;

// 20 / ln 10: decibels are computed as ln (x) times this.
constexpr double decibelsPerNeper = 8.685889638065037;

// The crossover handles' track: positions 0 to 328 in whole pixels, of which a drag
// reaches 2 at the lowest.
constexpr int crossoverTrackLength = 328;
constexpr int crossoverDragStart = 2;

// The smallest crossover value a drag can reach. Lower values, possible from a host or
// a saved chunk, would put a filter pole on z = 1.
constexpr float minimumCrossoverValue = static_cast<float> (crossoverDragStart) / static_cast<float> (crossoverTrackLength);

// The value of a readout's rule for a number x in the unit it shows, in double and
// unrounded (its exact inverse): threshold -12.5 (dB) gives 0.5. Switches and plain
// readouts give x back.
double readoutInverse (Readout readout, double x) noexcept;

// Conversions from a parameter value v to the signal chain's values.
float thresholdSetting (float v) noexcept;  // 0.624f v + 0.376f
float ratioSetting (float v) noexcept;      // 0.7805f - 0.5805f v
float limiterSetting (float v) noexcept;    // 0.65f when on, 1 when off
float switchFactor (float v) noexcept;      // 1 when v > 0, else 0
float addAmount (float v) noexcept;         // 2 v
float bandGain (float v) noexcept;          // 2 v
float inputGain (float v) noexcept;         // 4 v
float outputGain (float v) noexcept;        // 1 + 2 v
double crossoverHz (float v) noexcept;      // 36000 log10 (1 + v), exact as the label shows it
double boundedCrossoverHz (float v) noexcept; // the same, never below the lowest drag position

// A stored value as the rules below take it: limited to 0..1, NaN as the default.
float unitValue (int index, float v) noexcept;

// Writes the signal-chain value(s) of parameter `index` from v, first limited to 0..1
// (the stored value itself stays as given); dynamics settings are followed by a fresh
// derivation of that unit's coefficients. Out-of-range indices and the two unused
// parameters do nothing.
void applyToProcessor (VarnocAudioProcessor& processor, int index, float v);
} // namespace params
