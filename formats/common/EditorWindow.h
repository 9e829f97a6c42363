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

    ~EditorWindow() override { releaseDragInside(); }

    bool hasEditor() const noexcept { return editor != nullptr; }

    void setScale (double scale)
    {
        editor->setScaleFactor ((float) scale);
        const auto area = editor->getBoundsInParent();
        setSize (area.getRight(), area.getBottom());
    }

    void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::black); }

private:
    // A drag still going on when the window goes: JUCE never sees its button come up
    // (the release goes to whatever window is under the pointer then) and would take
    // the next press in any editor for a move of that drag, losing the click. Ended
    // here, the drag ends as usual: the control closes its gesture itself.
    void releaseDragInside()
    {
        auto* peer = getPeer();
        auto source = juce::Desktop::getInstance().getMainMouseSource();
        auto* pressed = source.getComponentUnderMouse();
        if (peer == nullptr || ! source.isDragging() || pressed == nullptr || ! (pressed == this || isParentOf (pressed)))
            return;
        juce::ModifierKeys::currentModifiers = juce::ModifierKeys::currentModifiers.withoutMouseButtons();
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, peer->globalToLocal (source.getScreenPosition()),
                                juce::ModifierKeys::currentModifiers, juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, juce::Time::currentTimeMillis());
    }

    std::unique_ptr<juce::AudioProcessorEditor> editor;
};
} // namespace dunskara::format
