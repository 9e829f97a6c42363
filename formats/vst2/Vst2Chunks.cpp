#include "formats/vst2/Vst2Chunks.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <new>

namespace dunskara::vst2
{
namespace
{
// A real chunk is a few kilobytes; a size beyond this is a host error.
constexpr Vst2::VstIntPtr maxChunkBytes = 16 << 20;
} // namespace

const unsigned char* SavedChunks::keepForThisThread (const unsigned char* data, std::size_t size) noexcept
{
    auto& buffer = bufferForThisThread();

    try
    {
        buffer.bytes.assign (data, data + size);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }

    buffer.lastSave = ++saves;
    return buffer.bytes.data();
}

SavedChunks::Buffer& SavedChunks::bufferForThisThread() noexcept
{
    const auto self = std::this_thread::get_id();
    auto* oldest = &buffers.front();

    for (auto& buffer : buffers)
    {
        if (buffer.owner == self)
            return buffer;

        if (buffer.lastSave < oldest->lastSave)
            oldest = &buffer;
    }

    oldest->owner = self;  // an unused buffer when there is one
    return *oldest;
}

Vst2::VstIntPtr getChunk (Instance& instance, Vst2::VstInt32 index, void** data)
{
    *data = nullptr;
    auto* processor = instance.processor;

    if (processor == nullptr)
        return 0;

    auto& saved = instance.savedChunks;

    try
    {
        const std::lock_guard<std::mutex> lock (saved.lock);
        juce::MemoryBlock chunk;

        if (index != 0)
            processor->getCurrentProgramStateInformation (chunk);
        else
            processor->getStateInformation (chunk);

        if (chunk.isEmpty())
            return 0;

        const auto* kept = saved.keepForThisThread (static_cast<const unsigned char*> (chunk.getData()), chunk.getSize());

        if (kept == nullptr)
            return 0;

        *data = const_cast<unsigned char*> (kept);
        return (Vst2::VstIntPtr) chunk.getSize();
    }
    catch (const std::bad_alloc&)
    {
        return 0;
    }
}

Vst2::VstIntPtr setChunk (Instance& instance, Vst2::AEffect* effect, Vst2::VstInt32 index,
                          Vst2::VstIntPtr size, void* data)
{
    if (size <= 0 || size > maxChunkBytes)
        return 0;

    std::vector<unsigned char> copy;

    try
    {
        const auto* bytes = static_cast<const unsigned char*> (data);
        copy.assign (bytes, bytes + size);
    }
    catch (const std::bad_alloc&)
    {
        return 0;
    }

    const std::lock_guard<std::mutex> lock (instance.savedChunks.lock);
    return instance.dispatcher (effect, Vst2::effSetChunk, index, size, copy.data(), 0.0f);
}
} // namespace dunskara::vst2
