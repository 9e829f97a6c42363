// The exported entry and the factory with its one plug-in.

#include "formats/clap/ClapDescriptor.h"
#include "formats/clap/ClapInstance.h"

#include <cstring>
#include <mutex>

namespace dunskara::clap
{
namespace
{
    const char* const features[] = { "audio-effect", "compressor", "limiter", "stereo", "mono", nullptr };

    // Hosts and wrappers may init the file several times: the count pairs init/deinit.
    std::mutex entryMutex;
    int initCount = 0;

    bool entryInitialised()
    {
        const std::lock_guard<std::mutex> lock (entryMutex);
        return initCount > 0;
    }

    uint32_t getPluginCount (const clap_plugin_factory_t* factory)
    {
        return factory != nullptr ? 1u : 0u;
    }

    const clap_plugin_descriptor_t* getPluginDescriptor (const clap_plugin_factory_t* factory, uint32_t index)
    {
        return factory != nullptr && index == 0 ? &pluginDescriptor : nullptr;
    }

    const clap_plugin_t* createPlugin (const clap_plugin_factory_t* factory, const clap_host_t* host, const char* pluginId)
    {
        if (factory == nullptr || host == nullptr || pluginId == nullptr
            || std::strcmp (pluginId, pluginDescriptor.id) != 0
            || ! clap_version_is_compatible (host->clap_version) || ! entryInitialised())
            return nullptr;

        try
        {
            return (new Instance (host))->getPlugin();
        }
        catch (...)
        {
            return nullptr;
        }
    }

    const clap_plugin_factory_t pluginFactory { getPluginCount, getPluginDescriptor, createPlugin };

    bool entryInit (const char*)
    {
        const std::lock_guard<std::mutex> lock (entryMutex);
        ++initCount;
        return true;
    }

    void entryDeinit()
    {
        // Instances hold JUCE themselves, so nothing is torn down here.
        const std::lock_guard<std::mutex> lock (entryMutex);
        if (initCount > 0)
            --initCount;
    }

    const void* entryGetFactory (const char* factoryId)
    {
        if (factoryId == nullptr || std::strcmp (factoryId, CLAP_PLUGIN_FACTORY_ID) != 0 || ! entryInitialised())
            return nullptr;
        return &pluginFactory;
    }
} // namespace

const clap_plugin_descriptor_t pluginDescriptor {
    DUNSKARA_CLAP_VERSION_INIT,
    "com.quorvane.dunskara",
    "DUNSKARA",
    "Quorvane",
    "",
    "",
    "",
    "1.0.0",
    "Three-band compressor and limiter",
    features,
};
} // namespace dunskara::clap

extern "C" DUNSKARA_CLAP_EXPORT const clap_plugin_entry_t clap_entry;
const clap_plugin_entry_t clap_entry {
    DUNSKARA_CLAP_VERSION_INIT,
    dunskara::clap::entryInit,
    dunskara::clap::entryDeinit,
    dunskara::clap::entryGetFactory,
};
