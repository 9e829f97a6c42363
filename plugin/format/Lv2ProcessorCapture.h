#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace dunskara::lv2
{
// JUCE's LV2 client keeps its processor to itself. The build renames the factory that
// client calls (see plugin/CMakeLists.txt) to one here, which creates the processor as
// every format does and, while a capture is running on the calling thread, remembers
// it: our instantiate() runs JUCE's inside a capture and so learns its processor.
class ProcessorCapture final
{
public:
    ProcessorCapture() noexcept;
    ~ProcessorCapture();

    // The processor created on this thread since construction, or null.
    juce::AudioProcessor* processor() const noexcept { return captured; }

private:
    friend juce::AudioProcessor* noteCreatedProcessor (juce::AudioProcessor*) noexcept;

    ProcessorCapture* previous = nullptr;
    juce::AudioProcessor* captured = nullptr;

    JUCE_DECLARE_NON_COPYABLE (ProcessorCapture)
};
} // namespace dunskara::lv2
