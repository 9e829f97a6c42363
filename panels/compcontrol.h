#pragma once

#include "panels/BandControls.h"
#include "panels/ParameterGestures.h"
#include "widgets/ImageSlider.h"
#include "widgets/imageAnimator.h"
#include "widgets/rotaryDial.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>

class VarnocAudioProcessor;

// The controls of one frequency band: five filmstrip knobs (attack, release, effect
// mix, add, gain), the threshold and ratio faders, the limiter and band switches, the
// level and gain-reduction needles and seven value labels. A gesture sets the band's
// parameter, reports it to the host, updates the label and writes the band's signal-
// chain value; refreshFromProcessor mirrors the stored parameters into all of it
// without notifying anyone.
//
// The solo button is not a parameter: a click soloes the band in the processor
// directly, with nothing reported to the host, and the refresh shows the processor's
// solo state.
//
// The three bands differ only in their index (parameters 9b .. 9b + 8) and in the
// meters' x position, so they share this implementation; the nine controls are built
// and served from their rows (panels/BandControls.h).
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
    // Limiter, band and solo switches; the toggle state has already flipped.
    void buttonClicked (juce::Button* button) override;
    // Threshold and ratio faders.
    void sliderValueChanged (juce::Slider* slider) override;
    // Drags and wheel steps on the faders and on the knobs' sliders frame the host gesture.
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;

    // Reads the 35 parameters (atomics, no lock), then sets every label and control of
    // this band from them and brings the band's signal-chain values in line; the solo
    // button shows whether the processor has the band soloed.
    void refreshFromProcessor();

    // Hands over the knobs' queued changes now, so that a refresh never undoes a turn
    // whose change message has not arrived yet.
    void deliverPendingChanges();

private:
    // One control built from its row: exactly one of knob, fader and toggle is set, as
    // row.kind says; label for knobs and faders.
    struct Control
    {
        const bandcontrols::BandControl* row = nullptr;
        std::unique_ptr<rotaryDial> knob;
        std::unique_ptr<ImageSlider> fader;
        std::unique_ptr<juce::ImageButton> toggle;
        std::unique_ptr<juce::Label> label;

        // The slider the user moves: the knob's own or the fader; null for a switch.
        juce::Slider* slider() const noexcept;
    };

    // In row (parameter) order.
    std::array<Control, params::perBand> controls;

public:
    // The children, by name, for tests and tools that drive them as a user would. The
    // destructor deletes the controls in row order, then the solo button, the meters and
    // the labels.
    std::unique_ptr<rotaryDial>& attackDial = controls[params::attack].knob;
    std::unique_ptr<rotaryDial>& releaseDial = controls[params::release].knob;
    std::unique_ptr<rotaryDial>& mixDial = controls[params::fxmix].knob;
    std::unique_ptr<rotaryDial>& addDial = controls[params::add].knob;
    std::unique_ptr<rotaryDial>& gainDial = controls[params::gain].knob;
    std::unique_ptr<ImageSlider>& thresholdSlider = controls[params::thresh].fader;
    std::unique_ptr<ImageSlider>& ratioSlider = controls[params::ratio].fader;
    std::unique_ptr<juce::ImageButton>& limiterButton = controls[params::limonoff].toggle;
    std::unique_ptr<juce::ImageButton>& channelButton = controls[params::chanonoff].toggle;
    std::unique_ptr<juce::ImageButton> soloButton;
    std::unique_ptr<imageAnimator> levelMeter;
    std::unique_ptr<imageAnimator> reductionMeter;
    std::unique_ptr<juce::Label>& thresholdLabel = controls[params::thresh].label;
    std::unique_ptr<juce::Label>& ratioLabel = controls[params::ratio].label;
    std::unique_ptr<juce::Label>& addLabel = controls[params::add].label;
    std::unique_ptr<juce::Label>& gainLabel = controls[params::gain].label;
    std::unique_ptr<juce::Label>& attackLabel = controls[params::attack].label;
    std::unique_ptr<juce::Label>& releaseLabel = controls[params::release].label;
    std::unique_ptr<juce::Label>& mixLabel = controls[params::fxmix].label;

protected:
    BandPanel (VarnocAudioProcessor& processor, int band);

private:
    int parameterIndex (params::BandParameter p) const noexcept { return params::bandIndex (band, p); }
    // The parameter a fader or knob slider controls, or -1 for any other slider.
    int parameterOfSlider (const juce::Slider* slider) const noexcept;

    void writeToSignalChain (int index);
    // A user change of a control: report the parameter to the host, show the value,
    // write the signal chain.
    void controlChanged (const Control& control, float v);
    // A value typed into a control's label: set the control and report as a user change.
    void typedValueEntered (const Control& control, float v);

    void addKnob (Control& control, const juce::Font& font);
    void addFader (Control& control);
    void addToggle (Control& control);

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
