#pragma once

#include "widgets/SkinTwins.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A slider drawn entirely from one image: a thumb that travels along a linear slider,
// or one frame of a vertical filmstrip for the rotary style. A double-click restores
// resetValue and is announced through this slider's own change broadcast. A drag on a
// linear style moves the thumb exactly as far as the pointer, so the thumb stays under
// it; a rotary strip takes 250 pixels for the whole range. Holding shift while
// dragging moves it a tenth as fast, for fine adjustment; with focus, the arrow keys
// step by the interval. Everything else (range, wheel, value notifications) is
// juce::Slider's.
class ImageSlider final : public juce::Slider,
                          public juce::ChangeBroadcaster
{
public:
    // Codes of setImageStyle.
    static constexpr int horizontalThumb = 0;
    static constexpr int verticalThumb = 1;
    static constexpr int rotaryStrip = 2;

    explicit ImageSlider (const juce::String& name);
    ~ImageSlider() override;

    // Switches the base slider style (only when it differs) and installs the style's
    // default image; unknown codes change nothing.
    void setImageStyle (int code);

    // Replaces the drawn image; requests no repaint.
    void setImage (juce::Image newImage);
    const juce::Image& getImage() const noexcept { return image; }

    void setResetValue (double newResetValue);

    // Where a linear style draws the thumb's top-left corner for the current value, in
    // whole pixels (the rule the printed scales follow); (0, 0) for the rotary style.
    juce::Point<int> getThumbPosition();

    // Pixels of mouse travel for the whole range: the thumb's travel for the linear
    // styles (while the thumb is smaller than the slider), else the base slider's 250.
    int getDragDistanceForFullRange() const noexcept { return dragDistance; }

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseDoubleClick (const juce::MouseEvent& event) override;
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;

    // How much of the mouse movement counts while shift is held.
    static constexpr float fineDragFactor = 0.1f;

    // Height of one strip frame; read only by the rotary style, which draws nothing
    // while it is zero or less.
    int frameHeight = 0;

    // The value a double-click restores.
    double resetValue = 0.0;

private:
    void updateDragDistance();

    juce::Image image;
    int dragDistance = rotaryDragDistance;
    static constexpr int rotaryDragDistance = 250;
    // The base slider sees a pointer that moves only a tenth as far while shift is held.
    juce::Point<float> lastMousePosition, scaledMousePosition;
    juce::SharedResourcePointer<SkinTwins> twins;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ImageSlider)
};
