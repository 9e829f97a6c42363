#pragma once

#include <juce_graphics/juce_graphics.h>

class VarnocAudioProcessor;

// Draws the whole 914 x 650 editor window for a processor without showing it: the
// editor is created (its construction mirrors the processor's current parameters),
// optionally left to run the message loop for settleMilliseconds so that the needle
// meters can move, captured and destroyed again. Message thread only; needs JUCE's
// GUI initialised (juce::ScopedJuceInitialiser_GUI). Returns an ARGB image.
juce::Image renderEditorSnapshot (VarnocAudioProcessor& processor, int settleMilliseconds = 0);
