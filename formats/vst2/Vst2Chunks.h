#pragma once

#include "formats/vst2/Vst2Instances.h"

namespace dunskara::vst2
{
// effGetChunk, answered by our layer: JUCE's wrapper keeps a single chunk buffer per
// effect and frees it on the next save or load, while another thread may still be
// copying from it. Same bytes as JUCE's (index != 0 saves the current program only);
// writes the calling thread's buffer to *data and returns the size.
Vst2::VstIntPtr getChunk (Instance& instance, Vst2::VstInt32 index, void** data);

// effSetChunk: JUCE reads a private copy of the host's bytes, never the host's buffer
// (which may be one that effGetChunk returned), and never while a save is running.
Vst2::VstIntPtr setChunk (Instance& instance, Vst2::AEffect* effect, Vst2::VstInt32 index,
                          Vst2::VstIntPtr size, void* data);
} // namespace dunskara::vst2
