#include "panels/ParameterGestures.h"

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

ParameterGestures::ParameterGestures (juce::AudioProcessor& processorToNotify)
    : processor (processorToNotify)
{
}

ParameterGestures::~ParameterGestures()
{
    // A window closed in the middle of a drag must not leave the host's gesture open.
    for (int i = 0; i < params::numParameters; ++i)
        if (open[(size_t) i])
            end (i);
}

void ParameterGestures::dragStarted (int index)
{
    if (params::isValidIndex (index))
        dragging[(size_t) index] = true;
}

void ParameterGestures::dragEnded (int index)
{
    if (! params::isValidIndex (index))
        return;

    dragging[(size_t) index] = false;
    if (open[(size_t) index])
        end (index);
}

void ParameterGestures::report (int index, float value)
{
    if (! params::isValidIndex (index))
        return;

    if (! open[(size_t) index])
        begin (index);

    // The processor has no parameter objects, so this is setParameter followed by
    // sendParamChangeMessageToListeners (which juce::AudioProcessor keeps protected).
    processor.setParameterNotifyingHost (index, value);

    if (! dragging[(size_t) index])
        end (index);
}

void ParameterGestures::begin (int index)
{
    open[(size_t) index] = true;
    processor.beginParameterChangeGesture (index);
}

void ParameterGestures::end (int index)
{
    open[(size_t) index] = false;
    processor.endParameterChangeGesture (index);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
