// Loads the built VST2 library the way a host does (dlopen, VSTPluginMain with a host
// callback) and checks what the host sees through the effect record and dispatcher.
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace
{
using testhost::Vst2Host;

constexpr int numParameters = 35;
constexpr int numPrograms = 10;

const char* const parameterNames[numParameters] = {
    "attack_0", "release_0", "fxmix_0", "add_0", "gain_0", "thresh_0", "ratio_0", "limonoff_0", "chanonoff_0",
    "attack_1", "release_1", "fxmix_1", "add_1", "gain_1", "thresh_1", "ratio_1", "limonoff_1", "chanonoff_1",
    "attack_2", "release_2", "fxmix_2", "add_2", "gain_2", "thresh_2", "ratio_2", "limonoff_2", "chanonoff_2",
    "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not-used", "not-used"
};

const char* const defaultDisplayTexts[numParameters] = {
    "0.42", "0.60", "1.00", "0.00", "0.50", "1.00", "1.00", "0.00", "1.00",
    "0.42", "0.60", "1.00", "0.00", "0.50", "1.00", "1.00", "0.00", "1.00",
    "0.42", "0.60", "1.00", "0.00", "0.50", "1.00", "1.00", "0.00", "1.00",
    "0.25", "0.00", "1.00", "0.03", "0.40", "1.00", "0.50", "0.50"
};

// Plug-ins built on JUCE may leave a message thread behind: keep the code mapped.
std::unique_ptr<Vst2Host> loadPlugin()
{
    auto host = std::make_unique<Vst2Host> (DUNSKARA_VST2_BINARY);
    host->setUnloadOnDestruction (false);
    return host;
}

class Vst2Binary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = loadPlugin();
        ASSERT_TRUE (host->isLibraryLoaded()) << host->getLoadError();
        effect = host->instantiateAndOpen();
        ASSERT_NE (effect, nullptr);
    }

    std::vector<float> allParameters()
    {
        std::vector<float> values;
        for (int i = 0; i < numParameters; ++i)
            values.push_back (host->getParameter (i));
        return values;
    }

    std::unique_ptr<Vst2Host> host;
    Vst2::AEffect* effect = nullptr;
};

Vst2::VstSpeakerArrangement arrangement (Vst2::VstInt32 type, Vst2::VstInt32 numChannels)
{
    Vst2::VstSpeakerArrangement result {};
    result.type = type;
    result.numChannels = numChannels;
    return result;
}

// Deterministic, non-periodic test signal in -0.8..0.8.
std::vector<float> testSignal (int numFrames, unsigned seed)
{
    std::vector<float> signal ((size_t) numFrames);
    unsigned state = seed;

    for (int i = 0; i < numFrames; ++i)
    {
        state = state * 1664525u + 1013904223u;
        const auto noise = (float) (state >> 8) / (float) (1u << 24) - 0.5f;
        signal[(size_t) i] = 0.5f * (float) std::sin (0.0625 * i) + 0.6f * noise;
    }

    return signal;
}

bool allFinite (const std::vector<float>& samples)
{
    return std::all_of (samples.begin(), samples.end(), [] (float s) { return std::isfinite (s); });
}

//==============================================================================
TEST_F (Vst2Binary, EffectRecordDescribesAStereoEffectWithChunks)
{
    EXPECT_EQ (effect->magic, Vst2Host::effectMagic);
    EXPECT_EQ (effect->numParams, numParameters);
    EXPECT_EQ (effect->numPrograms, numPrograms);
    EXPECT_EQ (effect->numInputs, 2);
    EXPECT_EQ (effect->numOutputs, 2);
    EXPECT_EQ (effect->uniqueID, ('D' << 24) | ('n' << 16) | ('S' << 8) | 'k');
    EXPECT_EQ (effect->version, 0x10000);
    EXPECT_EQ (effect->initialDelay, 0);
    EXPECT_NE (effect->processReplacing, nullptr);

    EXPECT_NE (effect->flags & Vst2::effFlagsHasEditor, 0);
    EXPECT_NE (effect->flags & Vst2::effFlagsCanReplacing, 0);
    EXPECT_NE (effect->flags & Vst2::effFlagsProgramChunks, 0);
    EXPECT_EQ (effect->flags & Vst2::effFlagsIsSynth, 0);
    EXPECT_EQ (effect->flags & Vst2::effFlagsNoSoundInStop, 0);
}

TEST_F (Vst2Binary, DispatcherReportsIdentity)
{
    EXPECT_EQ (host->getEffectName(), "DUNSKARA");
    EXPECT_EQ (host->getProductString(), "DUNSKARA");
    EXPECT_EQ (host->getVendorString(), "Quorvane");
    EXPECT_EQ (host->dispatch (Vst2::effGetVendorVersion), 0x10000);
    EXPECT_EQ (host->dispatch (Vst2::effGetPlugCategory), Vst2::kPlugCategEffect);
    EXPECT_EQ (host->dispatch (Vst2::effGetVstVersion), 2400);

    for (auto opcode : { Vst2::effGetEffectName, Vst2::effGetProductString })
        EXPECT_FALSE (host->queryString (opcode, 0, 64).overran);
}

TEST_F (Vst2Binary, ParametersShowNamesAndTwoDecimalTexts)
{
    for (int i = 0; i < numParameters; ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (host->getParamName (i), parameterNames[i]);
        EXPECT_EQ (host->getParamDisplay (i), defaultDisplayTexts[i]);
    }

    host->setParameter (5, 0.3f);
    EXPECT_EQ (host->getParameter (5), 0.3f);
    EXPECT_EQ (host->getParamDisplay (5), "0.30");

    // Unused slots store whatever they are given.
    host->setParameter (34, 0.126f);
    EXPECT_EQ (host->getParameter (34), 0.126f);
    EXPECT_EQ (host->getParamDisplay (34), "0.13");
}

TEST_F (Vst2Binary, ProgramsAreNamedAndKeepTheirOwnValues)
{
    for (int p = 0; p < numPrograms; ++p)
        EXPECT_EQ (host->getProgramNameIndexed (p), "user" + std::to_string (p + 1));

    EXPECT_EQ (host->dispatch (Vst2::effGetProgram), 0);
    EXPECT_EQ (host->getProgramName(), "user1");

    host->setParameter (0, 0.1f);
    host->dispatch (Vst2::effSetProgram, 0, 1);
    EXPECT_EQ (host->dispatch (Vst2::effGetProgram), 1);
    EXPECT_EQ (host->getProgramName(), "user2");
    EXPECT_EQ (host->getParameter (0), 0.42f);

    host->dispatch (Vst2::effSetProgram, 0, 0);
    EXPECT_EQ (host->getParameter (0), 0.1f);

    char name[] = "Drums";
    host->dispatch (Vst2::effSetProgramName, 0, 0, name);
    EXPECT_EQ (host->getProgramNameIndexed (0), "Drums");
}

TEST_F (Vst2Binary, CanDoAnswers)
{
    for (const char* midi : { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents",
                              "sendVstEvents", "sendVstMidiEvent", "sendVstMidiEvents" })
        EXPECT_EQ (host->canDo (midi), -1) << midi;

    EXPECT_EQ (host->canDo ("receiveVstTimeInfo"), 1);
    EXPECT_EQ (host->canDo ("conformsToWindowRules"), 1);
    EXPECT_EQ (host->canDo ("openCloseAnyThread"), -1);
    EXPECT_EQ (host->canDo ("noSuchCapability"), 0);
}

TEST_F (Vst2Binary, ChunkCarriesTheWholeBankIntoAnotherInstance)
{
    host->setParameter (5, 0.3f);
    host->setParameter (30, 0.77f);
    char name[] = "Drums";
    host->dispatch (Vst2::effSetProgramName, 0, 0, name);
    host->dispatch (Vst2::effSetProgram, 0, 3);
    host->setParameter (2, 0.25f);
    host->setParameter (33, 0.0f);

    const auto chunk = host->getChunk();
    ASSERT_FALSE (chunk.empty());

    // The XML travels as text inside JUCE's binary framing.
    const std::string bytes (chunk.begin(), chunk.end());
    EXPECT_NE (bytes.find ("<MYPLUGINSETTINGS"), std::string::npos);
    EXPECT_NE (bytes.find ("pname0=\"Drums\""), std::string::npos);
    EXPECT_NE (bytes.find ("pg_floats05=\"0.300000012\""), std::string::npos);
    EXPECT_NE (bytes.find ("pg_floats32=\"0.25\""), std::string::npos);

    auto other = loadPlugin();
    ASSERT_NE (other->instantiateAndOpen(), nullptr);
    other->setChunk (chunk);

    for (int p = 0; p < numPrograms; ++p)
    {
        SCOPED_TRACE (p);
        host->dispatch (Vst2::effSetProgram, 0, p);
        other->dispatch (Vst2::effSetProgram, 0, p);
        EXPECT_EQ (other->getProgramName(), host->getProgramName());

        for (int i = 0; i < numParameters; ++i)
            EXPECT_EQ (other->getParameter (i), host->getParameter (i)) << "parameter " << i;
    }

    other->dispatch (Vst2::effSetProgram, 0, 0);
    EXPECT_EQ (other->getParameter (5), 0.3f);
    EXPECT_EQ (other->getParameter (30), 0.77f);
    other->dispatch (Vst2::effSetProgram, 0, 3);
    EXPECT_EQ (other->getParameter (2), 0.25f);
}

TEST_F (Vst2Binary, DamagedChunksLeaveTheStateAlone)
{
    host->setParameter (7, 0.9f);
    const auto before = allParameters();
    const auto good = host->getChunk();
    ASSERT_GT (good.size(), 16u);

    const std::vector<unsigned char> garbage (64, 0x5a);
    const std::vector<unsigned char> truncated (good.begin(), good.begin() + (long) good.size() / 2);

    host->setChunk (garbage);
    host->setChunk (truncated);
    host->setChunk (nullptr, 0);

    EXPECT_EQ (allParameters(), before);
    EXPECT_EQ (host->getProgramNameIndexed (0), "user1");
}

TEST_F (Vst2Binary, AcceptsStereoOrMonoIntoStereoOnly)
{
    const auto trySet = [this] (Vst2::VstSpeakerArrangement in, Vst2::VstSpeakerArrangement out)
    {
        return host->dispatch (Vst2::effSetSpeakerArrangement, 0, reinterpret_cast<Vst2::VstIntPtr> (&in), &out);
    };

    const auto mono = arrangement (Vst2::kSpeakerArrMono, 1);
    const auto stereo = arrangement (Vst2::kSpeakerArrStereo, 2);
    const auto surround = arrangement (Vst2::kSpeakerArr51, 6);

    EXPECT_EQ (trySet (stereo, stereo), 1);
    EXPECT_EQ (trySet (mono, stereo), 1);

    EXPECT_EQ (trySet (stereo, mono), 0);
    EXPECT_EQ (trySet (mono, mono), 0);
    EXPECT_EQ (trySet (surround, stereo), 0);
    EXPECT_EQ (trySet (stereo, surround), 0);
    EXPECT_EQ (trySet (surround, surround), 0);
}

// Runs stereo blocks of the test signal; returns the largest |output - input| from
// sample `fromSample` on, or a negative value when an output was not finite.
float runStereo (Vst2Host& host, int blockSize, int numBlocks, int fromSample)
{
    const auto left = testSignal (blockSize * numBlocks, 1);
    const auto right = testSignal (blockSize * numBlocks, 2);
    float worst = 0.0f;

    for (int b = 0; b < numBlocks; ++b)
    {
        const auto start = left.begin() + b * blockSize;
        const auto startRight = right.begin() + b * blockSize;
        std::vector<std::vector<float>> in { { start, start + blockSize }, { startRight, startRight + blockSize } };
        std::vector<std::vector<float>> out (2, std::vector<float> (blockSize, 123.0f));

        if (! host.processReplacing (in, out, blockSize))
            return -1.0f;

        for (int c = 0; c < 2; ++c)
        {
            if (! allFinite (out[(size_t) c]))
                return -1.0f;

            for (int i = std::max (0, fromSample - b * blockSize); i < blockSize; ++i)
                worst = std::max (worst, std::abs (out[(size_t) c][(size_t) i] - in[(size_t) c][(size_t) i]));
        }
    }

    return worst;
}

TEST_F (Vst2Binary, DefaultSettingsPassAudioThrough)
{
    host->resume (44100.0, 512);
    const auto worst = runStereo (*host, 512, 40, 32);
    EXPECT_GE (worst, 0.0f) << "no processReplacing, or non-finite output";
    EXPECT_LT (worst, 1.0e-6f);
}

// At the default ratio setting (0.7805f - 0.5805f, a hair below 0.2) the band
// compressors run their full path, whose gate opens from 0 after every start: the
// first samples fade in, everything after them passes unchanged.
TEST_F (Vst2Binary, DefaultSettingsFadeInOverTheFirstSamplesOnly)
{
    host->resume (44100.0, 512);
    const auto fromStart = runStereo (*host, 512, 1, 0);
    EXPECT_GT (fromStart, 1.0e-3f);
    host->suspend();
    host->resume (44100.0, 512);
    const auto afterFadeIn = runStereo (*host, 512, 1, 32);
    EXPECT_GE (afterFadeIn, 0.0f);
    EXPECT_LT (afterFadeIn, 1.0e-6f);
}

TEST_F (Vst2Binary, MonoInputProcessesInPlace)
{
    constexpr int blockSize = 256;
    auto mono = arrangement (Vst2::kSpeakerArrMono, 1);
    auto stereo = arrangement (Vst2::kSpeakerArrStereo, 2);
    ASSERT_EQ (host->dispatch (Vst2::effSetSpeakerArrangement, 0, reinterpret_cast<Vst2::VstIntPtr> (&mono), &stereo), 1);
    // JUCE keeps announcing its widest layout; the host still passes two input pointers.
    EXPECT_EQ (effect->numInputs, 2);
    host->resume (48000.0, blockSize);

    const auto signal = testSignal (blockSize, 3);

    for (int b = 0; b < 8; ++b)
    {
        // Hosts commonly pass the same buffers as input and output.
        std::vector<std::vector<float>> channels { signal, signal };
        ASSERT_TRUE (host->processInPlace (channels, blockSize));

        for (const auto& channel : channels)
            ASSERT_TRUE (allFinite (channel));

        // A mono input comes out processed on both outputs; skip the start-up samples.
        const auto from = b == 0 ? 32 : 0;
        for (int i = from; i < blockSize; ++i)
        {
            ASSERT_NEAR (channels[0][(size_t) i], signal[(size_t) i], 1.0e-6f) << "block " << b << " sample " << i;
            ASSERT_EQ (channels[1][(size_t) i], channels[0][(size_t) i]) << "block " << b << " sample " << i;
        }
    }
}

TEST (Vst2Entry, RefusesHostsThatAnswerVersionZero)
{
    auto host = loadPlugin();
    ASSERT_TRUE (host->isLibraryLoaded()) << host->getLoadError();
    host->setHostVersion (0);
    EXPECT_EQ (host->instantiate(), nullptr);

    host->setHostVersion (Vst2Host::currentHostVersion);
    ASSERT_NE (host->instantiate(), nullptr);
    EXPECT_GE (host->countHostCalls (Vst2::audioMasterVersion), 1u);
}

TEST (Vst2Entry, LegacyMainEntryCreatesTheSameEffect)
{
    auto host = loadPlugin();
    ASSERT_TRUE (host->hasEntryPoint (Vst2Host::Entry::legacyMain));
    auto* effect = host->instantiateAndOpen (Vst2Host::Entry::legacyMain);
    ASSERT_NE (effect, nullptr);
    EXPECT_EQ (effect->uniqueID, ('D' << 24) | ('n' << 16) | ('S' << 8) | 'k');
    EXPECT_EQ (effect->numParams, numParameters);
}

} // namespace
