#pragma once

#include <pluginterfaces/vst/ivstcomponent.h>

namespace juce { class AudioProcessor; }

namespace dunskara::vst3
{
// Hands hosts a component that forwards every call to JUCE's, except that a program
// change in the process call's parameter changes is carried out: JUCE's client (7.0.5)
// only stores it in a parameter of its own and never switches the program. The audio
// thread merely notes the program; the message thread switches to it a moment later
// (the switch takes the processor's state lock and tells the host). Takes over the
// caller's reference to `juceComponent`; `processor` is the one it wraps.
Steinberg::Vst::IComponent* wrapComponent (Steinberg::Vst::IComponent* juceComponent, juce::AudioProcessor* processor);

// True on a thread under a real-time scheduling policy (SCHED_FIFO or SCHED_RR): one
// that must never wait, such as a host's audio thread.
bool isRealtimeThread() noexcept;
} // namespace dunskara::vst3
