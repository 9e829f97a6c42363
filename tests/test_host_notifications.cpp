// What the processor itself tells the host: how it describes its switches, and that a
// program change or a restored state asks the host to re-read every value without
// posing as automation.
#include "host_event_recorder.h"
#include "plugin/ParameterTable.h"

#include <gtest/gtest.h>

namespace
{
TEST (HostNotifications, OnlyTheSwitchesAreDiscreteWithTwoSteps)
{
    VarnocAudioProcessor processor;
    for (int i = 0; i < params::numParameters; ++i)
    {
        const int position = i % params::perBand;
        const bool isSwitch = i == params::mainOnOff
                           || (i < 27 && (position == params::limonoff || position == params::chanonoff));
        EXPECT_EQ (processor.isParameterDiscrete (i), isSwitch) << "parameter " << i;
        if (isSwitch)
            EXPECT_EQ (processor.getParameterNumSteps (i), 2) << "parameter " << i;
        else
            EXPECT_EQ (processor.getParameterNumSteps (i), juce::AudioProcessor::getDefaultNumParameterSteps()) << i;
    }

    // Still every value above 0 is on, as hosts may store any value.
    processor.setParameter (params::bandIndex (1, params::limonoff), 0.01f);
    EXPECT_EQ (processor.getParameter (params::bandIndex (1, params::limonoff)), 0.01f);
    EXPECT_EQ (processor.bandDynamics[1]->limiter.load(), 0.65f);
    EXPECT_FALSE (processor.isParameterDiscrete (-1));
    EXPECT_FALSE (processor.isParameterDiscrete (params::numParameters));
}

TEST (HostNotifications, ProgramChangesAndRestoresAskTheHostToRereadEveryValue)
{
    VarnocAudioProcessor processor;
    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);
    hostevents::Recorder host (processor);

    const auto expectOneRereadRequest = [&host]
    {
        ASSERT_EQ (host.events.size(), 1u);
        EXPECT_EQ (host.events[0].kind, hostevents::Kind::display);
        EXPECT_TRUE (host.events[0].programChanged);
        host.events.clear();
    };

    processor.setCurrentProgram (3);
    expectOneRereadRequest();
    processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
    expectOneRereadRequest();

    // Nothing changed, nothing to re-read: a refused chunk, an unknown program, a value.
    const char garbage[] = "not a chunk";
    processor.setStateInformation (garbage, (int) sizeof (garbage));
    processor.setStateInformation (nullptr, 0);
    processor.setCurrentProgram (10);
    processor.setCurrentProgram (-1);
    processor.setParameter (0, 0.3f);
    EXPECT_TRUE (host.events.empty());
}
} // namespace
