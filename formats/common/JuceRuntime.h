#pragma once

#include <juce_events/juce_events.h>

namespace dunskara::format
{
// JUCE's message thread for the format layers of our own (CLAP, LV2). Hosts call the
// GUI on their own main or UI thread, but their event loop never services JUCE's X11
// connection, timers or message queue (and a host need not offer timer or fd support
// at all). So JUCE runs
// its own message loop on a thread of ours, as its Linux VST2 and VST3 wrappers do when
// no host run loop drives it, and every call that touches JUCE objects with message
// thread affinity (processor construction, the editor, its window) runs there through
// callOnMessageThread. Shared by all instances: started by the first, stopped by the
// last (held through juce::SharedResourcePointer).
class JuceRuntime final
{
public:
    JuceRuntime();
    ~JuceRuntime();

    // Runs fn on the message thread and waits for it; directly when already there.
    // Never call from the audio thread, nor from code the message thread waits on.
    template <typename Fn>
    static void callOnMessageThread (Fn&& fn)
    {
        auto* manager = juce::MessageManager::getInstance();
        if (manager->isThisTheMessageThread())
        {
            fn();
            return;
        }
        using Function = std::remove_reference_t<Fn>;
        manager->callFunctionOnMessageThread ([] (void* f) -> void*
                                             {
                                                 (*static_cast<Function*> (f))();
                                                 return nullptr;
                                             },
                                             &fn);
    }

private:
    class LoopThread;

    juce::ScopedJuceInitialiser_GUI initialiser;
    std::unique_ptr<LoopThread> loop;

    JUCE_DECLARE_NON_COPYABLE (JuceRuntime)
};
} // namespace dunskara::format
