#include "widgets/RestingClock.h"

namespace
{
double nowMs() { return juce::Time::getMillisecondCounterHiRes(); }
} // namespace

RestingClock::~RestingClock()
{
    stopTimer();
}

void RestingClock::add (Client& client)
{
    clients.addIfNotAlreadyThere (&client);
    updateTimer();
}

void RestingClock::remove (Client& client)
{
    clients.removeFirstMatchingValue (&client);
    updateTimer();
}

void RestingClock::displayRefreshed()
{
    const double now = nowMs();
    lastRefreshMs = now;
    if (! drivenByDisplay)
    {
        drivenByDisplay = true;
        updateTimer();
    }
    if (now - lastTickMs >= periodMs)
        tickClients();
}

void RestingClock::timerCallback()
{
    // The refreshes have stopped (the window went away or is not drawn): tick on our own.
    if (drivenByDisplay && nowMs() - lastRefreshMs > watchdogMs)
    {
        drivenByDisplay = false;
        updateTimer();
    }
    if (! drivenByDisplay)
        tickClients();
}

void RestingClock::tickClients()
{
    lastTickMs = nowMs();
    // A tick may wake its client, which then leaves the list.
    const auto resting = clients;
    for (auto* client : resting)
        if (clients.contains (client))
            client->restingTick();
}

void RestingClock::updateTimer()
{
    if (clients.isEmpty())
        stopTimer();
    else
    {
        const int interval = drivenByDisplay ? watchdogMs : periodMs;
        if (getTimerInterval() != interval)
            startTimer (interval);
    }
}
