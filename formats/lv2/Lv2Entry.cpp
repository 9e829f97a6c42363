// lv2_descriptor and the instance's lifetime: instantiate, cleanup, extension data.

#include "formats/lv2/Lv2HostFeatures.h"
#include "formats/lv2/Lv2Instance.h"
#include "formats/lv2/Lv2UiInstance.h"
#include "editor/VarnocAudioProcessorEditor.h"

#include "lv2/atom/atom.h"
#include "lv2/state/state.h"

#include <cmath>
#include <cstring>
#include <limits>

#ifndef DUNSKARA_LV2_URI
 #error "the build defines DUNSKARA_LV2_URI, the plug-in's URI"
#endif

namespace dunskara::lv2
{
Instance::Instance()
{
    for (auto& value : seenValues)
        value.store (std::numeric_limits<float>::quiet_NaN());
}

Instance::~Instance()
{
    if (auto* ui = openUi.exchange (nullptr))
        ui->pluginGone();
    if (processor != nullptr)
        format::JuceRuntime::callOnMessageThread ([this] { processor.reset(); });
}

Instance* Instance::from (void* handle) noexcept
{
    auto* instance = static_cast<Instance*> (handle);
    return instance != nullptr && instance->magic == tag ? instance : nullptr;
}

void Instance::adoptPortValues() noexcept
{
    std::uint64_t unconnected = 0;

    for (int i = 0; i < params::numParameters; ++i)
    {
        if (const float* port = parameterPorts[i].load())
            seenValues[i].store (*port);
        else
            unconnected |= std::uint64_t { 1 } << i;
    }

    adoptNextValue.store (unconnected);
}

namespace
{
    constexpr double maxSampleRate = 1.0e7;

    LV2_Handle instantiate (const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
    {
        if (! std::isfinite (sampleRate) || sampleRate < 1.0 || sampleRate > maxSampleRate)
            return nullptr;

        const HostFeatures host (features);

        try
        {
            auto instance = std::make_unique<Instance>();

            // Without a URID map (lv2apply offers none) the instance runs, but has no state.
            if (const auto* map = host.map())
            {
                const auto urid = [map] (const char* uri) { return map->map (map->handle, uri); };
                instance->stringType = urid (LV2_ATOM__String);
                instance->intType = urid (LV2_ATOM__Int);
                instance->stateKey = urid (DUNSKARA_LV2_URI ":StateString");
                instance->programKey = urid (DUNSKARA_LV2_URI ":Program");
                instance->hasState = instance->stateKey != 0 && instance->programKey != 0;
            }

            instance->runtime = std::make_unique<juce::SharedResourcePointer<format::JuceRuntime>>();
            format::JuceRuntime::callOnMessageThread ([&instance]
            {
                try
                {
                    VarnocAudioProcessor::setEditorFactory (createVarnocEditor);
                    instance->processor = std::make_unique<VarnocAudioProcessor>();
                }
                catch (...) {}
            });

            if (instance->processor == nullptr)
                return nullptr;

            // The processor always works on two channels: a missing input reads as silence.
            auto& processor = *instance->processor;
            const auto frames = static_cast<int> (host.blockLength());
            instance->workBuffer.assign (2 * static_cast<size_t> (frames), 0.0f);
            instance->sampleRate = sampleRate;
            instance->preparedFrames = frames;
            processor.setRateAndBufferSizeDetails (sampleRate, frames);
            processor.prepareToPlay (sampleRate, frames);
            return instance.release();
        }
        catch (...)
        {
            return nullptr;
        }
    }

    void cleanup (LV2_Handle handle)
    {
        delete Instance::from (handle);
    }

    const void* extensionData (const char* uri)
    {
        if (uri != nullptr && std::strcmp (uri, LV2_STATE__interface) == 0)
            return stateInterface();

        return nullptr;
    }
} // namespace
} // namespace dunskara::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    using namespace dunskara::lv2;
    static const LV2_Descriptor descriptor { DUNSKARA_LV2_URI, instantiate, connectPort, activate,
                                             run, deactivate, cleanup, extensionData };
    return index == 0 ? &descriptor : nullptr;
}
