#pragma once

#include "formats/vst2/Vst2Instances.h"

namespace dunskara::vst2
{
// Our processReplacing, processDoubleReplacing and (accumulating) process.
void processReplacing (Vst2::AEffect* effect, float** inputs, float** outputs, Vst2::VstInt32 numFrames);
void processDoubleReplacing (Vst2::AEffect* effect, double** inputs, double** outputs, Vst2::VstInt32 numFrames);
void processAccumulating (Vst2::AEffect* effect, float** inputs, float** outputs, Vst2::VstInt32 numFrames);

// Sizes the scratch space for `blockSize` frames; false when memory runs out.
bool prepareScratch (Instance& instance, int blockSize) noexcept;
} // namespace dunskara::vst2
