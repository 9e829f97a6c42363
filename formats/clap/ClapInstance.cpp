#include "formats/clap/ClapInstance.h"

#include "formats/clap/ClapDescriptor.h"
#include "formats/common/EditorWindow.h"
#include "plugin/ParameterTable.h"

#include <cmath>

namespace dunskara::clap
{
Instance::Instance (const clap_host_t* hostToUse) : host (hostToUse)
{
    plugin.desc = &pluginDescriptor;
    plugin.plugin_data = this;
    fillPluginFunctions (plugin);
}

Instance::~Instance()
{
    if (processor == nullptr)
        return;

    processor->removeListener (this);
    JuceRuntime::callOnMessageThread ([this]
    {
        window.reset();
        processor.reset();
    });
}

Instance* Instance::from (const clap_plugin_t* p) noexcept
{
    if (p == nullptr || p->plugin_data == nullptr)
        return nullptr;
    auto* instance = static_cast<Instance*> (p->plugin_data);
    return instance->getPlugin() == p ? instance : nullptr;
}

//==============================================================================
void Instance::log (std::int32_t severity, const char* message) const
{
    if (hostExtensions.log != nullptr && hostExtensions.log->log != nullptr)
        hostExtensions.log->log (host, severity, message);
}

bool Instance::checkMainThread (const char* function) const
{
    const auto* check = hostExtensions.threadCheck;
    const bool onMain = check != nullptr && check->is_main_thread != nullptr
                            ? check->is_main_thread (host)
                            : std::this_thread::get_id() == mainThread;
    if (! onMain)
        log (CLAP_LOG_HOST_MISBEHAVING, (juce::String (function) + " called off the main thread").toRawUTF8());
    return onMain;
}

bool Instance::checkInitialised (const char* function) const
{
    if (! initialised)
        log (CLAP_LOG_HOST_MISBEHAVING, (juce::String (function) + " called before init").toRawUTF8());
    return initialised;
}

//==============================================================================
bool Instance::applyHostValue (clap_id id, double value) noexcept
{
    if (processor == nullptr || id >= (clap_id) params::numParameters || ! std::isfinite (value))
        return false;
    processor->setParameter ((int) id, (float) juce::jlimit (0.0, 1.0, value));
    return true;
}

void Instance::applyInputEvent (const clap_event_header_t* header) noexcept
{
    if (header == nullptr || header->space_id != CLAP_CORE_EVENT_SPACE_ID
        || header->type != CLAP_EVENT_PARAM_VALUE || header->size < sizeof (clap_event_param_value_t))
        return;
    const auto* event = reinterpret_cast<const clap_event_param_value_t*> (header);
    applyHostValue (event->param_id, event->value);
}

namespace
{
    bool pushGesture (const clap_output_events_t* out, uint16_t type, clap_id id) noexcept
    {
        clap_event_param_gesture_t event {};
        event.header = { sizeof (event), 0, CLAP_CORE_EVENT_SPACE_ID, type, CLAP_EVENT_IS_LIVE };
        event.param_id = id;
        return out->try_push (out, &event.header);
    }

    bool pushValue (const clap_output_events_t* out, clap_id id, double value) noexcept
    {
        clap_event_param_value_t event {};
        event.header = { sizeof (event), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, CLAP_EVENT_IS_LIVE };
        event.param_id = id;
        event.cookie = nullptr;
        event.note_id = -1;
        event.port_index = event.channel = event.key = -1;
        event.value = std::isfinite (value) ? juce::jlimit (0.0, 1.0, value) : (double) params::defaultValue ((int) id);
        return out->try_push (out, &event.header);
    }
} // namespace

void Instance::sendEditorEvents (const clap_output_events_t* out) noexcept
{
    if (out == nullptr || out->try_push == nullptr)
        return;

    EditorEventQueue::Event event;
    while (editorEvents.peek (event))
    {
        const bool taken = event.kind == EditorEventQueue::Kind::value
                               ? pushValue (out, event.index, event.value)
                               : pushGesture (out, event.kind == EditorEventQueue::Kind::gestureBegin
                                                       ? (uint16_t) CLAP_EVENT_PARAM_GESTURE_BEGIN
                                                       : (uint16_t) CLAP_EVENT_PARAM_GESTURE_END,
                                              event.index);
        if (! taken)
            return;
        editorEvents.pop();
    }

    // Events were dropped on a full queue: the host gets every current value instead.
    if (processor != nullptr && editorEventsDropped.exchange (false))
        for (int i = 0; i < params::numParameters; ++i)
            if (! pushValue (out, (clap_id) i, processor->getParameter (i)))
            {
                editorEventsDropped = true;
                return;
            }
}

//==============================================================================
void Instance::queueEditorEvent (EditorEventQueue::Kind kind, int index, double value)
{
    if (! params::isValidIndex (index))
        return;
    if (! editorEvents.push ({ kind, (std::uint32_t) index, value }))
        editorEventsDropped = true;

    // While processing, process() hands them over anyway.
    const auto* hostParams = hostExtensions.params;
    if (! processing.load() && ! insideProcess() && hostParams != nullptr && hostParams->request_flush != nullptr)
        hostParams->request_flush (host);
}

void Instance::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value)
{
    queueEditorEvent (EditorEventQueue::Kind::value, index, value);
}

void Instance::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    queueEditorEvent (EditorEventQueue::Kind::gestureBegin, index, 0.0);
}

void Instance::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    queueEditorEvent (EditorEventQueue::Kind::gestureEnd, index, 0.0);
}

void Instance::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details)
{
    // A program change or a restored state replaced values behind the host's back.
    if (! details.programChanged && ! details.parameterInfoChanged)
        return;
    valuesChangedInside = true;
    if (host->request_callback != nullptr)
        host->request_callback (host);
}
} // namespace dunskara::clap
