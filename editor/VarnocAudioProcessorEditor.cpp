#include "editor/VarnocAudioProcessorEditor.h"
#include "editor/WindowRefreshRate.h"
#include "panels/DisplayText.h"
#include "panels/TypedEntry.h"
#include "plugin/ParameterTable.h"
#include "plugin/VarnocAudioProcessor.h"
#include "resources/SkinImages.h"
#include "widgets/SkinParts.h"

namespace
{
    using namespace skinlayout;

    // Both handles start here and then move themselves along the track.
    const juce::Rectangle<int> selectorBounds { crossoverTrackStart, crossoverY, handleWidth, handleHeight };

    // The handles keep this far apart: each one's value limits how far the other may go.
    constexpr double crossoverMargin = 0.1;

    using skinimage::Id;
    using skinparts::skinImage;
} // namespace

juce::AudioProcessorEditor* createVarnocEditor (VarnocAudioProcessor& processor)
{
    return new VarnocAudioProcessorEditor (processor);
}

VarnocAudioProcessorEditor::VarnocAudioProcessorEditor (VarnocAudioProcessor& processorToEdit)
    : juce::AudioProcessorEditor (processorToEdit), gestures (processorToEdit)
{
    // Before the host's wrapper puts the editor into a window.
    dunskara::editor::capWindowRefreshRate();
    setLookAndFeel (&lookAndFeel);
    backgroundImage = skinImage (Id::editor_background);

    lowBandPanel = std::make_unique<compcontrol> (processorToEdit);
    addAndMakeVisible (lowBandPanel.get());
    lowBandPanel->setBounds (panelBounds (0));

    midBandPanel = std::make_unique<compcontrolMID> (processorToEdit);
    addAndMakeVisible (midBandPanel.get());
    midBandPanel->setBounds (panelBounds (1));

    highBandPanel = std::make_unique<compcontrolHIGH> (processorToEdit);
    addAndMakeVisible (highBandPanel.get());
    highBandPanel->setBounds (panelBounds (2));

    const auto gainThumb = skinImage (Id::gain_thumb);
    inputGainSlider  = makeGlobalSlider (params::mainInGain, gainThumb, inputSlider);
    makeUpGainSlider = makeGlobalSlider (params::makeUpGain, gainThumb, makeUpSlider);
    finalMixSlider   = makeGlobalSlider (params::finalMix, skinImage (Id::mix_thumb),
                                         skinlayout::finalMixSlider);

    lowFrequencySelector  = makeSelector (params::fqLow);
    highFrequencySelector = makeSelector (params::fqHigh);
    // The low handle starts on top, so that its label is not hidden under the high
    // one; afterwards the handle last pressed is on top.
    lowFrequencySelector->bringAboveOtherHandles();
    // Their readouts above both handles, so that neither handle hides the other's.
    addAndMakeVisible (lowFrequencySelector->getReadout());
    addAndMakeVisible (highFrequencySelector->getReadout());
    placeCrossoverReadouts();

    // Placeholder texts; the refresh below replaces them before the window shows.
    const auto addLabel = [this] (const char* text, juce::uint32 colour)
    {
        return skinparts::addValueLabel (*this, text, globalLabelFontHeight, juce::Justification::centred, colour);
    };
    inputGainLabel  = addLabel ("3.0", gainLabelColour);
    makeUpGainLabel = addLabel ("3.0", gainLabelColour);
    finalMixLabel   = addLabel ("30%", finalMixLabelColour);

    for (int index : { params::mainInGain, params::makeUpGain, params::finalMix })
        typedentry::attach (*labelOfParameter (index), index,
                            [this, index] (float v) { typedValueEntered (index, v); },
                            [this, index] { return display::text (index, owner().getParameter (index)); });

    powerButton = skinparts::addSkinSwitch (*this, Id::power_button_off, Id::power_button_on, skinlayout::powerButton,
                                            owner().getParameter (params::mainOnOff) > 0.0f, *this, buttonLook.get());

    setSize (editorWidth, editorHeight);
    refreshFromProcessor();
    startTimer (changePollIntervalMs);
}

VarnocAudioProcessorEditor::~VarnocAudioProcessorEditor()
{
    stopTimer();
    restingClock->remove (*this);

    // A slider destroyed in the middle of a drag announces the drag's end; the gestures
    // close themselves instead.
    for (auto* slider : { inputGainSlider.get(), makeUpGainSlider.get(), finalMixSlider.get() })
        slider->removeListener (this);

    lowBandPanel.reset();
    midBandPanel.reset();
    highBandPanel.reset();
    inputGainLabel.reset();
    makeUpGainLabel.reset();
    inputGainSlider.reset();
    makeUpGainSlider.reset();
    finalMixSlider.reset();
    finalMixLabel.reset();
    lowFrequencySelector.reset();
    highFrequencySelector.reset();
    powerButton.reset();

    stopTimer();
    backgroundImage = {};
    setLookAndFeel (nullptr);
}

//==============================================================================
VarnocAudioProcessor& VarnocAudioProcessorEditor::owner() const noexcept
{
    return static_cast<VarnocAudioProcessor&> (processor);
}

std::unique_ptr<ImageSlider> VarnocAudioProcessorEditor::makeGlobalSlider (int index, const juce::Image& thumb,
                                                                           juce::Rectangle<int> bounds)
{
    const auto defaultValue = static_cast<double> (params::defaultValue (index));
    auto slider = std::make_unique<ImageSlider> ("dial");
    addAndMakeVisible (slider.get());
    slider->setRange (0.0, 1.0, 0.001);
    slider->setImageStyle (ImageSlider::horizontalThumb);
    slider->setImage (thumb);
    slider->setTextBoxStyle (juce::Slider::NoTextBox, false, 40, 20);
    slider->addListener (this);
    slider->setValue (defaultValue, juce::dontSendNotification);
    slider->setValue (owner().getParameter (index), juce::dontSendNotification);
    slider->setBounds (bounds);
    // A drag moves the thumb from where it was; a click does not make it jump.
    slider->setSliderSnapsToMousePosition (false);
    slider->setResetValue (defaultValue);
    return slider;
}

std::unique_ptr<fqSelector> VarnocAudioProcessorEditor::makeSelector (int index)
{
    auto selector = std::make_unique<fqSelector> (owner());
    addAndMakeVisible (selector.get());
    selector->setBounds (selectorBounds);
    selector->addChangeListener (this);

    // A drag's changes arrive as queued change messages: the last one is handed over
    // before the gesture closes, so that it is reported inside it.
    auto* handle = selector.get();
    selector->onDragStart = [this, index] { gestures.dragStarted (index); };
    selector->onDragEnd = [this, index, handle]
    {
        handle->dispatchPendingMessages();
        gestures.dragEnded (index);
    };
    selector->resetValue = params::defaultValue (index);
    typedentry::attach (*selector->getValueLabel(), index, [handle] (float v) { handle->moveToTypedValue (v); },
                        [handle] { return display::crossoverText (handle->getValue()); });
    selector->setValue (owner().getParameter (index));
    return selector;
}

//==============================================================================
void VarnocAudioProcessorEditor::paint (juce::Graphics& g)
{
    if (backgroundImage.isValid())
        twins->drawImage (g, backgroundImage, backgroundImage.getBounds(), backgroundImage.getBounds());
}

void VarnocAudioProcessorEditor::resized()
{
    // The labels exist before the constructor first sets the size; guard anyway.
    if (inputGainLabel == nullptr)
        return;

    inputGainLabel->setBounds (skinlayout::inputLabel);
    makeUpGainLabel->setBounds (skinlayout::makeUpLabel);
    finalMixLabel->setBounds (skinlayout::finalMixLabel);
}

void VarnocAudioProcessorEditor::childBoundsChanged (juce::Component* child)
{
    if (child != nullptr && (child == lowFrequencySelector.get() || child == highFrequencySelector.get()))
        placeCrossoverReadouts();
}

void VarnocAudioProcessorEditor::placeCrossoverReadouts()
{
    if (lowFrequencySelector == nullptr || highFrequencySelector == nullptr)
        return;

    const auto shifts = crossoverFlagShifts (lowFrequencySelector->getX(), highFrequencySelector->getX());
    lowFrequencySelector->setReadoutShift (shifts.low);
    highFrequencySelector->setReadoutShift (shifts.high);
}

//==============================================================================
void VarnocAudioProcessorEditor::reportParameter (int index, float v)
{
    gestures.report (index, v);
}

int VarnocAudioProcessorEditor::parameterOfSlider (const juce::Slider* slider) const noexcept
{
    if (slider == inputGainSlider.get())  return params::mainInGain;
    if (slider == makeUpGainSlider.get()) return params::makeUpGain;
    if (slider == finalMixSlider.get())   return params::finalMix;
    return -1;
}

void VarnocAudioProcessorEditor::sliderDragStarted (juce::Slider* slider)
{
    gestures.dragStarted (parameterOfSlider (slider));
}

void VarnocAudioProcessorEditor::sliderDragEnded (juce::Slider* slider)
{
    gestures.dragEnded (parameterOfSlider (slider));
}

void VarnocAudioProcessorEditor::writeToSignalChain (int index)
{
    // From the live value, with the conversion the processor applies to host changes, so
    // that the two can never disagree (crossovers are bounded below at the lowest drag
    // position) and a value automated meanwhile is never overwritten by an older one.
    owner().applyParameter (index);
}

void VarnocAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    const int index = parameterOfSlider (slider);
    if (index >= 0)
        globalControlChanged (index, static_cast<float> (slider->getValue()));
}

void VarnocAudioProcessorEditor::globalControlChanged (int index, float v)
{
    reportParameter (index, v);
    labelOfParameter (index)->setText (display::text (index, v), juce::dontSendNotification);
    writeToSignalChain (index);
}

void VarnocAudioProcessorEditor::typedValueEntered (int index, float v)
{
    // The exact value is reported; the slider only shows it, snapped to its interval.
    sliderOfParameter (index)->setValue (v, juce::dontSendNotification);
    globalControlChanged (index, v);
}

juce::Label* VarnocAudioProcessorEditor::labelOfParameter (int index) const noexcept
{
    if (index == params::mainInGain) return inputGainLabel.get();
    if (index == params::makeUpGain) return makeUpGainLabel.get();
    if (index == params::finalMix)   return finalMixLabel.get();
    return nullptr;
}

ImageSlider* VarnocAudioProcessorEditor::sliderOfParameter (int index) const noexcept
{
    if (index == params::mainInGain) return inputGainSlider.get();
    if (index == params::makeUpGain) return makeUpGainSlider.get();
    if (index == params::finalMix)   return finalMixSlider.get();
    return nullptr;
}

void VarnocAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (button != powerButton.get())
        return;

    // A click always reports exactly 1 or 0.
    const float v = powerButton->getToggleState() ? 1.0f : 0.0f;
    reportParameter (params::mainOnOff, v);
    writeToSignalChain (params::mainOnOff);
}

void VarnocAudioProcessorEditor::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (source == lowFrequencySelector.get())
    {
        const float v = lowFrequencySelector->getValue();
        reportParameter (params::fqLow, v);
        writeToSignalChain (params::fqLow);
        highFrequencySelector->lowerLimit = static_cast<float> (v + crossoverMargin);
    }
    else if (source == highFrequencySelector.get())
    {
        const float v = highFrequencySelector->getValue();
        reportParameter (params::fqHigh, v);
        writeToSignalChain (params::fqHigh);
        lowFrequencySelector->upperLimit = static_cast<float> (v - crossoverMargin);
    }
}

void VarnocAudioProcessorEditor::timerCallback()
{
    pollForChanges();
}

void VarnocAudioProcessorEditor::pollForChanges()
{
    const bool wasResting = isPollResting();
    quietPolls = refreshIfChanged() ? 0 : juce::jmin (quietPolls + 1, quietPollsBeforeRest);
    if (isPollResting() == wasResting)
        return;

    if (isPollResting())
    {
        stopTimer();
        restingClock->add (*this);
    }
    else
    {
        restingClock->remove (*this);
        startTimer (changePollIntervalMs);
    }
}

bool VarnocAudioProcessorEditor::refreshIfChanged()
{
    // The controls' own queued changes go first: a refresh must not put back a value
    // that the user has already moved on from.
    lowFrequencySelector->dispatchPendingMessages();
    highFrequencySelector->dispatchPendingMessages();
    lowBandPanel->deliverPendingChanges();
    midBandPanel->deliverPendingChanges();
    highBandPanel->deliverPendingChanges();

    if (owner().getChangeCount() == refreshedAtChange)
        return false;
    refreshFromProcessor();
    return true;
}

void VarnocAudioProcessorEditor::refreshFromProcessor()
{
    // Taken first: a change made while the values are read is picked up next time.
    refreshedAtChange = owner().getChangeCount();

    float p[params::numParameters];
    for (int i = 0; i < params::numParameters; ++i)
        p[i] = owner().getParameter (i);

    inputGainLabel->setText (display::inputGainText (p[params::mainInGain]), juce::dontSendNotification);
    writeToSignalChain (params::mainInGain);
    inputGainSlider->setValue (p[params::mainInGain], juce::dontSendNotification);

    makeUpGainLabel->setText (display::makeUpGainText (p[params::makeUpGain]), juce::dontSendNotification);
    writeToSignalChain (params::makeUpGain);
    makeUpGainSlider->setValue (p[params::makeUpGain], juce::dontSendNotification);

    finalMixLabel->setText (display::finalMixText (p[params::finalMix]), juce::dontSendNotification);
    writeToSignalChain (params::finalMix);
    finalMixSlider->setValue (p[params::finalMix], juce::dontSendNotification);

    writeToSignalChain (params::fqLow);
    lowFrequencySelector->setValue (p[params::fqLow]);
    highFrequencySelector->lowerLimit = static_cast<float> (p[params::fqLow] + crossoverMargin);

    writeToSignalChain (params::fqHigh);
    highFrequencySelector->setValue (p[params::fqHigh]);
    lowFrequencySelector->upperLimit = static_cast<float> (p[params::fqHigh] - crossoverMargin);

    writeToSignalChain (params::mainOnOff);
    powerButton->setToggleState (p[params::mainOnOff] > 0.0f, juce::dontSendNotification);

    lowBandPanel->refreshFromProcessor();
    midBandPanel->refreshFromProcessor();
    highBandPanel->refreshFromProcessor();
}
