#include "editor/EditorSnapshot.h"
#include "editor/VarnocAudioProcessorEditor.h"
#include "plugin/VarnocAudioProcessor.h"

juce::Image renderEditorSnapshot (VarnocAudioProcessor& processor, int settleMilliseconds)
{
    auto editor = std::make_unique<VarnocAudioProcessorEditor> (processor);

    if (settleMilliseconds > 0)
        if (auto* mm = juce::MessageManager::getInstanceWithoutCreating())
            if (mm->isThisTheMessageThread())
                mm->runDispatchLoopUntil (settleMilliseconds);

    return editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
}
