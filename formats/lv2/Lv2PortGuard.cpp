// The LV2 entry points that hosts see. They sit between the host and JUCE's LV2 client
// (its descriptor functions renamed by the build, see Lv2.cmake) and absorb
// what JUCE 7.0.5's client does not handle:
//
// - Ports: JUCE copies every audio input, writes its event output and, while suspended,
//   clears every audio output without checking that the host connected the port. We keep
//   the host's port pointers and give JUCE a real buffer for every unconnected one: a
//   silent input, a scratch output or a scratch event buffer owned here.
// - Features and block length (Lv2HostFeatures): JUCE sees a usable maxBlockLength, and
//   no run of JUCE's is longer: a longer host block runs in pieces of that length.
// - Input events (Lv2AtomCheck): a sequence whose events or properties claim more bytes
//   than they have reaches JUCE as an empty sequence.
// - Parameters (Lv2ParameterMessages): patch:Get is answered and every value change the
//   host has not been told of is sent as patch:Set.
// - State: the state string is checked before JUCE decodes it (Lv2StateString), and a
//   restore runs under the processor's callback lock, so that no block is processed on
//   a half-restored state and the first block after the restore has all its values.
// - No exception crosses into the host.
//
// The instance handle the host holds is ours, so every JUCE entry that takes a handle
// goes through here: the descriptor's functions, the state interface, and the UI's
// instance-access feature (JUCE's UI casts that pointer to its own instance).

#include "Lv2AtomCheck.h"
#include "Lv2HostFeatures.h"
#include "Lv2ParameterMessages.h"
#include "formats/common/PluginFactory.h"
#include "Lv2StateString.h"

#include "lv2/atom/atom.h"
#include "lv2/core/lv2.h"
#include "lv2/instance-access/instance-access.h"
#include "lv2/state/state.h"
#include "lv2/ui/ui.h"
#include "lv2/urid/urid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
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
using namespace dunskara::lv2;

// JUCE's client builds its processor with the first preferred channel configuration
// and numbers its ports: audio inputs, audio outputs, event input, event output,
// latency, free-wheeling, enabled.
constexpr short channelConfigurations[][2] { JucePlugin_PreferredChannelConfigurations };
constexpr uint32_t numAudioInputs  = static_cast<uint32_t> (channelConfigurations[0][0]);
constexpr uint32_t numAudioOutputs = static_cast<uint32_t> (channelConfigurations[0][1]);
constexpr uint32_t numAudioPorts   = numAudioInputs + numAudioOutputs;
constexpr uint32_t eventInputPort  = numAudioPorts;
constexpr uint32_t eventOutputPort = numAudioPorts + 1;

constexpr std::size_t standInEventBytes = 1u << 16;

// JUCE's build helper asks for this extension to write the bundle's .ttl files; it
// takes no instance handle, so it passes straight through.
constexpr const char* juceTurtleRecallUri = "https://lv2-extensions.juce.com/turtle_recall";

// Where JUCE's client keeps its state: the chunk as text, or a program preset's index.
const juce::String stateKeyUri   = juce::String (JucePlugin_LV2URI) + ":StateString";
const juce::String programKeyUri = juce::String (JucePlugin_LV2URI) + ":Program";

struct GuardedInstance final
{
    static constexpr uint32_t tag = 0x4b536e44;  // marks handles made here

    uint32_t magic = tag;
    const LV2_Descriptor* inner = nullptr;
    LV2_Handle handle = nullptr;
    const LV2_State_Interface* state = nullptr;
    juce::AudioProcessor* processor = nullptr;
    std::unique_ptr<ParameterMessages> messages;

    LV2_URID sequenceType = 0, objectType = 0, blankType = 0, stringType = 0, intType = 0;
    LV2_URID stateKey = 0, programKey = 0;

    uint32_t blockLength = 1;              // the most frames JUCE gets per run
    std::vector<float> silence;            // never written: JUCE only reads its inputs
    std::vector<float> scratch;            // written and never read
    std::vector<uint64_t> scratchEvents;   // 64-bit words: atoms are 8-byte aligned
    LV2_Atom_Sequence emptyInput {};

    float* hostAudio[numAudioPorts] {};
    const LV2_Atom_Sequence* hostEventsIn = nullptr;
    LV2_Atom_Sequence* hostEventsOut = nullptr;
};

GuardedInstance* guarded (LV2_Handle handle) noexcept
{
    return static_cast<GuardedInstance*> (handle);
}

//==============================================================================
// Port connections as JUCE sees them: the host's buffers, from `offset` frames on, or
// stand-ins for the unconnected ones.
void connectAudio (GuardedInstance& g, uint32_t port, uint32_t offset) noexcept
{
    auto* host = g.hostAudio[port];
    auto* standIn = port < numAudioInputs ? g.silence.data() : g.scratch.data();
    g.inner->connect_port (g.handle, port, host != nullptr ? host + offset : standIn);
}

void connectEventInput (GuardedInstance& g, bool useHostEvents) noexcept
{
    const void* events = useHostEvents ? static_cast<const void*> (g.hostEventsIn) : &g.emptyInput;
    g.inner->connect_port (g.handle, eventInputPort, const_cast<void*> (events));
}

void connectEventOutput (GuardedInstance& g, bool useHostEvents) noexcept
{
    void* events = useHostEvents && g.hostEventsOut != nullptr ? static_cast<void*> (g.hostEventsOut)
                                                                 : g.scratchEvents.data();
    g.inner->connect_port (g.handle, eventOutputPort, events);
}

// JUCE takes the event buffer's capacity from the atom header, as hosts set it.
void resetScratchEvents (GuardedInstance& g) noexcept
{
    auto* events = reinterpret_cast<LV2_Atom*> (g.scratchEvents.data());
    events->type = 0;
    events->size = static_cast<uint32_t> (standInEventBytes - sizeof (LV2_Atom));
}

void connectAll (GuardedInstance& g) noexcept
{
    for (uint32_t port = 0; port < numAudioPorts; ++port)
        connectAudio (g, port, 0);

    connectEventInput (g, true);
    connectEventOutput (g, true);
}

//==============================================================================
LV2_Handle instantiate (const LV2_Descriptor*, double sampleRate, const char* bundlePath,
                        const LV2_Feature* const* features)
{
    const auto* inner = juceDescriptor();

    if (inner == nullptr || ! std::isfinite (sampleRate) || sampleRate <= 0.0)
        return nullptr;

    std::unique_ptr<GuardedInstance> g;

    try
    {
        const HostFeatures hostFeatures (features);
        const auto* map = hostFeatures.map();

        if (map == nullptr)
            return nullptr;  // JUCE cannot start without one either

        g = std::make_unique<GuardedInstance>();
        g->inner = inner;
        g->blockLength = hostFeatures.blockLength();
        g->silence.assign (g->blockLength, 0.0f);
        g->scratch.assign (g->blockLength, 0.0f);
        g->scratchEvents.assign (standInEventBytes / sizeof (uint64_t), 0);

        const auto urid = [map] (const char* uri) { return map->map (map->handle, uri); };
        g->sequenceType = urid (LV2_ATOM__Sequence);
        g->objectType = urid (LV2_ATOM__Object);
        g->blankType = urid (LV2_ATOM__Blank);
        g->stringType = urid (LV2_ATOM__String);
        g->intType = urid (LV2_ATOM__Int);
        g->stateKey = urid (stateKeyUri.toRawUTF8());
        g->programKey = urid (programKeyUri.toRawUTF8());
        g->emptyInput.atom = { sizeof (LV2_Atom_Sequence_Body), g->sequenceType };

        // JUCE's client creates its processor through the shared factory, on this thread.
        dunskara::format::takeProcessorCreatedOnThisThread();
        g->handle = inner->instantiate (inner, sampleRate, bundlePath, hostFeatures.list());
        auto* created = dunskara::format::takeProcessorCreatedOnThisThread();

        if (g->handle == nullptr)
            return nullptr;

        g->processor = created;
        g->state = static_cast<const LV2_State_Interface*> (inner->extension_data (LV2_STATE__interface));

        if (g->processor != nullptr)
            g->messages = std::make_unique<ParameterMessages> (*map, *g->processor);
    }
    catch (...)
    {
        if (g != nullptr && g->handle != nullptr)
            inner->cleanup (g->handle);

        return nullptr;
    }

    // Until the host connects them, every guarded port points at a stand-in.
    connectAll (*g);
    return g.release();
}

void connectPort (LV2_Handle instance, uint32_t port, void* data)
{
    auto& g = *guarded (instance);

    if (port < numAudioPorts)
    {
        g.hostAudio[port] = static_cast<float*> (data);
        connectAudio (g, port, 0);
    }
    else if (port == eventInputPort)
    {
        g.hostEventsIn = static_cast<const LV2_Atom_Sequence*> (data);
        connectEventInput (g, true);
    }
    else if (port == eventOutputPort)
    {
        g.hostEventsOut = static_cast<LV2_Atom_Sequence*> (data);
        connectEventOutput (g, true);
    }
    else
    {
        g.inner->connect_port (g.handle, port, data);
    }
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

    // JUCE walks only atoms of the sequence type; those must be walkable.
    const auto* input = g.hostEventsIn;
    const bool isSequence = input != nullptr && input->atom.type == g.sequenceType;
    const bool inputIsSafe = ! isSequence || isWalkableSequence (*input, g.objectType, g.blankType);

    if (! inputIsSafe)
        connectEventInput (g, false);
    else if (isSequence && g.messages != nullptr)
        g.messages->readHostMessages (*input);

    // The room the host announced, before JUCE overwrites the header with what it wrote.
    const uint32_t outputCapacity = g.hostEventsOut != nullptr ? g.hostEventsOut->atom.size : 0;

    if (g.hostEventsOut == nullptr)
        resetScratchEvents (g);

    // A block longer than JUCE is prepared for runs in pieces; the host's events go with
    // the first piece, whose event output is the one the host reads.
    uint32_t done = 0;

    do
    {
        const uint32_t piece = std::min (numFrames - done, g.blockLength);

        if (done > 0)
        {
            for (uint32_t port = 0; port < numAudioPorts; ++port)
                connectAudio (g, port, done);

            connectEventInput (g, false);
            connectEventOutput (g, false);
            resetScratchEvents (g);
        }

        g.inner->run (g.handle, piece);
        done += piece;
    }
    while (done < numFrames);

    if (numFrames > g.blockLength || ! inputIsSafe)
        connectAll (g);

    if (g.messages != nullptr && g.hostEventsOut != nullptr)
        g.messages->writeMessages (*g.hostEventsOut, outputCapacity);
}

void deactivate (LV2_Handle instance)
{
    auto& g = *guarded (instance);

    if (g.inner->deactivate != nullptr)
        g.inner->deactivate (g.handle);
}

void cleanup (LV2_Handle instance)
{
    std::unique_ptr<GuardedInstance> g (guarded (instance));
    g->messages.reset();  // it refers to JUCE's processor
    g->inner->cleanup (g->handle);
}

//==============================================================================
// JUCE reports success whatever the host's store function answered; this remembers it.
struct CheckedStore
{
    LV2_State_Store_Function store;
    LV2_State_Handle handle;
    LV2_State_Status status = LV2_STATE_SUCCESS;

    static LV2_State_Status call (LV2_State_Handle h, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t flags)
    {
        auto& self = *static_cast<CheckedStore*> (h);
        const auto status = self.store (self.handle, key, value, size, type, flags);

        if (status != LV2_STATE_SUCCESS)
            self.status = status;

        return status;
    }
};

LV2_State_Status saveState (LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                            uint32_t flags, const LV2_Feature* const* features)
{
    const auto& g = *guarded (instance);

    if (g.state == nullptr || store == nullptr)
        return LV2_STATE_ERR_UNKNOWN;

    try
    {
        CheckedStore checked { store, handle };
        const auto status = g.state->save (g.handle, CheckedStore::call, &checked, flags, features);
        return status != LV2_STATE_SUCCESS ? status : checked.status;
    }
    catch (...)
    {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

// One value the host returned and we checked; JUCE reads it from here, not again from
// the host (which could answer differently the second time).
struct StateValue
{
    const void* data = nullptr;
    size_t size = 0;
    uint32_t type = 0, flags = 0;
};

struct CheckedRetrieve
{
    LV2_State_Retrieve_Function retrieve;
    LV2_State_Handle handle;
    uint32_t programKey, stateKey;
    StateValue program, state;

    StateValue fetch (uint32_t key) const
    {
        StateValue v;
        v.data = retrieve (handle, key, &v.size, &v.type, &v.flags);
        return v;
    }

    static const void* call (LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
    {
        const auto& self = *static_cast<const CheckedRetrieve*> (h);
        const auto* checked = key == self.programKey ? &self.program : key == self.stateKey ? &self.state : nullptr;

        if (checked == nullptr)
            return self.retrieve (self.handle, key, size, type, flags);

        if (size != nullptr)  *size = checked->size;
        if (type != nullptr)  *type = checked->type;
        if (flags != nullptr) *flags = checked->flags;
        return checked->data;
    }
};

LV2_State_Status restoreState (LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                               LV2_State_Handle handle, uint32_t flags, const LV2_Feature* const* features)
{
    const auto& g = *guarded (instance);

    if (g.state == nullptr || retrieve == nullptr)
        return LV2_STATE_ERR_UNKNOWN;

    try
    {
        CheckedRetrieve checked { retrieve, handle, g.programKey, g.stateKey, {}, {} };
        checked.program = checked.fetch (g.programKey);

        // JUCE takes a program preset first: an int naming one of the programs.
        const bool isProgram = checked.program.data != nullptr && checked.program.type == g.intType
                            && checked.program.size == sizeof (int32_t);

        if (isProgram)
        {
            int32_t program = 0;
            std::memcpy (&program, checked.program.data, sizeof (program));

            if (g.processor != nullptr && (program < 0 || program >= g.processor->getNumPrograms()))
                return LV2_STATE_ERR_UNKNOWN;
        }
        else
        {
            checked.program = {};
            checked.state = checked.fetch (g.stateKey);

            if (checked.state.data == nullptr)
                return LV2_STATE_ERR_NO_PROPERTY;

            if (checked.state.type != g.stringType)
                return LV2_STATE_ERR_BAD_TYPE;

            if (! isWellFormedStateString (static_cast<const char*> (checked.state.data), checked.state.size))
                return LV2_STATE_ERR_UNKNOWN;
        }

        // Whatever thread restores, a block runs either wholly before or wholly after.
        if (g.processor == nullptr)
            return g.state->restore (g.handle, CheckedRetrieve::call, &checked, flags, features);

        const juce::ScopedLock lock (g.processor->getCallbackLock());
        return g.state->restore (g.handle, CheckedRetrieve::call, &checked, flags, features);
    }
    catch (...)
    {
        return LV2_STATE_ERR_UNKNOWN;
    }
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

    if (inner == nullptr || features == nullptr)
        return nullptr;

    try
    {
        std::vector<LV2_Feature> copies;
        std::vector<const LV2_Feature*> list;

        for (auto feature = features; *feature != nullptr; ++feature)
            if ((*feature)->URI != nullptr)
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
        return inner->instantiate (inner, pluginUri, bundlePath, writeFunction, controller, widget, list.data());
    }
    catch (...)
    {
        return nullptr;
    }
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
