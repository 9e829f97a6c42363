#include "formats/common/PluginFactory.h"
#include "editor/VarnocAudioProcessorEditor.h"
#include "plugin/VarnocAudioProcessor.h"

namespace
{
// Per thread, so that instances created at the same time on different threads
// never see each other's processor, and no lock is needed.
thread_local juce::AudioProcessor* processorCreatedOnThisThread = nullptr;
} // namespace

juce::AudioProcessor* dunskara::format::takeProcessorCreatedOnThisThread() noexcept
{
    auto* processor = processorCreatedOnThisThread;
    processorCreatedOnThisThread = nullptr;
    return processor;
}

// The factory that every plug-in format's wrapper calls.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    VarnocAudioProcessor::setEditorFactory (createVarnocEditor);
    auto* processor = new VarnocAudioProcessor();
    processorCreatedOnThisThread = processor;
    return processor;
}
