#include "panels/compcontrol.h"
#include "panels/DisplayText.h"
#include "plugin/ParameterTable.h"
#include "plugin/VarnocAudioProcessor.h"
#include "resources/SkinImages.h"
#include "widgets/SkinLayout.h"

#include <utility>

namespace
{
    using namespace skinlayout;
    constexpr int meterFrameHeight = meterHeight;
    constexpr int levelMode = 0;
    constexpr int reductionMode = 1;

    // Knob labels are the panel's own; the dials' labels stay hidden and unchanged.
    constexpr int silentDialTextMode = 25;
    constexpr int dialLabelX = 17;
    constexpr int dialLabelY = -41;

    // Colours of the labels: fader values green, knob values blue.
    constexpr juce::uint32 faderTextColour = faderLabelColour;
    constexpr juce::uint32 knobTextColour = knobLabelColour;

    juce::Image skinImage (const unsigned char* data, int size)
    {
        return juce::ImageCache::getFromMemory (data, size);
    }
} // namespace

BandPanel::BandPanel (VarnocAudioProcessor& owner, int bandIndex)
    : processor (&owner), band (bandIndex), gestures (owner)
{
    using namespace params;
    const juce::Font knobFont (skinlayout::labelFontName, skinlayout::knobFontHeight, juce::Font::plain);

    attackDial  = makeKnob (skin::knob_attack_strip, skin::knob_attack_stripSize, 105, attack,
                            static_cast<double> (0.18f), skinlayout::attackKnob, knobFont);
    releaseDial = makeKnob (skin::knob_release_strip, skin::knob_release_stripSize, 105, release,
                            static_cast<double> (0.55f), skinlayout::releaseKnob, knobFont);
    mixDial     = makeKnob (skin::knob_mix_strip, skin::knob_mix_stripSize, 98, fxmix,
                            1.0, skinlayout::mixKnob, knobFont);
    addDial     = makeKnob (skin::knob_small_strip, skin::knob_small_stripSize, 73, add,
                            0.0, skinlayout::addKnob, knobFont);
    gainDial    = makeKnob (skin::knob_small_strip, skin::knob_small_stripSize, 73, gain,
                            0.5, skinlayout::gainKnob, knobFont);

    thresholdSlider = makeFader (skin::fader_thumb_thresh, skin::fader_thumb_threshSize, thresh,
                                 skinlayout::thresholdFader);
    ratioSlider     = makeFader (skin::fader_thumb_ratio, skin::fader_thumb_ratioSize, ratio,
                                 skinlayout::ratioFader);

    limiterButton = makeSwitch (skin::limiter_switch_off, skin::limiter_switch_offSize,
                                skin::limiter_switch_on, skin::limiter_switch_onSize, limonoff,
                                skinlayout::limiterSwitch);
    channelButton = makeSwitch (skin::channel_button_off, skin::channel_button_offSize,
                                skin::channel_button_on, skin::channel_button_onSize, chanonoff,
                                skinlayout::channelButton);

    // The high band's needles sit two pixels further right; the reduction needle is
    // added second so that it is drawn over the level needle.
    const auto meterBounds = skinlayout::meterBounds (band);
    levelMeter = std::make_unique<imageAnimator> (
        skinImage (skin::meter_level_needle_strip, skin::meter_level_needle_stripSize),
        processor, meterFrameHeight, levelMode, band);
    addAndMakeVisible (levelMeter.get());
    levelMeter->setBounds (meterBounds);

    reductionMeter = std::make_unique<imageAnimator> (
        skinImage (skin::meter_reduction_needle_strip, skin::meter_reduction_needle_stripSize),
        processor, meterFrameHeight, reductionMode, band);
    addAndMakeVisible (reductionMeter.get());
    reductionMeter->setBounds (meterBounds);

    // Placeholder texts; the first refresh replaces them.
    thresholdLabel = makeLabel ("0.0dB", skinlayout::bandLabelFontHeight, juce::Justification::centredLeft, faderTextColour);
    ratioLabel     = makeLabel ("3.0", skinlayout::bandLabelFontHeight, juce::Justification::centred, faderTextColour);
    addLabel       = makeLabel ("6.0", skinlayout::bandLabelFontHeight, juce::Justification::centred, knobTextColour);
    gainLabel      = makeLabel ("2.0", skinlayout::bandLabelFontHeight, juce::Justification::centred, knobTextColour);
    attackLabel    = makeLabel ("27ms", skinlayout::timeLabelFontHeight, juce::Justification::centred, knobTextColour);
    releaseLabel   = makeLabel ("200ms", skinlayout::timeLabelFontHeight, juce::Justification::centred, knobTextColour);
    mixLabel       = makeLabel ("0%", skinlayout::bandLabelFontHeight, juce::Justification::centred, knobTextColour);
}

BandPanel::~BandPanel()
{
    // A slider destroyed in the middle of a drag announces the drag's end; the gestures
    // close themselves instead.
    for (auto* dial : { attackDial.get(), releaseDial.get(), mixDial.get(), addDial.get(), gainDial.get() })
        dial->slider->removeListener (this);
    thresholdSlider->removeListener (this);
    ratioSlider->removeListener (this);

    attackDial.reset();
    releaseDial.reset();
    mixDial.reset();
    addDial.reset();
    gainDial.reset();
    thresholdSlider.reset();
    ratioSlider.reset();
    limiterButton.reset();
    channelButton.reset();
    levelMeter.reset();
    reductionMeter.reset();
    thresholdLabel.reset();
    ratioLabel.reset();
    addLabel.reset();
    gainLabel.reset();
    attackLabel.reset();
    releaseLabel.reset();
    mixLabel.reset();
}

//==============================================================================
std::unique_ptr<rotaryDial> BandPanel::makeKnob (const unsigned char* strip, int stripSize, int frameSize,
                                                 int position, double resetValue,
                                                 juce::Rectangle<int> bounds, const juce::Font& font)
{
    auto knob = std::make_unique<rotaryDial> (skinImage (strip, stripSize), frameSize,
                                              dialLabelX, dialLabelY, silentDialTextMode);
    addAndMakeVisible (knob.get());
    knob->setValue (processor->getParameter (parameterIndex (position)));
    knob->addChangeListener (this);
    knob->slider->addListener (this); // for its drag start and end only
    knob->setFont (font);
    knob->slider->setResetValue (resetValue);
    knob->setBounds (bounds);
    knob->valueLabel->setVisible (false);
    return knob;
}

std::unique_ptr<ImageSlider> BandPanel::makeFader (const unsigned char* thumb, int thumbSize, int position,
                                                   juce::Rectangle<int> bounds)
{
    auto fader = std::make_unique<ImageSlider> ("dial");
    addAndMakeVisible (fader.get());
    fader->setRange (0.0, 1.0, 0.001);
    fader->setImageStyle (ImageSlider::verticalThumb);
    fader->setImage (skinImage (thumb, thumbSize));
    fader->setTextBoxStyle (juce::Slider::NoTextBox, false, 40, 20);
    fader->frameHeight = 45;
    fader->addListener (this);
    fader->setValue (processor->getParameter (parameterIndex (position)), juce::dontSendNotification);
    fader->setBounds (bounds);
    fader->setSliderSnapsToMousePosition (false);
    fader->setResetValue (1.0);
    return fader;
}

std::unique_ptr<juce::ImageButton> BandPanel::makeSwitch (const unsigned char* off, int offSize,
                                                          const unsigned char* on, int onSize, int position,
                                                          juce::Rectangle<int> bounds)
{
    const juce::Colour transparent (0x00000000);
    const auto offImage = skinImage (off, offSize);

    auto button = std::make_unique<juce::ImageButton> ("new button");
    button->setLookAndFeel (&buttonLook.get());
    addAndMakeVisible (button.get());
    button->addListener (this);
    button->setImages (false, true, true,
                       offImage, 1.0f, transparent,
                       offImage, 1.0f, transparent,
                       skinImage (on, onSize), 1.0f, transparent,
                       0.0f);
    button->setBounds (bounds);
    button->setClickingTogglesState (true);
    button->setToggleState (processor->getParameter (parameterIndex (position)) > 0.0f,
                            juce::dontSendNotification);
    return button;
}

std::unique_ptr<juce::Label> BandPanel::makeLabel (const juce::String& text, float fontHeight,
                                                   juce::Justification justification, juce::uint32 colour)
{
    auto label = std::make_unique<juce::Label> ("new label", text);
    addAndMakeVisible (label.get());
    label->setFont (juce::Font (skinlayout::labelFontName, fontHeight, juce::Font::plain));
    label->setJustificationType (justification);
    label->setEditable (false, false, false);
    label->setColour (juce::Label::textColourId, juce::Colour (colour));
    label->setColour (juce::TextEditor::textColourId, juce::Colour (0xff000000));
    label->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
    return label;
}

//==============================================================================
void BandPanel::paint (juce::Graphics&)
{
    // The band's artwork is part of the editor's background.
}

void BandPanel::resized()
{
    thresholdLabel->setBounds (skinlayout::thresholdLabel);
    ratioLabel->setBounds (skinlayout::ratioLabel);
    addLabel->setBounds (skinlayout::addLabel);
    gainLabel->setBounds (skinlayout::gainLabel);
    attackLabel->setBounds (skinlayout::attackLabel);
    releaseLabel->setBounds (skinlayout::releaseLabel);
    mixLabel->setBounds (skinlayout::mixLabel);
}

//==============================================================================
void BandPanel::reportParameter (int index, float v)
{
    gestures.report (index, v);
}

void BandPanel::writeToSignalChain (int index)
{
    // From the live value, with the conversion the processor applies to host changes, so
    // that the two can never disagree and a value automated meanwhile is never
    // overwritten by an older one.
    processor->applyParameter (index);
}

void BandPanel::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    using namespace params;

    if (source == attackDial.get())
        knobMoved (*attackDial, attack, *attackLabel, display::attackText);
    else if (source == releaseDial.get())
        knobMoved (*releaseDial, release, *releaseLabel, display::releaseText);
    else if (source == mixDial.get())
        knobMoved (*mixDial, fxmix, *mixLabel, display::mixText);
    else if (source == addDial.get())
        knobMoved (*addDial, add, *addLabel, display::addText);
    else if (source == gainDial.get())
        knobMoved (*gainDial, gain, *gainLabel, display::gainText);
}

void BandPanel::knobMoved (const rotaryDial& dial, int position, juce::Label& label, juce::String (*text) (float))
{
    const auto v = static_cast<float> (dial.getValue());
    reportParameter (parameterIndex (position), v);
    label.setText (text (v), juce::dontSendNotification);
    writeToSignalChain (parameterIndex (position));
}

void BandPanel::buttonClicked (juce::Button* button)
{
    // A click always reports exactly 1 or 0.
    if (button == limiterButton.get())
    {
        const float v = limiterButton->getToggleState() ? 1.0f : 0.0f;
        reportParameter (parameterIndex (params::limonoff), v);
        writeToSignalChain (parameterIndex (params::limonoff));
    }
    else if (button == channelButton.get())
    {
        const float v = channelButton->getToggleState() ? 1.0f : 0.0f;
        reportParameter (parameterIndex (params::chanonoff), v);
        writeToSignalChain (parameterIndex (params::chanonoff));
    }
}

void BandPanel::sliderValueChanged (juce::Slider* slider)
{
    if (slider == thresholdSlider.get())
    {
        const auto v = static_cast<float> (thresholdSlider->getValue());
        thresholdLabel->setText (display::thresholdText (v), juce::dontSendNotification);
        reportParameter (parameterIndex (params::thresh), v);
        writeToSignalChain (parameterIndex (params::thresh));
    }
    else if (slider == ratioSlider.get())
    {
        // The parameter stores the fader position; the unit gets the inverted mapping.
        const auto v = static_cast<float> (ratioSlider->getValue());
        reportParameter (parameterIndex (params::ratio), v);
        ratioLabel->setText (display::ratioText (v), juce::dontSendNotification);
        writeToSignalChain (parameterIndex (params::ratio));
    }
}

int BandPanel::parameterOfSlider (const juce::Slider* slider) const noexcept
{
    using namespace params;
    const std::pair<const juce::Slider*, BandParameter> controls[] = {
        { attackDial->slider, attack }, { releaseDial->slider, release }, { mixDial->slider, fxmix },
        { addDial->slider, add }, { gainDial->slider, gain },
        { thresholdSlider.get(), thresh }, { ratioSlider.get(), ratio },
    };
    for (const auto& [control, position] : controls)
        if (control == slider)
            return parameterIndex (position);
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
    for (auto* dial : { attackDial.get(), releaseDial.get(), mixDial.get(), addDial.get(), gainDial.get() })
        if (dial->slider == slider)
            dial->dispatchPendingMessages();

    gestures.dragEnded (parameterOfSlider (slider));
}

void BandPanel::deliverPendingChanges()
{
    for (auto* dial : { attackDial.get(), releaseDial.get(), mixDial.get(), addDial.get(), gainDial.get() })
        dial->dispatchPendingMessages();
}

//==============================================================================
void BandPanel::refreshFromProcessor()
{
    // Atomics, read without a lock: the audio thread never waits for the window.
    float snapshot[params::numParameters];
    for (int i = 0; i < params::numParameters; ++i)
        snapshot[i] = processor->getParameter (i);

    using namespace params;
    const auto value = [&] (BandParameter p) { return snapshot[parameterIndex (p)]; };

    const auto refreshKnob = [&] (BandParameter p, rotaryDial& knob, juce::Label& label,
                                  juce::String (*text) (float))
    {
        const float s = value (p);
        label.setText (text (s), juce::dontSendNotification);
        writeToSignalChain (parameterIndex (p));
        knob.setValue (s);
    };

    const auto refreshFader = [&] (BandParameter p, ImageSlider& fader, juce::Label& label,
                                   juce::String (*text) (float))
    {
        const float s = value (p);
        label.setText (text (s), juce::dontSendNotification);
        writeToSignalChain (parameterIndex (p));
        fader.setValue (s, juce::dontSendNotification);
    };

    const auto refreshSwitch = [&] (BandParameter p, juce::ImageButton& button)
    {
        const float s = value (p);
        writeToSignalChain (parameterIndex (p));
        button.setToggleState (s > 0.0f, juce::dontSendNotification);
    };

    refreshKnob (attack, *attackDial, *attackLabel, display::attackText);
    refreshKnob (release, *releaseDial, *releaseLabel, display::releaseText);
    refreshKnob (fxmix, *mixDial, *mixLabel, display::mixText);
    refreshKnob (add, *addDial, *addLabel, display::addText);
    refreshKnob (gain, *gainDial, *gainLabel, display::gainText);
    refreshFader (thresh, *thresholdSlider, *thresholdLabel, display::thresholdText);
    refreshFader (ratio, *ratioSlider, *ratioLabel, display::ratioText);
    refreshSwitch (limonoff, *limiterButton);
    refreshSwitch (chanonoff, *channelButton);
}
