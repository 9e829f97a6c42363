#include "tools/render/Interrupt.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

namespace render::interrupt
{
namespace
{
    std::atomic<int> stopSignal { 0 };
    static_assert (std::atomic<int>::is_always_lock_free, "the signal handler must not take a lock");

    extern "C" void onSignal (int signalNumber)
    {
        stopSignal.store (signalNumber);
    }
} // namespace

void installHandlers()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset (&action.sa_mask);
    for (int signalNumber : { SIGINT, SIGTERM })
        sigaction (signalNumber, &action, nullptr);
}

int requested() noexcept             { return stopSignal.load(); }
void request (int signalNumber) noexcept { stopSignal.store (signalNumber); }
void reset() noexcept                { stopSignal.store (0); }
} // namespace render::interrupt
