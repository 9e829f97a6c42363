#include "panels/compcontrol.h"
#include "panels/TypedEntry.h"
#include "plugin/VarnocAudioProcessor.h"
#include "widgets/SkinLayout.h"
#include "widgets/SkinParts.h"

namespace
{
    constexpr int levelMode = 0;
    constexpr int reductionMode = 1;

    // Knob labels are the panel's own; the dials' labels stay hidden and unchanged.
    constexpr int silentDialTextMode = 25;
    constexpr int dialLabelX = 17;
    constexpr int dialLabelY = -41;

    // A fader's thumb image; the style it is drawn in ignores this.
    constexpr int unusedFaderFrameHeight = 45;
} // namespace

juce::Slider* BandPanel::Control::slider() const noexcept
{
    if (knob != nullptr)
        return knob->slider;
    return fader.get();
}

BandPanel::BandPanel (VarnocAudioProcessor& owner, int bandIndex)
    : processor (&owner), band (bandIndex), gestures (owner)
{
    using skinparts::skinImage;
    const juce::Font knobFont (skinlayout::labelFontName, skinlayout::knobFontHeight, juce::Font::plain);

    for (size_t i = 0; i < controls.size(); ++i)
    {
        auto& control = controls[i];
        control.row = &bandcontrols::rows[i];
        jassert (control.row->parameter == static_cast<int> (i)); // the named members rely on it

        switch (control.row->kind)
        {
            case bandcontrols::Kind::knob:   addKnob (control, knobFont); break;
            case bandcontrols::Kind::fader:  addFader (control); break;
            case bandcontrols::Kind::toggle: addToggle (control); break;
        }
    }

    soloButton = skinparts::addSkinSwitch (*this, skinimage::Id::solo_button_off, skinimage::Id::solo_button_on,
                                           skinlayout::soloButton, processor->isBandSoloed (band), *this, buttonLook.get());

    // The high band's needles sit two pixels further right; the reduction needle is
    // added second so that it is drawn over the level needle.
    const auto meterBounds = skinlayout::meterBounds (band);
    levelMeter = std::make_unique<imageAnimator> (skinImage (skinimage::Id::meter_level_needle_strip),
                                                  processor, skinlayout::meterHeight, levelMode, band);
    addAndMakeVisible (levelMeter.get());
    levelMeter->setBounds (meterBounds);

    reductionMeter = std::make_unique<imageAnimator> (skinImage (skinimage::Id::meter_reduction_needle_strip),
                                                      processor, skinlayout::meterHeight, reductionMode, band);
    addAndMakeVisible (reductionMeter.get());
    reductionMeter->setBounds (meterBounds);

    // Placeholder texts; the first refresh replaces them.
    for (auto p : bandcontrols::labelOrder)
    {
        const auto& label = controls[(size_t) p].row->label;
        auto& control = controls[(size_t) p];
        control.label = skinparts::addValueLabel (*this, label.placeholder, label.fontHeight,
                                                  label.justification, label.colour);
        const int index = parameterIndex (p);
        typedentry::attach (*control.label, index,
                            [this, &control] (float v) { typedValueEntered (control, v); },
                            [this, &control, index] { return control.row->label.text (processor->getParameter (index)); });
    }
}

BandPanel::~BandPanel()
{
    // A slider destroyed in the middle of a drag announces the drag's end; the gestures
    // close themselves instead.
    for (auto& control : controls)
        if (auto* slider = control.slider())
            slider->removeListener (this);

    for (auto& control : controls)
    {
        control.knob.reset();
        control.fader.reset();
        control.toggle.reset();
    }
    soloButton.reset();
    levelMeter.reset();
    reductionMeter.reset();
    for (auto p : bandcontrols::labelOrder)
        controls[(size_t) p].label.reset();
}

//==============================================================================
void BandPanel::addKnob (Control& control, const juce::Font& font)
{
    const auto& row = *control.row;
    const int frameSize = skinimage::formatOf (row.image).frameHeight;
    auto& knob = control.knob;
    knob = std::make_unique<rotaryDial> (skinparts::skinImage (row.image), frameSize,
                                         dialLabelX, dialLabelY, silentDialTextMode);
    addAndMakeVisible (knob.get());
    knob->setValue (processor->getParameter (parameterIndex (row.parameter)));
    knob->addChangeListener (this);
    knob->slider->addListener (this); // for its drag start and end only
    knob->setFont (font);
    knob->slider->setResetValue (row.resetValue);
    knob->setBounds (row.bounds);
    knob->valueLabel->setVisible (false);
}

void BandPanel::addFader (Control& control)
{
    const auto& row = *control.row;
    auto& fader = control.fader;
    fader = std::make_unique<ImageSlider> ("dial");
    addAndMakeVisible (fader.get());
    fader->setRange (0.0, 1.0, 0.001);
    fader->setImageStyle (ImageSlider::verticalThumb);
    fader->setImage (skinparts::skinImage (row.image));
    fader->setTextBoxStyle (juce::Slider::NoTextBox, false, 40, 20);
    fader->frameHeight = unusedFaderFrameHeight;
    fader->addListener (this);
    fader->setValue (processor->getParameter (parameterIndex (row.parameter)), juce::dontSendNotification);
    fader->setBounds (row.bounds);
    fader->setSliderSnapsToMousePosition (false);
    fader->setResetValue (row.resetValue);
}

void BandPanel::addToggle (Control& control)
{
    const auto& row = *control.row;
    control.toggle = skinparts::addSkinSwitch (*this, row.image, row.onImage, row.bounds,
                                               processor->getParameter (parameterIndex (row.parameter)) > 0.0f,
                                               *this, buttonLook.get());
}

//==============================================================================
void BandPanel::paint (juce::Graphics&)
{
    // The band's artwork is part of the editor's background.
}

void BandPanel::resized()
{
    for (auto p : bandcontrols::labelOrder)
        controls[(size_t) p].label->setBounds (controls[(size_t) p].row->label.bounds);
}

//==============================================================================
void BandPanel::writeToSignalChain (int index)
{
    // From the live value, with the conversion the processor applies to host changes, so
    // that the two can never disagree and a value automated meanwhile is never
    // overwritten by an older one.
    processor->applyParameter (index);
}

void BandPanel::controlChanged (const Control& control, float v)
{
    const int index = parameterIndex (control.row->parameter);
    gestures.report (index, v);
    if (control.label != nullptr)
        control.label->setText (control.row->label.text (v), juce::dontSendNotification);
    writeToSignalChain (index);
}

void BandPanel::typedValueEntered (const Control& control, float v)
{
    // The exact value is reported; a fader only shows it, snapped to its interval.
    if (control.knob != nullptr)
        control.knob->setValue (v);
    else if (control.fader != nullptr)
        control.fader->setValue (v, juce::dontSendNotification);
    controlChanged (control, v);
}

void BandPanel::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    for (const auto& control : controls)
        if (control.knob != nullptr && source == control.knob.get())
            return controlChanged (control, static_cast<float> (control.knob->getValue()));
}

void BandPanel::buttonClicked (juce::Button* button)
{
    if (button == soloButton.get())
    {
        // Monitoring only: straight to the processor, nothing for the host.
        processor->setBandSolo (band, button->getToggleState());
        return;
    }

    // A click always reports exactly 1 or 0.
    for (const auto& control : controls)
        if (control.toggle != nullptr && button == control.toggle.get())
            return controlChanged (control, button->getToggleState() ? 1.0f : 0.0f);
}

void BandPanel::sliderValueChanged (juce::Slider* slider)
{
    // Knob sliders are heard through their dials' change messages instead.
    for (const auto& control : controls)
        if (control.fader != nullptr && slider == control.fader.get())
            return controlChanged (control, static_cast<float> (slider->getValue()));
}

int BandPanel::parameterOfSlider (const juce::Slider* slider) const noexcept
{
    for (const auto& control : controls)
        if (slider != nullptr && control.slider() == slider)
            return parameterIndex (control.row->parameter);
    return -1;
}

void BandPanel::sliderDragStarted (juce::Slider* slider)
{
    gestures.dragStarted (parameterOfSlider (slider));
}

void BandPanel::sliderDragEnded (juce::Slider* slider)
{
    // A knob announces its changes through queued change messages: hand over the last
    // one before the gesture closes, so that it is reported inside it.
    for (const auto& control : controls)
        if (control.knob != nullptr && control.knob->slider == slider)
            control.knob->dispatchPendingMessages();

    gestures.dragEnded (parameterOfSlider (slider));
}

void BandPanel::deliverPendingChanges()
{
    for (const auto& control : controls)
        if (control.knob != nullptr)
            control.knob->dispatchPendingMessages();
}

//==============================================================================
void BandPanel::refreshFromProcessor()
{
    // Atomics, read without a lock: the audio thread never waits for the window.
    float snapshot[params::numParameters];
    for (int i = 0; i < params::numParameters; ++i)
        snapshot[i] = processor->getParameter (i);

    for (const auto& control : controls)
    {
        const int index = parameterIndex (control.row->parameter);
        const float s = snapshot[index];

        if (control.label != nullptr)
            control.label->setText (control.row->label.text (s), juce::dontSendNotification);
        writeToSignalChain (index);

        if (control.knob != nullptr)
            control.knob->setValue (s);
        else if (control.fader != nullptr)
            control.fader->setValue (s, juce::dontSendNotification);
        else
            control.toggle->setToggleState (s > 0.0f, juce::dontSendNotification);
    }
    soloButton->setToggleState (processor->isBandSoloed (band), juce::dontSendNotification);
}
