#include "formats/common/UsableChunk.h"

#include "plugin/ChunkReader.h"

namespace dunskara::format
{
bool isUsableChunk (juce::AudioProcessor& processor, const juce::MemoryBlock& data)
{
    const auto element = chunk::readChunk (data.getData(), data.getSize());
    if (! element)
        return false;
    juce::MemoryBlock own;
    processor.getStateInformation (own);
    const auto ownElement = chunk::readChunk (own.getData(), own.getSize());
    return ownElement && element->tag.equalsIgnoreCase (ownElement->tag);
}
} // namespace dunskara::format
