// The LV2 entry points that hosts see. JUCE's LV2 client (7.0.5) copies every audio
// input, writes its event output and, while suspended, clears every audio output
// without checking whether the host connected the port: a host that leaves one of
// them at null makes run() dereference it. This layer sits between the host and
// JUCE's descriptors (renamed by the build, see plugin/CMakeLists.txt) and keeps the
// host's port pointers itself. JUCE always gets a real buffer: the host's, or for an
// unconnected port a silent input, a scratch output or a scratch event buffer owned
// here. So the processor never sees a null port, whatever the host connects.
//
// The instance handle the host holds is ours, so every JUCE entry that takes a handle
// goes through here: the descriptor's functions, the state interface, and the UI's
// instance-access feature (JUCE's UI casts that pointer to its own instance).

#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/core/lv2.h"
#include "lv2/instance-access/instance-access.h"
#include "lv2/options/options.h"
#include "lv2/state/state.h"
#include "lv2/ui/ui.h"
#include "lv2/urid/urid.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

// The build renames JUCE's descriptor functions; the lv2 headers above have declared
// them under those names. Without the rename JUCE's functions and ours would collide.
#if ! defined (lv2_descriptor) || ! defined (lv2ui_descriptor)
 #error "Lv2PortGuard.cpp needs lv2_descriptor and lv2ui_descriptor renamed for JUCE's client"
#endif

namespace
{
const LV2_Descriptor* juceDescriptor()     { return lv2_descriptor (0); }
const LV2UI_Descriptor* juceUiDescriptor() { return lv2ui_descriptor (0); }
} // namespace

#undef lv2_descriptor
#undef lv2ui_descriptor

namespace
{
// JUCE's client builds its processor with the first preferred channel configuration
// and numbers its ports: audio inputs, audio outputs, event input, event output,
// latency, free-wheeling, enabled. Only the audio ports and the event output are
// read or written without a null check.
constexpr short channelConfigurations[][2] { JucePlugin_PreferredChannelConfigurations };
constexpr uint32_t numAudioInputs  = static_cast<uint32_t> (channelConfigurations[0][0]);
constexpr uint32_t numAudioOutputs = static_cast<uint32_t> (channelConfigurations[0][1]);
constexpr uint32_t numAudioPorts   = numAudioInputs + numAudioOutputs;
constexpr uint32_t eventOutputPort = numAudioPorts + 1;

// Stand-in buffers are sized to the host's maximum block length, up to this many
// frames; a longer block with an unconnected audio port yields silence.
constexpr uint32_t maxStandInFrames = 1u << 16;
constexpr std::size_t standInEventBytes = 1u << 16;

// JUCE's build helper asks for this extension to write the bundle's .ttl files; it
// takes no instance handle, so it passes straight through.
constexpr const char* juceTurtleRecallUri = "https://lv2-extensions.juce.com/turtle_recall";

struct GuardedInstance final
{
    static constexpr uint32_t tag = 0x4b536e44;  // marks handles made here

    uint32_t magic = tag;
    const LV2_Descriptor* inner = nullptr;
    LV2_Handle handle = nullptr;
    const LV2_State_Interface* state = nullptr;
    LV2_URID sequenceType = 0;

    uint32_t standInFrames = 0;      // frames usable in silence and scratch
    std::vector<float> silence;      // never written: JUCE only reads its inputs
    std::vector<float> scratch;      // written and never read
    std::vector<uint64_t> scratchEvents;  // 64-bit words: atoms are 8-byte aligned

    float* hostAudio[numAudioPorts] {};
    LV2_Atom_Sequence* hostEvents = nullptr;
    bool anyAudioUnconnected = true;
};

GuardedInstance* guarded (LV2_Handle handle) noexcept
{
    return static_cast<GuardedInstance*> (handle);
}

const void* findFeature (const LV2_Feature* const* features, const char* uri) noexcept
{
    if (features != nullptr)
        for (auto feature = features; *feature != nullptr; ++feature)
            if (std::strcmp ((*feature)->URI, uri) == 0)
                return (*feature)->data;

    return nullptr;
}

// The host's buf-size:maxBlockLength, or 0 when absent or unreadable.
uint32_t findMaxBlockLength (const LV2_Feature* const* features) noexcept
{
    const auto* map = static_cast<const LV2_URID_Map*> (findFeature (features, LV2_URID__map));
    const auto* options = static_cast<const LV2_Options_Option*> (findFeature (features, LV2_OPTIONS__options));

    if (map == nullptr || options == nullptr)
        return 0;

    const auto key = map->map (map->handle, LV2_BUF_SIZE__maxBlockLength);
    const auto intType = map->map (map->handle, LV2_ATOM__Int);
    const auto longType = map->map (map->handle, LV2_ATOM__Long);

    for (auto option = options; option->value != nullptr; ++option)
    {
        if (option->key != key)
            continue;

        int64_t value = 0;

        if (option->type == intType && option->size == sizeof (int32_t))
            value = *static_cast<const int32_t*> (option->value);
        else if (option->type == longType && option->size == sizeof (int64_t))
            value = *static_cast<const int64_t*> (option->value);

        return value > 0 ? static_cast<uint32_t> (std::min<int64_t> (value, maxStandInFrames)) : 0;
    }

    return 0;
}

void connectAudio (GuardedInstance& g, uint32_t port, void* data) noexcept
{
    g.hostAudio[port] = static_cast<float*> (data);

    auto* standIn = port < numAudioInputs ? g.silence.data() : g.scratch.data();
    g.inner->connect_port (g.handle, port, data != nullptr ? data : standIn);

    g.anyAudioUnconnected = std::any_of (std::begin (g.hostAudio), std::end (g.hostAudio),
                                         [] (const float* p) { return p == nullptr; });
}

void connectEvents (GuardedInstance& g, void* data) noexcept
{
    g.hostEvents = static_cast<LV2_Atom_Sequence*> (data);
    g.inner->connect_port (g.handle, eventOutputPort, data != nullptr ? data : g.scratchEvents.data());
}

// What run() leaves behind when the block is too long for the stand-in buffers:
// silent outputs and an empty event sequence.
void writeSilence (GuardedInstance& g, uint32_t numFrames) noexcept
{
    for (uint32_t port = numAudioInputs; port < numAudioPorts; ++port)
        if (auto* out = g.hostAudio[port])
            std::fill (out, out + numFrames, 0.0f);

    if (auto* events = g.hostEvents)
    {
        events->atom.type = g.sequenceType;
        events->atom.size = sizeof (LV2_Atom_Sequence_Body);
        events->body.unit = 0;
        events->body.pad = 0;
    }
}

//==============================================================================
LV2_Handle instantiate (const LV2_Descriptor*, double sampleRate, const char* bundlePath,
                        const LV2_Feature* const* features)
{
    const auto* inner = juceDescriptor();

    if (inner == nullptr)
        return nullptr;

    auto* g = new (std::nothrow) GuardedInstance();

    if (g == nullptr)
        return nullptr;

    g->inner = inner;
    g->standInFrames = findMaxBlockLength (features);

    try
    {
        const auto frames = std::max<std::size_t> (g->standInFrames, 1);
        g->silence.assign (frames, 0.0f);
        g->scratch.assign (frames, 0.0f);
        g->scratchEvents.assign (standInEventBytes / sizeof (uint64_t), 0);
    }
    catch (const std::bad_alloc&)
    {
        delete g;
        return nullptr;
    }

    g->handle = inner->instantiate (inner, sampleRate, bundlePath, features);

    if (g->handle == nullptr)
    {
        delete g;
        return nullptr;
    }

    if (const auto* map = static_cast<const LV2_URID_Map*> (findFeature (features, LV2_URID__map)))
        g->sequenceType = map->map (map->handle, LV2_ATOM__Sequence);

    g->state = static_cast<const LV2_State_Interface*> (inner->extension_data (LV2_STATE__interface));

    // Until the host connects them, every guarded port points at a stand-in.
    for (uint32_t port = 0; port < numAudioPorts; ++port)
        connectAudio (*g, port, nullptr);

    connectEvents (*g, nullptr);
    return g;
}

void connectPort (LV2_Handle instance, uint32_t port, void* data)
{
    auto& g = *guarded (instance);

    if (port < numAudioPorts)
        connectAudio (g, port, data);
    else if (port == eventOutputPort)
        connectEvents (g, data);
    else
        g.inner->connect_port (g.handle, port, data);
}

void activate (LV2_Handle instance)
{
    auto& g = *guarded (instance);

    if (g.inner->activate != nullptr)
        g.inner->activate (g.handle);
}

void run (LV2_Handle instance, uint32_t numFrames)
{
    auto& g = *guarded (instance);

    if (g.anyAudioUnconnected && numFrames > g.standInFrames)
    {
        writeSilence (g, numFrames);
        return;
    }

    if (g.hostEvents == nullptr)
    {
        // JUCE takes the event buffer's capacity from the atom header, as hosts set it.
        auto* events = reinterpret_cast<LV2_Atom*> (g.scratchEvents.data());
        events->type = 0;
        events->size = static_cast<uint32_t> (standInEventBytes - sizeof (LV2_Atom));
    }

    g.inner->run (g.handle, numFrames);
}

void deactivate (LV2_Handle instance)
{
    auto& g = *guarded (instance);

    if (g.inner->deactivate != nullptr)
        g.inner->deactivate (g.handle);
}

void cleanup (LV2_Handle instance)
{
    auto* g = guarded (instance);
    g->inner->cleanup (g->handle);
    delete g;
}

LV2_State_Status saveState (LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                            uint32_t flags, const LV2_Feature* const* features)
{
    const auto& g = *guarded (instance);
    return g.state != nullptr ? g.state->save (g.handle, store, handle, flags, features)
                              : LV2_STATE_ERR_UNKNOWN;
}

LV2_State_Status restoreState (LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                               LV2_State_Handle handle, uint32_t flags, const LV2_Feature* const* features)
{
    const auto& g = *guarded (instance);
    return g.state != nullptr ? g.state->restore (g.handle, retrieve, handle, flags, features)
                              : LV2_STATE_ERR_UNKNOWN;
}

// Only extensions known to be safe with our handle are offered: the state interface,
// translated here, and JUCE's handle-free recall extension.
const void* extensionData (const char* uri)
{
    static const LV2_State_Interface stateInterface { saveState, restoreState };

    if (uri == nullptr)
        return nullptr;

    if (std::strcmp (uri, LV2_STATE__interface) == 0)
        return &stateInterface;

    if (std::strcmp (uri, juceTurtleRecallUri) == 0)
        if (const auto* inner = juceDescriptor())
            return inner->extension_data (uri);

    return nullptr;
}

//==============================================================================
// JUCE's UI reaches its processor through the instance-access feature, whose data is
// the host's handle: ours. Hand it JUCE's own instance instead.
LV2UI_Handle instantiateUi (const LV2UI_Descriptor*, const char* pluginUri, const char* bundlePath,
                            LV2UI_Write_Function writeFunction, LV2UI_Controller controller,
                            LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    const auto* inner = juceUiDescriptor();

    if (inner == nullptr)
        return nullptr;

    std::vector<LV2_Feature> copies;
    std::vector<const LV2_Feature*> list;

    try
    {
        if (features != nullptr)
            for (auto feature = features; *feature != nullptr; ++feature)
                copies.push_back (**feature);

        for (auto& copy : copies)
        {
            if (std::strcmp (copy.URI, LV2_INSTANCE_ACCESS_URI) == 0 && copy.data != nullptr)
            {
                const auto* g = static_cast<const GuardedInstance*> (copy.data);

                if (g->magic == GuardedInstance::tag)
                    copy.data = g->handle;
            }

            list.push_back (&copy);
        }

        list.push_back (nullptr);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }

    return inner->instantiate (inner, pluginUri, bundlePath, writeFunction, controller, widget, list.data());
}

} // namespace

//==============================================================================
extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    const auto* inner = juceDescriptor();

    if (index != 0 || inner == nullptr)
        return nullptr;

    static const LV2_Descriptor descriptor { inner->URI, instantiate, connectPort, activate, run,
                                             deactivate, cleanup, extensionData };
    return &descriptor;
}

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    const auto* inner = juceUiDescriptor();

    if (index != 0 || inner == nullptr)
        return nullptr;

    static const LV2UI_Descriptor descriptor { inner->URI, instantiateUi, inner->cleanup,
                                               inner->port_event, inner->extension_data };
    return &descriptor;
}
