// The CLAP build loaded as hosts load it: identity, ports, parameters and their texts,
// audio bit-identical to the VST2 build, state moved between the two formats, and the
// answers to hosts that break the rules.

#include "ClapHost.h"
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using testhost::ClapHost;
using testhost::EventList;
using testhost::ByteStream;

namespace
{
constexpr double sampleRate = 48000.0;
constexpr uint32_t blockSize = 256;

std::vector<float> testSignal (std::size_t length, int seed)
{
    std::vector<float> s (length);
    uint32_t noise = 12345u * (uint32_t) seed;
    for (std::size_t i = 0; i < length; ++i)
    {
        noise = noise * 1664525u + 1013904223u;
        s[i] = 0.6f * (float) std::sin (0.013 * seed * (double) i) + 0.3f * ((float) (noise >> 8) / 16777216.0f - 0.5f);
    }
    return s;
}

ClapHost& clapHost()
{
    static ClapHost host (DUNSKARA_CLAP_BINARY);
    return host;
}

// An activated, processing instance and the calls a test needs.
struct Running
{
    explicit Running (bool start = true)
    {
        if (start)
            activate();
    }

    bool activate (uint32_t maxFrames = blockSize)
    {
        return instance.plugin != nullptr && instance.plugin->activate (instance.plugin, sampleRate, 1, maxFrames)
               && instance.plugin->start_processing (instance.plugin);
    }

    // Frames [start, start + n) of the signals through process(); output appended.
    clap_process_status process (const std::vector<float>* in, std::vector<float>* out, uint32_t start, uint32_t n,
                                 EventList* events = nullptr, EventList* outEvents = nullptr)
    {
        std::vector<float> o[2] = { std::vector<float> (n, 9.0f), std::vector<float> (n, 9.0f) };
        float* inPtr[2] = { const_cast<float*> (in[0].data()) + start, const_cast<float*> (in[1].data()) + start };
        float* outPtr[2] = { o[0].data(), o[1].data() };
        clap_audio_buffer_t input { inPtr, nullptr, 2, 0, 0 }, output { outPtr, nullptr, 2, 0, 0 };
        EventList none, collected;
        const auto inList = (events != nullptr ? events : &none)->input();
        const auto outList = (outEvents != nullptr ? outEvents : &collected)->output();
        const clap_process_t p { -1, n, nullptr, &input, &output, 1, 1, &inList, &outList };
        const auto status = instance.plugin->process (instance.plugin, &p);
        for (int c = 0; c < 2; ++c)
            out[c].insert (out[c].end(), o[c].begin(), o[c].end());
        return status;
    }

    std::vector<unsigned char> save()
    {
        ByteStream stream;
        stream.piece = 5;
        const auto writer = stream.writer();
        EXPECT_TRUE (instance.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (instance.plugin, &writer));
        return stream.bytes;
    }

    bool load (std::vector<unsigned char> bytes, std::size_t piece = 3)
    {
        ByteStream stream;
        stream.bytes = std::move (bytes);
        stream.piece = piece;
        const auto reader = stream.reader();
        return instance.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (instance.plugin, &reader);
    }

    ~Running()
    {
        if (instance.plugin != nullptr)
        {
            instance.plugin->stop_processing (instance.plugin);
            instance.plugin->deactivate (instance.plugin);
        }
    }

    ClapHost::Instance instance { clapHost().factory };
};

std::unique_ptr<testhost::Vst2Host> openVst2()
{
    auto host = std::make_unique<testhost::Vst2Host> (DUNSKARA_VST2_BINARY);
    host->instantiateAndOpen();
    host->resume (sampleRate, (int) blockSize);
    return host;
}

// Settings as (parameter, value) pairs: the signal chain's main paths.
using Settings = std::vector<std::pair<int, float>>;
const Settings settingsTable[] = {
    {},                                                          // defaults
    { { 5, 0.2f }, { 6, 0.1f }, { 14, 0.3f }, { 15, 0.0f }, { 27, 0.6f } }, // compressing bands, hot input
    { { 7, 1.0f }, { 16, 1.0f }, { 25, 1.0f }, { 28, 0.7f }, { 29, 0.5f } }, // limiters, make-up, half mix
    { { 17, 0.0f }, { 30, 0.1f }, { 31, 0.6f }, { 3, 0.8f }, { 22, 0.2f } }, // mid band off, moved crossovers
    { { 32, 0.0f }, { 27, 0.4f } },                               // processing off
};
} // namespace

//==============================================================================
TEST (ClapBinary, EntryFactoryAndDescriptor)
{
    auto& host = clapHost();
    ASSERT_NE (host.entry, nullptr) << host.loadError;
    ASSERT_NE (host.factory, nullptr);
    EXPECT_GE (host.entry->clap_version.major, 1u);
    EXPECT_EQ (host.entry->get_factory ("clap.unknown-factory"), nullptr);
    EXPECT_EQ (host.entry->get_factory (nullptr), nullptr);

    // A second init, as a wrapper loading the same file does, is counted and answered.
    EXPECT_TRUE (host.entry->init ("again"));
    host.entry->deinit();
    EXPECT_NE (host.entry->get_factory (CLAP_PLUGIN_FACTORY_ID), nullptr);

    ASSERT_EQ (host.factory->get_plugin_count (host.factory), 1u);
    EXPECT_EQ (host.factory->get_plugin_descriptor (host.factory, 1), nullptr);
    const auto* d = host.factory->get_plugin_descriptor (host.factory, 0);
    ASSERT_NE (d, nullptr);
    EXPECT_STREQ (d->id, "com.quorvane.dunskara");
    EXPECT_STREQ (d->name, "DUNSKARA");
    EXPECT_STREQ (d->vendor, "Quorvane");
    EXPECT_STREQ (d->version, "1.0.0");
    std::vector<std::string> features;
    for (auto f = d->features; *f != nullptr; ++f)
        features.emplace_back (*f);
    EXPECT_EQ (features, (std::vector<std::string> { "audio-effect", "compressor", "limiter", "stereo", "mono" }));

    EXPECT_EQ (ClapHost::Instance (host.factory, "com.quorvane.other").plugin, nullptr);
    EXPECT_EQ (host.factory->create_plugin (host.factory, nullptr, d->id), nullptr);
}

TEST (ClapBinary, PortsLatencyAndConfigurations)
{
    ClapHost::Instance instance (clapHost().factory);
    ASSERT_NE (instance.plugin, nullptr);
    const auto* ports = instance.extension<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS);
    const auto* configs = instance.extension<clap_plugin_audio_ports_config_t> (CLAP_EXT_AUDIO_PORTS_CONFIG);
    ASSERT_NE (ports, nullptr);
    ASSERT_NE (configs, nullptr);
    EXPECT_EQ (instance.extension<clap_plugin_latency_t> (CLAP_EXT_LATENCY)->get (instance.plugin), 0u);
    EXPECT_EQ (instance.extension<clap_plugin_note_ports_t> (CLAP_EXT_NOTE_PORTS)->count (instance.plugin, true), 0u);

    const auto channels = [&] (bool isInput) {
        clap_audio_port_info_t info {};
        EXPECT_EQ (ports->count (instance.plugin, isInput), 1u);
        EXPECT_TRUE (ports->get (instance.plugin, 0, isInput, &info));
        EXPECT_EQ (info.flags & CLAP_AUDIO_PORT_IS_MAIN, (uint32_t) CLAP_AUDIO_PORT_IS_MAIN);
        EXPECT_STREQ (info.port_type, info.channel_count == 1 ? CLAP_PORT_MONO : CLAP_PORT_STEREO);
        return info.channel_count;
    };
    EXPECT_EQ (channels (true), 2u);
    EXPECT_EQ (channels (false), 2u);
    clap_audio_port_info_t info {};
    EXPECT_FALSE (ports->get (instance.plugin, 1, true, &info));
    EXPECT_FALSE (ports->get (instance.plugin, 0, true, nullptr));

    ASSERT_EQ (configs->count (instance.plugin), 2u);
    clap_audio_ports_config_t config {};
    ASSERT_TRUE (configs->get (instance.plugin, 1, &config));
    EXPECT_EQ (config.main_input_channel_count, 1u);
    EXPECT_EQ (config.main_output_channel_count, 2u);
    EXPECT_FALSE (configs->get (instance.plugin, 2, &config));
    EXPECT_FALSE (configs->select (instance.plugin, 7));
    ASSERT_TRUE (configs->select (instance.plugin, config.id));
    EXPECT_EQ (channels (true), 1u);
    EXPECT_EQ (channels (false), 2u);

    // The layout is fixed while active.
    ASSERT_TRUE (instance.plugin->activate (instance.plugin, sampleRate, 1, blockSize));
    EXPECT_FALSE (configs->select (instance.plugin, 0));
    instance.plugin->deactivate (instance.plugin);
    EXPECT_TRUE (configs->select (instance.plugin, 0));
}

TEST (ClapBinary, ParametersMatchTheVst2Build)
{
    ClapHost::Instance instance (clapHost().factory);
    const auto* params = instance.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    ASSERT_NE (params, nullptr);
    auto vst2 = openVst2();
    ASSERT_EQ (params->count (instance.plugin), 35u);

    for (uint32_t i = 0; i < 35; ++i)
    {
        clap_param_info_t info {};
        ASSERT_TRUE (params->get_info (instance.plugin, i, &info));
        EXPECT_EQ (info.id, i);
        EXPECT_EQ (info.name, vst2->getParamName ((int) i));
        EXPECT_EQ (info.min_value, 0.0);
        EXPECT_EQ (info.max_value, 1.0);
        EXPECT_EQ ((float) info.default_value, vst2->getParameter ((int) i)) << info.name;
        double value = -1.0;
        ASSERT_TRUE (params->get_value (instance.plugin, i, &value));
        EXPECT_EQ (value, info.default_value);

        const bool isSwitch = i == 32 || (i < 27 && (i % 9 == 7 || i % 9 == 8));
        const bool isUnused = i >= 33;
        EXPECT_EQ ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, isSwitch) << info.name;
        EXPECT_EQ ((info.flags & CLAP_PARAM_IS_HIDDEN) != 0, isUnused) << info.name;
        EXPECT_EQ ((info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0, ! isUnused) << info.name;
    }

    clap_param_info_t info {};
    double value = 0.0;
    EXPECT_FALSE (params->get_info (instance.plugin, 35, &info));
    EXPECT_FALSE (params->get_info (instance.plugin, 0, nullptr));
    EXPECT_FALSE (params->get_value (instance.plugin, 35, &value));
    EXPECT_FALSE (params->get_value (instance.plugin, 0, nullptr));
}

TEST (ClapBinary, TextsCarryUnitsAndParseBackExactly)
{
    ClapHost::Instance instance (clapHost().factory);
    const auto* params = instance.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    ASSERT_NE (params, nullptr);
    const auto text = [&] (clap_id id, double v) {
        char buffer[64] = "untouched";
        EXPECT_TRUE (params->value_to_text (instance.plugin, id, v, buffer, sizeof (buffer)));
        return std::string (buffer);
    };

    const struct { clap_id id; double value; const char* text; } examples[] = {
        { 0, 0.42, "10.1 ms" }, { 2, 1.0, "100 %" }, { 31, 0.4, "5261 Hz" }, { 5, 0.35, "-16.3 dB" },
        { 28, 1.0, "9.5 dB" }, { 29, 0.5, "50.0 %" }, { 6, 1.0, "1.00:1" }, { 7, 0.0, "off" }, { 8, 1.0, "on" },
    };
    for (const auto& e : examples)
        EXPECT_EQ (text (e.id, e.value), e.text) << "parameter " << e.id;

    // Every parameter: a text read back gives a value that shows the same text.
    for (clap_id id = 0; id < 35; ++id)
        for (double v = 0.0; v <= 1.0; v += 0.0625)
        {
            const auto shown = text (id, v);
            double parsed = -1.0;
            ASSERT_TRUE (params->text_to_value (instance.plugin, id, shown.c_str(), &parsed)) << id << " " << shown;
            EXPECT_EQ (text (id, parsed), shown) << "parameter " << id;
        }

    char small[4];
    EXPECT_TRUE (params->value_to_text (instance.plugin, 27, 1.0, small, sizeof (small)));
    EXPECT_EQ (std::strlen (small), 3u); // truncated, terminated
    double v = 0.0;
    EXPECT_FALSE (params->value_to_text (instance.plugin, 0, std::nan (""), small, sizeof (small)));
    EXPECT_FALSE (params->value_to_text (instance.plugin, 35, 0.5, small, sizeof (small)));
    EXPECT_FALSE (params->value_to_text (instance.plugin, 0, 0.5, nullptr, 8));
    EXPECT_FALSE (params->text_to_value (instance.plugin, 0, "loud", &v));
    EXPECT_FALSE (params->text_to_value (instance.plugin, 0, nullptr, &v));
    EXPECT_FALSE (params->text_to_value (instance.plugin, 35, "0.5", &v));
}

//==============================================================================
TEST (ClapBinary, OutputIsBitIdenticalToTheVst2Build)
{
    constexpr int numBlocks = 12;
    const std::vector<float> in[2] = { testSignal (blockSize * numBlocks, 1), testSignal (blockSize * numBlocks, 2) };

    for (const auto& settings : settingsTable)
    {
        // CLAP: the settings as events at the start of the first block.
        Running clap;
        std::vector<float> clapOut[2];
        for (uint32_t b = 0; b < numBlocks; ++b)
        {
            EventList events;
            if (b == 0)
                for (auto [index, value] : settings)
                    events.addValue (0, (clap_id) index, value);
            ASSERT_EQ (clap.process (in, clapOut, b * blockSize, blockSize, &events), CLAP_PROCESS_CONTINUE);
        }

        // VST2: the same settings before the first block.
        auto vst2 = openVst2();
        for (auto [index, value] : settings)
            vst2->setParameter (index, value);
        std::vector<std::vector<float>> vst2Out (2);
        for (int b = 0; b < numBlocks; ++b)
        {
            std::vector<std::vector<float>> i (2), o (2, std::vector<float> (blockSize));
            for (int c = 0; c < 2; ++c)
                i[(size_t) c].assign (in[c].begin() + b * blockSize, in[c].begin() + (b + 1) * blockSize);
            ASSERT_TRUE (vst2->processReplacing (i, o, (int) blockSize));
            for (int c = 0; c < 2; ++c)
                vst2Out[(size_t) c].insert (vst2Out[(size_t) c].end(), o[(size_t) c].begin(), o[(size_t) c].end());
        }

        for (int c = 0; c < 2; ++c)
        {
            ASSERT_EQ (clapOut[c].size(), vst2Out[(size_t) c].size());
            EXPECT_EQ (std::memcmp (clapOut[c].data(), vst2Out[(size_t) c].data(), clapOut[c].size() * sizeof (float)), 0)
                << "channel " << c << ", " << settings.size() << " settings";
        }
    }
}

TEST (ClapBinary, EventsApplyAtTheirSampleOffset)
{
    // An event at frame 100 of a block equals a VST2 host changing the value between a
    // 100-frame and a 156-frame block. Events out of order or past the end are applied
    // as the block reaches them.
    const std::vector<float> in[2] = { testSignal (blockSize * 2, 3), testSignal (blockSize * 2, 4) };
    Running clap;
    std::vector<float> clapOut[2];
    EventList events;
    events.addValue (100, 27, 0.9);
    events.addValue (100, 28, 0.8);
    events.addValue (900, 32, 0.0); // past the end: from the next block on
    ASSERT_EQ (clap.process (in, clapOut, 0, blockSize, &events), CLAP_PROCESS_CONTINUE);
    ASSERT_EQ (clap.process (in, clapOut, blockSize, blockSize), CLAP_PROCESS_CONTINUE);

    auto vst2 = openVst2();
    std::vector<float> vst2Out[2];
    const auto run = [&] (int from, int n) {
        std::vector<std::vector<float>> i (2), o (2, std::vector<float> ((size_t) n));
        for (int c = 0; c < 2; ++c)
            i[(size_t) c].assign (in[c].begin() + from, in[c].begin() + from + n);
        ASSERT_TRUE (vst2->processReplacing (i, o, n));
        for (int c = 0; c < 2; ++c)
            vst2Out[c].insert (vst2Out[c].end(), o[(size_t) c].begin(), o[(size_t) c].end());
    };
    run (0, 100);
    vst2->setParameter (27, 0.9f);
    vst2->setParameter (28, 0.8f);
    run (100, (int) blockSize - 100);
    vst2->setParameter (32, 0.0f);
    run ((int) blockSize, (int) blockSize);

    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (clapOut[c], vst2Out[c]) << "channel " << c;
}

TEST (ClapBinary, MonoInputConfigurationMatchesTheVst2Build)
{
    const std::vector<float> in[2] = { testSignal (blockSize * 4, 5), std::vector<float> (blockSize * 4, 0.0f) };
    Running clap (false);
    const auto* configs = clap.instance.extension<clap_plugin_audio_ports_config_t> (CLAP_EXT_AUDIO_PORTS_CONFIG);
    ASSERT_TRUE (configs->select (clap.instance.plugin, 1));
    ASSERT_TRUE (clap.activate());
    std::vector<float> clapOut[2];
    for (uint32_t b = 0; b < 4; ++b)
        ASSERT_EQ (clap.process (in, clapOut, b * blockSize, blockSize), CLAP_PROCESS_CONTINUE);

    // The processor delivers a mono input on both outputs.
    EXPECT_EQ (clapOut[0], clapOut[1]);
    float peak = 0.0f;
    for (float s : clapOut[0])
        peak = std::max (peak, std::abs (s));
    EXPECT_GT (peak, 0.1f);
}

//==============================================================================
TEST (ClapBinary, StateMovesBetweenClapAndVst2)
{
    // Changed values on the CLAP side reach VST2 through the chunk, byte for byte.
    Running clap (false);
    const auto* params = clap.instance.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    EventList events;
    events.addValue (0, 3, 0.75);
    events.addValue (0, 31, 0.55);
    const auto list = events.input();
    params->flush (clap.instance.plugin, &list, nullptr);
    const auto clapChunk = clap.save();

    auto vst2 = openVst2();
    EXPECT_NE (vst2->getChunk(), clapChunk);
    vst2->setChunk (clapChunk);
    EXPECT_EQ (vst2->getChunk(), clapChunk);
    EXPECT_EQ (vst2->getParameter (3), 0.75f);

    // And back: a VST2 chunk read in 3-byte pieces into a fresh CLAP instance.
    vst2->setParameter (20, 0.125f);
    const auto vst2Chunk = vst2->getChunk();
    Running other (false);
    const int rescansBefore = other.instance.record.valueRescans;
    ASSERT_TRUE (other.load (vst2Chunk, 3));
    EXPECT_EQ (other.save(), vst2Chunk);
    double value = 0.0;
    other.instance.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS)->get_value (other.instance.plugin, 20, &value);
    EXPECT_EQ (value, 0.125);

    // The host hears that values changed and re-reads them on the main thread.
    EXPECT_GT (other.instance.record.callbackRequests.load(), 0);
    other.instance.plugin->on_main_thread (other.instance.plugin);
    EXPECT_EQ (other.instance.record.valueRescans.load(), rescansBefore + 1);
}

TEST (ClapBinary, DamagedStateChangesNothing)
{
    Running clap (false);
    const auto original = clap.save();
    Running source (false);
    EventList events;
    events.addValue (0, 0, 0.9);
    const auto list = events.input();
    source.instance.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS)->flush (source.instance.plugin, &list, nullptr);
    const auto good = source.save();

    auto flipped = good;
    flipped[0] ^= 0xff;
    auto badXml = good;
    badXml[good.size() / 2] = '<';
    const std::vector<std::vector<unsigned char>> damaged = {
        {}, { 1, 2, 3 }, { good.begin(), good.end() - 1 }, { good.begin(), good.begin() + 8 }, flipped, badXml,
    };
    for (const auto& bytes : damaged)
    {
        EXPECT_FALSE (clap.load (bytes, 7)) << bytes.size() << " bytes";
        EXPECT_EQ (clap.save(), original);
    }

    // A stream that fails part way, and null arguments.
    ByteStream failing;
    failing.bytes = good;
    failing.failReads = true;
    const auto reader = failing.reader();
    const auto* state = clap.instance.extension<clap_plugin_state_t> (CLAP_EXT_STATE);
    EXPECT_FALSE (state->load (clap.instance.plugin, &reader));
    EXPECT_FALSE (state->load (clap.instance.plugin, nullptr));
    EXPECT_FALSE (state->save (clap.instance.plugin, nullptr));
    EXPECT_FALSE (state->load (nullptr, &reader));
    EXPECT_EQ (clap.save(), original);

    EXPECT_TRUE (clap.load (good, 1));
    EXPECT_EQ (clap.save(), good);
}

//==============================================================================
TEST (ClapBinary, CallsOutOfOrderAndBadArgumentsGetSafeAnswers)
{
    ClapHost::Instance instance (clapHost().factory);
    const auto* p = instance.plugin;
    ASSERT_NE (p, nullptr);
    EXPECT_EQ (p->get_extension (p, "clap.unknown"), nullptr);
    EXPECT_EQ (p->get_extension (p, nullptr), nullptr);
    EXPECT_EQ (p->get_extension (nullptr, CLAP_EXT_PARAMS), nullptr);

    // Process before activate, start before activate, bad activation arguments.
    const std::vector<float> in[2] = { testSignal (blockSize, 1), testSignal (blockSize, 2) };
    float* ptrs[2] = { const_cast<float*> (in[0].data()), const_cast<float*> (in[1].data()) };
    clap_audio_buffer_t buffer { ptrs, nullptr, 2, 0, 0 };
    const clap_process_t early { 0, blockSize, nullptr, &buffer, &buffer, 1, 1, nullptr, nullptr };
    EXPECT_EQ (p->process (p, &early), CLAP_PROCESS_ERROR);
    EXPECT_FALSE (p->start_processing (p));
    EXPECT_FALSE (p->activate (p, std::nan (""), 1, 256));
    EXPECT_FALSE (p->activate (p, 0.0, 1, 256));
    EXPECT_FALSE (p->activate (p, sampleRate, 512, 256));
    EXPECT_FALSE (p->activate (p, sampleRate, 1, 0));
    p->deactivate (p); // while inactive: ignored

    ASSERT_TRUE (p->activate (p, sampleRate, 1, 64));
    EXPECT_FALSE (p->activate (p, sampleRate, 1, 64));
    EXPECT_EQ (p->process (p, nullptr), CLAP_PROCESS_ERROR);

    // Blocks longer than announced, missing buffers and events, bad event values.
    EventList events;
    events.addValue (0, 27, std::nan (""));
    events.addValue (0, 999, 0.5);
    events.addValue (10, 28, 1e30);
    clap_event_header_t foreign { sizeof (clap_event_header_t), 5, 7, CLAP_EVENT_PARAM_VALUE, 0 };
    events.add (&foreign);
    clap_event_header_t tooShort { sizeof (clap_event_header_t), 6, 0, CLAP_EVENT_PARAM_VALUE, 0 };
    events.add (&tooShort);
    const auto inList = events.input();
    std::vector<float> out[2] = { std::vector<float> (blockSize), std::vector<float> (blockSize) };
    float* outPtrs[2] = { out[0].data(), out[1].data() };
    clap_audio_buffer_t output { outPtrs, nullptr, 2, 0, 0 };
    const clap_process_t cases[] = {
        { 0, blockSize, nullptr, &buffer, &output, 1, 1, &inList, nullptr },
        { 0, blockSize, nullptr, nullptr, &output, 0, 1, nullptr, nullptr },
        { 0, 0, nullptr, &buffer, &output, 1, 1, &inList, nullptr },
        { 0, blockSize, nullptr, &buffer, nullptr, 1, 0, nullptr, nullptr },
    };
    ASSERT_TRUE (p->start_processing (p));
    for (const auto& c : cases)
    {
        EXPECT_EQ (p->process (p, &c), CLAP_PROCESS_CONTINUE);
        for (const auto& channel : out)
            for (float s : channel)
                ASSERT_TRUE (std::isfinite (s));
    }
    double value = 0.0;
    instance.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS)->get_value (p, 28, &value);
    EXPECT_EQ (value, 1.0); // limited to the range
    p->stop_processing (p);
    p->deactivate (p);
}

TEST (ClapBinary, MainThreadFunctionsRefuseOtherThreads)
{
    ClapHost::Instance instance (clapHost().factory);
    const auto* params = instance.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    instance.record.claimMainThread = false;
    clap_param_info_t info {};
    EXPECT_EQ (params->count (instance.plugin), 0u);
    EXPECT_FALSE (params->get_info (instance.plugin, 0, &info));
    EXPECT_FALSE (instance.plugin->activate (instance.plugin, sampleRate, 1, blockSize));
    EXPECT_GT (instance.record.errors.load(), 0);
    instance.record.claimMainThread = true;
    EXPECT_TRUE (params->get_info (instance.plugin, 0, &info));
}

TEST (ClapBinary, DestroyWhileActiveReleasesEverything)
{
    for (int i = 0; i < 3; ++i)
    {
        auto instance = std::make_unique<ClapHost::Instance> (clapHost().factory);
        ASSERT_TRUE (instance->plugin->activate (instance->plugin, sampleRate, 1, blockSize));
        ASSERT_TRUE (instance->plugin->start_processing (instance->plugin));
    }
}
