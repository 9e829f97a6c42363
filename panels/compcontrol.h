#pragma once

#include "panels/ParameterGestures.h"
#include "widgets/ImageSlider.h"
#include "widgets/imageAnimator.h"
#include "widgets/rotaryDial.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class VarnocAudioProcessor;

// The controls of one frequency band: five filmstrip knobs (attack, release, effect
// mix, add, gain), the threshold and ratio faders, the limiter and band switches, the
// level and gain-reduction needles and seven value labels. A gesture sets the band's
// parameter, reports it to the host, updates the label and writes the band's signal-
// chain value; refreshFromProcessor mirrors the stored parameters into all of it
// without notifying anyone.
//
// The three bands differ only in their index (parameters 9b .. 9b + 8) and in the
// meters' x position, so they share this implementation.
class BandPanel : public juce::Component,
                  public juce::ChangeListener,
                  public juce::Button::Listener,
                  public juce::Slider::Listener
{
public:
    ~BandPanel() override;

    int getBand() const noexcept { return band; }

    void paint (juce::Graphics& g) override;
    void resized() override;

    // Knobs.
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    // Limiter and band switches; the toggle state has already flipped.
    void buttonClicked (juce::Button* button) override;
    // Threshold and ratio faders.
    void sliderValueChanged (juce::Slider* slider) override;
    // Drags and wheel steps on the faders and on the knobs' sliders frame the host gesture.
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;

    // Reads the 35 parameters (atomics, no lock), then sets every label and control of
    // this band from them and brings the band's signal-chain values in line.
    void refreshFromProcessor();

    // Hands over the knobs' queued changes now, so that a refresh never undoes a turn
    // whose change message has not arrived yet.
    void deliverPendingChanges();

    // Children, owned, in the order they are destroyed. Public so that tests and tools
    // can drive them as a user would.
    std::unique_ptr<rotaryDial> attackDial;
    std::unique_ptr<rotaryDial> releaseDial;
    std::unique_ptr<rotaryDial> mixDial;
    std::unique_ptr<rotaryDial> addDial;
    std::unique_ptr<rotaryDial> gainDial;
    std::unique_ptr<ImageSlider> thresholdSlider;
    std::unique_ptr<ImageSlider> ratioSlider;
    std::unique_ptr<juce::ImageButton> limiterButton;
    std::unique_ptr<juce::ImageButton> channelButton;
    std::unique_ptr<imageAnimator> levelMeter;
    std::unique_ptr<imageAnimator> reductionMeter;
    std::unique_ptr<juce::Label> thresholdLabel;
    std::unique_ptr<juce::Label> ratioLabel;
    std::unique_ptr<juce::Label> addLabel;
    std::unique_ptr<juce::Label> gainLabel;
    std::unique_ptr<juce::Label> attackLabel;
    std::unique_ptr<juce::Label> releaseLabel;
    std::unique_ptr<juce::Label> mixLabel;

protected:
    BandPanel (VarnocAudioProcessor& processor, int band);

private:
    int parameterIndex (int position) const noexcept { return 9 * band + position; }
    // The parameter a fader or knob slider controls, or -1 for any other slider.
    int parameterOfSlider (const juce::Slider* slider) const noexcept;

    // Stores the value and tells the host (setParameter, then the listeners' message).
    void reportParameter (int index, float v);
    void writeToSignalChain (int index);
    // A knob gesture: report the parameter, show the value, write the signal chain.
    void knobMoved (const rotaryDial& dial, int position, juce::Label& label, juce::String (*text) (float));

    std::unique_ptr<rotaryDial> makeKnob (const unsigned char* strip, int stripSize, int frameSize,
                                          int position, double resetValue, juce::Rectangle<int> bounds,
                                          const juce::Font& font);
    std::unique_ptr<ImageSlider> makeFader (const unsigned char* thumb, int thumbSize, int position,
                                            juce::Rectangle<int> bounds);
    std::unique_ptr<juce::ImageButton> makeSwitch (const unsigned char* off, int offSize,
                                                   const unsigned char* on, int onSize, int position,
                                                   juce::Rectangle<int> bounds);
    std::unique_ptr<juce::Label> makeLabel (const juce::String& text, float fontHeight,
                                            juce::Justification justification, juce::uint32 colour);

    VarnocAudioProcessor* processor;
    const int band;
    ParameterGestures gestures;
    // Outlives the switches (deleted in the destructor body) that draw with it.
    juce::SharedResourcePointer<SkinButtonLook> buttonLook;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BandPanel)
};

// Low band (parameters 0..8).
class compcontrol final : public BandPanel
{
public:
    explicit compcontrol (VarnocAudioProcessor& owner) : BandPanel (owner, 0) {}
};

// Mid band (parameters 9..17).
class compcontrolMID final : public BandPanel
{
public:
    explicit compcontrolMID (VarnocAudioProcessor& owner) : BandPanel (owner, 1) {}
};

// High band (parameters 18..26).
class compcontrolHIGH final : public BandPanel
{
public:
    explicit compcontrolHIGH (VarnocAudioProcessor& owner) : BandPanel (owner, 2) {}
};
