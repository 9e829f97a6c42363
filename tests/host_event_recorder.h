#pragma once

// Records, in order, everything a processor tells the host through its listeners:
// gesture begins and ends, value changes, and requests to re-read the display.

#include "plugin/VarnocAudioProcessor.h"

#include <gtest/gtest.h>

#include <vector>

namespace hostevents
{
enum class Kind { begin, change, end, display };

struct Event
{
    Kind kind;
    int index;      // -1 for display
    float value;    // changes only
    bool programChanged = false; // display only
};

class Recorder final : public juce::AudioProcessorListener
{
public:
    explicit Recorder (juce::AudioProcessor& p) : processor (p) { processor.addListener (this); }
    ~Recorder() override { processor.removeListener (this); }

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        events.push_back ({ Kind::change, index, value });
    }

    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ Kind::begin, index, 0.0f });
    }

    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ Kind::end, index, 0.0f });
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
    {
        events.push_back ({ Kind::display, -1, 0.0f, details.programChanged });
    }

    size_t count (Kind kind) const
    {
        size_t n = 0;
        for (const auto& e : events)
            n += e.kind == kind ? 1 : 0;
        return n;
    }

    std::vector<Event> events;

private:
    juce::AudioProcessor& processor;
};

// The events are one or more gestures on parameter `index`, each made of a begin, at
// least one change and an end, with nothing else in between. Returns the last value.
inline float expectGesturesOn (const std::vector<Event>& events, int index)
{
    EXPECT_FALSE (events.empty());
    float last = -1.0f;
    for (size_t i = 0; i < events.size();)
    {
        EXPECT_EQ (events[i].kind, Kind::begin) << "event " << i;
        EXPECT_EQ (events[i].index, index) << "event " << i;
        size_t changes = 0;
        for (++i; i < events.size() && events[i].kind == Kind::change; ++i, ++changes)
        {
            EXPECT_EQ (events[i].index, index) << "event " << i;
            last = events[i].value;
        }
        EXPECT_GT (changes, 0u) << "an empty gesture before event " << i;
        if (i == events.size())
        {
            ADD_FAILURE() << "the last gesture is not ended";
            break;
        }
        EXPECT_EQ (events[i].kind, Kind::end) << "event " << i;
        EXPECT_EQ (events[i].index, index) << "event " << i;
        ++i;
    }
    return last;
}

// Mouse events without a display: pressed at `down`, now at `now`.
inline juce::MouseEvent mouseAt (juce::Component& target, juce::Point<float> down, juce::Point<float> now,
                                 int clicks = 1)
{
    const auto time = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), now, {}, 0.0f, 0.0f, 0.0f, 0.0f,
                             0.0f, &target, &target, time, down, time, clicks, down != now);
}

// Press, move through the offsets from the press point, release: one drag.
inline void drag (juce::Component& target, juce::Point<float> down, std::initializer_list<juce::Point<float>> offsets)
{
    target.mouseDown (mouseAt (target, down, down));
    auto now = down;
    for (auto offset : offsets)
        target.mouseDrag (mouseAt (target, down, now = down + offset));
    target.mouseUp (mouseAt (target, down, now));
}

inline void wheel (juce::Component& target, float deltaY)
{
    juce::MouseWheelDetails details {};
    details.deltaY = deltaY;
    static int64_t step = 0; // a slider ignores a second wheel event with the same time
    const auto time = juce::Time (juce::Time::currentTimeMillis() + ++step);
    const juce::Point<float> at (10.0f, 10.0f);
    target.mouseWheelMove (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), at, {}, 0.0f, 0.0f,
                                             0.0f, 0.0f, 0.0f, &target, &target, time, at, time, 0, false),
                           details);
}

// A double-click as the mouse delivers it: press, release, press, double-click, release.
inline void doubleClick (juce::Component& target)
{
    const juce::Point<float> at (10.0f, 10.0f);
    target.mouseDown (mouseAt (target, at, at));
    target.mouseUp (mouseAt (target, at, at));
    target.mouseDown (mouseAt (target, at, at, 2));
    target.mouseDoubleClick (mouseAt (target, at, at, 2));
    target.mouseUp (mouseAt (target, at, at, 2));
}
} // namespace hostevents
