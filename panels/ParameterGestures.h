#pragma once

#include "plugin/ParameterTable.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

// Reports the user's changes of parameters to the host, each inside a gesture, so that
// hosts can record touch automation and undo a whole drag as one step: the host hears
// begin, the changes, end, for the control's parameter.
//
// A control calls dragStarted when the mouse goes down (or a wheel step starts) and
// dragEnded when it is released; the gesture begins with the first change reported
// in between, so a press that changes nothing tells the host nothing. A change outside
// any drag (a click on a switch, a queued double-click reset, a key press) is framed
// on its own. Message thread only.
class ParameterGestures final
{
public:
    explicit ParameterGestures (juce::AudioProcessor& processorToNotify);
    ~ParameterGestures(); // ends every gesture that is still open

    void dragStarted (int index);
    void dragEnded (int index);

    // Stores the value and tells the host: setParameter, then the listeners' message.
    void report (int index, float value);

private:
    void begin (int index);
    void end (int index);

    juce::AudioProcessor& processor;
    std::array<bool, params::numParameters> dragging {};
    std::array<bool, params::numParameters> open {};

    JUCE_DECLARE_NON_COPYABLE (ParameterGestures)
};
