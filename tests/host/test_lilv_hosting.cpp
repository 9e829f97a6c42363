// Loads the built LV2 bundle with lilv, as most Linux hosts do: what the bundle declares
// (ports, presets), how the instance behaves when a host connects only some ports or
// sends odd values, and what its state keeps.
#include "LilvHost.h"

#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/units/units.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

namespace
{
using namespace lilvhost;

const float bandDefaults[9] { 0.42f, 0.6f, 1.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.0f, 1.0f };
const float globalDefaults[8] { 0.25f, 0.0f, 1.0f, 0.03f, 0.4f, 1.0f, 0.5f, 0.5f };

float defaultOf (uint32_t parameter)
{
    return parameter < 27 ? bandDefaults[parameter % 9] : globalDefaults[parameter - 27];
}

// JUCE's MemoryBlock text form of some bytes (see decodeJuceBase64).
std::string encodeJuceBase64 (const std::string& bytes)
{
    static const char* const alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";
    std::string text = std::to_string (bytes.size()) + ".";
    const size_t numBits = bytes.size() * 8;

    for (size_t bit = 0; bit < numBits; bit += 6)
    {
        unsigned value = 0;
        for (size_t b = 0; b < 6 && bit + b < numBits; ++b)
            value |= ((static_cast<unsigned char> (bytes[(bit + b) / 8]) >> ((bit + b) % 8)) & 1u) << b;
        text += alphabet[value];
    }

    return text;
}

// A chunk in JUCE's binary framing around one element with this root tag.
std::string chunkWithRoot (const std::string& tag)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<" + tag + " pname0=\"x\"/>\n";
    const uint32_t words[2] { 0x21324356u, static_cast<uint32_t> (xml.size() + 1) };
    return std::string (reinterpret_cast<const char*> (words), sizeof (words)) + xml + std::string (1, '\0');
}

const std::set<std::string> switchSymbols { "limonoff_0", "limonoff_1", "limonoff_2", "chanonoff_0",
                                            "chanonoff_1", "chanonoff_2", "MainOnOff" };

class LilvHosting : public ::testing::Test, public Host
{
protected:
    static void SetUpTestSuite() { loadWorld(); }
    static void TearDownTestSuite() { freeWorld(); }

    void SetUp() override
    {
        ASSERT_NE (plugin, nullptr) << "no " << DUNSKARA_LV2_URI << " in " << DUNSKARA_LV2_FOLDER;
        ASSERT_NE (instantiate(), nullptr);
    }

    const LilvPort* port (uint32_t index) const { return lilv_plugin_get_port_by_index (plugin, index); }

    std::string symbolOf (uint32_t index) const
    {
        const auto* p = port (index);
        return p != nullptr ? lilv_node_as_string (lilv_port_get_symbol (plugin, p)) : std::string();
    }

    bool hasProperty (uint32_t index, const char* property) const
    {
        return lilv_port_has_property (plugin, port (index), uri (property).get());
    }

    // Runs full blocks; returns the largest |output - gain * input| (an unconnected input
    // counts as silence), or a negative value when an output was not finite. The first
    // 32 samples are skipped: the dynamics units fade in after a start.
    float runBlocksAndCompare (uint32_t numBlocks, float gain = 1.0f, const bool* inputConnected = nullptr)
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
                    const float in = inputConnected == nullptr || inputConnected[c] ? audio[c][i] : 0.0f;
                    worst = std::max (worst, std::abs (audio[2 + c][i] - gain * in));
                }
        }

        return worst;
    }

    // True when the last block's output is exactly `gain` times its input.
    ::testing::AssertionResult outputIsInputTimes (float gain, uint32_t numFrames = maxBlock)
    {
        for (uint32_t c = 0; c < 2; ++c)
            for (uint32_t i = 0; i < numFrames; ++i)
                if (audio[2 + c][i] != gain * audio[c][i])
                    return ::testing::AssertionFailure() << "channel " << c << ", sample " << i << ": "
                                                         << audio[2 + c][i] << " for input " << audio[c][i];
        return ::testing::AssertionSuccess();
    }

    // A state string of a fresh instance after the host set these ports and ran a block.
    std::string stateAfter (const std::map<std::string, float>& ports)
    {
        Host source;
        source.instantiate();
        for (const auto& [symbol, value] : ports)
            source.control (symbol.c_str()) = value;
        source.runBlock (maxBlock);
        return source.savedStateString();
    }
};

//==============================================================================
TEST_F (LilvHosting, PortsAreAudioThenParametersThenMetersThenLatency)
{
    ASSERT_EQ (lilv_plugin_get_num_ports (plugin), numPorts);
    std::vector<float> minimum (numPorts), maximum (numPorts), defaults (numPorts);
    lilv_plugin_get_port_ranges_float (plugin, minimum.data(), maximum.data(), defaults.data());

    const auto audioClass = uri (LV2_CORE__AudioPort), controlClass = uri (LV2_CORE__ControlPort);
    const auto inputClass = uri (LV2_CORE__InputPort), outputClass = uri (LV2_CORE__OutputPort);
    const auto unit = uri (LV2_UNITS__unit), decibels = uri (LV2_UNITS__db);
    const char* const audioSymbols[] { "audio_in_1", "audio_in_2", "audio_out_1", "audio_out_2" };
    const char* const bandSymbols[] { "low", "mid", "high" };

    for (uint32_t i = 0; i < numPorts; ++i)
    {
        SCOPED_TRACE (i);
        const auto* p = port (i);
        ASSERT_NE (p, nullptr);
        const bool isAudio = i < firstParameterPort, isParameter = i >= firstParameterPort && i < firstMeterPort;
        const bool isInput = isParameter || i < 2;
        EXPECT_EQ (lilv_port_is_a (plugin, p, audioClass.get()), isAudio);
        EXPECT_EQ (lilv_port_is_a (plugin, p, controlClass.get()), ! isAudio);
        EXPECT_EQ (lilv_port_is_a (plugin, p, inputClass.get()), isInput);
        EXPECT_EQ (lilv_port_is_a (plugin, p, outputClass.get()), ! isInput);
        Node name (lilv_port_get_name (plugin, p));
        EXPECT_TRUE (name != nullptr && std::string (lilv_node_as_string (name.get())).size() > 2);

        // Audio ports must always be connected: the plug-in reads and writes them.
        if (isAudio)
        {
            EXPECT_EQ (symbolOf (i), audioSymbols[i]);
            EXPECT_FALSE (hasProperty (i, LV2_CORE__connectionOptional));
        }
        else if (isParameter)
        {
            const auto parameter = i - firstParameterPort;
            const std::string symbol = parameterSymbols[parameter];
            EXPECT_EQ (symbolOf (i), symbol);
            EXPECT_EQ (minimum[i], 0.0f);
            EXPECT_EQ (maximum[i], 1.0f);
            EXPECT_EQ (defaults[i], defaultOf (parameter)) << symbol;
            EXPECT_EQ (hasProperty (i, LV2_CORE__toggled), switchSymbols.count (symbol) > 0) << symbol;
            EXPECT_EQ (hasProperty (i, LV2_PORT_PROPS__notOnGUI), parameter >= 33) << symbol;
        }
        else if (i < latencyPort)
        {
            const auto band = (i - firstMeterPort) / 2;
            const bool isLevel = (i - firstMeterPort) % 2 == 0;
            EXPECT_EQ (symbolOf (i), std::string (isLevel ? "level_" : "gain_reduction_") + bandSymbols[band]);
            Node meterUnit (lilv_port_get (plugin, p, unit.get()));
            EXPECT_TRUE (meterUnit != nullptr && lilv_node_equals (meterUnit.get(), decibels.get()));
            EXPECT_EQ (minimum[i], isLevel ? -90.0f : 0.0f);
            EXPECT_EQ (maximum[i], isLevel ? 24.0f : 90.0f);
        }
        else
        {
            EXPECT_EQ (symbolOf (i), "latency");
            EXPECT_TRUE (hasProperty (i, LV2_CORE__reportsLatency));
            EXPECT_TRUE (hasProperty (i, LV2_CORE__integer));
        }
    }

    EXPECT_TRUE (lilv_plugin_has_latency (plugin));
    EXPECT_EQ (lilv_plugin_get_latency_port_index (plugin), latencyPort);
}

// Names for people: band and control, or the global control's own title.
TEST_F (LilvHosting, PortNamesAreReadable)
{
    const std::pair<const char*, const char*> expected[] {
        { "attack_0", "Low attack time" }, { "thresh_1", "Mid threshold" }, { "chanonoff_2", "High band on" },
        { "MainInGain", "Input gain" }, { "Fq_High", "High crossover" }, { "MainOnOff", "Processing" },
    };

    for (const auto& [symbol, name] : expected)
    {
        Node symbolNode (lilv_new_string (world, symbol));
        const auto* p = lilv_plugin_get_port_by_symbol (plugin, symbolNode.get());
        ASSERT_NE (p, nullptr) << symbol;
        Node portName (lilv_port_get_name (plugin, p));
        EXPECT_STREQ (lilv_node_as_string (portName.get()), name);
    }
}

TEST_F (LilvHosting, AudioPassesThroughAndAnUnconnectedInputReadsAsSilence)
{
    lilv_instance_connect_port (instance, 1, nullptr);
    const bool firstOnly[] { true, false };
    const auto oneInput = runBlocksAndCompare (10, 1.0f, firstOnly);

    // Connecting it later takes effect at once.
    lilv_instance_connect_port (instance, 1, audio[1].data());
    const auto bothInputs = runBlocksAndCompare (20);

    for (const auto worst : { oneInput, bothInputs })
    {
        EXPECT_GE (worst, 0.0f) << "non-finite output";
        EXPECT_LT (worst, 1.0e-6f);
    }

    EXPECT_EQ (latency, 0.0f);
}

TEST_F (LilvHosting, UnconnectedPortsAndOverlongBlocksAreSafe)
{
    // Nothing connected at all.
    ASSERT_NE (instantiate (false), nullptr);
    for (uint32_t frames : { maxBlock, maxBlock / 2, 1u, 0u, 3 * maxBlock })
        run (frames);

    // Beyond the announced maximum block length, with an input and an output still
    // unconnected: the block runs in pieces, the connected input passes.
    lilv_instance_connect_port (instance, 0, audio[0].data());
    lilv_instance_connect_port (instance, 2, audio[2].data());
    std::fill (audio[2].begin(), audio[2].end(), 7.0f);
    runBlock (3 * maxBlock);

    for (uint32_t i = 32; i < 3 * maxBlock; ++i)  // after the fade-in
        ASSERT_NEAR (audio[2][i], audio[0][i], 1.0e-6f) << i;
}

TEST_F (LilvHosting, LongBlocksRunAsPiecesOfTheAnnouncedLength)
{
    // One block of three times the maximum, and the same audio as three blocks of the
    // maximum on a fresh instance: bit-identical.
    runBlock (3 * maxBlock);
    const std::vector<float> longBlock[2] { audio[2], audio[3] };

    instantiate();
    for (uint32_t piece = 0; piece < 3; ++piece)
    {
        runBlock (maxBlock, piece * maxBlock);

        for (uint32_t c = 0; c < 2; ++c)
            for (uint32_t i = 0; i < maxBlock; ++i)
                ASSERT_EQ (audio[2 + c][i], longBlock[c][piece * maxBlock + i]) << "channel " << c << ", sample " << piece * maxBlock + i;
    }
}

TEST_F (LilvHosting, AnyFeatureListGivesAWorkingInstance)
{
    // The block length option with odd values or types, options left out, and no URID
    // map at all (lv2apply offers none): the instance runs, only without state.
    const auto lengthKey = map (LV2_BUF_SIZE__maxBlockLength);
    const int32_t negative = -1, zero = 0, huge = INT32_MAX;
    const int64_t longValue = 300;
    const double notANumber = std::nan ("");
    struct Case { const char* what; LV2_Options_Option option; bool withOptions, withMap; };
    const Case cases[] {
        { "-1", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int32_t), map (LV2_ATOM__Int), &negative }, true, true },
        { "0", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int32_t), map (LV2_ATOM__Int), &zero }, true, true },
        { "INT32_MAX", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int32_t), map (LV2_ATOM__Int), &huge }, true, true },
        { "long 300", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (int64_t), map (LV2_ATOM__Long), &longValue }, true, true },
        { "NaN", { LV2_OPTIONS_INSTANCE, 0, lengthKey, sizeof (double), map (LV2_ATOM__Double), &notANumber }, true, true },
        { "int of the wrong size", { LV2_OPTIONS_INSTANCE, 0, lengthKey, 2, map (LV2_ATOM__Int), &negative }, true, true },
        { "absent", {}, true, true },
        { "no options feature", {}, false, true },
        { "no URID map", {}, false, false },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.what);
        LV2_Options_Option list[2] { test.option, {} };
        std::vector<LV2_Feature> chosen;
        if (test.withMap)
            chosen.push_back ({ LV2_URID__map, &uridMap });
        if (test.withOptions)
            chosen.push_back ({ LV2_OPTIONS__options, list });

        std::vector<const LV2_Feature*> pointers;
        for (const auto& feature : chosen)
            pointers.push_back (&feature);
        pointers.push_back (nullptr);

        ASSERT_NE (instantiate (true, pointers.data()), nullptr);
        for (uint32_t frames : { 1u, maxBlock, 0u, 3 * maxBlock })
            runBlock (frames);

        const auto worst = runBlocksAndCompare (3);
        EXPECT_GE (worst, 0.0f) << "non-finite output";
        EXPECT_LT (worst, 1.0e-6f);
        EXPECT_EQ (savedState().empty(), ! test.withMap);
    }

    // A sample rate that is none gives no instance, and no crash.
    for (const double rate : { 0.0, -44100.0, std::nan (""), HUGE_VAL })
        EXPECT_EQ (lilv_plugin_instantiate (plugin, rate, featureList), nullptr) << rate;
}

//==============================================================================
// With processing off the output is the input times the input gain (4 v), exactly.
TEST_F (LilvHosting, PortValuesAreLimitedAndNonFiniteOnesIgnored)
{
    control ("MainOnOff") = 0.0f;
    const std::pair<float, float> cases[] {  // port value, then the gain heard
        { 0.5f, 2.0f }, { NAN, 2.0f }, { INFINITY, 2.0f }, { 2.0f, 4.0f }, { -INFINITY, 4.0f },
        { -1.0f, 0.0f }, { 0.25f, 1.0f }, { 1.0e30f, 4.0f },
    };

    for (const auto& [value, gain] : cases)
    {
        SCOPED_TRACE (value);
        control ("MainInGain") = value;
        runBlock (maxBlock);
        EXPECT_TRUE (outputIsInputTimes (gain));
    }
}

TEST_F (LilvHosting, MetersShowEachBandsLevelAndGainReduction)
{
    // Silence: every level at its floor, no reduction, nothing else.
    std::fill (audio[0].begin(), audio[0].end(), 0.0f);
    std::fill (audio[1].begin(), audio[1].end(), 0.0f);
    for (int block = 0; block < 6; ++block)
        run (maxBlock);

    for (uint32_t band = 0; band < numBands; ++band)
    {
        EXPECT_EQ (meters[levelPort (band) - firstMeterPort], -90.0f) << band;
        EXPECT_EQ (meters[reductionPort (band) - firstMeterPort], 0.0f) << band;
    }
    EXPECT_EQ (latency, 0.0f);

    // A loud 100 Hz tone lies in the low band; with the low band's threshold and ratio
    // at their strongest, only the low band is reduced.
    control ("thresh_0") = 0.0f;
    control ("ratio_0") = 0.0f;
    for (uint32_t block = 0; block < 20; ++block)
    {
        for (uint32_t i = 0; i < maxBlock; ++i)
            audio[0][i] = audio[1][i] = 0.5f * (float) std::sin (2.0 * M_PI * 100.0 * (block * maxBlock + i) / 44100.0);
        run (maxBlock);
    }

    const float* level = meters;
    SCOPED_TRACE (::testing::Message() << "levels " << level[0] << ", " << level[2] << ", " << level[4]
                                       << "; reductions " << level[1] << ", " << level[3] << ", " << level[5]);
    EXPECT_NEAR (meters[levelPort (0) - firstMeterPort], -9.0f, 1.0f);  // 0.5 peak: -9 dB RMS
    EXPECT_LT (meters[levelPort (2) - firstMeterPort], meters[levelPort (0) - firstMeterPort] - 30.0f);
    EXPECT_GT (meters[reductionPort (0) - firstMeterPort], 6.0f);
    EXPECT_LT (meters[reductionPort (2) - firstMeterPort], 0.5f);

    for (uint32_t band = 0; band < numBands; ++band)
    {
        EXPECT_GE (meters[levelPort (band) - firstMeterPort], -90.0f);
        EXPECT_LE (meters[levelPort (band) - firstMeterPort], 24.0f);
        EXPECT_GE (meters[reductionPort (band) - firstMeterPort], 0.0f);
        EXPECT_LE (meters[reductionPort (band) - firstMeterPort], 90.0f);
    }
}

//==============================================================================
// The state holds what JUCE's LV2 client wrote: the chunk as JUCE's MemoryBlock text,
// an atom:String with its NUL, flagged POD and portable, under <URI>:StateString.
TEST_F (LilvHosting, SavedStateHasTheFormatOfEarlierBuilds)
{
    control ("thresh_0") = 0.3f;
    runBlock (maxBlock);
    const auto saved = savedState();
    ASSERT_EQ (saved.size(), 1u);
    const auto& [key, stored] = *saved.begin();
    EXPECT_EQ (key, DUNSKARA_LV2_URI ":StateString");
    EXPECT_STREQ (unmap (stored.type), LV2_ATOM__String);
    EXPECT_EQ (stored.flags, (uint32_t) (LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
    ASSERT_FALSE (stored.value.empty());
    EXPECT_EQ (stored.value.back(), '\0');
    EXPECT_EQ (stored.value.find ('\0'), stored.value.size() - 1);

    const auto chunk = savedChunk();
    EXPECT_EQ (chunk.rfind ("VC2!", 0), 0u);
    EXPECT_NE (chunk.find ("<MYPLUGINSETTINGS pname0=\"user1\""), std::string::npos);
    EXPECT_EQ (savedAttribute ("pg_floats05"), "0.300000012");
}

// A state string saved by the build with JUCE's LV2 client (program 4 current; values
// changed in programs 1 and 4) loads with every value, and saves back unchanged.
TEST_F (LilvHosting, StateOfTheBuildWithJucesClientLoads)
{
    std::ifstream file (DUNSKARA_LV2_STATE_FIXTURE, std::ios::binary);
    std::string text ((std::istreambuf_iterator<char> (file)), std::istreambuf_iterator<char>());
    while (! text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    ASSERT_GT (text.size(), 1000u) << DUNSKARA_LV2_STATE_FIXTURE;

    // As it was stored (with its NUL), and without.
    for (const auto& value : { text + '\0', text })
    {
        ASSERT_NE (instantiate(), nullptr);
        ASSERT_EQ (restoreValue (value), LV2_STATE_SUCCESS);
        runBlock (maxBlock);

        const std::pair<const char*, const char*> expected[] {
            { "currentProgram", "3" }, { "pname3", "user4" },
            { "pg_floats05", "0.300000012" }, { "pg_floats013", "0.100000001" }, { "pg_floats030", "0.0700000003" },
            { "pg_floats318", "0.150000006" }, { "pg_floats36", "0.25" }, { "pg_floats316", "1" },
            { "pg_floats327", "0.5" }, { "pg_floats329", "0.75" }, { "pg_floats326", "0" },
            { "pg_floats331", "0.550000012" }, { "pg_floats334", "0.125" }, { "pg_floats35", "1" },
            { "pg_floats15", "1" }, { "pg_floats927", "0.25" },
        };
        for (const auto& [attribute, valueText] : expected)
            EXPECT_EQ (savedAttribute (attribute), valueText) << attribute;

        EXPECT_TRUE (savedStateString() == text + '\0') << "the state does not save back as it was";
    }
}

TEST_F (LilvHosting, RestoredStateAppliesFromTheFirstSampleAndPortsOverrideItOnlyWhenChanged)
{
    // A session saved with a doubled input and processing off (so the output is exactly
    // twice the input), plus two other changes.
    const auto session = stateAfter ({ { "MainInGain", 0.5f }, { "MainOnOff", 0.0f }, { "thresh_0", 0.3f }, { "gain_1", 0.1f } });
    ASSERT_FALSE (session.empty());

    // Reopened by a host whose ports hold the defaults (as an old session's do): restored
    // on another thread before the first block, and the state is what plays.
    LV2_State_Status status = LV2_STATE_ERR_UNKNOWN;
    std::thread restorer ([&] { status = restoreValue (session); });
    restorer.join();
    ASSERT_EQ (status, LV2_STATE_SUCCESS);

    for (uint32_t block = 0; block < 3; ++block)
    {
        runBlock (maxBlock, block * maxBlock);
        ASSERT_TRUE (outputIsInputTimes (2.0f)) << "block " << block;
    }
    EXPECT_EQ (savedAttribute ("pg_floats05"), "0.300000012");
    EXPECT_EQ (savedAttribute ("pg_floats013"), "0.100000001");

    // A port the host changes afterwards takes over, from the first sample of its run.
    control ("MainInGain") = 0.75f;
    runBlock (maxBlock);
    EXPECT_TRUE (outputIsInputTimes (3.0f));
    EXPECT_EQ (savedAttribute ("pg_floats027"), "0.75");
    EXPECT_EQ (savedAttribute ("pg_floats05"), "0.300000012");

    // Restores while another thread processes: nothing breaks, and the state restored
    // last is the one that stays.
    const auto defaults = stateAfter ({});
    {
        std::atomic<bool> stop { false };
        std::thread audioThread ([&]
        {
            while (! stop)
                lilv_instance_run (instance, maxBlock / 8);
        });

        for (int i = 0; i < 40; ++i)
            EXPECT_EQ (restoreValue (i % 2 == 1 ? session : defaults), LV2_STATE_SUCCESS);

        stop = true;
        audioThread.join();
    }

    runBlock (maxBlock);
    EXPECT_TRUE (outputIsInputTimes (2.0f));
}

TEST_F (LilvHosting, ProgramKeySelectsAProgramAndOnlyAValidOne)
{
    control ("thresh_0") = 0.3f;
    runBlock (maxBlock);

    ASSERT_EQ (restoreProgram (2), LV2_STATE_SUCCESS);
    runBlock (maxBlock);
    EXPECT_EQ (savedAttribute ("currentProgram"), "2");
    EXPECT_EQ (savedAttribute ("pg_floats05"), "0.300000012");  // program 1 keeps its value
    EXPECT_EQ (savedAttribute ("pg_floats25"), "1");

    // A program that does not exist, or the key of the wrong type (then the state string
    // is looked for, which is not there), changes nothing.
    const auto before = savedStateString();
    for (const int32_t program : { 10, -1, INT32_MAX })
        EXPECT_NE (restoreProgram (program), LV2_STATE_SUCCESS) << program;
    EXPECT_EQ (restoreValue ("\2\0", DUNSKARA_LV2_URI ":Program", LV2_ATOM__Int), LV2_STATE_ERR_NO_PROPERTY);
    EXPECT_EQ (restoreValue (std::string ("\2\0\0\0", 4), DUNSKARA_LV2_URI ":Program", LV2_ATOM__Float), LV2_STATE_ERR_NO_PROPERTY);
    runBlock (maxBlock);
    EXPECT_TRUE (savedStateString() == before) << "the state changed";
}

TEST_F (LilvHosting, DamagedStateStringsChangeNothing)
{
    // Damage is made to the state of a fresh instance; the instance holds another one, so
    // that any damaged string accepted would show.
    const auto good = stateAfter ({});
    ASSERT_GT (good.size(), 100u);
    ASSERT_EQ (good.back(), '\0');
    const auto text = good.substr (0, good.size() - 1);

    control ("thresh_0") = 0.3f;
    runBlock (maxBlock);
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
        // Well-formed text around a chunk the plug-in cannot use: not XML, another root.
        { "not a chunk", encodeJuceBase64 ("not a chunk at all") },
        { "foreign root", encodeJuceBase64 (chunkWithRoot ("OTHERSETTINGS")) },
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

    // The intact string still restores, and so does one made here around the plug-in's
    // own root (which shows the two refused above failed for what they hold).
    EXPECT_EQ (restoreValue (good), LV2_STATE_SUCCESS);
    EXPECT_EQ (savedAttribute ("pg_floats05"), "1");
    EXPECT_EQ (restoreValue (encodeJuceBase64 (chunkWithRoot ("MYPLUGINSETTINGS"))), LV2_STATE_SUCCESS);
    EXPECT_EQ (savedAttribute ("pname0"), "x");

    const auto worst = runBlocksAndCompare (2, 1.0f);
    EXPECT_GE (worst, 0.0f) << "non-finite output";
}

//==============================================================================
// What a lilv-based host saves (port values and the plug-in's state, as Turtle) and
// loads back: the ports get their values and the state its own.
TEST_F (LilvHosting, SessionsSavedByLilvHostsReopenWithPortsAndState)
{
    const std::map<std::string, float> changes { { "thresh_0", 0.3f }, { "gain_1", 0.1f }, { "MainOnOff", 0.0f },
                                                 { "MainInGain", 0.5f }, { "limonoff_2", 1.0f } };
    for (const auto& [symbol, value] : changes)
        control (symbol.c_str()) = value;
    runBlock (maxBlock);
    const auto chunk = savedChunk();

    const auto saved = saveWithLilv();
    ASSERT_NE (saved, nullptr);
    std::unique_ptr<char, decltype (&lilv_free)> text (lilv_state_to_string (world, &uridMap, &uridUnmap, saved.get(),
                                                                              "urn:dunskara:test:session", nullptr), lilv_free);
    ASSERT_NE (text, nullptr);

    // A new instance in a host whose ports start at the defaults.
    Host reopened;
    ASSERT_NE (reopened.instantiate(), nullptr);
    const State parsed (lilv_state_new_from_string (world, &reopened.uridMap, text.get()));
    ASSERT_NE (parsed, nullptr) << text.get();
    reopened.restoreWithLilv (parsed.get());

    for (uint32_t i = 0; i < numParameters; ++i)
        EXPECT_EQ (reopened.controls[i], controls[i]) << parameterSymbols[i];

    reopened.runBlock (maxBlock);
    EXPECT_TRUE (reopened.savedChunk() == chunk);
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t i = 0; i < maxBlock; ++i)
            ASSERT_EQ (reopened.audio[2 + c][i], 2.0f * reopened.audio[c][i]) << c << ", " << i;

    // A host that moved ports since, without processing, and restores again (as a
    // plug-in validator's state test does): the saved values come back, and play.
    reopened.control ("thresh_0") = 0.9f;
    reopened.control ("MainInGain") = 0.1f;
    reopened.restoreWithLilv (parsed.get());
    EXPECT_EQ (reopened.control ("thresh_0"), 0.3f);
    reopened.runBlock (maxBlock);
    EXPECT_TRUE (reopened.savedChunk() == chunk);
}

TEST_F (LilvHosting, TheTenProgramsArePresetsThatSetThePortsAndSelectTheProgram)
{
    const auto presetClass = uri (LV2_PRESETS__Preset);
    const auto label = uri (LILV_NS_RDFS "label");
    auto* presets = lilv_plugin_get_related (plugin, presetClass.get());
    std::map<std::string, std::string> byLabel;

    LILV_FOREACH (nodes, i, presets)
    {
        const auto* preset = lilv_nodes_get (presets, i);
        lilv_world_load_resource (world, preset);
        Node name (lilv_world_get (world, preset, label.get(), nullptr));
        ASSERT_NE (name, nullptr);
        byLabel[lilv_node_as_string (name.get())] = lilv_node_as_uri (preset);
    }
    lilv_nodes_free (presets);

    ASSERT_EQ (byLabel.size(), 10u);
    for (int p = 1; p <= 10; ++p)
        EXPECT_EQ (byLabel["user" + std::to_string (p)], DUNSKARA_LV2_URI ":preset" + std::to_string (p));

    // Program 1 gets a value of its own; loading "user4" sets every port to the program's
    // initial values and selects program 4, keeping program 1's value in the bank.
    control ("thresh_0") = 0.3f;
    control ("Fq_Low") = 0.2f;
    runBlock (maxBlock);

    const auto presetUri = uri (byLabel["user4"].c_str());
    const State preset (lilv_state_new_from_world (world, &uridMap, presetUri.get()));
    ASSERT_NE (preset, nullptr);
    EXPECT_EQ (lilv_state_get_num_properties (preset.get()), 1u);
    restoreWithLilv (preset.get());

    for (uint32_t i = 0; i < numParameters; ++i)
        EXPECT_EQ (controls[i], defaultOf (i)) << parameterSymbols[i];

    runBlock (maxBlock);
    EXPECT_EQ (savedAttribute ("currentProgram"), "3");
    EXPECT_EQ (savedAttribute ("pg_floats05"), "0.300000012");
    EXPECT_EQ (savedAttribute ("pg_floats030"), "0.200000003");
    EXPECT_EQ (savedAttribute ("pg_floats35"), "1");
    EXPECT_EQ (savedAttribute ("pg_floats330"), "0.0299999993");
}
} // namespace
