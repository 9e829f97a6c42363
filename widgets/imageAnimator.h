#pragma once

#include "widgets/RestingClock.h"
#include "widgets/SkinTwins.h"

#include <juce_gui_basics/juce_gui_basics.h>

class VarnocAudioProcessor;

// A needle meter: every 10 ms it reads one meter value of the processor, moves an
// animated position toward it and shows the matching frame of a needle filmstrip.
// While nothing changes (no audio: the meter value stands still and so does the
// needle's frame) it rests: its own timer stops and one clock shared by every resting
// meter looks for it every 100 ms; the first new value brings back its 10 ms ticks. An
// idle window then wakes the message thread ten times a second for all its needles.
//
// Modes: 0 band level (eased), 1 and 3 gain reduction of the band's stage-1 dynamics
// (direct), 2 keeps its target (eased), any other mode rests at 0 (direct).
class imageAnimator final : public juce::Component,
                            public juce::Timer,
                            private RestingClock::Client
{
public:
    // processor is not owned and must outlive the animator.
    imageAnimator (juce::Image strip, VarnocAudioProcessor* processor, int frameHeight,
                   int mode, int band);
    ~imageAnimator() override;

    void paint (juce::Graphics& g) override;

    // One tick: read the target, move the needle, and request a repaint when the
    // frame to show has changed; then rest or wake as the tick found.
    void timerCallback() override;

    // The strip frame that paint shows for the current position (-1: nothing drawn).
    int getFrameIndex() const noexcept;

    float getTarget() const noexcept   { return target; }
    float getPosition() const noexcept { return position; }
    float getVelocity() const noexcept { return velocity; }
    float getScale() const noexcept    { return scale; }

    // How many repaints the ticks have requested so far.
    int getRepaintRequestCount() const noexcept { return repaintRequests; }

    static constexpr int tickIntervalMs = 10;
    static constexpr int restingIntervalMs = RestingClock::periodMs;
    // Ticks without a new meter value or frame before the meter rests: half a second,
    // long enough for the needle's spring to come to a visible stop.
    static constexpr int quietTicksBeforeRest = 50;

    bool isResting() const noexcept { return quietTicks >= quietTicksBeforeRest; }
    // Ticking, on its own timer or, while resting, on the shared clock.
    bool isTicking() const noexcept { return isTimerRunning() || restingClock->holds (*this); }

private:
    void updateTarget();
    void movePosition();

    VarnocAudioProcessor* processor;
    int frameHeight;
    juce::Image strip;
    juce::SharedResourcePointer<SkinTwins> twins;
    int stripWidth;
    int stripHeight;
    int mode;
    int band;

    float target = 0.0f;
    float position = 0.0f;
    float velocity = 0.0f;
    float scale = 1.0f;

    int requestedFrame = -2;   // the frame last drawn or asked for; -2 before any
    int repaintRequests = 0;
    int quietTicks = 0;

    void restingTick() override { timerCallback(); }

    juce::SharedResourcePointer<RestingClock> restingClock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (imageAnimator)
};
