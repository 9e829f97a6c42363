// What an open window costs while no audio plays, as a host would show it: the
// processor prepared but idle, the editor created through createEditor and shown in a
// desktop window, the message loop running. CPU time of the whole process (every
// thread: message loop, JUCE's timer thread, X) is taken with getrusage over a stretch
// of idle time, once with the host window empty and once with the editor in it; the
// difference is the editor's share of one core. Needs a display: run it under xvfb-run.
//
//   dunskara_idle_cpu [--seconds N] [--play-silence]
//
// --play-silence also runs an audio thread that processes silent 512-sample blocks at
// 48 kHz in real time, as hosts do with the transport stopped.
#include "editor/VarnocAudioProcessorEditor.h"
#include "plugin/VarnocAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <X11/Xlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace
{
struct Usage
{
    double cpuSeconds;
    long wakeUps; // voluntary context switches of all threads: how often they slept and woke
};

Usage usageNow()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    const auto seconds = [] (const timeval& t) { return (double) t.tv_sec + (double) t.tv_usec * 1.0e-6; };
    return { seconds (usage.ru_utime) + seconds (usage.ru_stime), usage.ru_nvcsw };
}

struct Share
{
    double percentOfCore = -1.0;
    double wakeUpsPerSecond = 0.0;
};

std::string loadAverage()
{
    std::ifstream file ("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Runs the message loop as a host does (blocking until there is something to do) for
// settleMs, then for `seconds` more, and returns the process's CPU time over the latter
// as a percentage of one core, with its threads' wake-ups per second.
Share idleShare (int settleMs, double seconds)
{
    Usage before {};
    Share share;
    auto wallBefore = std::chrono::steady_clock::now();
    juce::Timer::callAfterDelay (settleMs, [&]
    {
        before = usageNow();
        wallBefore = std::chrono::steady_clock::now();
        juce::Timer::callAfterDelay ((int) (seconds * 1000.0), [&]
        {
            const double wall = std::chrono::duration<double> (std::chrono::steady_clock::now() - wallBefore).count();
            const auto after = usageNow();
            share.percentOfCore = 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall;
            share.wakeUpsPerSecond = (double) (after.wakeUps - before.wakeUps) / wall;
            juce::MessageManager::getInstance()->stopDispatchLoop();
        });
    });
    juce::MessageManager::getInstance()->runDispatchLoop();
    return share;
}

// The host's plug-in window: an X window of the host's own (its own connection to the
// server), into which the editor is embedded as hosts do; or left empty.
class HostWindow
{
public:
    explicit HostWindow (juce::Component* content) : editor (content)
    {
        display = XOpenDisplay (nullptr);
        if (display == nullptr)
            return;
        // Without a window manager the server refuses some of the window properties
        // JUCE sets; a host would shrug that off, and so does this one.
        XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
        parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 40, 40, 914, 650, 0, 0, 0);
        XMapWindow (display, parent);
        XSync (display, False);
        if (editor != nullptr)
        {
            editor->addToDesktop (0, reinterpret_cast<void*> (parent));
            editor->setVisible (true);
        }
    }

    ~HostWindow()
    {
        editor.reset();
        if (display != nullptr)
        {
            XDestroyWindow (display, parent);
            XCloseDisplay (display);
        }
    }

    bool isOpen() const noexcept { return display != nullptr; }

private:
    std::unique_ptr<juce::Component> editor;
    Display* display = nullptr;
    ::Window parent = 0;
};

// Opening a window costs a burst of work; the steady cost is measured after it.
constexpr int settleMs = 3000;

// Silent blocks at the pace of real audio, as a host with its transport stopped.
class SilencePlayer
{
public:
    explicit SilencePlayer (VarnocAudioProcessor& p) : processor (p)
    {
        thread = std::thread ([this]
        {
            juce::AudioBuffer<float> buffer (2, blockSize);
            juce::MidiBuffer midi;
            auto next = std::chrono::steady_clock::now();
            while (! stop.load())
            {
                buffer.clear();
                {
                    const juce::ScopedLock lock (processor.getCallbackLock());
                    processor.processBlock (buffer, midi);
                }
                next += std::chrono::microseconds ((long long) (1.0e6 * blockSize / sampleRate));
                std::this_thread::sleep_until (next);
            }
        });
    }

    ~SilencePlayer()
    {
        stop = true;
        thread.join();
    }

    static constexpr int blockSize = 512;
    static constexpr double sampleRate = 48000.0;

private:
    VarnocAudioProcessor& processor;
    std::atomic<bool> stop { false };
    std::thread thread;
};
// One measurement in a process of its own (a stopped dispatch loop cannot be run
// again): prints the share, or a negative number when there is no display.
enum class Content { nothing, emptyComponent, editor };

// A JUCE component with nothing to do: what any JUCE window costs while idle (its
// peer's repaint clock), which the editor cannot avoid.
juce::Component* emptyComponent()
{
    auto* c = new juce::Component();
    c->setSize (914, 650);
    return c;
}

int measure (Content content, double seconds, bool playSilence)
{
    juce::ScopedJuceInitialiser_GUI gui;
    VarnocAudioProcessor::setEditorFactory (createVarnocEditor);

    VarnocAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, SilencePlayer::sampleRate, SilencePlayer::blockSize);
    processor.prepareToPlay (SilencePlayer::sampleRate, SilencePlayer::blockSize);
    std::unique_ptr<SilencePlayer> player;
    if (playSilence)
        player = std::make_unique<SilencePlayer> (processor);

    Share share;
    {
        HostWindow window (content == Content::editor ? processor.createEditorIfNeeded()
                           : content == Content::emptyComponent ? emptyComponent() : nullptr);
        if (window.isOpen())
            share = idleShare (settleMs, seconds);
    }
    std::printf ("%.6f %.1f\n", share.percentOfCore, share.wakeUpsPerSecond);
    std::fflush (stdout);

    player.reset();
    processor.releaseResources();
    return share.percentOfCore < 0.0 ? 1 : 0;
}

// Runs one measurement in a child process and reads its figures.
Share measureInChild (const char* self, const char* phase, double seconds, bool playSilence)
{
    juce::StringArray command { self, "--phase", phase, "--seconds", juce::String (seconds) };
    if (playSilence)
        command.add ("--play-silence");
    juce::ChildProcess child;
    if (! child.start (command))
        return {};
    const auto lines = juce::StringArray::fromLines (child.readAllProcessOutput().trim());
    const auto figures = juce::StringArray::fromTokens (lines.strings.getLast(), false);
    if (figures.size() != 2)
        return {};
    return { figures[0].getDoubleValue(), figures[1].getDoubleValue() };
}
} // namespace

int main (int argc, char** argv)
{
    double seconds = 20.0;
    bool playSilence = false;
    juce::String phase;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::max (1.0, std::atof (argv[++i]));
        else if (arg == "--play-silence")
            playSilence = true;
        else if (arg == "--phase" && i + 1 < argc)
            phase = argv[++i];
        else
        {
            std::fprintf (stderr, "usage: %s [--seconds N] [--play-silence]\n", argv[0]);
            return 2;
        }
    }

    if (phase.isNotEmpty())
        return measure (phase == "editor" ? Content::editor : phase == "component" ? Content::emptyComponent : Content::nothing,
                        seconds, playSilence);

    std::printf ("load average before: %s\n", loadAverage().c_str());
    std::printf ("audio: %s\n", playSilence ? "silent blocks of 512 at 48 kHz" : "none (processor prepared, idle)");
    const auto empty = measureInChild (argv[0], "empty", seconds, playSilence);
    const auto component = measureInChild (argv[0], "component", seconds, playSilence);
    const auto editor = measureInChild (argv[0], "editor", seconds, playSilence);
    if (empty.percentOfCore < 0.0 || component.percentOfCore < 0.0 || editor.percentOfCore < 0.0)
    {
        std::fprintf (stderr, "no display: run under xvfb-run\n");
        return 1;
    }
    const auto row = [seconds] (const char* what, const Share& s)
    { std::printf ("%-38s %6.3f %% of one core, %6.1f wake-ups/s (%.0f s)\n", what, s.percentOfCore, s.wakeUpsPerSecond, seconds); };
    row ("host window, empty:", empty);
    row ("host window, an empty JUCE component:", component);
    row ("host window, the editor:", editor);
    std::printf ("the editor beyond the host's own loop:  %6.3f %%, %6.1f wake-ups/s\n",
                 editor.percentOfCore - empty.percentOfCore, editor.wakeUpsPerSecond - empty.wakeUpsPerSecond);
    std::printf ("  of which JUCE's window itself:        %6.3f %%, %6.1f wake-ups/s\n",
                 component.percentOfCore - empty.percentOfCore, component.wakeUpsPerSecond - empty.wakeUpsPerSecond);
    std::printf ("  of which the editor's own work:       %6.3f %%, %6.1f wake-ups/s\n",
                 editor.percentOfCore - component.percentOfCore, editor.wakeUpsPerSecond - component.wakeUpsPerSecond);
    std::printf ("load average after:  %s\n", loadAverage().c_str());
    return 0;
}
