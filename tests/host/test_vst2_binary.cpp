// Loads the built VST2 library the way a host does (dlopen, VSTPluginMain with a host
// callback) and checks what the host sees through the effect record and dispatcher.
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
using testhost::Vst2Host;
using Speakers = std::pair<Vst2::VstInt32, Vst2::VstInt32>;  // arrangement type, channels

constexpr int numParameters = 35;
constexpr int numPrograms = 10;
constexpr Vst2::VstInt32 uniqueId = ('D' << 24) | ('n' << 16) | ('S' << 8) | 'k';
const Speakers mono { Vst2::kSpeakerArrMono, 1 }, stereo { Vst2::kSpeakerArrStereo, 2 }, surround { Vst2::kSpeakerArr51, 6 };

// Each band's nine parameters (named with the band digit as suffix), then the global
// ones, with the display texts of their defaults.
const std::pair<const char*, const char*> bandParameters[] = {
    { "attack", "0.42" }, { "release", "0.60" }, { "fxmix", "1.00" }, { "add", "0.00" }, { "gain", "0.50" },
    { "thresh", "1.00" }, { "ratio", "1.00" }, { "limonoff", "0.00" }, { "chanonoff", "1.00" } };
const std::pair<const char*, const char*> globalParameters[] = {
    { "MainInGain", "0.25" }, { "MakeUpGain", "0.00" }, { "FinalMix", "1.00" }, { "Fq_Low", "0.03" },
    { "Fq_High", "0.40" }, { "MainOnOff", "1.00" }, { "not-used", "0.50" }, { "not-used", "0.50" } };

// Plug-ins built on JUCE may leave a message thread behind: keep the code mapped.
std::unique_ptr<Vst2Host> loadPlugin()
{
    auto host = std::make_unique<Vst2Host> (DUNSKARA_VST2_BINARY);
    host->setUnloadOnDestruction (false);
    return host;
}

// Deterministic, non-periodic test signal in -0.8..0.8.
std::vector<float> testSignal (int numFrames, unsigned seed)
{
    std::vector<float> signal ((size_t) numFrames);

    for (int i = 0; i < numFrames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        signal[(size_t) i] = 0.5f * (float) std::sin (0.0625 * i) + 0.6f * ((float) (seed >> 8) / (float) (1u << 24) - 0.5f);
    }

    return signal;
}

bool allFinite (const std::vector<float>& samples)
{
    return std::all_of (samples.begin(), samples.end(), [] (float s) { return std::isfinite (s); });
}

std::string repeat (const std::string& text, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

// Well-formed UTF-8 (RFC 3629), written independently of the plug-in's own check.
bool isValidUtf8 (const std::string& text)
{
    for (size_t i = 0; i < text.size();)
    {
        const auto c = (unsigned char) text[i];
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;

        if (length == 0 || i + length > text.size())
            return false;

        uint32_t code = length == 1 ? c : c & (0x7f >> length);

        for (size_t k = 1; k < length; ++k)
        {
            const auto next = (unsigned char) text[i + k];
            if ((next & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3f);
        }

        const uint32_t least[] = { 0, 0, 0x80, 0x800, 0x10000 };
        if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;

        i += length;
    }

    return true;
}

class Vst2Binary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (host->isLibraryLoaded()) << host->getLoadError();
        effect = host->instantiateAndOpen();
        ASSERT_NE (effect, nullptr);
    }

    Vst2::VstIntPtr setSpeakers (Speakers in, Speakers out)
    {
        Vst2::VstSpeakerArrangement input {}, output {};
        std::tie (input.type, input.numChannels) = in;
        std::tie (output.type, output.numChannels) = out;
        return host->dispatch (Vst2::effSetSpeakerArrangement, 0, reinterpret_cast<Vst2::VstIntPtr> (&input), &output);
    }

    // Runs blocks of two test signals; returns the largest |output - input| from sample
    // `fromSample` on, or a negative value when an output was not finite. With
    // monoInPlace the host passes the same buffers for input and output, as many hosts
    // do, and both outputs must carry the first input: the second holds stale data.
    float run (int blockSize, int numBlocks, int fromSample, bool monoInPlace = false)
    {
        const std::vector<float> signal[] = { testSignal (blockSize * numBlocks, 1), testSignal (blockSize * numBlocks, 2) };
        float worst = 0.0f;

        for (int b = 0; b < numBlocks; ++b)
        {
            std::vector<std::vector<float>> in, out (2, std::vector<float> ((size_t) blockSize, 123.0f));
            for (const auto& channel : signal)
                in.emplace_back (channel.begin() + b * blockSize, channel.begin() + (b + 1) * blockSize);

            if (monoInPlace)
                out = in;

            if (! (monoInPlace ? host->processInPlace (out, blockSize) : host->processReplacing (in, out, blockSize))
                || ! allFinite (out[0]) || ! allFinite (out[1]))
                return -1.0f;

            for (size_t c = 0; c < 2; ++c)
                for (int i = std::max (0, fromSample - b * blockSize); i < blockSize; ++i)
                    worst = std::max (worst, std::abs (out[c][(size_t) i] - in[monoInPlace ? 0 : c][(size_t) i]));
        }

        return worst;
    }

    std::unique_ptr<Vst2Host> host = loadPlugin();
    Vst2::AEffect* effect = nullptr;
};

//==============================================================================
TEST_F (Vst2Binary, EffectRecordDescribesAStereoEffectWithChunks)
{
    EXPECT_EQ (effect->magic, Vst2Host::effectMagic);
    EXPECT_EQ (effect->numParams, numParameters);
    EXPECT_EQ (effect->numPrograms, numPrograms);
    EXPECT_EQ (effect->numInputs, 2);
    EXPECT_EQ (effect->numOutputs, 2);
    EXPECT_EQ (effect->uniqueID, uniqueId);
    EXPECT_EQ (effect->version, 0x10000);
    EXPECT_EQ (effect->initialDelay, 0);
    EXPECT_NE (effect->processReplacing, nullptr);

    const auto checked = Vst2::effFlagsHasEditor | Vst2::effFlagsCanReplacing | Vst2::effFlagsProgramChunks
                       | Vst2::effFlagsIsSynth | Vst2::effFlagsNoSoundInStop;
    EXPECT_EQ (effect->flags & checked, Vst2::effFlagsHasEditor | Vst2::effFlagsCanReplacing | Vst2::effFlagsProgramChunks);
}

TEST_F (Vst2Binary, DispatcherReportsIdentityAndCapabilities)
{
    EXPECT_EQ (host->getEffectName(), "DUNSKARA");
    EXPECT_EQ (host->getProductString(), "DUNSKARA");
    EXPECT_EQ (host->getVendorString(), "Quorvane");
    EXPECT_EQ (host->dispatch (Vst2::effGetVendorVersion), 0x10000);
    EXPECT_EQ (host->dispatch (Vst2::effGetPlugCategory), Vst2::kPlugCategEffect);
    EXPECT_EQ (host->dispatch (Vst2::effGetVstVersion), 2400);

    for (auto opcode : { Vst2::effGetEffectName, Vst2::effGetProductString })
        EXPECT_FALSE (host->queryString (opcode, 0, 64).overran);

    const std::pair<const char*, Vst2::VstIntPtr> canDoAnswers[] = {
        { "receiveVstEvents", -1 }, { "receiveVstMidiEvent", -1 }, { "receiveVstMidiEvents", -1 },
        { "sendVstEvents", -1 }, { "sendVstMidiEvent", -1 }, { "sendVstMidiEvents", -1 },
        { "receiveVstTimeInfo", 1 }, { "conformsToWindowRules", 1 }, { "openCloseAnyThread", -1 },
        { "noSuchCapability", 0 }
    };

    for (const auto& [query, answer] : canDoAnswers)
        EXPECT_EQ (host->canDo (query), answer) << query;
}

TEST_F (Vst2Binary, ParametersAndProgramsShowTheirNamesAndTexts)
{
    for (int i = 0; i < numParameters; ++i)
    {
        const auto& [name, text] = i < 27 ? bandParameters[i % 9] : globalParameters[i - 27];
        EXPECT_EQ (host->getParamName (i), i < 27 ? name + ("_" + std::to_string (i / 9)) : name) << i;
        EXPECT_EQ (host->getParamDisplay (i), text) << i;
    }

    for (int p = 0; p < numPrograms; ++p)
        EXPECT_EQ (host->getProgramNameIndexed (p), "user" + std::to_string (p + 1));

    EXPECT_EQ (host->dispatch (Vst2::effGetProgram), 0);
    EXPECT_EQ (host->getProgramName(), "user1");

    // Set values show rounded to two decimals; unused slots store whatever they are given.
    for (const auto& [index, value, text] : { std::tuple<int, float, const char*> { 5, 0.3f, "0.30" }, { 34, 0.126f, "0.13" } })
    {
        host->setParameter (index, value);
        EXPECT_EQ (host->getParameter (index), value) << index;
        EXPECT_EQ (host->getParamDisplay (index), text) << index;
    }
}

// The seven switches are switches from 0 to 1; every other parameter is a plain 0..1
// value in steps of 0.001. Each answer is complete and terminated, whatever was in the
// host's struct before.
TEST_F (Vst2Binary, ParameterPropertiesMarkTheSwitches)
{
    const std::vector<int> switches { 7, 8, 16, 17, 25, 26, 32 };

    for (int i = 0; i < numParameters; ++i)
    {
        Vst2::VstParameterProperties properties;
        std::memset (&properties, 0xcd, sizeof (properties));
        ASSERT_EQ (host->dispatch (Vst2::effGetParameterProperties, i, 0, &properties), 1) << i;

        const bool isSwitch = std::find (switches.begin(), switches.end(), i) != switches.end();
        const auto label = std::string (properties.label, strnlen (properties.label, sizeof (properties.label)));
        ASSERT_LT (label.size(), sizeof (properties.label)) << i << ": label not terminated";
        EXPECT_EQ (label, host->getParamName (i)) << i;

        if (isSwitch)
        {
            EXPECT_EQ (properties.flags, Vst2::kVstParameterIsSwitch | Vst2::kVstParameterUsesIntegerMinMax
                                             | Vst2::kVstParameterUsesIntStep) << i;
            EXPECT_EQ (properties.minInteger, 0) << i;
            EXPECT_EQ (properties.maxInteger, 1) << i;
            EXPECT_EQ (properties.stepInteger, 1) << i;
            EXPECT_EQ (properties.largeStepInteger, 1) << i;
            EXPECT_EQ (properties.stepFloat, 0.0f) << i;
        }
        else
        {
            EXPECT_EQ (properties.flags, Vst2::kVstParameterUsesFloatStep) << i;
            EXPECT_EQ (properties.stepFloat, 0.001f) << i;
            EXPECT_EQ (properties.smallStepFloat, 0.001f) << i;
            EXPECT_EQ (properties.largeStepFloat, 0.01f) << i;
            EXPECT_EQ (properties.maxInteger, 0) << i;
        }

        // No display index or category is claimed, and the rest is zero, not left over.
        EXPECT_EQ (properties.flags & (Vst2::kVstParameterSupportsDisplayIndex | Vst2::kVstParameterSupportsDisplayCategory
                                       | Vst2::kVstParameterCanRamp), 0) << i;
        const auto* tail = reinterpret_cast<const unsigned char*> (&properties.shortLabel);
        const auto* end = reinterpret_cast<const unsigned char*> (&properties) + sizeof (properties);
        EXPECT_TRUE (std::all_of (tail, end, [] (unsigned char c) { return c == 0; })) << i;
        EXPECT_TRUE (std::all_of (properties.label + label.size(), properties.label + sizeof (properties.label),
                                  [] (char c) { return c == 0; })) << i;
    }
}

TEST_F (Vst2Binary, ParameterPropertiesOfNoParameterAreRefusedUntouched)
{
    for (const auto index : { -1, numParameters, numParameters + 1, 1 << 20, std::numeric_limits<Vst2::VstInt32>::min() })
    {
        Vst2::VstParameterProperties properties;
        std::memset (&properties, 0xcd, sizeof (properties));
        EXPECT_EQ (host->dispatch (Vst2::effGetParameterProperties, index, 0, &properties), 0) << index;

        const auto* bytes = reinterpret_cast<const unsigned char*> (&properties);
        EXPECT_TRUE (std::all_of (bytes, bytes + sizeof (properties), [] (unsigned char c) { return c == 0xcd; })) << index;
    }

    for (const auto index : { 0, 7, numParameters })
        EXPECT_EQ (host->dispatch (Vst2::effGetParameterProperties, index, 0, nullptr), 0) << index;
}

// Each program keeps its own values and name, and the chunk carries them all.
TEST_F (Vst2Binary, ChunkCarriesTheWholeBankIntoAnotherInstance)
{
    host->setParameter (5, 0.3f);
    host->setParameter (30, 0.77f);
    char name[] = "Drums";
    host->dispatch (Vst2::effSetProgramName, 0, 0, name);
    host->dispatch (Vst2::effSetProgram, 0, 3);
    EXPECT_EQ (host->dispatch (Vst2::effGetProgram), 3);
    EXPECT_EQ (host->getProgramName(), "user4");
    EXPECT_EQ (host->getParameter (5), 1.0f);
    host->setParameter (2, 0.25f);
    host->setParameter (33, 0.0f);

    const auto chunk = host->getChunk();
    const std::string bytes (chunk.begin(), chunk.end());

    // The XML travels as text inside JUCE's binary framing.
    for (const char* text : { "<MYPLUGINSETTINGS", "pname0=\"Drums\"", "pg_floats05=\"0.300000012\"", "pg_floats32=\"0.25\"" })
        EXPECT_NE (bytes.find (text), std::string::npos) << text;

    auto other = loadPlugin();
    ASSERT_NE (other->instantiateAndOpen(), nullptr);
    other->setChunk (chunk);

    for (int p = 0; p < numPrograms; ++p)
    {
        host->dispatch (Vst2::effSetProgram, 0, p);
        other->dispatch (Vst2::effSetProgram, 0, p);
        EXPECT_EQ (other->getProgramName(), host->getProgramName()) << p;

        for (int i = 0; i < numParameters; ++i)
            EXPECT_EQ (other->getParameter (i), host->getParameter (i)) << "program " << p << ", parameter " << i;
    }
}

TEST_F (Vst2Binary, DamagedChunksLeaveTheStateAlone)
{
    host->setParameter (7, 0.9f);
    const auto good = host->getChunk();
    ASSERT_GT (good.size(), 16u);

    host->setChunk (std::vector<unsigned char> (64, 0x5a));
    host->setChunk (std::vector<unsigned char> (good.begin(), good.begin() + (long) good.size() / 2));
    host->setChunk (nullptr, 0);

    EXPECT_EQ (host->getParameter (7), 0.9f);
    EXPECT_EQ (host->getChunk(), good);
}

TEST_F (Vst2Binary, AcceptsStereoOrMonoIntoStereoOnly)
{
    const struct { Speakers in, out; Vst2::VstIntPtr accepted; } rows[] = {
        { stereo, stereo, 1 }, { mono, stereo, 1 },
        { stereo, mono, 0 }, { mono, mono, 0 }, { surround, stereo, 0 }, { stereo, surround, 0 }, { surround, surround, 0 }
    };

    for (const auto& row : rows)
        EXPECT_EQ (setSpeakers (row.in, row.out), row.accepted) << row.in.second << " in, " << row.out.second << " out";
}

// At the default ratio setting (0.7805f - 0.5805f, a hair below 0.2) the band
// compressors run their full path, whose gate opens from 0 after every start: the
// first samples fade in, everything after them passes unchanged.
TEST_F (Vst2Binary, DefaultSettingsFadeInOverTheFirstSamplesOnly)
{
    host->resume (44100.0, 512);
    EXPECT_GT (run (512, 1, 0), 1.0e-3f);

    host->suspend();
    host->resume (44100.0, 512);
    const auto afterFadeIn = run (512, 40, 32);
    EXPECT_GE (afterFadeIn, 0.0f) << "no processReplacing, or non-finite output";
    EXPECT_LT (afterFadeIn, 1.0e-6f);
}

TEST_F (Vst2Binary, MonoInputComesOutProcessedOnBothOutputs)
{
    ASSERT_EQ (setSpeakers (mono, stereo), 1);
    // JUCE keeps announcing its widest layout; the host still passes two input pointers.
    EXPECT_EQ (effect->numInputs, 2);
    host->resume (48000.0, 256);
    const auto worst = run (256, 8, 32, true);
    EXPECT_GE (worst, 0.0f) << "no processReplacing, or non-finite output";
    EXPECT_LT (worst, 1.0e-6f);
}

// A host that scales its windows says so with the vendor-specific 'PreS' 'AeCs' call;
// the editor rectangle then grows with the scale.
TEST_F (Vst2Binary, EditorRectFollowsTheHostsContentScale)
{
    const auto editorSize = [this]
    {
        Vst2::ERect* rect = nullptr;
        host->dispatch (Vst2::effEditGetRect, 0, 0, &rect);
        return rect == nullptr ? std::pair { 0, 0 } : std::pair { rect->right - rect->left, rect->bottom - rect->top };
    };
    const auto fourCharacters = [] (const char* text)
    {
        return (Vst2::VstInt32) (((unsigned) text[0] << 24) | ((unsigned) text[1] << 16) | ((unsigned) text[2] << 8) | (unsigned) text[3]);
    };

    EXPECT_EQ (editorSize(), (std::pair { 914, 650 }));
    EXPECT_EQ (host->dispatch (Vst2::effVendorSpecific, fourCharacters ("PreS"), fourCharacters ("AeCs"), nullptr, 2.0f), 1);
    EXPECT_EQ (editorSize(), (std::pair { 1828, 1300 }));
    EXPECT_EQ (host->dispatch (Vst2::effVendorSpecific, fourCharacters ("PreS"), fourCharacters ("AeCs"), nullptr, 1.5f), 1);
    EXPECT_EQ (editorSize(), (std::pair { 1371, 975 }));
}

TEST (Vst2Entry, RefusesVersionZeroHostsAndAlsoAnswersAsMain)
{
    auto host = loadPlugin();
    ASSERT_TRUE (host->isLibraryLoaded()) << host->getLoadError();
    host->setHostVersion (0);
    EXPECT_EQ (host->instantiate(), nullptr);
    EXPECT_GE (host->countHostCalls (Vst2::audioMasterVersion), 1u);

    host->setHostVersion (Vst2Host::currentHostVersion);

    for (auto entry : { Vst2Host::Entry::vstPluginMain, Vst2Host::Entry::legacyMain })
    {
        auto* effect = host->instantiateAndOpen (entry);
        ASSERT_NE (effect, nullptr);
        EXPECT_EQ (effect->uniqueID, uniqueId);
        EXPECT_EQ (effect->numParams, numParameters);
    }
}

//==============================================================================
// Host faults: each of these once crashed inside JUCE's wrapper.
using Channels = std::vector<std::vector<float>>;

// Two channels of test signal, `numFrames` long.
Channels testInput (int numFrames)
{
    return { testSignal (numFrames, 7), testSignal (numFrames, 8) };
}

Channels filled (int numFrames, float value) { return Channels (2, std::vector<float> ((size_t) numFrames, value)); }

std::vector<float*> pointers (Channels& channels)
{
    return { channels[0].data(), channels[1].data() };
}

// A second, fresh instance driven the well-behaved way: announced-size blocks and
// distinct buffers. Fault tests compare against what it outputs.
struct Reference
{
    explicit Reference (int blockSize) : block (blockSize)
    {
        effect = host->instantiateAndOpen();
        host->resume (44100.0, blockSize);
    }

    Channels process (Channels input)
    {
        const auto numFrames = (int) input[0].size();
        Channels output = filled (numFrames, 0.0f);

        for (int offset = 0; offset < numFrames; offset += block)
        {
            const int length = std::min (block, numFrames - offset);
            float* in[] = { input[0].data() + offset, input[1].data() + offset };
            float* out[] = { output[0].data() + offset, output[1].data() + offset };
            host->processReplacing (in, out, length);
        }

        return output;
    }

    std::unique_ptr<Vst2Host> host = loadPlugin();
    Vst2::AEffect* effect = nullptr;
    int block;
};

TEST_F (Vst2Binary, OpcodesNeedingAPointerAnswerZeroToANullOne)
{
    const Vst2::VstInt32 opcodes[] = { Vst2::effGetChunk, Vst2::effSetChunk, Vst2::effCanDo, Vst2::effEditGetRect,
                         Vst2::effGetInputProperties, Vst2::effGetOutputProperties, Vst2::effGetProgramName,
                         Vst2::effSetProgramName, Vst2::effGetProgramNameIndexed, Vst2::effGetParamName,
                         Vst2::effGetParamLabel, Vst2::effGetParamDisplay, Vst2::effGetEffectName,
                         Vst2::effGetVendorString, Vst2::effGetProductString, Vst2::effString2Parameter,
                         Vst2::effProcessEvents, Vst2::effGetSpeakerArrangement, Vst2::effSetSpeakerArrangement };

    for (auto opcode : opcodes)
        EXPECT_EQ (host->dispatch (opcode, 0, 1000, nullptr), 0) << "opcode " << opcode;

    // The speaker opcodes carry a second pointer, the input arrangement, in `value`.
    Vst2::VstSpeakerArrangement arrangement {};
    Vst2::VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ (host->dispatch (Vst2::effGetSpeakerArrangement, 0, 0, &out), 0);
    EXPECT_EQ (host->dispatch (Vst2::effSetSpeakerArrangement, 0, 0, &arrangement), 0);

    // Nothing was damaged on the way.
    EXPECT_EQ (host->getEffectName(), "DUNSKARA");
    EXPECT_EQ (host->getProgramName(), "user1");
    EXPECT_EQ (setSpeakers (stereo, stereo), 1);
}

TEST_F (Vst2Binary, ProcessingWhileNotResumedGivesSilence)
{
    auto input = testInput (256);
    auto output = filled (256, 123.0f);

    const auto expectSilence = [&] (const char* when)
    {
        output = filled (256, 123.0f);
        ASSERT_TRUE (host->processReplacing (input, output, 256));
        for (const auto& channel : output)
            EXPECT_TRUE (std::all_of (channel.begin(), channel.end(), [] (float s) { return s == 0.0f; })) << when;
    };

    expectSilence ("before the first resume");
    host->resume (44100.0, 256);
    ASSERT_TRUE (host->processReplacing (input, output, 256));
    EXPECT_NE (output[0], filled (256, 0.0f)[0]);
    host->suspend();
    expectSilence ("after suspend");

    // With only some outputs given, those are cleared and nothing else is touched.
    float* in[] = { input[0].data(), input[1].data() };
    float* someOut[] = { nullptr, output[1].data() };
    output[1].assign (256, 5.0f);
    ASSERT_TRUE (host->processReplacing (in, someOut, 256));
    EXPECT_EQ (output[1], filled (256, 0.0f)[1]);
    EXPECT_TRUE (host->processReplacing (nullptr, nullptr, 256));
}

TEST_F (Vst2Binary, MissingInputsReadAsSilenceAndMissingOutputsAreSkipped)
{
    constexpr int frames = 512;
    host->resume (44100.0, frames);
    Reference reference (frames);

    // A null input array is two silent inputs.
    auto output = filled (frames, 9.0f);
    auto out = pointers (output);
    ASSERT_TRUE (host->processReplacing (nullptr, out.data(), frames));
    EXPECT_EQ (output, reference.process (filled (frames, 0.0f)));

    // A null channel is a silent channel; a null output is processed and dropped.
    auto input = testInput (frames);
    float* in[] = { input[0].data(), nullptr };
    output = filled (frames, 9.0f);
    float* oneOut[] = { nullptr, output[1].data() };
    ASSERT_TRUE (host->processReplacing (in, oneOut, frames));

    auto expected = reference.process ({ input[0], std::vector<float> (frames, 0.0f) });
    EXPECT_EQ (output[1], expected[1]);
    EXPECT_EQ (output[0], filled (frames, 9.0f)[0]);

    // No outputs at all: processed into scratch space, nothing written.
    ASSERT_TRUE (host->processReplacing (in, nullptr, frames));
    double* none[] = { nullptr, nullptr };
    EXPECT_TRUE (host->processDoubleReplacing (none, none, frames));
    EXPECT_TRUE (host->processDoubleReplacing (nullptr, nullptr, frames));
}

// Long blocks run in announced-size pieces, so they sound exactly like the same audio
// handed over in announced-size blocks, also for a length that is no multiple of it.
TEST_F (Vst2Binary, BlocksLongerThanAnnouncedMatchAnnouncedSizePieces)
{
    constexpr int announced = 64, frames = 16 * announced + 37;
    host->resume (44100.0, announced);
    Reference reference (announced);

    auto input = testInput (frames);
    auto output = filled (frames, 0.0f);
    ASSERT_TRUE (host->processReplacing (input, output, frames));
    EXPECT_EQ (output, reference.process (input));
    EXPECT_TRUE (allFinite (output[0]) && allFinite (output[1]));
}

// Shared and aliased buffers with a block 16 times the announced size: outputs that
// share one buffer leave the last channel in it, and outputs that overwrite inputs
// (in place, or crossed over) see the inputs as they were.
TEST_F (Vst2Binary, SharedAndAliasedBuffersWithA16TimesLongerBlock)
{
    constexpr int announced = 128, frames = 16 * announced;
    host->resume (44100.0, announced);
    Reference reference (announced);

    const auto input = testInput (frames);
    const auto expected = reference.process (input);
    auto copy = input;
    float* in[] = { copy[0].data(), copy[1].data() };

    std::vector<float> shared ((size_t) frames, 1.0f);
    float* sharedOut[] = { shared.data(), shared.data() };
    ASSERT_TRUE (host->processReplacing (in, sharedOut, frames));
    EXPECT_EQ (copy, input) << "inputs must not be written";
    EXPECT_EQ (shared, expected[1]);

    // Crossed over: output 0 is input 1's buffer and output 1 is input 0's.
    auto next = testInput (frames * 2);
    Channels second { { next[0].begin() + frames, next[0].end() }, { next[1].begin() + frames, next[1].end() } };
    const auto expectedNext = reference.process (second);
    auto crossed = second;
    float* crossedIn[] = { crossed[0].data(), crossed[1].data() };
    float* crossedOut[] = { crossed[1].data(), crossed[0].data() };
    ASSERT_TRUE (host->processReplacing (crossedIn, crossedOut, frames));
    EXPECT_EQ (crossed[1], expectedNext[0]);
    EXPECT_EQ (crossed[0], expectedNext[1]);
}

TEST_F (Vst2Binary, HostSizesAndRatesThatCannotWorkAreIgnored)
{
    host->dispatch (Vst2::effSetSampleRate, 0, 0, nullptr, std::nanf (""));
    host->dispatch (Vst2::effSetSampleRate, 0, 0, nullptr, -48000.0f);
    host->dispatch (Vst2::effSetBlockSize, 0, 0);
    host->dispatch (Vst2::effSetBlockSize, 0, -512);
    host->dispatch (Vst2::effMainsChanged, 0, 1);

    auto input = testInput (3000);
    auto output = filled (3000, 0.0f);
    ASSERT_TRUE (host->processReplacing (input, output, 3000));
    EXPECT_TRUE (allFinite (output[0]) && allFinite (output[1]));

    // What was ignored is what a host that never sent those calls gets.
    auto unannounced = loadPlugin();
    ASSERT_NE (unannounced->instantiateAndOpen(), nullptr);
    unannounced->dispatch (Vst2::effMainsChanged, 0, 1);
    auto expected = filled (3000, 0.0f);
    ASSERT_TRUE (unannounced->processReplacing (input, expected, 3000));
    EXPECT_EQ (output, expected);
}

// JUCE's wrapper reads only the low 32 bits of the program number.
TEST_F (Vst2Binary, ProgramNumbersOutsideTheBankAreRefused)
{
    host->dispatch (Vst2::effSetProgram, 0, 4);
    const Vst2::VstIntPtr bit32 = Vst2::VstIntPtr { 1 } << 32;
    const Vst2::VstIntPtr refused[] = { -1, numPrograms, bit32, bit32 + 2, Vst2::VstIntPtr { 1 } << 40,
                                        -(Vst2::VstIntPtr { 1 } << 33), -bit32 + 3, INT64_MIN, INT64_MAX };

    for (auto value : refused)
    {
        EXPECT_EQ (host->dispatch (Vst2::effSetProgram, 0, value), 0) << value;
        EXPECT_EQ (host->dispatch (Vst2::effGetProgram), 4) << value;
    }

    EXPECT_EQ (host->getProgramName(), "user5");
    host->dispatch (Vst2::effSetProgram, 0, numPrograms - 1);
    EXPECT_EQ (host->dispatch (Vst2::effGetProgram), numPrograms - 1);
}

// Hosts doing undo or A/B compare may hand back the very buffer effGetChunk returned.
TEST_F (Vst2Binary, SetChunkAcceptsTheBufferGetChunkReturned)
{
    host->setParameter (4, 0.125f);
    void* data = nullptr;
    const auto size = host->dispatch (Vst2::effGetChunk, 0, 0, &data);
    ASSERT_GT (size, 0);
    ASSERT_NE (data, nullptr);

    host->setParameter (4, 0.75f);
    host->dispatch (Vst2::effSetChunk, 0, size, data);
    EXPECT_EQ (host->getParameter (4), 0.125f);

    // Sizes no real chunk has change nothing.
    EXPECT_EQ (host->dispatch (Vst2::effSetChunk, 0, -1, data), 0);
    EXPECT_EQ (host->dispatch (Vst2::effSetChunk, 0, 0, data), 0);
    EXPECT_EQ (host->getParameter (4), 0.125f);
}

// Names arrive as raw bytes: UTF-8 where they are valid UTF-8, Latin-1 otherwise,
// at most 24 bytes; they leave as UTF-8 cut at a character boundary.
TEST_F (Vst2Binary, ProgramNamesAreReadAsUtf8OrLatin1AndGivenBackAsUtf8)
{
    const auto setName = [&] (std::string bytes)
    {
        bytes.push_back ('\0');
        host->dispatch (Vst2::effSetProgramName, 0, 0, bytes.data());
    };

    const std::pair<std::string, std::string> names[] = {
        { "\xc3\x9c" "berbass", "\xc3\x9c" "berbass" },             // UTF-8 stays as it is
        { "\xc4rger", "\xc3\x84rger" },                             // Latin-1 becomes UTF-8
        { "\xe2\x82\xac 5", "\xe2\x82\xac 5" },
        { "\xed\xa0\x80x", "\xc3\xad\xc2\xa0\xc2\x80x" },           // a surrogate is no UTF-8
        { "\xc0\xafx", "\xc3\x80\xc2\xafx" },                       // nor is an overlong form
        { std::string (30, 'n'), std::string (24, 'n') },           // 24 bytes at most
        // 25 bytes: the cut splits the last character, which is dropped.
        { "a" + repeat ("\xc3\x9c", 12), "a" + repeat ("\xc3\x9c", 11) },
    };

    for (const auto& [sent, expected] : names)
    {
        setName (sent);
        const auto reply = host->queryString (Vst2::effGetProgramName, 0, 25);
        EXPECT_EQ (reply.text, expected);
        EXPECT_FALSE (reply.overran);
        EXPECT_EQ (host->getProgramNameIndexed (0), expected);
    }

    // Twenty-four Latin-1 letters need 48 bytes of UTF-8: the reply stops at a whole
    // character within the 24 bytes.
    setName (std::string (24, '\xe9'));
    EXPECT_EQ (host->queryString (Vst2::effGetProgramNameIndexed, 0, 25).text, repeat ("\xc3\xa9", 12));
    EXPECT_EQ (host->dispatch (Vst2::effGetProgramNameIndexed, numPrograms, 0, std::vector<char> (32).data()), 0);
}

// Every byte value, in names of up to 24 bytes: each one comes back as valid UTF-8 and
// survives the chunk into another instance.
TEST_F (Vst2Binary, ProgramNamesOfEveryByteValueSurviveTheChunk)
{
    std::vector<std::string> sent;

    for (int first = 1; first < 256; first += 24)
    {
        std::string bytes;
        for (int b = first; b < std::min (256, first + 24); ++b)
            bytes.push_back ((char) b);
        sent.push_back (bytes);
    }

    ASSERT_LE (sent.size(), (size_t) numPrograms + 1);
    std::vector<std::string> given;

    for (size_t p = 0; p < sent.size() && p < (size_t) numPrograms; ++p)
    {
        host->dispatch (Vst2::effSetProgram, 0, (Vst2::VstIntPtr) p);
        auto bytes = sent[p] + '\0';
        host->dispatch (Vst2::effSetProgramName, 0, 0, bytes.data());
        given.push_back (host->getProgramName());
        EXPECT_LE (given.back().size(), 24u);
        EXPECT_TRUE (isValidUtf8 (given.back())) << p;
    }

    auto other = loadPlugin();
    ASSERT_NE (other->instantiateAndOpen(), nullptr);
    other->setChunk (host->getChunk());

    for (size_t p = 0; p < given.size(); ++p)
        EXPECT_EQ (other->getProgramNameIndexed ((int) p), given[p]) << p;
}

TEST (Vst2Entry, TheLegacyEntryIsGuardedToo)
{
    auto host = loadPlugin();
    ASSERT_NE (host->instantiateAndOpen (Vst2Host::Entry::legacyMain), nullptr);
    EXPECT_EQ (host->dispatch (Vst2::effCanDo, 0, 0, nullptr), 0);
    host->resume (44100.0, 64);
    auto output = filled (64 * 16, 1.0f);
    auto out = pointers (output);
    ASSERT_TRUE (host->processReplacing (nullptr, out.data(), 64 * 16));
    EXPECT_TRUE (allFinite (output[0]) && allFinite (output[1]));
}

// A host whose audio thread keeps running while another thread suspends, re-prepares
// and closes: JUCE is never entered while it changes state, nor after the close.
TEST (Vst2Entry, AudioRacingSuspendResumeAndCloseIsAbsorbed)
{
    auto host = loadPlugin();
    auto* effect = host->instantiateAndOpen();
    ASSERT_NE (effect, nullptr);
    host->resume (44100.0, 64);

    const auto process = effect->processReplacing;  // what a host keeps after the close
    auto input = testInput (256);
    auto output = filled (256, 0.0f);
    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 };

    std::thread audio ([&]
    {
        auto in = pointers (input);
        auto out = pointers (output);

        while (! stop.load())
        {
            process (effect, in.data(), out.data(), 256);
            blocks.fetch_add (1);
        }
    });

    for (int i = 0; i < 20; ++i)
    {
        host->suspend();
        host->resume (44100.0, 32 + 7 * i);
    }

    host->close();
    const int atClose = blocks.load();

    while (blocks.load() < atClose + 100)
        std::this_thread::yield();

    stop.store (true);
    audio.join();
    EXPECT_TRUE (allFinite (output[0]) && allFinite (output[1]));
}

//==============================================================================
// Saves and loads from several host threads: an autosave in the background while the
// user saves or loads a preset. Every copy a host takes must be a whole chunk.

// DUNSKARA_STRESS_SECONDS makes the races longer (or shorter) than 2.5 s each.
std::chrono::duration<double> raceTime()
{
    const char* text = std::getenv ("DUNSKARA_STRESS_SECONDS");
    const double seconds = text != nullptr ? std::atof (text) : 0.0;
    return std::chrono::duration<double> (seconds > 0.0 ? std::min (seconds, 60.0) : 2.5);
}

// Runs each job over and over on a thread of its own for raceTime(); returns how often
// each one ran.
std::vector<long> race (const std::vector<std::function<void()>>& jobs)
{
    std::atomic<bool> stop { false };
    std::vector<long> runs (jobs.size(), 0);
    std::vector<std::thread> threads;

    for (size_t i = 0; i < jobs.size(); ++i)
        threads.emplace_back ([&, i]
        {
            for (; ! stop.load(); ++runs[i])
                jobs[i]();
        });

    std::this_thread::sleep_for (raceTime());
    stop.store (true);

    for (auto& thread : threads)
        thread.join();

    return runs;
}

class Vst2ChunkRaces : public Vst2Binary
{
protected:
    // Two states of different lengths, each as the plug-in saves it; the plug-in is
    // left in the first.
    void SetUp() override
    {
        Vst2Binary::SetUp();
        first = host->getChunk();
        host->setParameter (3, 0.75f);
        char name[] = "Autosaved preset";
        host->dispatch (Vst2::effSetProgramName, 0, 0, name);
        second = host->getChunk();
        ASSERT_NE (first.size(), second.size());

        host->setChunk (first);
        ASSERT_EQ (host->getChunk(), first);
    }

    // One save, as a host's worker does it; counts the copy when it is neither state.
    std::function<void()> saver (bool currentProgramOnly)
    {
        return [this, currentProgramOnly]
        {
            const auto copy = host->getChunk (currentProgramOnly, Vst2Host::ChunkCopy::afterYield);
            if (copy != first && copy != second)
                ++corrupted;
        };
    }

    std::vector<unsigned char> first, second;
    std::atomic<long> corrupted { 0 };
};

TEST_F (Vst2ChunkRaces, SavesRacingLoadsCopyWholeChunks)
{
    bool loadFirst = false;
    const auto loader = [&]
    {
        // Both kinds of load restore the whole bank.
        host->setChunk (loadFirst ? first : second, ! loadFirst);
        loadFirst = ! loadFirst;
    };

    bool wholeBank = true;
    const auto save = saver (true), saveBank = saver (false);
    const auto runs = race ({ loader, [&] { (wholeBank ? saveBank : save)(); wholeBank = ! wholeBank; } });

    RecordProperty ("saves", (int) runs[1]);
    EXPECT_GT (runs[0], 10);
    EXPECT_GT (runs[1], 10);
    EXPECT_EQ (corrupted.load(), 0) << "of " << runs[1] << " saves";
}

TEST_F (Vst2ChunkRaces, SavesOnTwoThreadsCopyWholeChunks)
{
    const auto runs = race ({ saver (false), saver (true) });

    RecordProperty ("saves", (int) (runs[0] + runs[1]));
    EXPECT_GT (runs[0], 10);
    EXPECT_GT (runs[1], 10);
    EXPECT_EQ (corrupted.load(), 0) << "of " << runs[0] + runs[1] << " saves";
}

// The pointer a save hands out stays as it was until the same thread saves again,
// whatever other threads do meanwhile (a freed buffer may still hold the same bytes:
// the sanitizer pass sees that read).
TEST_F (Vst2ChunkRaces, ChunkPointerOutlivesOtherThreadsSavesAndLoads)
{
    void* data = nullptr;
    const auto size = host->dispatch (Vst2::effGetChunk, 0, 0, &data);
    ASSERT_EQ (size, (Vst2::VstIntPtr) first.size());
    ASSERT_NE (data, nullptr);

    std::thread other ([&]
    {
        host->getChunk();
        host->setChunk (second);
        host->getChunk (true);
        host->dispatch (Vst2::effSetProgram, 0, 2);
        char name[] = "Renamed";
        host->dispatch (Vst2::effSetProgramName, 0, 0, name);
        host->getChunk();
    });
    other.join();

    const auto* bytes = static_cast<const unsigned char*> (data);
    EXPECT_EQ (std::vector<unsigned char> (bytes, bytes + size), first);
    EXPECT_NE (host->getChunk(), first);
}

} // namespace
