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
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace
{
constexpr int numParameters = 35;
constexpr uint32_t maxBlock = 512;

//==============================================================================
class UridMap final
{
public:
    LV2_URID map (const char* uri)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        const auto found = std::find (uris.begin(), uris.end(), uri);

        if (found != uris.end())
            return static_cast<LV2_URID> (found - uris.begin()) + 1;

        uris.emplace_back (uri);
        return static_cast<LV2_URID> (uris.size());
    }

    const char* unmap (LV2_URID urid)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
    }

    LV2_URID_Map mapFeatureData { this, [] (LV2_URID_Map_Handle h, const char* uri)
                                        { return static_cast<UridMap*> (h)->map (uri); } };
    LV2_URID_Unmap unmapFeatureData { this, [] (LV2_URID_Unmap_Handle h, LV2_URID urid)
                                            { return static_cast<UridMap*> (h)->unmap (urid); } };

private:
    std::mutex mutex;
    std::vector<std::string> uris;
};

// Atom buffers must be 64-bit aligned.
struct AtomBuffer
{
    explicit AtomBuffer (size_t bytes) : words ((bytes + 7) / 8, 0) {}

    LV2_Atom_Sequence* sequence()      { return reinterpret_cast<LV2_Atom_Sequence*> (words.data()); }
    uint32_t capacity() const          { return static_cast<uint32_t> (words.size() * 8); }

    std::vector<uint64_t> words;
};

// JUCE's MemoryBlock text form: decimal size, '.', then 6 bits per character,
// least significant bit first.
std::string decodeJuceBase64 (const std::string& text)
{
    static const std::string alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";
    const auto dot = text.find ('.');

    if (dot == std::string::npos || dot == 0)
        return {};

    const auto size = std::stoul (text.substr (0, dot));
    std::string bytes (size, '\0');
    size_t bit = 0;

    for (size_t i = dot + 1; i < text.size(); ++i)
    {
        const auto value = alphabet.find (text[i]);

        if (value == std::string::npos)
            return {};

        for (size_t b = 0; b < 6; ++b, ++bit)
            if (((value >> b) & 1u) != 0 && bit / 8 < size)
                bytes[bit / 8] = static_cast<char> (bytes[bit / 8] | (1 << (bit % 8)));
    }

    return bytes;
}

struct NodeDeleter { void operator() (LilvNode* n) const { lilv_node_free (n); } };
using Node = std::unique_ptr<LilvNode, NodeDeleter>;

//==============================================================================
class Lv2Bundle : public ::testing::Test
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
        Node uri (lilv_new_uri (world, DUNSKARA_LV2_URI));
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri.get());
        ASSERT_NE (plugin, nullptr) << "no " << DUNSKARA_LV2_URI << " in " << DUNSKARA_LV2_FOLDER;
    }

    Node uri (const char* text) const { return Node (lilv_new_uri (world, text)); }

    uint32_t portIndex (const char* symbol) const
    {
        Node node (lilv_new_string (world, symbol));
        const auto* port = lilv_plugin_get_port_by_symbol (plugin, node.get());
        EXPECT_NE (port, nullptr) << symbol;
        return port != nullptr ? lilv_port_get_index (plugin, port) : UINT32_MAX;
    }

    // Parameter label -> parameter URI, from the bundle's patch:writable list.
    std::multimap<std::string, std::string> parameters() const
    {
        std::multimap<std::string, std::string> result;
        const auto writable = uri (LV2_PATCH__writable);
        const auto label = uri (LILV_NS_RDFS "label");

        // Through the plugin, so that lilv loads the bundle's data files first.
        auto* nodes = lilv_plugin_get_value (plugin, writable.get());

        LILV_FOREACH (nodes, i, nodes)
        {
            const auto* parameter = lilv_nodes_get (nodes, i);
            Node name (lilv_world_get (world, parameter, label.get(), nullptr));
            result.emplace (name != nullptr ? lilv_node_as_string (name.get()) : "",
                            lilv_node_as_uri (parameter));
        }

        lilv_nodes_free (nodes);
        return result;
    }

    static LilvWorld* world;
    const LilvPlugin* plugin = nullptr;
};

LilvWorld* Lv2Bundle::world = nullptr;

TEST_F (Lv2Bundle, DeclaresStereoAudioAndTheEventAndControlPorts)
{
    const auto audio = uri (LILV_URI_AUDIO_PORT);
    const auto input = uri (LILV_URI_INPUT_PORT);
    const auto output = uri (LILV_URI_OUTPUT_PORT);

    EXPECT_EQ (lilv_plugin_get_num_ports (plugin), 9u);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio.get(), input.get(), nullptr), 2u);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio.get(), output.get(), nullptr), 2u);

    // The plug-in's entry points guard ports by these positions.
    const char* const symbols[] = { "audio_in_1", "audio_in_2", "audio_out_1", "audio_out_2",
                                    "in", "out", "latency", "freeWheeling", "enabled" };

    for (uint32_t i = 0; i < 9; ++i)
        EXPECT_EQ (portIndex (symbols[i]), i) << symbols[i];
}

TEST_F (Lv2Bundle, AudioPortsMustBeConnected)
{
    const auto audio = uri (LILV_URI_AUDIO_PORT);
    const auto optional = uri (LV2_CORE__connectionOptional);

    for (uint32_t i = 0; i < lilv_plugin_get_num_ports (plugin); ++i)
    {
        const auto* port = lilv_plugin_get_port_by_index (plugin, i);

        if (lilv_port_is_a (plugin, port, audio.get()))
        {
            EXPECT_FALSE (lilv_port_has_property (plugin, port, optional.get())) << "port " << i;
        }
    }
}

TEST_F (Lv2Bundle, DeclaresThe35ParametersWithDistinctUris)
{
    const auto declared = parameters();
    ASSERT_EQ (declared.size(), (size_t) numParameters);

    std::set<std::string> uris;
    for (const auto& [name, parameterUri] : declared)
        EXPECT_TRUE (uris.insert (parameterUri).second) << parameterUri;

    std::multiset<std::string> names;
    for (const auto& entry : declared)
        names.insert (entry.first);

    const std::multiset<std::string> expected {
        "attack_0", "release_0", "fxmix_0", "add_0", "gain_0", "thresh_0", "ratio_0", "limonoff_0", "chanonoff_0",
        "attack_1", "release_1", "fxmix_1", "add_1", "gain_1", "thresh_1", "ratio_1", "limonoff_1", "chanonoff_1",
        "attack_2", "release_2", "fxmix_2", "add_2", "gain_2", "thresh_2", "ratio_2", "limonoff_2", "chanonoff_2",
        "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not-used", "not-used"
    };
    EXPECT_EQ (names, expected);
}

//==============================================================================
// One running instance with host-owned buffers for every port; tests choose which
// ports to connect.
class Lv2Instance : public Lv2Bundle
{
protected:
    void SetUp() override
    {
        Lv2Bundle::SetUp();
        ASSERT_NE (plugin, nullptr);

        maxBlockValue = static_cast<int32_t> (maxBlock);
        options = {
            LV2_Options_Option { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__maxBlockLength),
                                 sizeof (int32_t), urids.map (LV2_ATOM__Int), &maxBlockValue },
            LV2_Options_Option { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr }
        };

        features = { LV2_Feature { LV2_URID__map, &urids.mapFeatureData },
                     LV2_Feature { LV2_URID__unmap, &urids.unmapFeatureData },
                     LV2_Feature { LV2_BUF_SIZE__boundedBlockLength, nullptr },
                     LV2_Feature { LV2_OPTIONS__options, options.data() } };

        for (auto& f : features)
            featureList.push_back (&f);
        featureList.push_back (nullptr);

        instance = lilv_plugin_instantiate (plugin, 44100.0, featureList.data());
        ASSERT_NE (instance, nullptr);

        sequenceType = urids.map (LV2_ATOM__Sequence);
        lv2_atom_forge_init (&forge, &urids.mapFeatureData);

        for (auto& channel : audioIn)
            channel.assign (2 * maxBlock, 0.0f);
        for (auto& channel : audioOut)
            channel.assign (2 * maxBlock, 0.0f);
    }

    void TearDown() override
    {
        if (instance != nullptr)
        {
            if (active)
                lilv_instance_deactivate (instance);
            lilv_instance_free (instance);
        }
    }

    void connectControlAndEventPorts (bool connectEventOutput = true)
    {
        lilv_instance_connect_port (instance, portIndex ("latency"), &latency);
        lilv_instance_connect_port (instance, portIndex ("freeWheeling"), &freeWheeling);
        lilv_instance_connect_port (instance, portIndex ("enabled"), &enabled);
        lilv_instance_connect_port (instance, portIndex ("in"), eventsIn.sequence());

        if (connectEventOutput)
            lilv_instance_connect_port (instance, portIndex ("out"), eventsOut.sequence());
    }

    void connectAudio (const char* symbol, std::vector<float>& channel)
    {
        lilv_instance_connect_port (instance, portIndex (symbol), channel.data());
    }

    void fillInputs (uint32_t numFrames, uint32_t offset)
    {
        for (uint32_t i = 0; i < numFrames; ++i)
        {
            audioIn[0][i] = 0.5f * (float) std::sin (0.01 * (offset + i));
            audioIn[1][i] = 0.4f * (float) std::sin (0.023 * (offset + i));
        }
    }

    // Empty input sequence, or one patch:Set when parameterUri is given.
    void prepareEvents (const std::string& parameterUri = {}, float value = 0.0f)
    {
        lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (eventsIn.sequence()), eventsIn.capacity());
        LV2_Atom_Forge_Frame sequenceFrame;
        lv2_atom_forge_sequence_head (&forge, &sequenceFrame, 0);

        if (! parameterUri.empty())
        {
            LV2_Atom_Forge_Frame objectFrame;
            lv2_atom_forge_frame_time (&forge, 0);
            lv2_atom_forge_object (&forge, &objectFrame, 0, urids.map (LV2_PATCH__Set));
            lv2_atom_forge_key (&forge, urids.map (LV2_PATCH__property));
            lv2_atom_forge_urid (&forge, urids.map (parameterUri.c_str()));
            lv2_atom_forge_key (&forge, urids.map (LV2_PATCH__value));
            lv2_atom_forge_float (&forge, value);
            lv2_atom_forge_pop (&forge, &objectFrame);
        }

        lv2_atom_forge_pop (&forge, &sequenceFrame);

        // The output port's header tells the plug-in how much room it has.
        eventsOut.sequence()->atom.type = 0;
        eventsOut.sequence()->atom.size = eventsOut.capacity() - (uint32_t) sizeof (LV2_Atom);
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

    // The plug-in's chunk, taken through its state interface.
    std::string savedChunk()
    {
        const auto* state = static_cast<const LV2_State_Interface*> (
            lilv_instance_get_extension_data (instance, LV2_STATE__interface));

        if (state == nullptr)
            return {};

        savedValues.clear();
        const auto status = state->save (lilv_instance_get_handle (instance),
            [] (LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t, uint32_t)
            {
                (*static_cast<std::map<uint32_t, std::string>*> (h))[key].assign (static_cast<const char*> (value), size);
                return LV2_STATE_SUCCESS;
            },
            &savedValues, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, featureList.data());

        EXPECT_EQ (status, LV2_STATE_SUCCESS);

        for (const auto& [key, text] : savedValues)
        {
            const auto decoded = decodeJuceBase64 (std::string (text.c_str()));

            if (decoded.find ("MYPLUGINSETTINGS") != std::string::npos)
                return decoded;
        }

        return {};
    }

    static bool allFinite (const std::vector<float>& channel, uint32_t numFrames)
    {
        return std::all_of (channel.begin(), channel.begin() + numFrames, [] (float s) { return std::isfinite (s); });
    }

    // From `from` on: the dynamics units fade in over the first samples after a start.
    static float largestDifference (const std::vector<float>& a, const std::vector<float>& b, uint32_t numFrames,
                                    uint32_t from)
    {
        float largest = 0.0f;
        for (uint32_t i = from; i < numFrames; ++i)
            largest = std::max (largest, std::abs (a[i] - b[i]));
        return largest;
    }

    UridMap urids;
    int32_t maxBlockValue = 0;
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> features;
    std::vector<const LV2_Feature*> featureList;
    LilvInstance* instance = nullptr;
    bool active = false;

    LV2_URID sequenceType = 0;
    LV2_Atom_Forge forge {};
    std::vector<float> audioIn[2], audioOut[2];
    AtomBuffer eventsIn { 4096 }, eventsOut { 65536 };
    float latency = -1.0f, freeWheeling = 0.0f, enabled = 1.0f;
    std::map<uint32_t, std::string> savedValues;
};

TEST_F (Lv2Instance, FullyConnectedPassesAudioThroughAtDefaults)
{
    connectControlAndEventPorts();
    connectAudio ("audio_in_1", audioIn[0]);
    connectAudio ("audio_in_2", audioIn[1]);
    connectAudio ("audio_out_1", audioOut[0]);
    connectAudio ("audio_out_2", audioOut[1]);

    float worst = 0.0f;

    for (uint32_t block = 0; block < 20; ++block)
    {
        fillInputs (maxBlock, block * maxBlock);
        prepareEvents();
        run (maxBlock);

        for (int c = 0; c < 2; ++c)
        {
            ASSERT_TRUE (allFinite (audioOut[c], maxBlock));
            worst = std::max (worst, largestDifference (audioOut[c], audioIn[c], maxBlock, block == 0 ? 32 : 0));
        }

        EXPECT_EQ (eventsOut.sequence()->atom.type, sequenceType);
    }

    EXPECT_LT (worst, 1.0e-6f);
    EXPECT_EQ (latency, 0.0f);
}

TEST_F (Lv2Instance, UnconnectedAudioInputReadsAsSilence)
{
    connectControlAndEventPorts();
    connectAudio ("audio_in_1", audioIn[0]);  // audio_in_2 left unconnected
    connectAudio ("audio_out_1", audioOut[0]);
    connectAudio ("audio_out_2", audioOut[1]);

    for (uint32_t block = 0; block < 10; ++block)
    {
        fillInputs (maxBlock, block * maxBlock);
        prepareEvents();
        run (maxBlock);

        ASSERT_TRUE (allFinite (audioOut[0], maxBlock));
        ASSERT_TRUE (allFinite (audioOut[1], maxBlock));
        EXPECT_LT (largestDifference (audioOut[0], audioIn[0], maxBlock, block == 0 ? 32 : 0), 1.0e-6f);
        const std::vector<float> silence (maxBlock, 0.0f);
        EXPECT_LT (largestDifference (audioOut[1], silence, maxBlock, 0), 1.0e-6f);
    }

    // Connecting it later takes effect at once.
    connectAudio ("audio_in_2", audioIn[1]);
    fillInputs (maxBlock, 0);
    prepareEvents();
    run (maxBlock);
    ASSERT_TRUE (allFinite (audioOut[1], maxBlock));
}

TEST_F (Lv2Instance, RunsWithNoAudioOrEventOutputConnected)
{
    connectControlAndEventPorts (false);

    for (uint32_t frames : { maxBlock, maxBlock / 2, 1u, 0u, maxBlock })
    {
        prepareEvents();
        run (frames);
    }

    EXPECT_EQ (latency, 0.0f);
}

TEST_F (Lv2Instance, OverlongBlockWithAnUnconnectedPortGivesSilence)
{
    connectControlAndEventPorts();
    connectAudio ("audio_in_1", audioIn[0]);
    connectAudio ("audio_out_1", audioOut[0]);
    connectAudio ("audio_out_2", audioOut[1]);

    fillInputs (2 * maxBlock, 0);
    std::fill (audioOut[0].begin(), audioOut[0].end(), 7.0f);
    std::fill (audioOut[1].begin(), audioOut[1].end(), 7.0f);
    prepareEvents();
    run (2 * maxBlock);  // beyond the declared maximum block length

    for (const auto& channel : audioOut)
        EXPECT_TRUE (std::all_of (channel.begin(), channel.end(), [] (float s) { return s == 0.0f; }));

    EXPECT_EQ (eventsOut.sequence()->atom.type, sequenceType);
    EXPECT_EQ (eventsOut.sequence()->atom.size, sizeof (LV2_Atom_Sequence_Body));
}

TEST_F (Lv2Instance, ParameterMessageReachesThePluginAndItsState)
{
    connectControlAndEventPorts();
    connectAudio ("audio_in_1", audioIn[0]);
    connectAudio ("audio_in_2", audioIn[1]);
    connectAudio ("audio_out_1", audioOut[0]);
    connectAudio ("audio_out_2", audioOut[1]);

    const auto declared = parameters();
    const auto thresh = declared.find ("thresh_0");
    ASSERT_NE (thresh, declared.end());

    prepareEvents();
    run (maxBlock);
    const auto before = savedChunk();
    ASSERT_NE (before.find ("pg_floats05=\"1\""), std::string::npos) << before.substr (0, 200);

    prepareEvents (thresh->second, 0.3f);
    run (maxBlock);

    const auto after = savedChunk();
    EXPECT_NE (after.find ("pg_floats05=\"0.300000012\""), std::string::npos);
    EXPECT_EQ (after.find ("pg_floats05=\"1\""), std::string::npos);
}

} // namespace
