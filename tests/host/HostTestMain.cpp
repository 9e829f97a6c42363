// Entry point of the JUCE hosting tests: JUCE's hosting classes need the message
// manager, and the user's installed plug-ins must not be found instead of the build's.
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    setenv ("HOME", DUNSKARA_HOST_TEST_HOME, 1);
    setenv ("LV2_PATH", DUNSKARA_LV2_FOLDER, 1);

    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
