// Test entry point: JUCE's message manager must exist for timers, change broadcasts
// and components to work without a display.
#include "editor/VarnocAudioProcessorEditor.h"
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    VarnocAudioProcessor::setEditorFactory (createVarnocEditor); // as the plug-in formats do
    return RUN_ALL_TESTS();
}
