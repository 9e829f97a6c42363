#pragma once

#include "formats/vst2/Vst2Instances.h"

namespace dunskara::vst2
{
// Answers effGetParameterProperties (JUCE's wrapper answers 0 to it), so that hosts show
// the switches as switches. Fills `properties` (zeroed first) and returns 1 for a
// valid parameter; returns 0 and writes nothing for any other index or a null pointer.
Vst2::VstIntPtr getParameterProperties (Vst2::VstInt32 index, Vst2::VstParameterProperties* properties);
} // namespace dunskara::vst2
