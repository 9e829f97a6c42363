#pragma once

#include "widgets/ImageSlider.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A filmstrip knob: an ImageSlider in the rotary style plus an optional value label.
// Every user-driven change of the value (drag, wheel, key, double-click reset) is
// re-announced to this dial's own change listeners; setValue is silent.
class rotaryDial final : public juce::Component,
                         public juce::Slider::Listener,
                         public juce::ChangeBroadcaster,
                         public juce::ChangeListener
{
public:
    // strip: the knob filmstrip with square frames of frameSize pixels; the label is
    // placed relative to labelX/labelY (see resized); textMode picks the label format.
    rotaryDial (juce::Image strip, int frameSize, int labelX, int labelY, int textMode);
    ~rotaryDial() override;

    double getValue() const;

    // Moves the knob without any notification and refreshes the label; a value equal
    // to the current one changes nothing.
    void setValue (double newValue);

    void setFont (juce::Font font);

    void resized() override;
    void paint (juce::Graphics& g) override;
    void sliderValueChanged (juce::Slider* changedSlider) override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    // The label text that textMode gives the value v (an empty string for a mode
    // that leaves the label alone).
    static juce::String formatValue (int mode, double v);

    // Owned children; users set slider->resetValue and show or hide valueLabel.
    ImageSlider* slider = nullptr;
    juce::Label* valueLabel = nullptr;

private:
    void updateText();

    int frameSize;
    int labelX;
    int labelY;
    int textMode;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (rotaryDial)
};
