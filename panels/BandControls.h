#pragma once

#include "plugin/ParameterTable.h"
#include "resources/SkinImages.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

// What each of a band panel's nine controls is: one row per control, in the order of
// the band's parameters, which is also the order in which the panel adds, refreshes
// and deletes them. The panel builds and serves every control from its row.
namespace bandcontrols
{
enum class Kind
{
    knob,   // filmstrip knob: announces changes with queued change messages
    fader,  // vertical image slider: announces changes as slider value changes
    toggle  // image switch: a click flips it; reports exactly 1 or 0
};

// The value label of a knob or fader.
struct ValueLabel
{
    const char* placeholder;            // until the first refresh
    juce::Rectangle<int> bounds;        // panel coordinates
    float fontHeight;
    int justification;                  // juce::Justification flags
    juce::uint32 colour;
    juce::String (*text) (float value);
};

struct BandControl
{
    Kind kind;
    params::BandParameter parameter;
    skinimage::Id image;     // knob strip, fader thumb, or a switch's off image
    skinimage::Id onImage;   // switches: shown while on; otherwise the same as image
    juce::Rectangle<int> bounds;
    double resetValue;       // knobs and faders: what a double-click restores
    ValueLabel label;        // knobs and faders only

    bool hasLabel() const noexcept { return label.text != nullptr; }
};

extern const std::array<BandControl, params::perBand> rows;

// The knobs' and faders' labels lie above every control; they are added in this order.
extern const std::array<params::BandParameter, 7> labelOrder;
} // namespace bandcontrols
