// The CLAP editor embedded into a window of ours, opened and closed many times, at
// 100 % and at 200 %. Skipped without an X display (ctest runs it under xvfb-run).

#include "ClapHost.h"

#include <gtest/gtest.h>
// After gtest: Xlib defines None, which gtest uses as a name.
#include <X11/Xlib.h>
#include "XWindows.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

using testhost::ClapHost;

namespace
{
using xwindows::childWindows;

// Hosts install their own X error handler (Xlib's default one exits), and JUCE leaves
// it to them inside a plug-in: counting errors stands in for that. Without a window
// manager (Xvfb) JUCE asks for properties of window manager atoms that do not exist;
// those BadAtom answers are expected and not counted.
int xErrors = 0;
int countXError (Display*, XErrorEvent* e)
{
    if (std::getenv ("DUNSKARA_PRINT_X_ERRORS") != nullptr)
        std::printf ("X error %d, request %d.%d, resource %lx\n", e->error_code, e->request_code, e->minor_code, e->resourceid);
    if (e->error_code != BadAtom)
        ++xErrors;
    return 0;
}

class ClapGui : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if ((display = xwindows::openDisplay()) == nullptr)
            GTEST_SKIP() << "no X display";
        parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1900, 1400, 0, 0, 0);
        XMapWindow (display, parent);
        XSetErrorHandler (countXError);
        XSync (display, False); // the window exists for the plug-in's own connection
        xErrors = 0;
        ASSERT_NE (host.factory, nullptr) << host.loadError;
        instance = std::make_unique<ClapHost::Instance> (host.factory);
        ASSERT_NE (instance->plugin, nullptr);
        gui = instance->extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
        ASSERT_NE (gui, nullptr);
    }

    void TearDown() override
    {
        instance.reset();
        EXPECT_EQ (xErrors, 0);
        if (display != nullptr)
        {
            XDestroyWindow (display, parent);
            XCloseDisplay (display);
        }
    }

    // The host's opening sequence; the editor's size in pixels.
    std::pair<uint32_t, uint32_t> open (double scale)
    {
        const auto* p = instance->plugin;
        uint32_t width = 0, height = 0;
        EXPECT_TRUE (gui->is_api_supported (p, CLAP_WINDOW_API_X11, false));
        EXPECT_TRUE (gui->create (p, CLAP_WINDOW_API_X11, false));
        EXPECT_TRUE (gui->set_scale (p, scale));
        EXPECT_FALSE (gui->can_resize (p));
        EXPECT_TRUE (gui->get_size (p, &width, &height));
        clap_window_t window { CLAP_WINDOW_API_X11, {} };
        window.x11 = parent;
        EXPECT_TRUE (gui->set_parent (p, &window));
        EXPECT_TRUE (gui->show (p));
        return { width, height };
    }

    ClapHost host { DUNSKARA_CLAP_BINARY };
    std::unique_ptr<ClapHost::Instance> instance;
    const clap_plugin_gui_t* gui = nullptr;
    Display* display = nullptr;
    Window parent = 0;
};
} // namespace

TEST_F (ClapGui, OpensAtItsSizeAndAtTwiceItsSize)
{
    const auto* p = instance->plugin;
    EXPECT_EQ (open (1.0), std::make_pair (914u, 650u));
    EXPECT_EQ (childWindows (display, parent), 1u);
    EXPECT_TRUE (gui->set_scale (p, 2.0));
    uint32_t width = 0, height = 0;
    EXPECT_TRUE (gui->get_size (p, &width, &height));
    EXPECT_EQ (std::make_pair (width, height), std::make_pair (1828u, 1300u));
    EXPECT_TRUE (gui->set_size (p, 1828, 1300));
    EXPECT_FALSE (gui->set_size (p, 500, 500));
    EXPECT_TRUE (gui->hide (p));
    gui->destroy (p);
    EXPECT_EQ (childWindows (display, parent), 0u);

    EXPECT_EQ (open (2.0), std::make_pair (1828u, 1300u));
    gui->destroy (p);
}

TEST_F (ClapGui, OpensAndClosesTwoHundredTimes)
{
    const auto* p = instance->plugin;
    ASSERT_TRUE (p->activate (p, 48000.0, 1, 512));
    for (int i = 0; i < 200; ++i)
    {
        open (i % 2 == 0 ? 1.0 : 2.0);
        ASSERT_EQ (childWindows (display, parent), 1u) << "opening " << i;
        gui->destroy (p);
        ASSERT_EQ (childWindows (display, parent), 0u) << "closing " << i;
    }
    p->deactivate (p);
}

TEST_F (ClapGui, WrongCallsAreRefused)
{
    const auto* p = instance->plugin;
    uint32_t width = 0, height = 0;
    EXPECT_FALSE (gui->is_api_supported (p, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE (gui->is_api_supported (p, "wayland", false));
    EXPECT_FALSE (gui->is_api_supported (p, nullptr, false));
    EXPECT_FALSE (gui->create (p, "win32", false));
    EXPECT_FALSE (gui->get_size (p, &width, &height)); // before create
    EXPECT_FALSE (gui->show (p));
    EXPECT_FALSE (gui->set_scale (p, 0.0));
    EXPECT_FALSE (gui->set_scale (p, std::nan ("")));
    gui->destroy (p);

    ASSERT_TRUE (gui->create (p, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE (gui->create (p, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE (gui->set_parent (p, nullptr));
    clap_window_t none { CLAP_WINDOW_API_X11, {} };
    EXPECT_FALSE (gui->set_parent (p, &none));
    EXPECT_FALSE (gui->get_size (p, nullptr, &height));
    // Left for destroy() to clean up, as a careless host would.
}
