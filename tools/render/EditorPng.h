#pragma once

#include <juce_core/juce_core.h>

class VarnocAudioProcessor;

namespace render
{
class PendingOutput;

// Draws the plug-in window for the processor's current settings into a PNG, off screen
// (no display needed), as a screen at the given scale shows it. Needs JUCE's GUI side initialised.
juce::Result writeEditorPng (VarnocAudioProcessor& processor, PendingOutput& output, float scale = 1.0f);
} // namespace render
