// Loads the built LV2 bundle with lilv, as most Linux hosts do: what the bundle
// declares (ports, parameters), and how the instance behaves when a host connects only
// some of its ports.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
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

    // A fresh instance in place of the current one; nothing connected yet.
    void restartInstance()
    {
        if (active)
            lilv_instance_deactivate (instance);

        lilv_instance_free (instance);
        instance = lilv_plugin_instantiate (plugin, 44100.0, featureList);
        active = false;
        std::fill (std::begin (connected), std::end (connected), false);
        ASSERT_NE (instance, nullptr);
    }

    // Parameter URI -> the value every program of a fresh bank holds.
    std::map<std::string, float> defaultValues() const
    {
        const float band[] { 0.42f, 0.6f, 1.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.0f, 1.0f };
        const std::map<std::string, float> global { { "MainInGain", 0.25f }, { "MakeUpGain", 0.0f }, { "FinalMix", 1.0f },
                                                    { "Fq_Low", 0.03f }, { "Fq_High", 0.4f }, { "MainOnOff", 1.0f },
                                                    { "not-used", 0.5f } };
        const char* bandNames[] { "attack", "release", "fxmix", "add", "gain", "thresh", "ratio", "limonoff", "chanonoff" };
        std::map<std::string, float> result;

        for (const auto& [name, parameterUri] : parameters())
        {
            if (const auto found = global.find (name); found != global.end())
                result[parameterUri] = found->second;

            for (int k = 0; k < 9; ++k)
                if (name.rfind (bandNames[k], 0) == 0 && name.size() == std::string (bandNames[k]).size() + 2)
                    result[parameterUri] = band[k];
        }

        return result;
    }

    std::string parameterUri (const char* name) const
    {
        const auto declared = parameters();
        const auto found = declared.find (name);
        return found != declared.end() ? found->second : std::string();
    }

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

    std::string unmap (LV2_URID urid)
    {
        const std::lock_guard<std::mutex> lock (uriMutex);
        return urid >= 1 && urid <= uris.size() ? uris[urid - 1] : std::string();
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

    // Fills the inputs from `offset` on, sends the queued messages (or, when parameterUri
    // is given, one patch:Set) and runs, activating first if needed.
    void runBlock (uint32_t numFrames, uint32_t offset = 0, const std::string& parameterUri = {}, float value = 0.0f)
    {
        if (! parameterUri.empty())
            queueSet (parameterUri, value);

        prepareBlock (numFrames, offset);

        if (! std::exchange (active, true))
            lilv_instance_activate (instance);

        lilv_instance_run (instance, numFrames);
    }

    // The inputs and events runBlock gives the plug-in.
    void prepareBlock (uint32_t numFrames, uint32_t offset)
    {
        for (uint32_t i = 0; i < std::min (numFrames, 2 * maxBlock); ++i)
        {
            audio[0][i] = 0.5f * (float) std::sin (0.01 * (offset + i));
            audio[1][i] = 0.4f * (float) std::sin (0.023 * (offset + i));
        }

        lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (eventsIn.data()), eventsIn.size() * 8);
        LV2_Atom_Forge_Frame sequenceFrame, objectFrame;
        lv2_atom_forge_sequence_head (&forge, &sequenceFrame, 0);

        for (const auto& message : queued)
        {
            lv2_atom_forge_frame_time (&forge, 0);
            lv2_atom_forge_object (&forge, &objectFrame, 0, map (message.isGet ? LV2_PATCH__Get : LV2_PATCH__Set));

            if (! message.property.empty())
            {
                lv2_atom_forge_key (&forge, map (LV2_PATCH__property));
                lv2_atom_forge_urid (&forge, map (message.property.c_str()));
            }

            if (! message.isGet)
            {
                lv2_atom_forge_key (&forge, map (LV2_PATCH__value));
                lv2_atom_forge_float (&forge, message.value);
            }

            lv2_atom_forge_pop (&forge, &objectFrame);
        }

        queued.clear();
        lv2_atom_forge_pop (&forge, &sequenceFrame);

        // The output port's header tells the plug-in how much room it has.
        sequence (eventsOut)->atom = { static_cast<uint32_t> (eventsOut.size() * 8 - sizeof (LV2_Atom)), 0 };
    }

    // Messages for the next runBlock: patch:Set, or patch:Get for one property or (with
    // an empty property) for all.
    void queueSet (const std::string& property, float value) { queued.push_back ({ false, property, value }); }
    void queueGet (const std::string& property = {})        { queued.push_back ({ true, property, 0.0f }); }

    using Values = std::map<std::string, float>;
    static Values asMap (const std::vector<std::pair<std::string, float>>& list) { return Values (list.begin(), list.end()); }

    // The patch:Set messages of the last block's event output, in order.
    std::vector<std::pair<std::string, float>> publishedValues()
    {
        std::vector<std::pair<std::string, float>> result;
        const auto* events = sequence (eventsOut);

        if (events->atom.type != map (LV2_ATOM__Sequence))
            return result;

        LV2_ATOM_SEQUENCE_FOREACH (events, event)
        {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*> (&event->body);

            if (event->body.type != map (LV2_ATOM__Object) || object->body.otype != map (LV2_PATCH__Set))
                continue;

            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get (object, map (LV2_PATCH__property), &property, map (LV2_PATCH__value), &value, 0);
            EXPECT_NE (property, nullptr);
            EXPECT_NE (value, nullptr);

            if (property != nullptr && value != nullptr && property->type == map (LV2_ATOM__URID)
                && value->type == map (LV2_ATOM__Float))
                result.emplace_back (unmap (reinterpret_cast<const LV2_Atom_URID*> (property)->body),
                                     reinterpret_cast<const LV2_Atom_Float*> (value)->body);
        }

        return result;
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

    const LV2_State_Interface* stateInterface (LilvInstance* of = nullptr) const
    {
        return static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (of != nullptr ? of : instance,
                                                                                           LV2_STATE__interface));
    }

    // Everything the plug-in stores through its state interface: key -> value.
    std::map<uint32_t, std::string> savedState (LilvInstance* of = nullptr)
    {
        const auto* state = stateInterface (of);
        std::map<uint32_t, std::string> values;
        const auto store = [] (LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t, uint32_t)
        {
            (*static_cast<std::map<uint32_t, std::string>*> (h))[key].assign (static_cast<const char*> (value), size);
            return LV2_STATE_SUCCESS;
        };

        if (state == nullptr || state->save (lilv_instance_get_handle (of != nullptr ? of : instance), store, &values,
                                             LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, featureList) != LV2_STATE_SUCCESS)
            return {};

        return values;
    }

    // The plug-in's chunk, taken through its state interface.
    std::string savedChunk()
    {
        for (const auto& entry : savedState())
            if (const auto decoded = decodeJuceBase64 (entry.second.c_str()); decoded.find ("MYPLUGINSETTINGS") != std::string::npos)
                return decoded;

        return {};
    }

    // The state string as the plug-in stores it (with its terminating NUL).
    std::string savedStateString (LilvInstance* of = nullptr)
    {
        const auto values = savedState (of);
        const auto found = values.find (map (DUNSKARA_LV2_URI ":StateString"));
        return found != values.end() ? found->second : std::string();
    }

    // Restores one value under `key` (the state string's by default), as a host would.
    LV2_State_Status restoreValue (const std::string& value, const char* key = DUNSKARA_LV2_URI ":StateString",
                                   const char* type = LV2_ATOM__String, LilvInstance* into = nullptr)
    {
        struct Stored { uint32_t key, type; const std::string* value; } stored { map (key), map (type), &value };
        const auto retrieve = [] (LV2_State_Handle h, uint32_t k, size_t* size, uint32_t* t, uint32_t* flags) -> const void*
        {
            const auto& s = *static_cast<const Stored*> (h);
            if (k != s.key)
                return nullptr;
            *size = s.value->size();
            *t = s.type;
            *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
            return s.value->data();
        };

        return stateInterface (into)->restore (lilv_instance_get_handle (into != nullptr ? into : instance), retrieve, &stored,
                                               0, featureList);
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

    struct Message { bool isGet; std::string property; float value; };
    std::vector<Message> queued;

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

// Hosts list a switch's two points by name: "off" at 0 and "on" at 1, nothing blank.
TEST_F (LilvHosting, SwitchPointsAreNamedOffAndOn)
{
    const auto scalePoint = uri (LV2_CORE__scalePoint);
    const auto label = uri (LILV_NS_RDFS "label");
    const auto value = uri (LILV_NS_RDF "value");
    int switches = 0;

    for (const auto& [name, parameterUri] : parameters())
    {
        const auto parameter = uri (parameterUri.c_str());
        auto* points = lilv_world_find_nodes (world, parameter.get(), scalePoint.get(), nullptr);
        std::map<float, std::string> named;

        LILV_FOREACH (nodes, i, points)
        {
            const auto* point = lilv_nodes_get (points, i);
            Node text (lilv_world_get (world, point, label.get(), nullptr));
            Node number (lilv_world_get (world, point, value.get(), nullptr));
            ASSERT_TRUE (text != nullptr && number != nullptr) << name;
            named[lilv_node_as_float (number.get())] = lilv_node_as_string (text.get());
        }

        lilv_nodes_free (points);
        if (named.empty())
            continue;

        ++switches;
        EXPECT_EQ (named, (std::map<float, std::string> { { 0.0f, "off" }, { 1.0f, "on" } })) << name;
    }

    EXPECT_EQ (switches, 7);
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

    // Beyond the declared maximum block length, with an input still unconnected: the
    // block runs in pieces, the connected input passes, the other reads as silence.
    connect ({ 0, 2, 3 });
    std::fill (audio[2].begin(), audio[2].end(), 7.0f);
    std::fill (audio[3].begin(), audio[3].end(), 7.0f);
    runBlock (2 * maxBlock);

    for (uint32_t i = 32; i < 2 * maxBlock; ++i)  // after the fade-in
    {
        ASSERT_NEAR (audio[2][i], audio[0][i], 1.0e-6f) << i;
        ASSERT_NEAR (audio[3][i], 0.0f, 1.0e-6f) << i;
    }

    EXPECT_EQ (sequence (eventsOut)->atom.type, map (LV2_ATOM__Sequence));
    EXPECT_EQ (sequence (eventsOut)->atom.size, sizeof (LV2_Atom_Sequence_Body));
}

TEST_F (LilvHosting, LongBlocksRunAsPiecesOfTheAnnouncedLength)
{
    // One block of twice the maximum, and the same audio as two blocks of the maximum on
    // a fresh instance: bit-identical.
    connect ({ 0, 1, 2, 3 });
    runBlock (2 * maxBlock);
    const std::vector<float> longBlock[2] { audio[2], audio[3] };

    restartInstance();
    connect ({ 0, 1, 2, 3 });

    for (uint32_t half = 0; half < 2; ++half)
    {
        runBlock (maxBlock, half * maxBlock);

        for (uint32_t c = 0; c < 2; ++c)
            for (uint32_t i = 0; i < maxBlock; ++i)
                ASSERT_EQ (audio[2 + c][i], longBlock[c][half * maxBlock + i]) << "channel " << c << ", sample " << half * maxBlock + i;
    }
}

TEST_F (LilvHosting, AnyMaxBlockLengthOptionGivesAWorkingInstance)
{
    // The option with odd values or types, and the options and bounded-length features
    // left out altogether.
    const auto lengthKey = map (LV2_BUF_SIZE__maxBlockLength);
    const int32_t negative = -1, zero = 0, huge = INT32_MAX;
    const int64_t longValue = 300;
    const double notANumber = std::nan ("");
    struct Case { const char* what; LV2_Options_Option option; bool withOptions, withBounded; };
    const Case cases[] {
        { "-1", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int32_t), map (LV2_ATOM__Int), &negative }, true, true },
        { "0", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int32_t), map (LV2_ATOM__Int), &zero }, true, true },
        { "INT32_MAX", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int32_t), map (LV2_ATOM__Int), &huge }, true, true },
        { "long 300", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int64_t), map (LV2_ATOM__Long), &longValue }, true, true },
        { "NaN", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (double), map (LV2_ATOM__Double), &notANumber }, true, true },
        { "int of the wrong size", { LV2_OPTIONS_INSTANCE, 0, lengthKey, 2, map (LV2_ATOM__Int), &negative }, true, true },
        { "absent", {}, true, true },
        { "no options feature", {}, false, true },
        { "no options, no bounded length", {}, false, false },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.what);
        LV2_Options_Option list[2] { test.option, {} };
        std::vector<LV2_Feature> chosen { { LV2_URID__map, &uridMap } };

        if (test.withBounded)
            chosen.push_back ({ LV2_BUF_SIZE__boundedBlockLength, nullptr });
        if (test.withOptions)
            chosen.push_back ({ LV2_OPTIONS__options, list });

        std::vector<const LV2_Feature*> pointers;
        for (const auto& feature : chosen)
            pointers.push_back (&feature);
        pointers.push_back (nullptr);

        if (active)
            lilv_instance_deactivate (instance);
        lilv_instance_free (instance);
        active = false;
        instance = lilv_plugin_instantiate (plugin, 44100.0, pointers.data());
        ASSERT_NE (instance, nullptr);

        connect ({ 0, 1, 2, 3 });
        for (uint32_t frames : { 1u, maxBlock, 0u, 2 * maxBlock })
            runBlock (frames);

        const auto worst = runBlocksAndCompare (3);
        EXPECT_GE (worst, 0.0f) << "non-finite output";
        EXPECT_LT (worst, 1.0e-6f);
    }

    // Without a URID map, or at a sample rate that is none, there is no instance, and no crash.
    const LV2_Feature* none[] { nullptr };
    EXPECT_EQ (lilv_plugin_instantiate (plugin, 44100.0, none), nullptr);

    for (const double rate : { 0.0, -44100.0, std::nan (""), HUGE_VAL })
        EXPECT_EQ (lilv_plugin_instantiate (plugin, rate, featureList), nullptr) << rate;
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

TEST_F (LilvHosting, PatchGetIsAnsweredWithTheCurrentValues)
{
    connect ({ 0, 1, 2, 3 });
    runBlock (maxBlock);
    EXPECT_TRUE (publishedValues().empty()) << "nothing has changed yet";

    // All properties: one patch:Set each, with the declared defaults.
    queueGet();
    runBlock (maxBlock);
    const auto answers = publishedValues();
    const auto expected = defaultValues();
    ASSERT_EQ (expected.size(), 35u);
    EXPECT_EQ (answers.size(), 35u);
    EXPECT_EQ (asMap (answers), expected);

    // One property, or one the plug-in does not have.
    const auto thresh = parameterUri ("thresh_0");
    queueGet (thresh);
    queueGet (DUNSKARA_LV2_URI ":no_such_parameter");
    runBlock (maxBlock);
    EXPECT_EQ (publishedValues(), (std::vector<std::pair<std::string, float>> { { thresh, 1.0f } }));

    // A value the host sets is not echoed back, but it is what the next answer holds.
    queueSet (thresh, 0.3f);
    runBlock (maxBlock);
    EXPECT_TRUE (publishedValues().empty());
    queueGet (thresh);
    runBlock (maxBlock);
    EXPECT_EQ (publishedValues(), (std::vector<std::pair<std::string, float>> { { thresh, 0.3f } }));

    // A value the plug-in refuses is corrected at once.
    queueSet (thresh, std::nanf (""));
    runBlock (maxBlock);
    EXPECT_EQ (publishedValues(), (std::vector<std::pair<std::string, float>> { { thresh, 0.3f } }));
}

TEST_F (LilvHosting, RestoredStateIsPublishedAndAppliesFromTheFirstSample)
{
    // A session saved with a doubled input and processing off (so the output is exactly
    // twice the input), plus two other changes.
    connect ({ 0, 1, 2, 3 });
    const auto defaults = savedStateString();
    const std::map<std::string, float> changes { { parameterUri ("MainInGain"), 0.5f }, { parameterUri ("MainOnOff"), 0.0f },
                                                 { parameterUri ("thresh_0"), 0.3f }, { parameterUri ("gain_1"), 0.1f } };
    for (const auto& [property, value] : changes)
        queueSet (property, value);
    runBlock (maxBlock);
    const auto session = savedStateString();
    ASSERT_FALSE (session.empty());

    // Reopened: restored on another thread before the first block.
    restartInstance();
    connect ({ 0, 1, 2, 3 });
    LV2_State_Status status = LV2_STATE_ERR_UNKNOWN;
    std::thread restorer ([&] { status = restoreValue (session); });
    restorer.join();
    ASSERT_EQ (status, LV2_STATE_SUCCESS);

    runBlock (maxBlock);
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t i = 0; i < maxBlock; ++i)
            ASSERT_EQ (audio[2 + c][i], 2.0f * audio[c][i]) << "channel " << c << ", sample " << i;

    // The host is told of the changed values, unasked, and only of those.
    const auto published = publishedValues();
    EXPECT_EQ (asMap (published), changes);
    EXPECT_EQ (published.size(), changes.size());

    auto expected = defaultValues();
    for (const auto& [property, value] : changes)
        expected[property] = value;

    queueGet();
    runBlock (maxBlock);
    const auto answers = publishedValues();
    EXPECT_EQ (answers.size(), 35u);
    EXPECT_EQ (asMap (answers), expected);

    // Restores while another thread processes: nothing breaks, and the state restored
    // last is the one that stays.
    {
        std::atomic<bool> stop { false };
        std::thread audioThread ([&]
        {
            while (! stop)
            {
                sequence (eventsOut)->atom = { static_cast<uint32_t> (eventsOut.size() * 8 - sizeof (LV2_Atom)), 0 };
                lilv_instance_run (instance, maxBlock / 8);
            }
        });

        for (int i = 0; i < 40; ++i)
            EXPECT_EQ (restoreValue (i % 2 == 1 ? session : defaults), LV2_STATE_SUCCESS);

        stop = true;
        audioThread.join();
    }

    runBlock (maxBlock);
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t i = 0; i < maxBlock; ++i)
            ASSERT_EQ (audio[2 + c][i], 2.0f * audio[c][i]) << "channel " << c << ", sample " << i;

    // A program preset: program 1 still holds the defaults, so the four go back.
    ASSERT_EQ (restoreValue (std::string ("\1\0\0\0", 4), DUNSKARA_LV2_URI ":Program", LV2_ATOM__Int), LV2_STATE_SUCCESS);
    runBlock (maxBlock);
    const auto afterProgram = publishedValues();
    EXPECT_EQ (afterProgram.size(), changes.size());
    for (const auto& [property, value] : afterProgram)
        EXPECT_EQ (value, defaultValues().at (property)) << property;

    // A program that does not exist is refused and changes nothing.
    EXPECT_NE (restoreValue (std::string ("\12\0\0\0", 4), DUNSKARA_LV2_URI ":Program", LV2_ATOM__Int), LV2_STATE_SUCCESS);
    runBlock (maxBlock);
    EXPECT_TRUE (publishedValues().empty());
}

TEST_F (LilvHosting, DamagedStateStringsChangeNothing)
{
    // Damage is made to the state of a fresh instance; the instance holds another one, so
    // that any damaged string accepted would show.
    connect ({ 0, 1, 2, 3 });
    runBlock (maxBlock);
    const auto good = savedStateString();
    ASSERT_GT (good.size(), 100u);
    ASSERT_EQ (good.back(), '\0');
    const auto text = good.substr (0, good.size() - 1);

    runBlock (maxBlock, 0, parameterUri ("thresh_0"), 0.3f);
    const auto chunk = savedChunk();
    ASSERT_NE (chunk.find ("pg_floats05=\"0.300000012\""), std::string::npos);

    const std::pair<const char*, std::string> damaged[] {
        { "negative size", "-1." }, { "negative size and data", "-1." + text.substr (text.find ('.') + 1) },
        { "huge size", "18446744073709551615." }, { "size beyond 64 bits", "99999999999999999999999." },
        { "no dot", "12345" }, { "non-numeric size", "abc.ABC" }, { "empty", "" }, { "only a NUL", std::string (1, '\0') },
        { "zero size", "0." }, { "leading zero", "0" + text }, { "plus sign", "+" + text }, { "space", " " + text },
        { "foreign character", text.substr (0, 40) + "!" + text.substr (41) },
        { "NUL inside", text.substr (0, 40) + std::string (1, '\0') + text.substr (41) },
        { "one character more", text + "A" }, { "bits past the end", "1.//" },
    };

    for (const auto& [what, value] : damaged)
    {
        SCOPED_TRACE (what);
        EXPECT_NE (restoreValue (value), LV2_STATE_SUCCESS);
        EXPECT_TRUE (savedChunk() == chunk) << "the state changed";
    }

    // Truncated at every length.
    int accepted = 0;
    for (size_t length = 0; length + 1 < text.size(); ++length)
        accepted += restoreValue (text.substr (0, length)) == LV2_STATE_SUCCESS;

    EXPECT_EQ (accepted, 0);
    EXPECT_TRUE (savedChunk() == chunk) << "the state changed";

    // Wrong type, or nothing stored.
    EXPECT_EQ (restoreValue (good, DUNSKARA_LV2_URI ":StateString", LV2_ATOM__Chunk), LV2_STATE_ERR_BAD_TYPE);
    EXPECT_EQ (restoreValue (good, DUNSKARA_LV2_URI ":SomethingElse"), LV2_STATE_ERR_NO_PROPERTY);
    EXPECT_TRUE (savedChunk() == chunk) << "the state changed";

    // The intact string, with or without its NUL, still restores.
    EXPECT_EQ (restoreValue (text), LV2_STATE_SUCCESS);
    EXPECT_NE (savedChunk().find ("pg_floats05=\"1\""), std::string::npos);
    runBlock (maxBlock, 0, parameterUri ("thresh_0"), 0.3f);
    EXPECT_EQ (restoreValue (good), LV2_STATE_SUCCESS);
    EXPECT_NE (savedChunk().find ("pg_floats05=\"1\""), std::string::npos);

    const auto worst = runBlocksAndCompare (2);
    EXPECT_GE (worst, 0.0f) << "non-finite output";
}

TEST_F (LilvHosting, InputEventsThatOverrunTheirContainerAreIgnored)
{
    connect ({ 0, 1, 2, 3 });
    runBlock (maxBlock);
    const auto chunk = savedChunk();
    const auto thresh = parameterUri ("thresh_0");

    // A patch:Set whose event claims more bytes than the sequence holds, and one whose
    // value claims more bytes than its object: JUCE would read past them.
    for (int damage = 0; damage < 2; ++damage)
    {
        SCOPED_TRACE (damage);
        queueSet (thresh, 0.3f);
        prepareBlock (maxBlock, 0);

        auto* events = sequence (eventsIn);
        auto* event = lv2_atom_sequence_begin (&events->body);
        ASSERT_FALSE (lv2_atom_sequence_is_end (&events->body, events->atom.size, event));

        if (damage == 0)
        {
            event->body.size += 4096;
        }
        else
        {
            const auto* object = reinterpret_cast<LV2_Atom_Object*> (&event->body);
            LV2_ATOM_OBJECT_FOREACH (object, property)
                if (property->key == map (LV2_PATCH__value))
                    property->value.size = 4096;
        }

        lilv_instance_run (instance, maxBlock);
        EXPECT_TRUE (savedChunk() == chunk) << "the damaged message was applied";
        EXPECT_EQ (sequence (eventsOut)->atom.type, map (LV2_ATOM__Sequence));
    }

    // The next intact message is applied as ever.
    runBlock (maxBlock, 0, thresh, 0.3f);
    EXPECT_NE (savedChunk().find ("pg_floats05=\"0.300000012\""), std::string::npos);
}

} // namespace
