#pragma once

// Helpers shared by the selector, band panel and editor tests: a stand-in for the host
// that records every parameter change reported to it, message pumping, and mouse events
// built without a display.

#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <utility>
#include <vector>

namespace paneltest
{
// Listens to the processor as the VST wrapper does: every report to the host arrives
// as audioProcessorParameterChanged.
class HostRecorder final : public juce::AudioProcessorListener
{
public:
    explicit HostRecorder (VarnocAudioProcessor& p) : processor (p) { processor.addListener (this); }
    ~HostRecorder() override { processor.removeListener (this); }

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        changes.emplace_back (index, value);
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    std::vector<std::pair<int, float>> changes;

private:
    VarnocAudioProcessor& processor;
};

// Delivers pending change messages, asynchronous slider notifications and clicks.
inline void pump (int milliseconds = 30)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

// Runs the message loop until `done` holds or `maxMilliseconds` passed: for what timers
// do, which a loaded machine delays.
inline bool pumpUntil (const std::function<bool()>& done, int maxMilliseconds = 5000)
{
    for (const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) maxMilliseconds;
         juce::Time::getMillisecondCounter() < end; pump (10))
        if (done())
            return true;
    return done();
}

// A mouse event on `target` pressed at `downX` and now at `downX + distanceX`.
inline juce::MouseEvent mouseEventAt (juce::Component& target, float downX, float distanceX,
                                      int clicks = 1, bool dragged = false)
{
    const auto now = juce::Time::getCurrentTime();
    const juce::Point<float> down (downX, 10.0f);
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(),
                             down.translated (distanceX, 0.0f), {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                             &target, &target, now, down, now, clicks, dragged);
}

// Presses the component and drags it horizontally by each of the given distances from
// the press point, as one gesture.
template <typename ComponentType>
void dragBy (ComponentType& target, std::initializer_list<float> distances)
{
    target.mouseDown (mouseEventAt (target, 20.0f, 0.0f));
    for (auto distance : distances)
        target.mouseDrag (mouseEventAt (target, 20.0f, distance, 1, true));
}

// Exactly one report to the host, for parameter `index` with value v, and v stored.
inline void expectReportedOnce (HostRecorder& recorder, VarnocAudioProcessor& processor, int index, float v)
{
    ASSERT_EQ (recorder.changes.size(), 1u);
    EXPECT_EQ (recorder.changes[0], std::make_pair (index, v));
    EXPECT_EQ (processor.getParameter (index), v);
    recorder.changes.clear();
}
} // namespace paneltest
