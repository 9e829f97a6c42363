// clap_plugin_t: init, destroy, activation, processing state, extensions and the
// main-thread callback. Calls out of order are refused and logged, never acted on.

#include "formats/clap/ClapInstance.h"
#include "formats/clap/ClapDescriptor.h"
#include "editor/VarnocAudioProcessorEditor.h"
#include "plugin/VarnocAudioProcessor.h"

#include <cmath>
#include <cstring>

namespace dunskara::clap
{
namespace
{
    // Longer host blocks run in pieces of this length: activate never allocates in
    // proportion to a huge max_frames_count.
    constexpr uint32_t maxPreparedFrames = 8192;

    template <typename Table>
    const Table* hostExtension (const clap_host_t* host, const char* id)
    {
        return host->get_extension != nullptr ? static_cast<const Table*> (host->get_extension (host, id)) : nullptr;
    }
} // namespace

bool initInstance (Instance& instance)
{
    if (instance.initialised)
        return true;

    instance.mainThread = std::this_thread::get_id();
    auto& ext = instance.hostExtensions;
    ext.log = hostExtension<clap_host_log_t> (instance.host, CLAP_EXT_LOG);
    ext.threadCheck = hostExtension<clap_host_thread_check_t> (instance.host, CLAP_EXT_THREAD_CHECK);
    ext.params = hostExtension<clap_host_params_t> (instance.host, CLAP_EXT_PARAMS);

    try
    {
        instance.runtime = std::make_unique<juce::SharedResourcePointer<JuceRuntime>>();
        JuceRuntime::callOnMessageThread ([&instance]
        {
            try
            {
                VarnocAudioProcessor::setEditorFactory (createVarnocEditor);
                instance.processor = std::make_unique<VarnocAudioProcessor>();
            }
            catch (...) {}
        });
    }
    catch (...) {}

    if (instance.processor == nullptr)
        return false;

    instance.processor->addListener (&instance);
    instance.initialised = true;
    return true;
}

namespace
{
    bool init (const clap_plugin_t* plugin)
    {
        auto* instance = Instance::from (plugin);
        return instance != nullptr && initInstance (*instance);
    }

    void deactivate (const clap_plugin_t* plugin);

    void destroy (const clap_plugin_t* plugin)
    {
        auto* instance = Instance::from (plugin);
        if (instance == nullptr)
            return;
        if (instance->initialised && ! instance->checkMainThread ("destroy"))
            return;
        if (instance->active)
            deactivate (plugin); // the host forgot: the processor still gets released
        delete instance;
    }

    bool activate (const clap_plugin_t* plugin, double sampleRate, uint32_t minFrames, uint32_t maxFrames)
    {
        auto* instance = Instance::from (plugin);
        if (instance == nullptr || ! instance->checkInitialised ("activate") || ! instance->checkMainThread ("activate"))
            return false;
        if (instance->active)
        {
            instance->log (CLAP_LOG_HOST_MISBEHAVING, "activate called while active");
            return false;
        }
        if (! std::isfinite (sampleRate) || sampleRate < 1.0 || sampleRate > 1.0e7 || maxFrames == 0 || minFrames > maxFrames)
        {
            instance->log (CLAP_LOG_HOST_MISBEHAVING, "activate called with an unusable sample rate or block length");
            return false;
        }

        const int frames = (int) std::min (maxFrames, maxPreparedFrames);
        auto& processor = *instance->processor;
        auto layout = processor.getBusesLayout();
        layout.inputBuses.getReference (0) = instance->layout == PortLayout::monoToStereo
                                                 ? juce::AudioChannelSet::mono()
                                                 : juce::AudioChannelSet::stereo();
        try
        {
            instance->workBuffer.assign (2 * (size_t) frames, 0.0f);
        }
        catch (...)
        {
            return false;
        }
        if (! processor.setBusesLayout (layout))
            return false;

        processor.setRateAndBufferSizeDetails (sampleRate, frames);
        processor.prepareToPlay (sampleRate, frames);
        instance->preparedFrames = frames;
        instance->processing = false;
        instance->active = true;
        return true;
    }

    void deactivate (const clap_plugin_t* plugin)
    {
        auto* instance = Instance::from (plugin);
        if (instance == nullptr || ! instance->checkInitialised ("deactivate") || ! instance->checkMainThread ("deactivate"))
            return;
        if (! instance->active)
        {
            instance->log (CLAP_LOG_HOST_MISBEHAVING, "deactivate called while inactive");
            return;
        }
        instance->active = false;
        instance->processing = false;
        instance->processor->releaseResources();
        instance->preparedFrames = 0;
    }

    bool startProcessing (const clap_plugin_t* plugin)
    {
        auto* instance = Instance::from (plugin);
        if (instance == nullptr || ! instance->active)
            return false;
        instance->processing = true;
        return true;
    }

    void stopProcessing (const clap_plugin_t* plugin)
    {
        if (auto* instance = Instance::from (plugin))
            instance->processing = false;
    }

    void reset (const clap_plugin_t* plugin)
    {
        // The processor's own reset; its filters and envelopes only restart in
        // prepareToPlay, which allocates and so cannot run on the audio thread.
        if (auto* instance = Instance::from (plugin); instance != nullptr && instance->active)
            instance->processor->reset();
    }

    const void* getExtension (const clap_plugin_t* plugin, const char* id)
    {
        auto* instance = Instance::from (plugin);
        if (instance == nullptr || id == nullptr || ! instance->initialised)
            return nullptr;

        const auto is = [id] (const char* name) { return std::strcmp (id, name) == 0; };
        if (is (CLAP_EXT_PARAMS))                 return &paramsExtension;
        if (is (CLAP_EXT_STATE))                  return &stateExtension;
        if (is (CLAP_EXT_GUI))                    return &guiExtension;
        if (is (CLAP_EXT_AUDIO_PORTS))            return &audioPortsExtension;
        if (is (CLAP_EXT_AUDIO_PORTS_CONFIG))     return &audioPortsConfigExtension;
        if (is (CLAP_EXT_AUDIO_PORTS_CONFIG_INFO) || is (CLAP_EXT_AUDIO_PORTS_CONFIG_INFO_COMPAT))
            return &audioPortsConfigInfoExtension;
        if (is (CLAP_EXT_NOTE_PORTS))             return &notePortsExtension;
        if (is (CLAP_EXT_LATENCY))                return &latencyExtension;
        return nullptr;
    }

    void onMainThread (const clap_plugin_t* plugin)
    {
        auto* instance = Instance::from (plugin);
        if (instance == nullptr || ! instance->initialised || ! instance->checkMainThread ("on_main_thread"))
            return;
        const auto* hostParams = instance->hostExtensions.params;
        if (instance->valuesChangedInside.exchange (false) && hostParams != nullptr && hostParams->rescan != nullptr)
            hostParams->rescan (instance->host, CLAP_PARAM_RESCAN_VALUES);
    }
} // namespace

void fillPluginFunctions (clap_plugin_t& plugin)
{
    plugin.init = init;
    plugin.destroy = destroy;
    plugin.activate = activate;
    plugin.deactivate = deactivate;
    plugin.start_processing = startProcessing;
    plugin.stop_processing = stopProcessing;
    plugin.reset = reset;
    plugin.process = process;
    plugin.get_extension = getExtension;
    plugin.on_main_thread = onMainThread;
}
} // namespace dunskara::clap
