// clap.state: the same chunk as the VST2 and VST3 builds (getStateInformation), so a
// state moves between formats. Streams are read and written in whatever pieces the
// host's stream takes; a load applies nothing unless the whole chunk is usable.

#include "formats/clap/ClapInstance.h"
#include "formats/common/UsableChunk.h"
#include "plugin/ChunkReader.h"

namespace dunskara::clap
{
namespace
{
    // Longer than any chunk the reader accepts (its text limit plus framing).
    constexpr std::size_t maxStateBytes = 2 * chunk::maxTextBytes;
    // A stream that takes or gives nothing this many times in a row is given up on.
    constexpr int maxIdleCalls = 64;

    bool writeAll (const clap_ostream_t& stream, const char* data, std::size_t size)
    {
        int idle = 0;
        while (size > 0)
        {
            const auto written = stream.write (&stream, data, size);
            if (written < 0 || (std::uint64_t) written > size)
                return false;
            if (written == 0 && ++idle >= maxIdleCalls)
                return false;
            if (written > 0)
                idle = 0;
            data += written;
            size -= (std::size_t) written;
        }
        return true;
    }

    bool readAll (const clap_istream_t& stream, juce::MemoryBlock& data)
    {
        char piece[4096];
        for (;;)
        {
            const auto got = stream.read (&stream, piece, sizeof (piece));
            if (got == 0)
                return true;
            if (got < 0 || (std::uint64_t) got > sizeof (piece) || data.getSize() + (std::size_t) got > maxStateBytes)
                return false;
            data.append (piece, (std::size_t) got);
        }
    }

    Instance* mainThreadInstance (const clap_plugin_t* plugin, const char* function)
    {
        auto* instance = Instance::from (plugin);
        return instance != nullptr && instance->checkInitialised (function) && instance->checkMainThread (function)
                   ? instance : nullptr;
    }

    bool save (const clap_plugin_t* plugin, const clap_ostream_t* stream)
    {
        auto* instance = mainThreadInstance (plugin, "state.save");
        if (instance == nullptr || stream == nullptr || stream->write == nullptr)
            return false;
        try
        {
            juce::MemoryBlock data;
            instance->processor->getStateInformation (data);
            return writeAll (*stream, static_cast<const char*> (data.getData()), data.getSize());
        }
        catch (...)
        {
            return false;
        }
    }

    bool load (const clap_plugin_t* plugin, const clap_istream_t* stream)
    {
        auto* instance = mainThreadInstance (plugin, "state.load");
        if (instance == nullptr || stream == nullptr || stream->read == nullptr)
            return false;
        try
        {
            juce::MemoryBlock data;
            if (! readAll (*stream, data) || ! format::isUsableChunk (*instance->processor, data))
                return false;
            instance->processor->setStateInformation (data.getData(), (int) data.getSize());
            return true;
        }
        catch (...)
        {
            return false;
        }
    }
} // namespace

const clap_plugin_state_t stateExtension { save, load };
} // namespace dunskara::clap
