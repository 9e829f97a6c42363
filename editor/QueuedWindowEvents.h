#pragma once

namespace dunskara::editor
{
// JUCE's Linux event loop hears of X events only when its connection's socket becomes
// readable. A call that reads from the connection outside JUCE's own event handler (its
// repaint timer's check for finished shared-memory paints is one) moves whatever else
// has arrived, a click say, into Xlib's queue and leaves the socket empty: the click
// then waits there for the next X event, which for an idle window may never come.
// When events wait so, this sends one event to JUCE's own hidden window, so that the
// socket wakes and JUCE reads the whole queue. Message thread; costs a counter read
// when nothing waits.
void wakeForQueuedWindowEvents() noexcept;
} // namespace dunskara::editor
