#pragma once

#include <juce_graphics/juce_graphics.h>

class VarnocAudioProcessor;

constexpr float minSnapshotScale = 0.25f;
constexpr float maxSnapshotScale = 4.0f;

// Draws the whole 914 x 650 editor window for a processor without showing it: the
// editor is created (its construction mirrors the processor's current parameters),
// optionally left to run the message loop for settleMilliseconds so that the needle
// meters can move, captured and destroyed again. Message thread only; needs JUCE's
// GUI initialised (juce::ScopedJuceInitialiser_GUI). Returns an ARGB image of the
// window as a screen at the given scale shows it (2: 1828 x 1300, from the 2x skin).
juce::Image renderEditorSnapshot (VarnocAudioProcessor& processor, int settleMilliseconds = 0, float scale = 1.0f);
