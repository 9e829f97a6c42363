#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The slow clock of an idle window. The needle meters that rest and the editor's change
// poll, while nothing changes, are ticked from it every 100 ms, all at once. While a
// window's display refresh drives it (displayRefreshed, called on every refresh of an
// open window) it rides those wake-ups and adds none of its own but a watchdog once a
// second; without one (no window on screen) its own timer ticks it.
//
// Shared by every client of the process (juce::SharedResourcePointer); message thread only.
class RestingClock final : private juce::Timer
{
public:
    struct Client
    {
        virtual ~Client() = default;
        virtual void restingTick() = 0;
    };

    static constexpr int periodMs = 100;
    static constexpr int watchdogMs = 1000;

    RestingClock() = default;
    ~RestingClock() override;

    // A client is ticked until it is removed; adding twice adds once.
    void add (Client& client);
    void remove (Client& client);
    bool holds (const Client& client) const noexcept { return clients.contains (const_cast<Client*> (&client)); }

    // A display refresh: ticks the clients when a period has passed since the last tick.
    void displayRefreshed();

    bool isDrivenByDisplay() const noexcept { return drivenByDisplay; }

private:
    void timerCallback() override;
    void tickClients();
    void updateTimer();

    juce::Array<Client*> clients;
    double lastTickMs = 0.0;
    double lastRefreshMs = -1.0e9;
    bool drivenByDisplay = false;

    JUCE_DECLARE_NON_COPYABLE (RestingClock)
};
