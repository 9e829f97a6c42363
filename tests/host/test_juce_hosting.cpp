// Loads the built VST3 and LV2 bundles through JUCE's own hosting classes, as a
// JUCE-based host does, and checks parameters, channels, audio and saved state.
#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

namespace
{
constexpr int numParameters = 35;
constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;

const char* const parameterNames[numParameters] = {
    "attack_0", "release_0", "fxmix_0", "add_0", "gain_0", "thresh_0", "ratio_0", "limonoff_0", "chanonoff_0",
    "attack_1", "release_1", "fxmix_1", "add_1", "gain_1", "thresh_1", "ratio_1", "limonoff_1", "chanonoff_1",
    "attack_2", "release_2", "fxmix_2", "add_2", "gain_2", "thresh_2", "ratio_2", "limonoff_2", "chanonoff_2",
    "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not-used", "not-used"
};

enum class Format { vst3, lv2 };

std::string formatName (const ::testing::TestParamInfo<Format>& info)
{
    return info.param == Format::vst3 ? "VST3" : "LV2";
}

class HostedPlugin : public ::testing::TestWithParam<Format>
{
protected:
    void SetUp() override
    {
        if (GetParam() == Format::vst3)
        {
            format = std::make_unique<juce::VST3PluginFormat>();
            identifier = DUNSKARA_VST3_BUNDLE;
        }
        else
        {
            format = std::make_unique<juce::LV2PluginFormat>();
            // Only the build's bundle: HOME points at an empty folder (see the main).
            format->searchPathsForPlugins (juce::FileSearchPath (DUNSKARA_LV2_FOLDER), false, false);
            identifier = DUNSKARA_LV2_URI;
        }

        format->findAllTypesForFile (descriptions, identifier);
        ASSERT_EQ (descriptions.size(), 1) << identifier;
    }

    std::unique_ptr<juce::AudioPluginInstance> createInstance()
    {
        juce::String error;
        auto instance = format->createInstanceFromDescription (*descriptions[0], sampleRate, blockSize, error);
        EXPECT_NE (instance, nullptr) << error;
        return instance;
    }

    static juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
    {
        for (auto* parameter : instance.getParameters())
            if (parameter->getName (64) == name)
                return parameter;

        return nullptr;
    }

    static void processOneBlock (juce::AudioPluginInstance& instance, juce::AudioBuffer<float>& buffer)
    {
        juce::MidiBuffer midi;
        instance.processBlock (buffer, midi);
    }

    // The plug-in's own chunk (its "MYPLUGINSETTINGS" XML in JUCE's binary framing)
    // travels base64-encoded inside each format's host-side state: an XML element after
    // a binary header for VST3, a Turtle string literal for LV2. Returns it as text.
    static std::string findPluginChunk (const juce::MemoryBlock& hostState)
    {
        const std::string raw (static_cast<const char*> (hostState.getData()), hostState.getSize());
        size_t start = 0;

        while (start < raw.size())
        {
            const auto end = std::min (raw.find_first_of ("\"<>", start), raw.size());
            juce::MemoryBlock decoded;

            if (end - start > 64 && decoded.fromBase64Encoding (juce::String (raw.substr (start, end - start))))
            {
                const std::string bytes (static_cast<const char*> (decoded.getData()), decoded.getSize());

                if (bytes.find ("MYPLUGINSETTINGS") != std::string::npos)
                    return bytes;
            }

            start = end + 1;
        }

        return {};
    }

    static std::string chunkOf (juce::AudioPluginInstance& instance)
    {
        juce::MemoryBlock state;
        instance.getStateInformation (state);
        return findPluginChunk (state);
    }

    std::unique_ptr<juce::AudioPluginFormat> format;
    juce::String identifier;
    juce::OwnedArray<juce::PluginDescription> descriptions;
};

TEST_P (HostedPlugin, DescriptionNamesTheEffect)
{
    const auto& description = *descriptions[0];
    EXPECT_EQ (description.name, "DUNSKARA");
    EXPECT_EQ (description.manufacturerName, "Quorvane");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
}

TEST_P (HostedPlugin, HasStereoBusesAndTheNamedParameters)
{
    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (instance->getTotalNumInputChannels(), 2);
    EXPECT_EQ (instance->getTotalNumOutputChannels(), 2);
    EXPECT_EQ (instance->getMainBusNumInputChannels(), 2);
    EXPECT_EQ (instance->getMainBusNumOutputChannels(), 2);

    // Formats order parameters their own way (LV2 hosting sorts them by URI) and may
    // add their own (bypass, program): match by name.
    std::multiset<juce::String> names, ids;
    juce::StringArray extras;

    for (auto* parameter : instance->getParameters())
    {
        auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter);
        ASSERT_NE (hosted, nullptr);
        const auto name = hosted->getName (64);

        if (std::none_of (std::begin (parameterNames), std::end (parameterNames),
                          [&name] (const char* known) { return name == known; }))
        {
            extras.add (name);
            continue;
        }

        names.insert (name);
        ids.insert (hosted->getParameterID());
    }

    EXPECT_EQ (names, std::multiset<juce::String> (std::begin (parameterNames), std::end (parameterNames)));
    EXPECT_EQ (std::set<juce::String> (ids.begin(), ids.end()).size(), (size_t) numParameters);

    // Only the wrappers' own controls may come on top.
    for (const auto& extra : extras)
        EXPECT_TRUE (extra == "Bypass" || extra == "Program") << extra;
}

TEST_P (HostedPlugin, DefaultSettingsPassAudioThrough)
{
    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> buffer (2, blockSize);
    float worst = 0.0f;

    for (int block = 0; block < 20; ++block)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (c, i, 0.5f * (float) std::sin (0.01 * (c + 1) * (block * blockSize + i)));

        juce::AudioBuffer<float> input (buffer);
        processOneBlock (*instance, buffer);

        // The dynamics units fade in over the first samples after a start.
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
            {
                ASSERT_TRUE (std::isfinite (buffer.getSample (c, i)));

                if (block > 0 || i >= 32)
                    worst = std::max (worst, std::abs (buffer.getSample (c, i) - input.getSample (c, i)));
            }
    }

    EXPECT_LT (worst, 1.0e-6f);
    instance->releaseResources();
}

// What the host shows before anything was changed: the plug-in's defaults.
TEST_P (HostedPlugin, HostSeesTheDefaultValues)
{
    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);

    const auto chunk = chunkOf (*instance);
    EXPECT_NE (chunk.find ("pg_floats05=\"1\""), std::string::npos);
    EXPECT_NE (chunk.find ("pg_floats00=\"0.419999987\""), std::string::npos);

    for (const auto& [name, value] : { std::pair<const char*, float> { "attack_0", 0.42f }, { "thresh_0", 1.0f },
                                       { "gain_1", 0.5f }, { "MainInGain", 0.25f }, { "Fq_High", 0.4f },
                                       { "MainOnOff", 1.0f } })
    {
        auto* parameter = findParameter (*instance, name);
        ASSERT_NE (parameter, nullptr) << name;
        EXPECT_NEAR (parameter->getValue(), value, 1.0e-6f) << name;
    }
}

TEST_P (HostedPlugin, ParameterSetByTheHostReachesThePlugin)
{
    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (sampleRate, blockSize);

    auto* thresh = findParameter (*instance, "thresh_0");
    ASSERT_NE (thresh, nullptr);
    thresh->setValueNotifyingHost (0.3f);

    // Formats deliver parameter changes to the processor with the next block.
    juce::AudioBuffer<float> buffer (2, blockSize);
    buffer.clear();
    processOneBlock (*instance, buffer);

    EXPECT_NEAR (thresh->getValue(), 0.3f, 1.0e-6f);

    juce::MemoryBlock state;
    instance->getStateInformation (state);
    const auto chunk = findPluginChunk (state);
    ASSERT_FALSE (chunk.empty());
    EXPECT_NE (chunk.find ("pg_floats05=\"0.300000012\""), std::string::npos);

    if (GetParam() == Format::vst3)  // the text comes from the plug-in's processor
    {
        EXPECT_EQ (thresh->getCurrentValueAsText(), "0.30");
    }

    // The state carries the value into a second instance.
    auto other = createInstance();
    ASSERT_NE (other, nullptr);
    other->prepareToPlay (sampleRate, blockSize);
    other->setStateInformation (state.getData(), (int) state.getSize());
    processOneBlock (*other, buffer);
    EXPECT_NE (chunkOf (*other).find ("pg_floats05=\"0.300000012\""), std::string::npos);

    other->releaseResources();
    instance->releaseResources();
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedPlugin, ::testing::Values (Format::vst3, Format::lv2), formatName);

} // namespace
