#pragma once

#include "editor/EditorLookAndFeel.h"
#include "editor/QueuedWindowEvents.h"
#include "panels/ParameterGestures.h"
#include "panels/compcontrol.h"
#include "panels/fqSelector.h"
#include "widgets/ImageSlider.h"
#include "widgets/RestingClock.h"
#include "widgets/SkinTwins.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

class VarnocAudioProcessor;

// The processor's editor factory (see VarnocAudioProcessor::setEditorFactory).
juce::AudioProcessorEditor* createVarnocEditor (VarnocAudioProcessor& processor);

// The plug-in window, 914 x 650, drawn from the skin images: the three band panels,
// the input gain, make-up gain and final mix sliders, the two crossover handles, three
// value labels and the master power switch.
//
// A gesture on a global control sets its parameter, reports it to the host, updates
// its label and writes the signal-chain value. A timer polls the processor's change
// count: whenever it moved (host automation, program change, restored state, or the
// echo of our own gesture) all 35 parameters are re-read and mirrored, silently, into
// every control. The processor never sends the editor a message, so the audio thread,
// where hosts may automate, never posts one.
class VarnocAudioProcessorEditor final : public juce::AudioProcessorEditor,
                                         public juce::ChangeListener,
                                         public juce::Button::Listener,
                                         public juce::Slider::Listener,
                                         private juce::Timer,
                                         private RestingClock::Client
{
public:
    explicit VarnocAudioProcessorEditor (VarnocAudioProcessor& owner);
    ~VarnocAudioProcessorEditor() override;

    static constexpr int editorWidth = skinlayout::editorWidth;
    static constexpr int editorHeight = skinlayout::editorHeight;

    void paint (juce::Graphics& g) override;
    void resized() override;
    // A crossover handle moved: its readout and the other's step aside if they meet.
    void childBoundsChanged (juce::Component* child) override;

    // The crossover handles.
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    // The power switch; its toggle state has already flipped.
    void buttonClicked (juce::Button* button) override;
    // The three global sliders.
    void sliderValueChanged (juce::Slider* slider) override;
    // Their drags and wheel steps frame the host gesture.
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;

    // Reads the 35 parameters (atomics: no lock, so the audio thread never waits for
    // the window), then sets every global control and label from them, brings the
    // signal-chain values in line and refreshes the three band panels.
    void refreshFromProcessor();

    // Refreshes when the processor's change count moved since the last refresh, and
    // says whether it did; the timer calls it.
    bool refreshIfChanged();

    // How often the change count is polled: fast enough to follow automation by eye,
    // and, after a second without any change, on the resting clock that the idle
    // needles share (which rides the window's own display refresh), so that an idle
    // window adds no wake-ups of its own; the first change seen brings the fast
    // polling back.
    static constexpr int changePollIntervalMs = 30;
    static constexpr int restingPollIntervalMs = RestingClock::periodMs;
    static constexpr int quietPollsBeforeRest = 33;

    // One poll: refreshIfChanged, then the polling speed for what it saw.
    void pollForChanges();
    int getPollIntervalMs() const noexcept { return isTimerRunning() ? getTimerInterval() : restingPollIntervalMs; }
    bool isPollResting() const noexcept { return quietPolls >= quietPollsBeforeRest; }

    EditorLookAndFeel& getEditorLookAndFeel() noexcept { return lookAndFeel; }

    // Children, owned. Public so that tests and tools can drive them as a user would.
    std::unique_ptr<compcontrol> lowBandPanel;
    std::unique_ptr<compcontrolMID> midBandPanel;
    std::unique_ptr<compcontrolHIGH> highBandPanel;
    std::unique_ptr<ImageSlider> inputGainSlider;
    std::unique_ptr<ImageSlider> makeUpGainSlider;
    std::unique_ptr<ImageSlider> finalMixSlider;
    std::unique_ptr<fqSelector> lowFrequencySelector;
    std::unique_ptr<fqSelector> highFrequencySelector;
    std::unique_ptr<juce::Label> inputGainLabel;
    std::unique_ptr<juce::Label> makeUpGainLabel;
    std::unique_ptr<juce::Label> finalMixLabel;
    std::unique_ptr<juce::ImageButton> powerButton;

private:
    VarnocAudioProcessor& owner() const noexcept;

    // Stores the value and tells the host (setParameter, then the listeners' message),
    // inside a gesture.
    void reportParameter (int index, float v);
    // The parameter of a global slider, or -1 for any other slider.
    int parameterOfSlider (const juce::Slider* slider) const noexcept;
    ImageSlider* sliderOfParameter (int index) const noexcept;
    juce::Label* labelOfParameter (int index) const noexcept;
    // A user change of a global slider's value: report it, show it, write the signal chain.
    void globalControlChanged (int index, float v);
    // A value typed into a global label: set the slider and report as a user change.
    void typedValueEntered (int index, float v);
    void writeToSignalChain (int index);
    void placeCrossoverReadouts();
    void timerCallback() override;
    void restingTick() override { pollForChanges(); }

    std::unique_ptr<ImageSlider> makeGlobalSlider (int index, const juce::Image& thumb, juce::Rectangle<int> bounds);
    std::unique_ptr<fqSelector> makeSelector (int index);

    juce::Image backgroundImage;
    ParameterGestures gestures;
    std::uint32_t refreshedAtChange = 0;
    int quietPolls = 0;
    // Outlive the children (deleted in the destructor body) that draw with them.
    juce::SharedResourcePointer<SkinTwins> twins;
    juce::SharedResourcePointer<SkinButtonLook> buttonLook;

    // Resolves the labels' "Arial" to the embedded font for every child.
    EditorLookAndFeel lookAndFeel;

    juce::SharedResourcePointer<RestingClock> restingClock;
    // Every refresh of the window's display drives the resting clock, and hands JUCE
    // any input that waits unseen in Xlib's queue.
    juce::VBlankAttachment displayRefresh { this, [this]
    {
        restingClock->displayRefreshed();
        dunskara::editor::wakeForQueuedWindowEvents();
    } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VarnocAudioProcessorEditor)
};
