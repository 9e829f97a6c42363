#pragma once

namespace juce { class AudioProcessor; }

namespace dunskara::format
{
// The processor that createPluginFilter() last made on the calling thread, or null;
// the call forgets it. A format's entry point calls this right after its wrapper was
// created on the same thread, to reach the processor the wrapper keeps private.
juce::AudioProcessor* takeProcessorCreatedOnThisThread() noexcept;
} // namespace dunskara::format
