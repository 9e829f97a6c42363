// Identity, parameters and programs of the processor.
#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")


TEST (ProcessorIdentity, AnswersTheHostQueries)
{
    VarnocAudioProcessor p;
    EXPECT_EQ (p.getName(), "DUNSKARA");
    EXPECT_EQ (p.getInputChannelName (0), "1");
    EXPECT_EQ (p.getOutputChannelName (1), "2");
    EXPECT_TRUE (p.isInputChannelStereoPair (0));
    EXPECT_TRUE (p.isOutputChannelStereoPair (1));
    EXPECT_FALSE (p.acceptsMidi());
    EXPECT_FALSE (p.producesMidi());
    // The window comes from whoever installed the editor library's factory: the formats
    // do, and so does this test program.
    EXPECT_TRUE (p.hasEditor());
    const std::unique_ptr<juce::AudioProcessorEditor> editor (p.createEditor());
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (editor->getWidth(), 914);
    EXPECT_EQ (editor->getHeight(), 650);
    EXPECT_EQ (p.getLatencySamples(), 0);
    EXPECT_GT (p.getTailLengthSeconds(), 0.0); // the crossover filters ring on
    EXPECT_EQ (p.getNumParameters(), 35);
    EXPECT_EQ (p.getNumPrograms(), 10);
    EXPECT_EQ (p.getCurrentProgram(), 0);
}

TEST (ProcessorIdentity, AcceptsMonoOrStereoInToStereoOutOnly)
{
    VarnocAudioProcessor p;
    using Set = juce::AudioChannelSet;
    auto layout = [] (Set in, Set out) {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (in);
        l.outputBuses.add (out);
        return l;
    };
    EXPECT_TRUE (p.checkBusesLayoutSupported (layout (Set::stereo(), Set::stereo())));
    EXPECT_TRUE (p.checkBusesLayoutSupported (layout (Set::mono(), Set::stereo())));
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout (Set::mono(), Set::mono())));
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout (Set::stereo(), Set::mono())));
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout (Set::create5point1(), Set::stereo())));
}

TEST (Parameters, NamesIdsAndDefaults)
{
    VarnocAudioProcessor p;
    const char* band[] = { "attack", "release", "fxmix", "add", "gain", "thresh", "ratio", "limonoff", "chanonoff" };
    const float bandDefaults[] = { 0.42f, 0.6f, 1.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.0f, 1.0f };
    for (int b = 0; b < 3; ++b)
        for (int k = 0; k < 9; ++k)
        {
            EXPECT_EQ (p.getParameterName (9 * b + k), juce::String (band[k]) + "_" + juce::String (b));
            EXPECT_EQ (p.getParameter (9 * b + k), bandDefaults[k]);
        }

    const char* globals[] = { "MainInGain", "MakeUpGain", "FinalMix", "Fq_Low", "Fq_High", "MainOnOff", "not-used", "not-used" };
    const float globalDefaults[] = { 0.25f, 0.0f, 1.0f, 0.03f, 0.4f, 1.0f, 0.5f, 0.5f };
    for (int i = 0; i < 8; ++i)
    {
        EXPECT_EQ (p.getParameterName (27 + i), globals[i]);
        EXPECT_EQ (p.getParameter (27 + i), globalDefaults[i]);
    }

    // Host-side IDs are unique and start with a letter (hosts save them in sessions).
    juce::StringArray ids;
    for (int i = 0; i < 35; ++i)
    {
        const auto id = p.getParameterID (i);
        EXPECT_TRUE (juce::CharacterFunctions::isLetter (id[0])) << id;
        ids.addIfNotAlreadyThere (id);
    }
    EXPECT_EQ (ids.size(), 35);
    EXPECT_EQ (p.getParameterID (0), "attack_0");
    EXPECT_EQ (p.getParameterID (33), "not_used_33");
    EXPECT_EQ (p.getParameterID (34), "not_used_34");
}

TEST (Parameters, TextHasTwoDecimals)
{
    VarnocAudioProcessor p;
    EXPECT_EQ (p.getParameterText (0), "0.42");
    EXPECT_EQ (p.getParameterText (4), "0.50");
    EXPECT_EQ (p.getParameterText (2), "1.00");
    p.setParameter (5, 0.3f);
    EXPECT_EQ (p.getParameter (5), 0.3f);
    EXPECT_EQ (p.getParameterText (5), "0.30");
}

TEST (Parameters, SetStoresIntoLiveValuesAndCurrentProgram)
{
    VarnocAudioProcessor p;
    p.setCurrentProgram (4);
    p.setParameter (5, 0.3f);
    EXPECT_EQ (p.programBank->getValue (4, 5), 0.3f);
    EXPECT_EQ (p.programBank->getValue (0, 5), 1.0f);

    // values are stored as given: no clamping
    p.setParameter (6, 1.5f);
    EXPECT_EQ (p.getParameter (6), 1.5f);
    p.setParameter (33, 0.9f);
    EXPECT_EQ (p.getParameter (33), 0.9f);
    EXPECT_EQ (p.getParameter (34), 0.5f);
}

TEST (Parameters, TheChangeCountMovesOnlyWhenAValueChanges)
{
    VarnocAudioProcessor p;
    const auto start = p.getChangeCount();

    p.setParameter (0, 0.42f); // unchanged
    p.setParameter (0, std::numeric_limits<float>::quiet_NaN());
    p.setParameter (35, 0.5f);
    EXPECT_EQ (p.getChangeCount(), start);

    p.setParameter (0, 0.1f);
    EXPECT_EQ (p.getChangeCount(), start + 1);
}

TEST (Parameters, BadHostInputIsIgnored)
{
    VarnocAudioProcessor p;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    p.setParameter (27, nan);
    p.setParameter (30, inf);
    p.setParameter (31, -inf);
    EXPECT_EQ (p.getParameter (27), 0.25f);
    EXPECT_EQ (p.getParameter (30), 0.03f);
    EXPECT_EQ (p.getParameter (31), 0.4f);
    EXPECT_EQ (p.inputGain.load(), 1.0f);

    p.setParameter (-1, 0.5f);
    p.setParameter (35, 0.5f);
    EXPECT_EQ (p.getParameter (-1), 0.0f);
    EXPECT_EQ (p.getParameter (35), 0.0f);
    EXPECT_EQ (p.getParameterName (35), "");
    EXPECT_EQ (p.getParameterText (-7), "");

    p.setCurrentProgram (10);
    p.setCurrentProgram (-1);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.getProgramName (10), "");
    p.changeProgramName (12, "x");
}

TEST (SignalChainValues, FreshProcessorRunsOnTheDefaultParameters)
{
    VarnocAudioProcessor p;
    EXPECT_NEAR (p.lowCrossoverHz.load(), 462.1, 0.05);
    EXPECT_NEAR (p.highCrossoverHz.load(), 5260.6, 0.05);
    EXPECT_EQ (p.inputGain.load(), 1.0f);
    EXPECT_EQ (p.outputGain.load(), 1.0f);
    EXPECT_EQ (p.finalMix.load(), 1.0f);
    EXPECT_EQ (p.processingOn.load(), 1.0f);
    for (int b = 0; b < 3; ++b)
    {
        EXPECT_EQ (p.bandGain[b].load(), 1.0f);
        EXPECT_EQ (p.bandAddAmount[b].load(), 0.0f);
        EXPECT_EQ (p.bandLevelMultiplier[b].load(), 1.0f);
        EXPECT_EQ (p.bandDynamics[(size_t) b]->attack.load(), 0.42f);
        EXPECT_EQ (p.bandDynamics[(size_t) b]->threshold.load(), 1.0f);
        EXPECT_EQ (p.bandDynamics[(size_t) b]->limiter.load(), 1.0f);
    }
}

TEST (SignalChainValues, HostParametersReachTheSignalChainWithoutAnEditor)
{
    VarnocAudioProcessor p;
    p.setParameter (30, 1.0f);
    EXPECT_NEAR (p.lowCrossoverHz.load(), 10837.0, 0.5);
    p.setParameter (27, 0.0f);
    EXPECT_EQ (p.inputGain.load(), 0.0f);
    p.setParameter (28, 1.0f);
    EXPECT_EQ (p.outputGain.load(), 3.0f);
    p.setParameter (29, 0.5f);
    EXPECT_EQ (p.finalMix.load(), 0.5f);

    // every value above 0 counts as on
    p.setParameter (32, 0.0f);
    EXPECT_EQ (p.processingOn.load(), 0.0f);
    p.setParameter (32, 0.01f);
    EXPECT_EQ (p.processingOn.load(), 1.0f);
    p.setParameter (17, 0.0f);
    EXPECT_EQ (p.bandLevelMultiplier[1].load(), 0.0f);
    p.setParameter (25, 0.01f);
    EXPECT_EQ (p.bandDynamics[2]->limiter.load(), 0.65f);
    EXPECT_EQ (p.bandDynamics[5]->limiter.load(), 0.65f);
    p.setParameter (25, 0.0f);
    EXPECT_EQ (p.bandDynamics[5]->limiter.load(), 1.0f);

    // band rows, with the single-precision constants
    p.setParameter (12, 0.5f);
    EXPECT_EQ (p.bandAddAmount[1].load(), 1.0f);
    p.setParameter (22, 0.25f);
    EXPECT_EQ (p.bandGain[2].load(), 0.5f);
    p.setParameter (5, 0.0f);
    EXPECT_EQ (p.bandDynamics[0]->threshold.load(), 0.376f);
    p.setParameter (6, 0.0f);
    EXPECT_EQ (p.bandDynamics[0]->ratio.load(), 0.7805f);
    p.setParameter (15, 1.0f);
    EXPECT_EQ (p.bandDynamics[1]->ratio.load(), (float) ((double) 0.7805f - (double) 0.5805f));
    p.setParameter (11, 0.3f);
    EXPECT_EQ (p.bandDynamics[1]->mix.load(), 0.3f);
    // stage 2 only ever takes the limiter setting
    EXPECT_EQ (p.bandDynamics[4]->mix.load(), 1.0f);
}

TEST (SignalChainValues, CrossoverIsBoundedAtTheLowestDragPosition)
{
    VarnocAudioProcessor p;
    p.setParameter (30, 0.0f);
    const double floorHz = params::crossoverHz (2.0f / 328.0f);
    EXPECT_NEAR (floorHz, 95.0, 0.1);
    EXPECT_EQ (p.lowCrossoverHz.load(), floorHz);
    p.setParameter (31, -3.0f);
    EXPECT_EQ (p.highCrossoverHz.load(), floorHz);
    // the formula itself, as the labels show it
    EXPECT_EQ (params::crossoverHz (0.0f), 0.0);
    EXPECT_NEAR (params::crossoverHz (1.0f), 10837.0, 0.5);
}

TEST (Programs, TenIdenticalUserPrograms)
{
    VarnocAudioProcessor p;
    EXPECT_EQ (p.getProgramName (0), "user1");
    EXPECT_EQ (p.getProgramName (9), "user10");
    for (int prog = 0; prog < 10; ++prog)
        for (int i = 0; i < 35; ++i)
            EXPECT_EQ (p.programBank->getValue (prog, i), p.getParameter (i));
}

TEST (Programs, SwitchingKeepsEachProgramsValues)
{
    VarnocAudioProcessor p;
    const auto start = p.getChangeCount();

    p.setParameter (0, 0.1f);
    p.setParameter (27, 0.5f);
    p.setCurrentProgram (1);
    EXPECT_EQ (p.getParameter (0), 0.42f);
    EXPECT_EQ (p.getCurrentProgram(), 1);
    EXPECT_EQ (p.inputGain.load(), 1.0f); // the signal chain follows the program
    p.setCurrentProgram (0);
    EXPECT_EQ (p.getParameter (0), 0.1f);
    EXPECT_EQ (p.inputGain.load(), 2.0f);
    EXPECT_EQ (p.getChangeCount(), start + 4); // two values, two program changes

    p.changeProgramName (2, "Drums");
    EXPECT_EQ (p.getProgramName (2), "Drums");
}

// The live values are the current program's, even one written behind setParameter's
// back: a program change keeps it in the program left, and a save stores it.
TEST (Programs, TheLiveValuesAreWhatTheCurrentProgramKeeps)
{
    VarnocAudioProcessor p;
    p.parameterValues[3].store (0.7f);
    EXPECT_EQ (p.getCurrentProgram(), 0);

    juce::MemoryBlock saved;
    p.getStateInformation (saved);
    const std::string text (static_cast<const char*> (saved.getData()), saved.getSize());
    EXPECT_NE (text.find ("pg_floats03=\"0.699999988\""), std::string::npos);

    p.setCurrentProgram (1);
    EXPECT_EQ (p.programBank->getValue (0, 3), 0.7f);
    EXPECT_EQ (p.getParameter (3), 0.0f);
    p.setCurrentProgram (0);
    EXPECT_EQ (p.getParameter (3), 0.7f);

    // Choosing the current program again keeps its live values.
    p.parameterValues[4].store (0.9f);
    p.setCurrentProgram (0);
    EXPECT_EQ (p.getParameter (4), 0.9f);
    EXPECT_EQ (p.programBank->getValue (0, 4), 0.9f);
}

// Values set from any thread reach the signal chain at the start of the next block,
// even when something else wrote the chain's value in between.
TEST (Programs, EveryBlockStartsInLineWithTheLiveValues)
{
    VarnocAudioProcessor p;
    p.setPlayConfigDetails (2, 2, 44100.0, 64);
    p.prepareToPlay (44100.0, 64);
    p.setParameter (params::mainInGain, 0.5f);
    p.inputGain.store (3.0f); // a stale write after the value was applied

    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);
    EXPECT_EQ (p.inputGain.load(), 2.0f);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
