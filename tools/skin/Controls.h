#pragma once

// The control images: knob and needle filmstrips, fader and slider thumbs, switches,
// the crossover handle and the widget placeholders. All are ARGB with transparent
// surroundings, so that the background shows around them.

#include "Layout.h"

#include <juce_graphics/juce_graphics.h>

namespace skincontrols
{
juce::Image knobStrip (const skinlayout::KnobGeometry& knob);
juce::Image needleStrip (bool reduction);
juce::Image faderThumb (juce::Colour accent);
juce::Image gainThumb();
juce::Image mixThumb();
juce::Image limiterSwitch (bool on);
juce::Image channelButton (bool on);
juce::Image soloButton (bool on);
juce::Image powerButton (bool on);
juce::Image crossoverHandle();
juce::Image horizontalPlaceholder();
juce::Image verticalPlaceholder();
juce::Image rotaryPlaceholder();
} // namespace skincontrols
