#include "editor/EditorSnapshot.h"
#include "editor/VarnocAudioProcessorEditor.h"
#include "plugin/VarnocAudioProcessor.h"

juce::Image renderEditorSnapshot (VarnocAudioProcessor& processor, int settleMilliseconds, float scale)
{
    auto editor = std::make_unique<VarnocAudioProcessorEditor> (processor);

    if (settleMilliseconds > 0)
        if (auto* mm = juce::MessageManager::getInstanceWithoutCreating())
            if (mm->isThisTheMessageThread())
                mm->runDispatchLoopUntil (settleMilliseconds);

    // A scale that is not a sensible number draws at 100 %.
    if (! (scale >= minSnapshotScale && scale <= maxSnapshotScale))
        scale = 1.0f;

    return editor->createComponentSnapshot (editor->getLocalBounds(), true, scale);
}
