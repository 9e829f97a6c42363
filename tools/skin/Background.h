#pragma once

// The 914 x 650 window background: chassis, band panels with every printed scale and
// caption, the meter faces, the fader and slider tracks and the crossover rail.

#include <juce_graphics/juce_graphics.h>

namespace skinbackground
{
juce::Image editorBackground();
} // namespace skinbackground
