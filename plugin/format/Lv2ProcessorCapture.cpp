#include "Lv2ProcessorCapture.h"

// JUCE's client (compiled with this target) calls the renamed factory, defined below;
// the real one is the processor's, shared by every format.
#if ! defined (createPluginFilter)
 #error "Lv2ProcessorCapture.cpp needs createPluginFilter renamed for JUCE's LV2 client"
#endif
#undef createPluginFilter

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter();

namespace dunskara::lv2
{
namespace
{
    thread_local ProcessorCapture* activeCapture = nullptr;
} // namespace

ProcessorCapture::ProcessorCapture() noexcept
    : previous (activeCapture)
{
    activeCapture = this;
}

ProcessorCapture::~ProcessorCapture()
{
    activeCapture = previous;
}

juce::AudioProcessor* noteCreatedProcessor (juce::AudioProcessor* processor) noexcept
{
    if (activeCapture != nullptr && activeCapture->captured == nullptr)
        activeCapture->captured = processor;

    return processor;
}
} // namespace dunskara::lv2

juce::AudioProcessor* JUCE_CALLTYPE dunskara_lv2_create_processor()
{
    return dunskara::lv2::noteCreatedProcessor (createPluginFilter());
}
