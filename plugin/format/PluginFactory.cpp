#include "plugin/VarnocAudioProcessor.h"

// The factory that every plug-in format's wrapper calls.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VarnocAudioProcessor();
}
