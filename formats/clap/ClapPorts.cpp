// Audio ports (stereo in and out, or mono in and stereo out), their two configurations,
// no note ports and no latency.

#include "formats/clap/ClapInstance.h"

#include <cstring>

namespace dunskara::clap
{
namespace
{
    constexpr clap_id mainPortId = 0;

    Instance* mainThreadInstance (const clap_plugin_t* plugin, const char* function)
    {
        auto* instance = Instance::from (plugin);
        return instance != nullptr && instance->checkInitialised (function) && instance->checkMainThread (function)
                   ? instance : nullptr;
    }

    bool isKnownLayout (clap_id id)
    {
        return id == (clap_id) PortLayout::stereo || id == (clap_id) PortLayout::monoToStereo;
    }

    uint32_t inputChannels (PortLayout layout)
    {
        return layout == PortLayout::monoToStereo ? 1u : 2u;
    }

    void describePort (PortLayout layout, bool isInput, clap_audio_port_info_t& info)
    {
        info = {};
        info.id = mainPortId;
        std::strcpy (info.name, isInput ? "Input" : "Output");
        info.flags = CLAP_AUDIO_PORT_IS_MAIN;
        info.channel_count = isInput ? inputChannels (layout) : 2u;
        info.port_type = info.channel_count == 1 ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
        // The input is copied before processing, so sharing a stereo buffer is safe.
        info.in_place_pair = layout == PortLayout::stereo ? mainPortId : CLAP_INVALID_ID;
    }

    //==============================================================================
    uint32_t portCount (const clap_plugin_t* plugin, bool)
    {
        return mainThreadInstance (plugin, "audio_ports.count") != nullptr ? 1u : 0u;
    }

    bool portGet (const clap_plugin_t* plugin, uint32_t index, bool isInput, clap_audio_port_info_t* info)
    {
        auto* instance = mainThreadInstance (plugin, "audio_ports.get");
        if (instance == nullptr || info == nullptr || index != 0)
            return false;
        describePort (instance->layout, isInput, *info);
        return true;
    }

    //==============================================================================
    uint32_t configCount (const clap_plugin_t* plugin)
    {
        return mainThreadInstance (plugin, "audio_ports_config.count") != nullptr ? 2u : 0u;
    }

    bool configGet (const clap_plugin_t* plugin, uint32_t index, clap_audio_ports_config_t* config)
    {
        if (config == nullptr || ! isKnownLayout (index) || mainThreadInstance (plugin, "audio_ports_config.get") == nullptr)
            return false;
        const auto layout = (PortLayout) index;
        *config = {};
        config->id = index;
        std::strcpy (config->name, layout == PortLayout::stereo ? "Stereo" : "Mono to stereo");
        config->input_port_count = 1;
        config->output_port_count = 1;
        config->has_main_input = true;
        config->main_input_channel_count = inputChannels (layout);
        config->main_input_port_type = config->main_input_channel_count == 1 ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
        config->has_main_output = true;
        config->main_output_channel_count = 2;
        config->main_output_port_type = CLAP_PORT_STEREO;
        return true;
    }

    bool configSelect (const clap_plugin_t* plugin, clap_id id)
    {
        auto* instance = mainThreadInstance (plugin, "audio_ports_config.select");
        if (instance == nullptr || ! isKnownLayout (id))
            return false;
        if (instance->active)
        {
            instance->log (CLAP_LOG_HOST_MISBEHAVING, "audio_ports_config.select called while active");
            return false;
        }
        instance->layout = (PortLayout) id;
        return true;
    }

    clap_id currentConfig (const clap_plugin_t* plugin)
    {
        auto* instance = mainThreadInstance (plugin, "audio_ports_config_info.current_config");
        return instance != nullptr ? (clap_id) instance->layout : CLAP_INVALID_ID;
    }

    bool configPortGet (const clap_plugin_t* plugin, clap_id id, uint32_t index, bool isInput, clap_audio_port_info_t* info)
    {
        if (info == nullptr || index != 0 || ! isKnownLayout (id)
            || mainThreadInstance (plugin, "audio_ports_config_info.get") == nullptr)
            return false;
        describePort ((PortLayout) id, isInput, *info);
        return true;
    }

    //==============================================================================
    uint32_t notePortCount (const clap_plugin_t*, bool) { return 0; }
    bool notePortGet (const clap_plugin_t*, uint32_t, bool, clap_note_port_info_t*) { return false; }

    uint32_t latency (const clap_plugin_t*) { return 0; }
} // namespace

const clap_plugin_audio_ports_t audioPortsExtension { portCount, portGet };
const clap_plugin_audio_ports_config_t audioPortsConfigExtension { configCount, configGet, configSelect };
const clap_plugin_audio_ports_config_info_t audioPortsConfigInfoExtension { currentConfig, configPortGet };
const clap_plugin_note_ports_t notePortsExtension { notePortCount, notePortGet };
const clap_plugin_latency_t latencyExtension { latency };
} // namespace dunskara::clap
