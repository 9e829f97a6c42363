// The VST2 plug-in's audio thread, watched as hosts drive it at their worst: automation
// from the audio thread before every block while another host thread saves the state
// in a loop, with the window closed and open. Whatever the plug-in does there must not allocate, write or take a lock of
// its own: only JUCE's wrapper takes locks, the callback lock once a block and the
// changed parameter's listener lock once a change, never the state lock, a dynamics
// unit's or the message queue's.
#include "RealtimeProbe.h"
#include "Vst2Host.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include "XWindows.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int blockSize = 512;
constexpr int numBlocks = 1500;
constexpr int warmUpBlocks = 4;
constexpr int automated[] = { 5, 14, 27, 30 };
constexpr int juceLocksPerBlock = 1 + (int) std::size (automated);

std::string fileName (const std::string& path) { return path.substr (path.find_last_of ('/') + 1); }

// Hosts install an X error handler; JUCE's window code asks for atoms that a bare X
// server without a window manager does not know, which Xlib's default would exit on.
int ignoreXError (Display*, XErrorEvent*) { return 0; }

// An X window of the test's own for the editor to live in, when there is a display.
struct ParentWindow
{
    ParentWindow()
    {
        if ((display = xwindows::openDisplay()) == nullptr)
            return;
        XSetErrorHandler (ignoreXError);
        window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1000, 700, 0, 0, 0);
        XMapWindow (display, window);
        XSync (display, False);
    }

    ~ParentWindow()
    {
        if (display == nullptr)
            return;
        XDestroyWindow (display, window);
        XCloseDisplay (display);
    }

    Display* display = nullptr;
    Window window = 0;
};

// Automation from the audio thread before every block while another host thread saves
// in a loop; with `editorOpen`, the window is open all the while.
void expectAudioThreadNeverWaitsOrAllocates (bool editorOpen)
{
    if (! rtprobe::isAvailable())
        GTEST_SKIP() << "the probe needs the system allocator";

    ParentWindow parent;
    if (editorOpen && parent.display == nullptr)
        GTEST_SKIP() << "no X display";

    testhost::Vst2Host host (DUNSKARA_VST2_BINARY);
    host.setUnloadOnDestruction (false);
    ASSERT_NE (host.instantiateAndOpen(), nullptr);
    ASSERT_TRUE (rtprobe::watch (fileName (DUNSKARA_VST2_BINARY)));
    host.resume (48000.0, blockSize);
    if (editorOpen)
    {
        ASSERT_NE (host.dispatch (Vst2::effEditOpen, 0, 0, reinterpret_cast<void*> (parent.window)), 0);
    }

    std::vector<float> left (blockSize), right (blockSize), outLeft (blockSize), outRight (blockSize);
    float* in[] = { left.data(), right.data() };
    float* out[] = { outLeft.data(), outRight.data() };

    std::atomic<bool> running { true }, audioDone { false };
    std::atomic<int> saves { 0 };
    std::thread saver ([&]
    {
        while (running.load())
            if (! host.getChunk().empty())
                saves.fetch_add (1);
    });

    std::thread audio ([&]
    {
        auto* effect = host.getEffect();
        for (int block = 0; block < numBlocks; ++block)
        {
            for (int i = 0; i < blockSize; ++i)
                left[(size_t) i] = right[(size_t) i] = 0.5f * std::sin (0.01f * (float) (block * blockSize + i));

            // The first blocks on a new thread may set up JUCE's per-thread flags.
            const bool watched = block >= warmUpBlocks;
            std::optional<rtprobe::Window> window;
            if (watched)
                window.emplace();
            for (int p : automated)
                effect->setParameter (effect, p, 0.1f + 0.8f * (float) ((block + p) % 50) / 50.0f);
            effect->processReplacing (effect, in, out, blockSize);
        }
        audioDone.store (true);
    });

    // The host's UI thread meanwhile: idle calls for the open window.
    while (editorOpen && ! audioDone.load())
    {
        host.dispatch (Vst2::effEditIdle);
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }

    audio.join();
    running.store (false);
    saver.join();

    const auto counts = rtprobe::counted();
    EXPECT_GT (saves.load(), 0);
    EXPECT_EQ (counts.allocations, 0);
    EXPECT_EQ (counts.writes, 0);
    // With a window open JUCE's wrapper goes through its parameter listeners twice per
    // change (its own listener locks); the count is pinned for the closed window.
    if (! editorOpen)
    {
        EXPECT_LE (counts.locks, (numBlocks - warmUpBlocks) * juceLocksPerBlock);
        EXPECT_LE (counts.distinctMutexes, juceLocksPerBlock); // the callback lock and one per parameter
    }
    if (::testing::Test::HasFailure())
        ADD_FAILURE() << rtprobe::describe();
    if (editorOpen)
        host.dispatch (Vst2::effEditClose);
    host.suspend();
    host.close();
}

TEST (Vst2RealTime, AutomationOnTheAudioThreadWhileAnotherThreadSavesNeverWaitsOrAllocates)
{
    expectAudioThreadNeverWaitsOrAllocates (false);
}

TEST (Vst2RealTime, TheOpenEditorChangesNothingOnTheAudioThread)
{
    expectAudioThreadNeverWaitsOrAllocates (true);
}
} // namespace
