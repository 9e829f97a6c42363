#include "tools/render/Progress.h"

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace render
{
namespace
{
    constexpr int barWidth = 20;
    constexpr int nameWidth = 20;

    double nowSeconds() { return juce::Time::getMillisecondCounterHiRes() / 1000.0; }

    juce::String bar (double fraction)
    {
        const int filled = juce::jlimit (0, barWidth, static_cast<int> (fraction * barWidth));
        return "[" + juce::String::repeatedString ("#", filled) + juce::String::repeatedString (".", barWidth - filled) + "]";
    }

    juce::String fitted (const juce::String& name)
    {
        if (name.length() <= nameWidth)
            return name.paddedRight (' ', nameWidth);
        return "..." + name.getLastCharacters (nameWidth - 3);
    }

    // One bar line: label, bar, percent, elapsed and remaining time.
    juce::String barLine (const juce::String& label, juce::int64 done, juce::int64 total, double elapsed)
    {
        const double fraction = total > 0 ? static_cast<double> (done) / static_cast<double> (total) : 0.0;
        const double remaining = fraction > 0.0 ? elapsed * (1.0 - fraction) / fraction : -1.0;
        return fitted (label) + " " + bar (fraction) + " " + juce::String (static_cast<int> (fraction * 100.0)).paddedLeft (' ', 3)
             + "%  " + clockText (elapsed) + " elapsed, " + clockText (remaining) + " left";
    }
} // namespace

juce::String clockText (double seconds)
{
    if (! (seconds >= 0.0) || seconds > 359999.0)
        return "--:--";
    const int whole = static_cast<int> (std::lround (seconds));
    const int hours = whole / 3600, minutes = whole / 60 % 60, secs = whole % 60;
    const auto two = [] (int n) { return juce::String (n).paddedLeft ('0', 2); };
    return (hours > 0 ? juce::String (hours) + ":" + two (minutes) : juce::String (minutes)) + ":" + two (secs);
}

ProgressDisplay::Mode ProgressDisplay::modeFor (bool quiet)
{
    if (quiet)
        return Mode::quiet;
    return isatty (STDERR_FILENO) != 0 ? Mode::bars : Mode::lines;
}

ProgressDisplay::ProgressDisplay (Mode displayMode, std::vector<FileProgress>& progressOfFiles)
    : mode (displayMode), files (progressOfFiles), startedAt (nowSeconds())
{
}

void ProgressDisplay::addLine (const juce::String& line)
{
    const std::lock_guard<std::mutex> lock (mutex);
    pending.emplace_back (false, line);
}

void ProgressDisplay::addFailure (const juce::String& line)
{
    const std::lock_guard<std::mutex> lock (mutex);
    pending.emplace_back (true, line);
}

juce::String ProgressDisplay::barsText() const
{
    juce::String text;
    juce::int64 doneAll = 0, totalAll = 0;
    int finished = 0;
    const double now = nowSeconds();
    for (const auto& file : files)
    {
        const auto done = file.done.load(), total = file.total.load();
        doneAll += done;
        totalAll += total;
        const auto state = file.state.load();
        if (state == FileProgress::finished)
            ++finished;
        else if (state == FileProgress::running)
            text << barLine (file.name, done, total, now - file.startedAt.load()) << "\n";
    }
    const auto label = "all: " + juce::String (finished) + " of " + juce::String ((int) files.size()) + " files";
    return text + barLine (label, doneAll, totalAll, now - startedAt) + "\n";
}

void ProgressDisplay::clearBars()
{
    if (linesOnScreen > 0)
        std::fprintf (stderr, "\x1b[%dA\x1b[J", linesOnScreen);
    linesOnScreen = 0;
}

void ProgressDisplay::refresh()
{
    std::deque<std::pair<bool, juce::String>> lines;
    {
        const std::lock_guard<std::mutex> lock (mutex);
        lines.swap (pending);
    }

    if (mode == Mode::bars)
        clearBars();
    std::fflush (stderr);
    for (const auto& [isFailure, line] : lines)
    {
        if (isFailure)
        {
            std::fflush (stdout);
            std::fprintf (stderr, "%s\n", line.toRawUTF8());
            std::fflush (stderr);
        }
        else if (mode != Mode::quiet)
        {
            std::fprintf (stdout, "%s\n", line.toRawUTF8());
        }
    }
    std::fflush (stdout);

    if (mode == Mode::bars)
    {
        const auto text = barsText();
        std::fputs (text.toRawUTF8(), stderr);
        linesOnScreen = text.retainCharacters ("\n").length();
        std::fflush (stderr);
    }
}

void ProgressDisplay::finish()
{
    refresh();
    if (mode == Mode::bars)
        clearBars();
    std::fflush (stderr);
}
} // namespace render
