// Loads the built VST3 and LV2 bundles through JUCE's own hosting classes, as a
// JUCE-based host does, and checks parameters, channels, audio and saved state.
#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace
{
constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;

const char* const parameterNames[] = {
    "attack_0", "release_0", "fxmix_0", "add_0", "gain_0", "thresh_0", "ratio_0", "limonoff_0", "chanonoff_0",
    "attack_1", "release_1", "fxmix_1", "add_1", "gain_1", "thresh_1", "ratio_1", "limonoff_1", "chanonoff_1",
    "attack_2", "release_2", "fxmix_2", "add_2", "gain_2", "thresh_2", "ratio_2", "limonoff_2", "chanonoff_2",
    "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not-used", "not-used"
};

enum class Format { vst3, lv2 };

// Which of the plug-in's parameters a host's parameter stands for: its name in VST3.
// LV2 hosts name a control port by its readable lv2:name and identify it by its symbol,
// which is the parameter's name ("not_used_33" and "not_used_34" for the two unused).
juce::String parameterKey (juce::AudioProcessorParameter& parameter)
{
    if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (&parameter))
        if (const auto id = hosted->getParameterID(); id.startsWith ("sym:"))
        {
            const auto symbol = id.fromFirstOccurrenceOf ("sym:", false, false);
            return symbol.startsWith ("not_used_") ? juce::String ("not-used") : symbol;
        }

    return parameter.getName (64);
}

// The plug-in's own chunk (its "MYPLUGINSETTINGS" XML in JUCE's binary framing)
// travels base64-encoded inside each format's host-side state: an XML element after
// a binary header for VST3, a Turtle string literal for LV2. Returns it as text.
std::string chunkOf (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock state;
    instance.getStateInformation (state);
    const std::string raw (static_cast<const char*> (state.getData()), state.getSize());

    for (size_t start = 0; start < raw.size();)
    {
        const auto end = std::min (raw.find_first_of ("\"<>", start), raw.size());
        juce::MemoryBlock decoded;

        if (end - start > 64 && decoded.fromBase64Encoding (juce::String (raw.substr (start, end - start))))
            if (std::string bytes (static_cast<const char*> (decoded.getData()), decoded.getSize());
                bytes.find ("MYPLUGINSETTINGS") != std::string::npos)
                return bytes;

        start = end + 1;
    }

    return {};
}

class HostedPlugin : public ::testing::TestWithParam<Format>
{
protected:
    void SetUp() override
    {
        const auto vst3 = GetParam() == Format::vst3;
        format.reset (vst3 ? static_cast<juce::AudioPluginFormat*> (new juce::VST3PluginFormat) : new juce::LV2PluginFormat);

        // Only the build's bundle: HOME points at an empty folder (see the main).
        if (! vst3)
            format->searchPathsForPlugins (juce::FileSearchPath (DUNSKARA_LV2_FOLDER), false, false);

        const juce::String identifier = vst3 ? DUNSKARA_VST3_BUNDLE : DUNSKARA_LV2_URI;
        format->findAllTypesForFile (descriptions, identifier);
        ASSERT_EQ (descriptions.size(), 1) << identifier;
    }

    void TearDown() override
    {
        for (auto& instance : instances)
            instance->releaseResources();
    }

    // A new instance, prepared to play; released after the test.
    juce::AudioPluginInstance* createInstance()
    {
        juce::String error;
        auto instance = format->createInstanceFromDescription (*descriptions[0], sampleRate, blockSize, error);

        if (instance == nullptr)
            ADD_FAILURE() << error;
        else
            instance->prepareToPlay (sampleRate, blockSize);

        return instance != nullptr ? instances.emplace_back (std::move (instance)).get() : nullptr;
    }

    std::unique_ptr<juce::AudioPluginFormat> format;
    juce::OwnedArray<juce::PluginDescription> descriptions;
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances;
    juce::MidiBuffer midi;
};

TEST_P (HostedPlugin, IsAStereoEffectWithTheNamedParametersAtTheirDefaults)
{
    const auto& description = *descriptions[0];
    EXPECT_EQ (description.name, "DUNSKARA");
    EXPECT_EQ (description.manufacturerName, "Quorvane");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);

    auto* instance = createInstance();
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getMainBusNumInputChannels(), 2);
    EXPECT_EQ (instance->getMainBusNumOutputChannels(), 2);

    // Formats order parameters their own way and may add their own: match by name, and
    // allow only the wrappers' bypass and program.
    const juce::StringArray known (parameterNames, (int) std::size (parameterNames));
    // What the host shows before anything was changed: the plug-in's defaults.
    const std::map<juce::String, float> defaults { { "attack_0", 0.42f }, { "thresh_0", 1.0f }, { "gain_1", 0.5f },
                                                   { "MainInGain", 0.25f }, { "Fq_High", 0.4f }, { "MainOnOff", 1.0f } };
    std::multiset<juce::String> names;
    std::set<juce::String> ids;

    for (auto* parameter : instance->getParameters())
    {
        auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter);
        ASSERT_NE (hosted, nullptr);
        const auto name = parameterKey (*hosted);

        if (! known.contains (name))
        {
            EXPECT_TRUE (name == "Bypass" || name == "Program") << name;
            continue;
        }

        names.insert (name);
        EXPECT_TRUE (ids.insert (hosted->getParameterID()).second) << name;

        if (const auto found = defaults.find (name); found != defaults.end())
        {
            EXPECT_NEAR (hosted->getValue(), found->second, 1.0e-6f) << name;
        }
    }

    EXPECT_EQ (names, std::multiset<juce::String> (std::begin (parameterNames), std::end (parameterNames)));
}

TEST_P (HostedPlugin, DefaultSettingsPassAudioThrough)
{
    auto* instance = createInstance();
    ASSERT_NE (instance, nullptr);
    juce::AudioBuffer<float> buffer (2, blockSize);
    float worst = 0.0f;

    for (int block = 0; block < 20; ++block)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (c, i, 0.5f * (float) std::sin (0.01 * (c + 1) * (block * blockSize + i)));

        const juce::AudioBuffer<float> input (buffer);
        instance->processBlock (buffer, midi);

        // The dynamics units fade in over the first samples after a start.
        for (int c = 0; c < 2; ++c)
            for (int i = block > 0 ? 0 : 32; i < blockSize; ++i)
            {
                ASSERT_TRUE (std::isfinite (buffer.getSample (c, i)));
                worst = std::max (worst, std::abs (buffer.getSample (c, i) - input.getSample (c, i)));
            }
    }

    EXPECT_LT (worst, 1.0e-6f);
}

TEST_P (HostedPlugin, ParameterSetByTheHostReachesThePluginAndItsState)
{
    auto* instance = createInstance();
    ASSERT_NE (instance, nullptr);
    const auto& parameters = instance->getParameters();
    const auto found = std::find_if (parameters.begin(), parameters.end(), [] (auto* p) { return parameterKey (*p) == "thresh_0"; });
    ASSERT_NE (found, parameters.end());
    auto* thresh = *found;
    thresh->setValueNotifyingHost (0.3f);

    // Formats deliver parameter changes to the processor with the next block.
    juce::AudioBuffer<float> buffer (2, blockSize);
    buffer.clear();
    instance->processBlock (buffer, midi);
    EXPECT_NEAR (thresh->getValue(), 0.3f, 1.0e-6f);
    EXPECT_NE (chunkOf (*instance).find ("pg_floats05=\"0.300000012\""), std::string::npos);

    if (GetParam() == Format::vst3)  // the text comes from the plug-in's processor
    {
        EXPECT_EQ (thresh->getCurrentValueAsText(), "0.30");
    }

    // The state carries the value into a second instance.
    juce::MemoryBlock state;
    instance->getStateInformation (state);
    auto* other = createInstance();
    ASSERT_NE (other, nullptr);
    other->setStateInformation (state.getData(), (int) state.getSize());
    other->processBlock (buffer, midi);
    EXPECT_NE (chunkOf (*other).find ("pg_floats05=\"0.300000012\""), std::string::npos);
}

// The limiter, band and master switches are two-state controls in the host's eyes;
// every other parameter stays continuous.
TEST_P (HostedPlugin, HostsSeeTheSwitchesAsTwoStepDiscreteParameters)
{
    auto* instance = createInstance();
    ASSERT_NE (instance, nullptr);
    const std::set<juce::String> switches { "limonoff_0", "limonoff_1", "limonoff_2", "chanonoff_0",
                                            "chanonoff_1", "chanonoff_2", "MainOnOff" };
    size_t seen = 0;

    for (auto* parameter : instance->getParameters())
    {
        const auto name = parameterKey (*parameter);
        if (! juce::StringArray (parameterNames, (int) std::size (parameterNames)).contains (name))
            continue;

        const bool isSwitch = switches.count (name) > 0;
        seen += isSwitch ? 1 : 0;
        EXPECT_EQ (parameter->isDiscrete(), isSwitch) << name;
        if (isSwitch)
            EXPECT_EQ (parameter->getNumSteps(), 2) << name;
        else
            EXPECT_EQ (parameter->getNumSteps(), juce::AudioProcessor::getDefaultNumParameterSteps()) << name;

        // LV2 switches are toggled ports; JUCE's VST3 wrapper offers no toggle for a
        // parameter without parameter objects.
        EXPECT_EQ (parameter->isBoolean(), isSwitch && GetParam() == Format::lv2) << name;
    }

    EXPECT_EQ (seen, switches.size());
}

// A plug-in validator's state test (pluginval's at strictness 10): for each parameter in
// turn, a random value, then the saved state restored; the host must read the saved
// value back, and at the end the state must save exactly as it was.
TEST_P (HostedPlugin, EachValueComesBackWhenTheStateIsRestored)
{
    auto* instance = createInstance();
    ASSERT_NE (instance, nullptr);
    const juce::StringArray known (parameterNames, (int) std::size (parameterNames));
    std::vector<juce::AudioProcessorParameter*> parameters;
    for (auto* parameter : instance->getParameters())
        if (known.contains (parameterKey (*parameter)))
            parameters.push_back (parameter);
    ASSERT_EQ (parameters.size(), std::size (parameterNames));

    // A state with values of its own, which the plug-in has processed with.
    juce::Random random (17);
    for (auto* parameter : parameters)
        parameter->setValue (random.nextFloat());
    juce::AudioBuffer<float> buffer (2, blockSize);
    buffer.clear();
    instance->processBlock (buffer, midi);

    juce::MemoryBlock state;
    instance->getStateInformation (state);

    for (auto* parameter : parameters)
    {
        const auto saved = parameter->getValue();
        parameter->setValue (random.nextFloat());
        instance->setStateInformation (state.getData(), (int) state.getSize());
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
        EXPECT_NEAR (parameter->getValue(), saved, 1.0e-6f) << parameterKey (*parameter);
    }

    juce::MemoryBlock again;
    instance->getStateInformation (again);
    EXPECT_TRUE (again == state) << "the state saves differently after the restores";
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedPlugin, ::testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& test) { return test.param == Format::vst3 ? "VST3" : "LV2"; });

//==============================================================================
// After a program change or a restored state the host re-reads the values instead of
// showing (and automating from) the ones it had before.
class HostedVst3 : public HostedPlugin
{
protected:
    juce::AudioProcessorParameter* parameterNamed (juce::AudioPluginInstance& instance, const juce::String& name)
    {
        for (auto* parameter : instance.getParameters())
            if (parameter->getName (64) == name)
                return parameter;
        ADD_FAILURE() << "no parameter " << name;
        return nullptr;
    }

    void processOneBlock (juce::AudioPluginInstance& instance)
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        buffer.clear();
        instance.processBlock (buffer, midi);
    }

    // The saved state of a new instance after the host set one value.
    juce::MemoryBlock stateWith (const juce::String& name, float value)
    {
        juce::MemoryBlock state;
        if (auto* source = createInstance())
        {
            if (auto* parameter = parameterNamed (*source, name))
                parameter->setValueNotifyingHost (value);
            processOneBlock (*source);
            source->getStateInformation (state);
        }
        return state;
    }

    // Records what the host side hears: value changes and gestures.
    struct Listener final : juce::AudioProcessorParameter::Listener
    {
        void parameterValueChanged (int, float) override {}
        void parameterGestureChanged (int, bool) override { ++gestures; }
        int gestures = 0;
    };
};

TEST_P (HostedVst3, HostReadsTheNewValuesAfterAProgramChange)
{
    auto* instance = createInstance();
    ASSERT_NE (instance, nullptr);
    auto* gain = parameterNamed (*instance, "gain_1");
    auto* limiter = parameterNamed (*instance, "limonoff_2");
    ASSERT_TRUE (gain != nullptr && limiter != nullptr);

    // Program 1 gets its own values from the host; program 0 keeps the defaults.
    instance->setCurrentProgram (1);
    processOneBlock (*instance);
    gain->setValueNotifyingHost (0.1f);
    limiter->setValueNotifyingHost (1.0f);
    processOneBlock (*instance);

    Listener listener;
    gain->addListener (&listener);

    instance->setCurrentProgram (0);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_EQ (instance->getCurrentProgram(), 0);
    EXPECT_NEAR (gain->getValue(), 0.5f, 1.0e-6f);
    EXPECT_EQ (limiter->getValue(), 0.0f);

    instance->setCurrentProgram (1);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_NEAR (gain->getValue(), 0.1f, 1.0e-6f);
    EXPECT_EQ (limiter->getValue(), 1.0f);
    processOneBlock (*instance);
    EXPECT_NE (chunkOf (*instance).find ("pg_floats113=\"0.100000001\""), std::string::npos);

    // Re-reading is no gesture on the values.
    EXPECT_EQ (listener.gestures, 0);
    gain->removeListener (&listener);
}

TEST_P (HostedVst3, HostReadsTheRestoredValuesAfterARestore)
{
    auto* source = createInstance();
    ASSERT_NE (source, nullptr);
    parameterNamed (*source, "gain_0")->setValueNotifyingHost (0.2f);
    parameterNamed (*source, "MainOnOff")->setValueNotifyingHost (0.0f);
    processOneBlock (*source);
    juce::MemoryBlock state;
    source->getStateInformation (state);

    auto* restored = createInstance();
    ASSERT_NE (restored, nullptr);
    auto* gain = parameterNamed (*restored, "gain_0");
    ASSERT_NE (gain, nullptr);
    EXPECT_NEAR (gain->getValue(), 0.5f, 1.0e-6f);
    restored->setStateInformation (state.getData(), (int) state.getSize());
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_NEAR (gain->getValue(), 0.2f, 1.0e-6f);
    EXPECT_EQ (parameterNamed (*restored, "MainOnOff")->getValue(), 0.0f);
}

// Runs `work` on a thread of its own while this, the message thread, keeps delivering
// (JUCE's VST3 hosting takes the message manager's lock for state calls).
void onAnotherThread (const std::function<void()>& work)
{
    std::atomic<bool> done { false };
    std::thread other ([&] { work(); done.store (true); });
    while (! done.load())
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    other.join();
}

// A restore on a host thread that is not the message thread: the request to re-read the
// values reaches the host later, on the message thread, with the restored values.
TEST_P (HostedVst3, ARestoreOnAnotherThreadIsReReadOnTheMessageThread)
{
    const auto state = stateWith ("thresh_2", 0.3f);
    ASSERT_GT (state.getSize(), 0u);

    auto* restored = createInstance();
    ASSERT_NE (restored, nullptr);
    onAnotherThread ([&] { restored->setStateInformation (state.getData(), (int) state.getSize()); });
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_NEAR (parameterNamed (*restored, "thresh_2")->getValue(), 0.3f, 1.0e-6f);
}

// The same request still pending when the host deletes the instance must never reach
// the host afterwards.
TEST_P (HostedVst3, AReReadStillPendingWhenTheInstanceGoesNeverReachesTheHost)
{
    const auto state = stateWith ("gain_2", 0.7f);
    ASSERT_GT (state.getSize(), 0u);

    for (int round = 0; round < 20; ++round)
    {
        juce::String error;
        auto doomed = format->createInstanceFromDescription (*descriptions[0], sampleRate, blockSize, error);
        ASSERT_NE (doomed, nullptr) << error;
        onAnotherThread ([&]
        {
            doomed->setStateInformation (state.getData(), (int) state.getSize());
            doomed->setCurrentProgram (round % 10);
        });
        doomed.reset(); // before the message loop runs again
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    }

    // The process carries on: a fresh instance still restores and re-reads.
    auto* after = createInstance();
    ASSERT_NE (after, nullptr);
    after->setStateInformation (state.getData(), (int) state.getSize());
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_NEAR (parameterNamed (*after, "gain_2")->getValue(), 0.7f, 1.0e-6f);
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedVst3, ::testing::Values (Format::vst3),
                          [] (const auto&) { return "VST3"; });
} // namespace
