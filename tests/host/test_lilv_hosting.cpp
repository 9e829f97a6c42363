// Loads the built LV2 bundle with lilv, as most Linux hosts do: what the bundle
// declares (ports, parameters), and how the instance behaves when a host connects only
// some of its ports.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr uint32_t maxBlock = 512;

// The plug-in's entry points guard ports by these positions: four audio ports first.
constexpr uint32_t numPorts = 9, numAudioPorts = 4, eventsInPort = 4, eventsOutPort = 5, firstControlPort = 6;
const char* const portSymbols[numPorts] = { "audio_in_1", "audio_in_2", "audio_out_1", "audio_out_2",
                                            "in", "out", "latency", "freeWheeling", "enabled" };

// JUCE's MemoryBlock text form: decimal size, '.', then 6 bits per character,
// least significant bit first.
std::string decodeJuceBase64 (const std::string& text)
{
    static const std::string alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";
    const auto dot = text.find ('.');

    if (dot == 0 || dot == std::string::npos || text.find_first_not_of ("0123456789") != dot)
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

//==============================================================================
// The bundle as lilv sees it, and one instance of it with host-owned buffers for every
// port; tests choose which ports to connect.
class LilvHosting : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Only the build's bundle, never an installed copy.
        setenv ("HOME", DUNSKARA_HOST_TEST_HOME, 1);
        setenv ("LV2_PATH", DUNSKARA_LV2_FOLDER, 1);
        world = lilv_world_new();
        lilv_world_load_all (world);
    }

    static void TearDownTestSuite()
    {
        lilv_world_free (world);
        world = nullptr;
    }

    void SetUp() override
    {
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri (DUNSKARA_LV2_URI).get());
        ASSERT_NE (plugin, nullptr) << "no " << DUNSKARA_LV2_URI << " in " << DUNSKARA_LV2_FOLDER;

        options[0] = { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t),
                       map (LV2_ATOM__Int), &maxBlockValue };
        instance = lilv_plugin_instantiate (plugin, 44100.0, featureList);
        ASSERT_NE (instance, nullptr);
        lv2_atom_forge_init (&forge, &uridMap);

        for (auto& channel : audio)
            channel.assign (2 * maxBlock, 0.0f);
    }

    void TearDown() override
    {
        if (instance != nullptr && active)
            lilv_instance_deactivate (instance);
        lilv_instance_free (instance);
    }

    static Node uri (const char* text) { return Node (lilv_new_uri (world, text)); }

    // Parameter label -> parameter URI, from the bundle's patch:writable list.
    std::multimap<std::string, std::string> parameters() const
    {
        std::multimap<std::string, std::string> result;
        const auto label = uri (LILV_NS_RDFS "label");
        // Through the plugin, so that lilv loads the bundle's data files first.
        auto* nodes = lilv_plugin_get_value (plugin, uri (LV2_PATCH__writable).get());

        LILV_FOREACH (nodes, i, nodes)
        {
            const auto* parameter = lilv_nodes_get (nodes, i);
            Node name (lilv_world_get (world, parameter, label.get(), nullptr));
            result.emplace (name != nullptr ? lilv_node_as_string (name.get()) : "", lilv_node_as_uri (parameter));
        }

        lilv_nodes_free (nodes);
        return result;
    }

    // The plug-in may map URIs from its own threads.
    LV2_URID map (const char* text)
    {
        const std::lock_guard<std::mutex> lock (uriMutex);
        auto found = std::find (uris.begin(), uris.end(), text);

        if (found == uris.end())
            found = uris.insert (uris.end(), text);

        return static_cast<LV2_URID> (found - uris.begin()) + 1;
    }

    // Always the control ports and the event input; the listed audio ports, and the
    // event output when asked.
    void connect (std::initializer_list<uint32_t> audioPorts, bool eventOutput = true)
    {
        for (uint32_t i = 0; i < 3; ++i)
            lilv_instance_connect_port (instance, firstControlPort + i, &controls[i]);

        lilv_instance_connect_port (instance, eventsInPort, sequence (eventsIn));

        if (eventOutput)
            lilv_instance_connect_port (instance, eventsOutPort, sequence (eventsOut));

        for (auto port : audioPorts)
        {
            lilv_instance_connect_port (instance, port, audio[port].data());
            connected[port] = true;
        }
    }

    // Fills the inputs from `offset` on, sends an empty event sequence (or one
    // patch:Set when parameterUri is given) and runs, activating first if needed.
    void runBlock (uint32_t numFrames, uint32_t offset = 0, const std::string& parameterUri = {}, float value = 0.0f)
    {
        for (uint32_t i = 0; i < std::min (numFrames, 2 * maxBlock); ++i)
        {
            audio[0][i] = 0.5f * (float) std::sin (0.01 * (offset + i));
            audio[1][i] = 0.4f * (float) std::sin (0.023 * (offset + i));
        }

        lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (eventsIn.data()), eventsIn.size() * 8);
        LV2_Atom_Forge_Frame sequenceFrame, objectFrame;
        lv2_atom_forge_sequence_head (&forge, &sequenceFrame, 0);

        if (! parameterUri.empty())
        {
            lv2_atom_forge_frame_time (&forge, 0);
            lv2_atom_forge_object (&forge, &objectFrame, 0, map (LV2_PATCH__Set));
            lv2_atom_forge_key (&forge, map (LV2_PATCH__property));
            lv2_atom_forge_urid (&forge, map (parameterUri.c_str()));
            lv2_atom_forge_key (&forge, map (LV2_PATCH__value));
            lv2_atom_forge_float (&forge, value);
            lv2_atom_forge_pop (&forge, &objectFrame);
        }

        lv2_atom_forge_pop (&forge, &sequenceFrame);

        // The output port's header tells the plug-in how much room it has.
        sequence (eventsOut)->atom = { static_cast<uint32_t> (eventsOut.size() * 8 - sizeof (LV2_Atom)), 0 };

        if (! std::exchange (active, true))
            lilv_instance_activate (instance);

        lilv_instance_run (instance, numFrames);
    }

    // Runs full blocks; returns the largest |output - input| (an unconnected input
    // counts as silence), or a negative value when an output was not finite. The first
    // 32 samples of each call are skipped: the dynamics units fade in after a start.
    float runBlocksAndCompare (uint32_t numBlocks)
    {
        float worst = 0.0f;

        for (uint32_t block = 0; block < numBlocks; ++block)
        {
            runBlock (maxBlock, block * maxBlock);

            for (uint32_t c = 0; c < 2; ++c)
                for (uint32_t i = block > 0 ? 0 : 32; i < maxBlock; ++i)
                {
                    if (! std::isfinite (audio[2 + c][i]))
                        return -1.0f;

                    worst = std::max (worst, std::abs (audio[2 + c][i] - (connected[c] ? audio[c][i] : 0.0f)));
                }
        }

        return worst;
    }

    // The plug-in's chunk, taken through its state interface.
    std::string savedChunk()
    {
        const auto* state = static_cast<const LV2_State_Interface*> (
            lilv_instance_get_extension_data (instance, LV2_STATE__interface));
        std::map<uint32_t, std::string> values;
        const auto store = [] (LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t, uint32_t)
        {
            (*static_cast<std::map<uint32_t, std::string>*> (h))[key].assign (static_cast<const char*> (value), size);
            return LV2_STATE_SUCCESS;
        };

        if (state == nullptr || state->save (lilv_instance_get_handle (instance), store, &values,
                                             LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, featureList) != LV2_STATE_SUCCESS)
            return {};

        for (const auto& entry : values)
            if (const auto decoded = decodeJuceBase64 (entry.second.c_str()); decoded.find ("MYPLUGINSETTINGS") != std::string::npos)
                return decoded;

        return {};
    }

    static LV2_Atom_Sequence* sequence (std::vector<uint64_t>& words) { return reinterpret_cast<LV2_Atom_Sequence*> (words.data()); }

    static inline LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    bool active = false;

    std::mutex uriMutex;
    std::vector<std::string> uris;
    LV2_URID_Map uridMap { this, [] (LV2_URID_Map_Handle h, const char* text) { return static_cast<LilvHosting*> (h)->map (text); } };
    int32_t maxBlockValue = static_cast<int32_t> (maxBlock);
    LV2_Options_Option options[2] {};  // the zeroed last entry ends the list
    // The plug-in's required features.
    LV2_Feature features[3] { { LV2_URID__map, &uridMap }, { LV2_BUF_SIZE__boundedBlockLength, nullptr }, { LV2_OPTIONS__options, options } };
    const LV2_Feature* featureList[4] { &features[0], &features[1], &features[2], nullptr };

    LV2_Atom_Forge forge {};
    std::vector<float> audio[numAudioPorts];  // inputs 1 and 2, then outputs 1 and 2
    bool connected[numAudioPorts] {};
    std::vector<uint64_t> eventsIn = std::vector<uint64_t> (512), eventsOut = std::vector<uint64_t> (8192);  // 64-bit aligned
    float controls[3] { -1.0f, 0.0f, 1.0f };  // latency, freeWheeling, enabled
    const float& latency = controls[0];
};

TEST_F (LilvHosting, PortsSitAtTheIndicesTheEntryPointsGuard)
{
    const auto audioPort = uri (LILV_URI_AUDIO_PORT), input = uri (LILV_URI_INPUT_PORT), output = uri (LILV_URI_OUTPUT_PORT);
    const auto optional = uri (LV2_CORE__connectionOptional);
    EXPECT_EQ (lilv_plugin_get_num_ports (plugin), numPorts);

    for (uint32_t i = 0; i < numPorts; ++i)
    {
        SCOPED_TRACE (portSymbols[i]);
        Node symbol (lilv_new_string (world, portSymbols[i]));
        const auto* port = lilv_plugin_get_port_by_symbol (plugin, symbol.get());
        ASSERT_NE (port, nullptr);
        EXPECT_EQ (lilv_port_get_index (plugin, port), i);
        EXPECT_EQ (lilv_port_is_a (plugin, port, audioPort.get()), i < numAudioPorts);

        // Audio ports must always be connected: the plug-in reads and writes them.
        if (i < numAudioPorts)
        {
            EXPECT_TRUE (lilv_port_is_a (plugin, port, (i < 2 ? input : output).get()));
            EXPECT_FALSE (lilv_port_has_property (plugin, port, optional.get()));
        }
    }
}

TEST_F (LilvHosting, DeclaresThe35ParametersWithDistinctUris)
{
    const auto declared = parameters();
    std::multiset<std::string> names;
    std::set<std::string> parameterUris;

    for (const auto& [name, parameterUri] : declared)
    {
        names.insert (name);
        EXPECT_TRUE (parameterUris.insert (parameterUri).second) << parameterUri;
    }

    EXPECT_EQ (names, (std::multiset<std::string> {
        "attack_0", "release_0", "fxmix_0", "add_0", "gain_0", "thresh_0", "ratio_0", "limonoff_0", "chanonoff_0",
        "attack_1", "release_1", "fxmix_1", "add_1", "gain_1", "thresh_1", "ratio_1", "limonoff_1", "chanonoff_1",
        "attack_2", "release_2", "fxmix_2", "add_2", "gain_2", "thresh_2", "ratio_2", "limonoff_2", "chanonoff_2",
        "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not-used", "not-used" }));
}

TEST_F (LilvHosting, AudioPassesThroughAndAnUnconnectedInputReadsAsSilence)
{
    connect ({ 0, 2, 3 });  // audio_in_2 left unconnected
    const auto oneInput = runBlocksAndCompare (10);

    // Connecting it later takes effect at once.
    connect ({ 1 });
    const auto bothInputs = runBlocksAndCompare (20);

    for (const auto worst : { oneInput, bothInputs })
    {
        EXPECT_GE (worst, 0.0f) << "non-finite output";
        EXPECT_LT (worst, 1.0e-6f);
    }

    EXPECT_EQ (sequence (eventsOut)->atom.type, map (LV2_ATOM__Sequence));
    EXPECT_EQ (latency, 0.0f);
}

TEST_F (LilvHosting, UnconnectedOutputsAndOverlongBlocksAreSafe)
{
    connect ({}, false);

    for (uint32_t frames : { maxBlock, maxBlock / 2, 1u, 0u, maxBlock })
        runBlock (frames);

    EXPECT_EQ (latency, 0.0f);

    // Beyond the declared maximum block length, with an input still unconnected.
    connect ({ 0, 2, 3 });
    std::fill (audio[2].begin(), audio[2].end(), 7.0f);
    std::fill (audio[3].begin(), audio[3].end(), 7.0f);
    runBlock (2 * maxBlock);

    for (uint32_t c = 2; c < numAudioPorts; ++c)
        EXPECT_TRUE (std::all_of (audio[c].begin(), audio[c].end(), [] (float s) { return s == 0.0f; }));

    EXPECT_EQ (sequence (eventsOut)->atom.type, map (LV2_ATOM__Sequence));
    EXPECT_EQ (sequence (eventsOut)->atom.size, sizeof (LV2_Atom_Sequence_Body));
}

TEST_F (LilvHosting, ParameterMessageReachesThePluginAndItsState)
{
    connect ({ 0, 1, 2, 3 });
    const auto declared = parameters();
    const auto thresh = declared.find ("thresh_0");
    ASSERT_NE (thresh, declared.end());

    runBlock (maxBlock);
    const auto before = savedChunk();
    ASSERT_NE (before.find ("pg_floats05=\"1\""), std::string::npos) << before.substr (0, 200);

    runBlock (maxBlock, 0, thresh->second, 0.3f);
    const auto after = savedChunk();
    EXPECT_NE (after.find ("pg_floats05=\"0.300000012\""), std::string::npos);
    EXPECT_EQ (after.find ("pg_floats05=\"1\""), std::string::npos);
}

} // namespace
