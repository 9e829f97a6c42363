// Compiled into the VST target with the same include path as JUCE's VST wrapper:
// proves that the wrapper sees our own interface declarations and not another
// pair that happens to be installed on the system.
#include <cstdint>

namespace Vst2
{
#include "pluginterfaces/vst2.x/aeffect.h"
#include "pluginterfaces/vst2.x/aeffectx.h"
} // namespace Vst2

#ifndef DUNSKARA_CLEANROOM_VST2
 #error "The VST wrapper is not compiling against the project's own vst2/ headers"
#endif

static_assert (sizeof (Vst2::AEffect) == 192, "AEffect must be 192 bytes on x86_64");
static_assert (kVstVersion == 2400, "VST 2.4");
