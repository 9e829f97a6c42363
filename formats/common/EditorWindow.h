#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace dunskara::format
{
// Holds the editor, scaled, as the component that goes onto the host's window.
class EditorWindow final : public juce::Component
{
public:
    EditorWindow (juce::AudioProcessor& processor, double scale)
        : editor (processor.createEditorIfNeeded())
    {
        setOpaque (true);
        if (editor != nullptr)
        {
            addAndMakeVisible (*editor);
            setScale (scale);
        }
    }

    bool hasEditor() const noexcept { return editor != nullptr; }

    void setScale (double scale)
    {
        editor->setScaleFactor ((float) scale);
        const auto area = editor->getBoundsInParent();
        setSize (area.getRight(), area.getBottom());
    }

    void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::black); }

private:
    std::unique_ptr<juce::AudioProcessorEditor> editor;
};
} // namespace dunskara::format
