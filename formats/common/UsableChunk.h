#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace dunskara::format
{
// Whether the processor takes this chunk as a whole: well framed and formed, and with
// the root element of the processor's own chunks. (It ignores any other chunk without a
// word; our own layers check first, so that the host hears of a refusal.)
bool isUsableChunk (juce::AudioProcessor& processor, const juce::MemoryBlock& data);
} // namespace dunskara::format
