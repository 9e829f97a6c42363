#include "formats/common/JuceRuntime.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace juce
{
// JUCE's Linux message queue, one pass: defined in juce_events, not in its headers.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace dunskara::format
{
class JuceRuntime::LoopThread final : public juce::Thread
{
public:
    LoopThread() : juce::Thread ("DUNSKARA message thread")
    {
        startThread();
        started.wait (-1);
    }

    ~LoopThread() override
    {
        signalThreadShouldExit();
        // A message wakes the loop from its wait so that it sees the exit request.
        juce::MessageManager::callAsync ([] {});
        stopThread (-1);
    }

    void run() override
    {
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
        started.signal();

        // Unlike MessageManager::runDispatchLoop this never depends on a quit flag
        // that would outlive one runtime when JUCE stays initialised.
        while (! threadShouldExit())
            juce::dispatchNextMessageOnSystemQueue (false);
    }

private:
    juce::WaitableEvent started;
};

JuceRuntime::JuceRuntime() : loop (std::make_unique<LoopThread>()) {}

JuceRuntime::~JuceRuntime()
{
    loop.reset();
    // JUCE's shutdown deletes its desktop and window system objects, which belong to
    // the message thread: this thread is that now.
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
}
} // namespace dunskara::format
