// A small LV2 host on Debian's lilv, as most Linux hosts are: the built bundle, one
// instance with host-owned buffers for every port (control inputs start at their
// declared defaults, as hosts set them), and the state calls hosts make.
#pragma once

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lilvhost
{
constexpr uint32_t maxBlock = 512;

// The plug-in's ports (formats/lv2/Lv2Ports.h, restated: this host links none of it).
constexpr uint32_t numParameters = 35, numBands = 3;
constexpr uint32_t firstParameterPort = 4, firstMeterPort = firstParameterPort + numParameters;
constexpr uint32_t latencyPort = firstMeterPort + 2 * numBands, numPorts = latencyPort + 1;
constexpr uint32_t levelPort (uint32_t band) { return firstMeterPort + 2 * band; }
constexpr uint32_t reductionPort (uint32_t band) { return levelPort (band) + 1; }

// The port symbols of the 35 parameters, in parameter order.
inline const char* const parameterSymbols[numParameters] {
    "attack_0", "release_0", "fxmix_0", "add_0", "gain_0", "thresh_0", "ratio_0", "limonoff_0", "chanonoff_0",
    "attack_1", "release_1", "fxmix_1", "add_1", "gain_1", "thresh_1", "ratio_1", "limonoff_1", "chanonoff_1",
    "attack_2", "release_2", "fxmix_2", "add_2", "gain_2", "thresh_2", "ratio_2", "limonoff_2", "chanonoff_2",
    "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not_used_33", "not_used_34"
};

inline int parameterIndex (const std::string& symbol)
{
    const auto* end = std::end (parameterSymbols);
    const auto* found = std::find (std::begin (parameterSymbols), end, symbol);
    return found != end ? static_cast<int> (found - std::begin (parameterSymbols)) : -1;
}

// JUCE's MemoryBlock text form: decimal size, '.', then 6 bits per character, least
// significant bit first. Empty for anything else.
inline std::string decodeJuceBase64 (const std::string& text)
{
    static const std::string alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";
    const auto dot = text.find ('.');

    if (dot == 0 || dot == std::string::npos || text.find_first_not_of ("0123456789") != dot || dot > 9)
        return {};

    std::string bytes (std::stoul (text.substr (0, dot)), '\0');

    for (size_t i = dot + 1, bit = 0; i < text.size(); ++i)
        for (size_t b = 0, value = alphabet.find (text[i]); b < 6; ++b, ++bit)
            if (value != std::string::npos && ((value >> b) & 1u) != 0 && bit / 8 < bytes.size())
                bytes[bit / 8] = static_cast<char> (bytes[bit / 8] | (1 << (bit % 8)));

    return bytes;
}

struct NodeDeleter { void operator() (LilvNode* n) const { lilv_node_free (n); } };
using Node = std::unique_ptr<LilvNode, NodeDeleter>;
struct StateDeleter { void operator() (LilvState* s) const { lilv_state_free (s); } };
using State = std::unique_ptr<LilvState, StateDeleter>;

class Host
{
public:
    static void loadWorld()
    {
        // Only the build's bundle, never an installed copy.
        setenv ("HOME", DUNSKARA_HOST_TEST_HOME, 1);
        setenv ("LV2_PATH", DUNSKARA_LV2_FOLDER, 1);
        world = lilv_world_new();
        lilv_world_load_all (world);
    }

    static void freeWorld()
    {
        lilv_world_free (world);
        world = nullptr;
    }

    static Node uri (const char* text) { return Node (lilv_new_uri (world, text)); }

    Host()
    {
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri (DUNSKARA_LV2_URI).get());
        options[0] = { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t),
                       map (LV2_ATOM__Int), &maxBlockValue };

        for (auto& channel : audio)
            channel.assign (4 * maxBlock, 0.0f);

        if (plugin != nullptr)
        {
            std::vector<float> defaults (lilv_plugin_get_num_ports (plugin), NAN);
            lilv_plugin_get_port_ranges_float (plugin, nullptr, nullptr, defaults.data());
            for (uint32_t i = 0; i < numParameters && firstParameterPort + i < defaults.size(); ++i)
                controls[i] = defaults[firstParameterPort + i];
        }
    }

    ~Host() { freeInstance(); }

    // A new instance (the current one freed), with every port connected or none.
    LilvInstance* instantiate (bool connectEverything = true, const LV2_Feature* const* chosenFeatures = nullptr)
    {
        freeInstance();
        instance = lilv_plugin_instantiate (plugin, 44100.0, chosenFeatures != nullptr ? chosenFeatures : featureList);

        if (instance != nullptr && connectEverything)
            connectAll();

        return instance;
    }

    void freeInstance()
    {
        if (instance != nullptr && active)
            lilv_instance_deactivate (instance);
        lilv_instance_free (instance);
        instance = nullptr;
        active = false;
    }

    void connectAll()
    {
        for (uint32_t port = 0; port < 4; ++port)
            lilv_instance_connect_port (instance, port, audio[port].data());
        for (uint32_t i = 0; i < numParameters; ++i)
            lilv_instance_connect_port (instance, firstParameterPort + i, &controls[i]);
        for (uint32_t i = 0; i < 2 * numBands; ++i)
            lilv_instance_connect_port (instance, firstMeterPort + i, &meters[i]);
        lilv_instance_connect_port (instance, latencyPort, &latency);
    }

    float& control (const char* symbol) { return controls[(size_t) parameterIndex (symbol)]; }

    // Two test tones into the inputs, from sample `offset` of the signal on.
    void fillInputs (uint32_t numFrames, uint32_t offset = 0)
    {
        for (uint32_t i = 0; i < std::min<uint32_t> (numFrames, (uint32_t) audio[0].size()); ++i)
        {
            audio[0][i] = 0.5f * (float) std::sin (0.01 * (offset + i));
            audio[1][i] = 0.4f * (float) std::sin (0.023 * (offset + i));
        }
    }

    // Fills the inputs and runs, activating first if needed.
    void runBlock (uint32_t numFrames, uint32_t offset = 0)
    {
        fillInputs (numFrames, offset);
        run (numFrames);
    }

    void run (uint32_t numFrames)
    {
        if (! active)
        {
            lilv_instance_activate (instance);
            active = true;
        }
        lilv_instance_run (instance, numFrames);
    }

    //==============================================================================
    // The plug-in may map URIs from its own threads.
    LV2_URID map (const char* text)
    {
        const std::lock_guard<std::mutex> lock (uriMutex);
        auto found = std::find (uris.begin(), uris.end(), text);
        if (found == uris.end())
            found = uris.insert (uris.end(), text);
        return static_cast<LV2_URID> (found - uris.begin()) + 1;
    }

    const char* unmap (LV2_URID urid)
    {
        const std::lock_guard<std::mutex> lock (uriMutex);
        return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
    }

    const LV2_State_Interface* stateInterface() const
    {
        return static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
    }

    struct Stored { uint32_t type = 0, flags = 0; std::string value; };

    // Everything the plug-in stores through its state interface, by key URI; empty
    // when it reports a failure.
    std::map<std::string, Stored> savedState()
    {
        struct Context { Host* host; std::map<std::string, Stored> values; } context { this, {} };
        const auto store = [] (LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t flags)
        {
            auto& c = *static_cast<Context*> (h);
            c.values[c.host->unmap (key)] = { type, flags, std::string (static_cast<const char*> (value), size) };
            return LV2_STATE_SUCCESS;
        };

        const auto* state = stateInterface();
        if (state == nullptr || state->save (lilv_instance_get_handle (instance), store, &context,
                                             LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, featureList) != LV2_STATE_SUCCESS)
            return {};
        return context.values;
    }

    // The state string as the plug-in stores it (with its terminating NUL).
    std::string savedStateString()
    {
        const auto values = savedState();
        const auto found = values.find (DUNSKARA_LV2_URI ":StateString");
        return found != values.end() ? found->second.value : std::string();
    }

    // The chunk inside it: "VC2!", a size, then the XML text.
    std::string savedChunk()
    {
        auto text = savedStateString();
        if (! text.empty() && text.back() == '\0')
            text.pop_back();
        return decodeJuceBase64 (text);
    }

    // One attribute's text in the saved chunk, or "(none)".
    std::string savedAttribute (const std::string& name)
    {
        const auto chunk = savedChunk();
        const auto at = chunk.find (" " + name + "=\"");
        if (at == std::string::npos)
            return "(none)";
        const auto start = at + name.size() + 3;
        return chunk.substr (start, chunk.find ('"', start) - start);
    }

    // Restores one value under `key` (the state string's by default), as a host would.
    LV2_State_Status restoreValue (const std::string& value, const char* key = DUNSKARA_LV2_URI ":StateString",
                                   const char* type = LV2_ATOM__String)
    {
        struct Entry { uint32_t key, type; const std::string* value; } entry { map (key), map (type), &value };
        const auto retrieve = [] (LV2_State_Handle h, uint32_t k, size_t* size, uint32_t* t, uint32_t* flags) -> const void*
        {
            const auto& e = *static_cast<const Entry*> (h);
            if (k != e.key)
                return nullptr;
            *size = e.value->size();
            *t = e.type;
            *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
            return e.value->data();
        };

        return stateInterface()->restore (lilv_instance_get_handle (instance), retrieve, &entry, 0, featureList);
    }

    LV2_State_Status restoreProgram (int32_t program)
    {
        return restoreValue (std::string (reinterpret_cast<const char*> (&program), sizeof (program)),
                             DUNSKARA_LV2_URI ":Program", LV2_ATOM__Int);
    }

    //==============================================================================
    // What lilv-based hosts save and load: the ports' values and the plug-in's state.
    State saveWithLilv()
    {
        const auto getValue = [] (const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void*
        {
            auto& host = *static_cast<Host*> (user);
            const auto index = parameterIndex (symbol);
            if (index < 0)
                return nullptr;
            *size = sizeof (float);
            *type = host.map (LV2_ATOM__Float);
            return &host.controls[(size_t) index];
        };

        return State (lilv_state_new_from_instance (plugin, instance, &uridMap, nullptr, nullptr, nullptr, nullptr,
                                                    getValue, this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, featureList));
    }

    // Restores a lilv state: the plug-in's state first, then the port values (lilv's order).
    void restoreWithLilv (const LilvState* state)
    {
        const auto setValue = [] (const char* symbol, void* user, const void* value, uint32_t size, uint32_t type)
        {
            auto& host = *static_cast<Host*> (user);
            const auto index = parameterIndex (symbol);
            if (index >= 0 && size == sizeof (float) && type == host.map (LV2_ATOM__Float))
                std::memcpy (&host.controls[(size_t) index], value, sizeof (float));
            else
                ADD_FAILURE() << "port value for " << symbol << " of size " << size << ", type " << host.unmap (type);
        };

        lilv_state_restore (state, instance, setValue, this, 0, featureList);
    }

    //==============================================================================
    static inline LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    bool active = false;

    std::mutex uriMutex;
    std::vector<std::string> uris;
    LV2_URID_Map uridMap { this, [] (LV2_URID_Map_Handle h, const char* text) { return static_cast<Host*> (h)->map (text); } };
    LV2_URID_Unmap uridUnmap { this, [] (LV2_URID_Unmap_Handle h, LV2_URID u) { return static_cast<Host*> (h)->unmap (u); } };
    int32_t maxBlockValue = static_cast<int32_t> (maxBlock);
    LV2_Options_Option options[2] {};  // the zeroed last entry ends the list
    LV2_Feature features[4] { { LV2_URID__map, &uridMap }, { LV2_URID__unmap, &uridUnmap },
                              { LV2_BUF_SIZE__boundedBlockLength, nullptr }, { LV2_OPTIONS__options, options } };
    const LV2_Feature* featureList[5] { &features[0], &features[1], &features[2], &features[3], nullptr };

    std::vector<float> audio[4];  // inputs 1 and 2, then outputs 1 and 2
    float controls[numParameters] {};
    float meters[2 * numBands] { NAN, NAN, NAN, NAN, NAN, NAN };
    float latency = -1.0f;
};
} // namespace lilvhost
