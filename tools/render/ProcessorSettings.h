#pragma once

#include "tools/render/RenderOptions.h"

#include <juce_core/juce_core.h>

class VarnocAudioProcessor;

namespace render
{
class PendingOutput;

// Reads a saved state chunk and checks what the processor would silently ignore: the
// binary framing, the XML inside it and its root element.
juce::Result readStateChunk (const juce::File& file, juce::MemoryBlock& chunk);

// Sets every parameter whose name (as getParameterName reports it) is `name`.
juce::Result setParameterByName (VarnocAudioProcessor& processor, const juce::String& name, float value);

// The command line's settings in their fixed order: --state, --program, each --set.
// A demo render without any of them gets the demo setting instead.
juce::Result applySettings (VarnocAudioProcessor& processor, const RenderOptions& options);

// The state chunk, as a host would store it, into `output`'s temporary file.
juce::Result writeStateChunk (VarnocAudioProcessor& processor, PendingOutput& output);

// "attack_0, release_0, ..." in index order, each name once.
juce::String parameterNameList (VarnocAudioProcessor& processor);
} // namespace render
