// Loads the built VST2 library the way a host does (dlopen, VSTPluginMain with a host
// callback) and checks what the host sees through the effect record and dispatcher.
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
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

} // namespace
