#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace render
{
// What a worker reports about one file while the display thread reads it.
struct FileProgress
{
    enum State { waiting, running, finished };

    juce::String name;
    std::atomic<juce::int64> done { 0 };
    std::atomic<juce::int64> total { 0 };   // frames of work (twice the file's when matching loudness)
    std::atomic<int> state { waiting };
    std::atomic<double> startedAt { 0.0 };  // seconds, juce::Time::getMillisecondCounterHiRes / 1000
};

// Shows how a run goes. On a terminal (stderr): a bar per file being rendered and one
// for the whole run, with elapsed and remaining time, redrawn in place; the lines of
// finished files scroll above them on stdout. Elsewhere only those lines. Quiet shows
// neither; failures are always printed, on stderr.
class ProgressDisplay final
{
public:
    enum class Mode { quiet, lines, bars };

    static Mode modeFor (bool quiet);

    ProgressDisplay (Mode mode, std::vector<FileProgress>& files);

    // Thread-safe; printed at the next refresh.
    void addLine (const juce::String& line);
    void addFailure (const juce::String& line);

    // Prints what is new; call from one thread only.
    void refresh();
    // The last refresh: prints what is left and removes the bars.
    void finish();

private:
    juce::String barsText() const;
    void clearBars();

    Mode mode;
    std::vector<FileProgress>& files;
    double startedAt;
    int linesOnScreen = 0;
    std::mutex mutex;
    std::deque<std::pair<bool, juce::String>> pending; // (is failure, text)
};

// "1:05" for 65 seconds; "--:--" when not known.
juce::String clockText (double seconds);
} // namespace render
