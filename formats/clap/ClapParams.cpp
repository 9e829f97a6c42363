// clap.params: the 35 parameters with their index as id, on their own 0..1 scale, and
// the readouts' texts both ways.

#include "formats/clap/ClapInstance.h"
#include "panels/ReadoutUnits.h"
#include "plugin/ParameterTable.h"

#include <cmath>
#include <cstring>

namespace dunskara::clap
{
namespace
{
    bool isSwitch (int index)
    {
        return readout::unitOf (index) == readout::Unit::onOff;
    }

    bool isUnused (int index)
    {
        return index == params::notUsed33 || index == params::notUsed34;
    }

    const char* moduleOf (int index)
    {
        static const char* const bands[] = { "Low band", "Mid band", "High band" };
        return index < params::numBands * params::perBand ? bands[index / params::perBand] : "Global";
    }

    void copyText (char* destination, std::size_t capacity, const char* text)
    {
        std::strncpy (destination, text, capacity - 1);
        destination[capacity - 1] = '\0';
    }

    Instance* mainThreadInstance (const clap_plugin_t* plugin, const char* function)
    {
        auto* instance = Instance::from (plugin);
        return instance != nullptr && instance->checkInitialised (function) && instance->checkMainThread (function)
                   ? instance : nullptr;
    }

    uint32_t count (const clap_plugin_t* plugin)
    {
        return mainThreadInstance (plugin, "params.count") != nullptr ? (uint32_t) params::numParameters : 0u;
    }

    bool getInfo (const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info)
    {
        if (info == nullptr || index >= (uint32_t) params::numParameters || mainThreadInstance (plugin, "params.get_info") == nullptr)
            return false;

        const int i = (int) index;
        *info = {};
        info->id = index;
        info->flags = isUnused (i) ? (uint32_t) CLAP_PARAM_IS_HIDDEN
                    : isSwitch (i) ? (uint32_t) (CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE)
                                   : (uint32_t) CLAP_PARAM_IS_AUTOMATABLE;
        info->cookie = nullptr;
        copyText (info->name, sizeof (info->name), params::name (i).toRawUTF8());
        copyText (info->module, sizeof (info->module), moduleOf (i));
        info->min_value = 0.0;
        info->max_value = 1.0;
        info->default_value = params::defaultValue (i);
        return true;
    }

    bool getValue (const clap_plugin_t* plugin, clap_id id, double* value)
    {
        auto* instance = mainThreadInstance (plugin, "params.get_value");
        if (instance == nullptr || value == nullptr || id >= (clap_id) params::numParameters)
            return false;
        // A restored chunk may hold values outside 0..1; the host is told the value in range.
        const float stored = instance->processor->getParameter ((int) id);
        *value = std::isfinite (stored) ? juce::jlimit (0.0, 1.0, (double) stored) : (double) params::defaultValue ((int) id);
        return true;
    }

    bool valueToText (const clap_plugin_t* plugin, clap_id id, double value, char* buffer, uint32_t capacity)
    {
        if (buffer == nullptr || capacity == 0 || id >= (clap_id) params::numParameters || ! std::isfinite (value)
            || mainThreadInstance (plugin, "params.value_to_text") == nullptr)
            return false;
        const auto text = readout::spacedText ((int) id, (float) juce::jlimit (0.0, 1.0, value));
        copyText (buffer, capacity, text.toRawUTF8());
        return true;
    }

    bool textToValue (const clap_plugin_t* plugin, clap_id id, const char* text, double* value)
    {
        if (text == nullptr || value == nullptr || id >= (clap_id) params::numParameters
            || mainThreadInstance (plugin, "params.text_to_value") == nullptr)
            return false;
        const auto parsed = readout::parse ((int) id, juce::String::fromUTF8 (text), readout::Reach::parameter);
        if (! parsed.ok())
            return false;
        *value = parsed.value;
        return true;
    }

    void flush (const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out)
    {
        auto* instance = Instance::from (plugin);
        if (instance == nullptr || ! instance->checkInitialised ("params.flush"))
            return;
        // Inactive, flush belongs to the main thread; active, to the audio thread.
        if (! instance->active.load() && ! instance->checkMainThread ("params.flush"))
            return;

        if (in != nullptr && in->size != nullptr && in->get != nullptr)
            for (uint32_t i = 0, n = in->size (in); i < n; ++i)
                instance->applyInputEvent (in->get (in, i));
        instance->sendEditorEvents (out);
    }
} // namespace

const clap_plugin_params_t paramsExtension { count, getInfo, getValue, valueToText, textToValue, flush };
} // namespace dunskara::clap
