// The LV2 UI as a host drives it: the plug-in instantiated through lilv, the UI through
// lv2ui_descriptor with the host's features made by hand, embedded into an X window of
// ours. Mouse gestures on the editor are real X input (XTest). Skipped without an X
// display (ctest runs it under xvfb-run).
#include "LilvHost.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
// After gtest: Xlib defines None, which gtest uses as a name.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include "XWindows.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr const char* uiUri = DUNSKARA_LV2_URI ":UI";
constexpr uint32_t noPort = UINT32_MAX;

// Where the editor's controls are, in its own pixels (it sits at the parent's origin).
constexpr int inputGainSliderX = 272, inputGainSliderY = 31; // the middle of its track
constexpr int powerButtonX = 457, powerButtonY = 43;
constexpr int inputReadoutX = 155, inputReadoutY = 58;
constexpr int editorWidth = 914, editorHeight = 650;

void pause (int ms) { std::this_thread::sleep_for (std::chrono::milliseconds (ms)); }

//==============================================================================
// What the UI tells the host, in order.
struct Call
{
    enum Kind { grab, release, write } kind;
    uint32_t port;
    float value;

    bool operator== (const Call& other) const
    {
        return kind == other.kind && port == other.port && (kind != write || value == other.value);
    }
};

// What a host hears of one click, key or typed value: grab, one write, release.
std::vector<Call> oneGesture (uint32_t port, float value)
{
    return { { Call::grab, port, 0.0f }, { Call::write, port, value }, { Call::release, port, 0.0f } };
}

std::ostream& operator<< (std::ostream& out, const Call& c)
{
    const char* names[] { "grab", "release", "write" };
    return out << names[c.kind] << "(" << c.port << (c.kind == Call::write ? ", " + std::to_string (c.value) : "") << ")";
}

// The host side of one UI: its features, and a record of the UI's calls.
struct HostSide
{
    std::vector<Call> calls;
    std::vector<std::string> logLines;
    int badWrites = 0; // writes with another size or format than a float's
    int reportedWidth = 0, reportedHeight = 0;

    LV2UI_Touch touch { this, [] (LV2UI_Feature_Handle h, uint32_t port, bool grabbed)
                        { static_cast<HostSide*> (h)->calls.push_back ({ grabbed ? Call::grab : Call::release, port, 0.0f }); } };
    LV2UI_Resize resize { this, [] (LV2UI_Feature_Handle h, int width, int height)
                          {
                              static_cast<HostSide*> (h)->reportedWidth = width;
                              static_cast<HostSide*> (h)->reportedHeight = height;
                              return 0;
                          } };

    static void writeFunction (LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        auto& host = *static_cast<HostSide*> (controller);
        if (size != sizeof (float) || format != 0 || buffer == nullptr)
        {
            ++host.badWrites;
            return;
        }
        float value = 0.0f;
        std::memcpy (&value, buffer, sizeof (value));
        host.calls.push_back ({ Call::write, port, value });
    }

    std::vector<Call> callsFor (uint32_t port) const
    {
        std::vector<Call> result;
        for (const auto& c : calls)
            if (c.port == port)
                result.push_back (c);
        return result;
    }

    std::vector<float> writtenTo (uint32_t port) const
    {
        std::vector<float> result;
        for (const auto& c : callsFor (port))
            if (c.kind == Call::write)
                result.push_back (c.value);
        return result;
    }

    bool hasCall (Call::Kind kind, uint32_t port) const
    {
        for (const auto& c : calls)
            if (c.kind == kind && c.port == port)
                return true;
        return false;
    }
};

// Which of the host's features a UI gets.
struct Offer
{
    bool parent = true, instanceAccess = true, touch = true, resize = true, map = true, log = true;
    float scale = 0.0f; // offered as ui:scaleFactor when non-zero
    bool nullParent = false, nullInstance = false, nullWidget = false;
    const char* pluginUri = DUNSKARA_LV2_URI;
};

int xErrors = 0;
int countXError (Display*, XErrorEvent* e)
{
    if (e->error_code != BadAtom) // JUCE asks for window manager atoms that Xvfb lacks
        ++xErrors;
    return 0;
}

//==============================================================================
class Lv2Ui : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        lilvhost::Host::loadWorld();
        world = lilvhost::Host::world;
    }

    static void TearDownTestSuite()
    {
        if (library != nullptr)
            dlclose (library);
        library = nullptr;
        lilvhost::Host::freeWorld();
        world = nullptr;
    }

    void SetUp() override
    {
        if ((display = xwindows::openDisplay()) == nullptr)
            GTEST_SKIP() << "no X display";
        int event = 0, error = 0, major = 0, minor = 0;
        if (! XTestQueryExtension (display, &event, &error, &major, &minor))
            GTEST_SKIP() << "no XTest extension";
        XSetErrorHandler (countXError);
        xErrors = 0;

        auto* uri = lilv_new_uri (world, DUNSKARA_LV2_URI);
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);
        lilv_node_free (uri);
        ASSERT_NE (plugin, nullptr) << "no " << DUNSKARA_LV2_URI << " in " << DUNSKARA_LV2_FOLDER;
        ASSERT_NO_FATAL_FAILURE (loadUiDescriptor());

        mainInGainPort = portOf ("MainInGain");
        mainOnOffPort = portOf ("MainOnOff");
        firstParameterPort = portOf ("attack_0");
        ASSERT_EQ (mainInGainPort, firstParameterPort + 27) << "the parameters' ports follow their indices";
        ASSERT_NE (mainInGainPort, noPort);
        ASSERT_NE (mainOnOffPort, noPort);
    }

    void TearDown() override
    {
        for (auto& ui : uis)
            if (ui.handle != nullptr)
                descriptor->cleanup (ui.handle);
        uis.clear();
        for (auto* instance : instances)
            lilv_instance_free (instance);
        instances.clear();
        if (display != nullptr)
        {
            EXPECT_EQ (xErrors, 0);
            for (auto window : parents)
                XDestroyWindow (display, window);
            XCloseDisplay (display);
        }
    }

    void loadUiDescriptor()
    {
        if (descriptor != nullptr)
            return;
        const LilvUI* found = nullptr;
        auto* uis_ = lilv_plugin_get_uis (plugin);
        LILV_FOREACH (uis, i, uis_)
            if (std::strcmp (lilv_node_as_uri (lilv_ui_get_uri (lilv_uis_get (uis_, i))), uiUri) == 0)
                found = lilv_uis_get (uis_, i);
        ASSERT_NE (found, nullptr) << "the bundle declares no " << uiUri;

        auto* x11 = lilv_new_uri (world, LV2_UI__X11UI);
        EXPECT_TRUE (lilv_ui_is_a (found, x11));
        lilv_node_free (x11);

        char* path = lilv_file_uri_parse (lilv_node_as_uri (lilv_ui_get_binary_uri (found)), nullptr);
        library = dlopen (path, RTLD_NOW | RTLD_LOCAL);
        lilv_free (path);
        lilv_uis_free (uis_);
        ASSERT_NE (library, nullptr) << dlerror();

        const auto get = reinterpret_cast<const LV2UI_Descriptor* (*) (uint32_t)> (dlsym (library, "lv2ui_descriptor"));
        ASSERT_NE (get, nullptr);
        for (uint32_t i = 0; get (i) != nullptr; ++i)
            if (std::strcmp (get (i)->URI, uiUri) == 0)
                descriptor = get (i);
        ASSERT_NE (descriptor, nullptr);
    }

    uint32_t portOf (const char* symbol) const
    {
        auto* node = lilv_new_string (world, symbol);
        const auto* port = lilv_plugin_get_port_by_symbol (plugin, node);
        lilv_node_free (node);
        return port != nullptr ? lilv_port_get_index (plugin, port) : noPort;
    }

    // The first control output port (a meter), as a port the UI must not take values from.
    uint32_t meterPort() const
    {
        auto* output = lilv_new_uri (world, LV2_CORE__OutputPort);
        auto* control = lilv_new_uri (world, LV2_CORE__ControlPort);
        uint32_t found = noPort;
        for (uint32_t i = lilv_plugin_get_num_ports (plugin); i-- > 0;)
        {
            const auto* port = lilv_plugin_get_port_by_index (plugin, i);
            if (lilv_port_is_a (plugin, port, output) && lilv_port_is_a (plugin, port, control))
                found = i;
        }
        lilv_node_free (output);
        lilv_node_free (control);
        return found;
    }

    //==============================================================================
    LV2_URID map (const char* uri)
    {
        const auto [it, added] = urids.emplace (uri, (LV2_URID) urids.size() + 1);
        return it->second;
    }

    LilvInstance* newInstance()
    {
        static const int32_t blockLength = 512;
        options.assign ({ { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), map (LV2_ATOM__Int), &blockLength },
                          { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__minBlockLength), sizeof (int32_t), map (LV2_ATOM__Int), &blockLength },
                          { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr } });
        const LV2_Feature mapFeature { LV2_URID__map, &uridMap }, optionsFeature { LV2_OPTIONS__options, options.data() },
            bounded { LV2_BUF_SIZE__boundedBlockLength, nullptr };
        const LV2_Feature* features[] { &mapFeature, &optionsFeature, &bounded, nullptr };
        auto* instance = lilv_plugin_instantiate (plugin, 48000.0, features);
        if (instance != nullptr)
            instances.push_back (instance);
        return instance;
    }

    Window newParent()
    {
        const auto window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1900, 1400, 0, 0, 0);
        XMapWindow (display, window);
        XSync (display, False); // the window exists for the plug-in's own connection
        parents.push_back (window);
        return window;
    }

    struct OpenUi
    {
        std::unique_ptr<HostSide> host;
        LV2UI_Handle handle = nullptr;
        LV2UI_Widget widget = nullptr;
    };

    // Instantiates a UI for `instance` in `parent`, with what `offer` says.
    OpenUi& openUi (LilvInstance* instance, Window parent, const Offer& offer = {})
    {
        auto host = std::make_unique<HostSide>();
        const LV2_Feature parentFeature { LV2_UI__parent, offer.nullParent ? nullptr : reinterpret_cast<void*> (parent) };
        const LV2_Feature access { LV2_INSTANCE_ACCESS_URI, offer.nullInstance ? nullptr : lilv_instance_get_handle (instance) };
        const LV2_Feature touch { LV2_UI__touch, &host->touch }, resize { LV2_UI__resize, &host->resize };
        const LV2_Feature mapFeature { LV2_URID__map, &uridMap };

        logHost = host.get();
        LV2_Log_Log log { this, &Lv2Ui::logPrintf, &Lv2Ui::logVprintf };
        const LV2_Feature logFeature { LV2_LOG__log, &log };

        const float scale = offer.scale;
        LV2_Options_Option uiOptions[] {
            { LV2_OPTIONS_INSTANCE, 0, map (LV2_UI__scaleFactor), sizeof (float), map (LV2_ATOM__Float), &scale },
            { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr } };
        const LV2_Feature optionsFeature { LV2_OPTIONS__options, uiOptions };

        std::vector<const LV2_Feature*> features;
        if (offer.parent) features.push_back (&parentFeature);
        if (offer.instanceAccess) features.push_back (&access);
        if (offer.touch) features.push_back (&touch);
        if (offer.resize) features.push_back (&resize);
        if (offer.map) features.push_back (&mapFeature);
        if (offer.log) features.push_back (&logFeature);
        if (offer.scale != 0.0f) features.push_back (&optionsFeature);
        features.push_back (nullptr);

        OpenUi ui;
        ui.handle = descriptor->instantiate (descriptor, offer.pluginUri, DUNSKARA_LV2_FOLDER "/DUNSKARA.lv2/",
                                             &HostSide::writeFunction, host.get(),
                                             offer.nullWidget ? nullptr : &ui.widget, features.data());
        ui.host = std::move (host);
        logHost = nullptr;
        if (ui.handle != nullptr)
            waitUntilViewable ((Window) reinterpret_cast<uintptr_t> (ui.widget));
        uis.push_back (std::move (ui));
        return uis.back();
    }

    // JUCE maps its window from its own thread: pointer input before that goes astray.
    void waitUntilViewable (Window window)
    {
        XWindowAttributes attributes {};
        for (int i = 0; i < 1000; ++i)
        {
            if (XGetWindowAttributes (display, window, &attributes) && attributes.map_state == IsViewable)
                break;
            pause (10);
        }
        EXPECT_EQ (attributes.map_state, IsViewable);
        pause (50); // and paints it
    }

    void closeUi (OpenUi& ui)
    {
        descriptor->cleanup (ui.handle);
        ui.handle = nullptr;
    }

    int idle (OpenUi& ui)
    {
        const auto* idleInterface = static_cast<const LV2UI_Idle_Interface*> (descriptor->extension_data (LV2_UI__idleInterface));
        return idleInterface->idle (ui.handle);
    }

    // Idles as a host's UI loop does, for `ms` milliseconds.
    void idleFor (OpenUi& ui, int ms)
    {
        for (int i = 0; i < ms / 10; ++i)
        {
            EXPECT_EQ (idle (ui), 0);
            pause (10);
        }
    }

    // Idles until `done` holds or ten seconds passed (a slow machine under sanitizers).
    bool idleUntil (OpenUi& ui, const std::function<bool()>& done)
    {
        for (int i = 0; i < 1000; ++i)
        {
            EXPECT_EQ (idle (ui), 0);
            if (done())
                return true;
            pause (10);
        }
        return false;
    }

    void portEvent (OpenUi& ui, uint32_t port, float value, uint32_t size = sizeof (float), uint32_t format = 0)
    {
        descriptor->port_event (ui.handle, port, size, format, &value);
    }

    //==============================================================================
    // Real pointer input at a point of the editor; gives JUCE's thread time to handle it.
    void pointerTo (int x, int y)
    {
        XTestFakeMotionEvent (display, -1, x, y, CurrentTime);
        XSync (display, False);
        pause (40);
    }

    void button (bool down)
    {
        XTestFakeButtonEvent (display, 1, down ? True : False, CurrentTime);
        XSync (display, False);
        pause (40);
    }

    void click (int x, int y)
    {
        pointerTo (x, y);
        button (true);
        button (false);
    }

    // Real key strokes, to whichever window has the keyboard focus.
    void typeKeys (std::initializer_list<KeySym> keys)
    {
        for (const auto key : keys)
        {
            const auto code = XKeysymToKeycode (display, key);
            ASSERT_NE (code, 0) << "no key for " << XKeysymToString (key);
            XTestFakeKeyEvent (display, code, True, CurrentTime);
            XTestFakeKeyEvent (display, code, False, CurrentTime);
            XSync (display, False);
            pause (20);
        }
    }

    // Presses on the input gain slider and drags it `steps` times by `dx` pixels.
    void dragInputGain (int steps, int dx)
    {
        pointerTo (inputGainSliderX, inputGainSliderY);
        button (true);
        for (int i = 1; i <= steps; ++i)
            pointerTo (inputGainSliderX + i * dx, inputGainSliderY);
    }

    //==============================================================================
    // The processor's live value of every parameter, read from the state it saves.
    std::vector<float> processorValues (LilvInstance* instance)
    {
        const auto* state = static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
        std::vector<std::string> stored;
        const auto store = [] (LV2_State_Handle h, uint32_t, const void* value, size_t size, uint32_t, uint32_t)
        {
            static_cast<std::vector<std::string>*> (h)->emplace_back (static_cast<const char*> (value), size);
            return LV2_STATE_SUCCESS;
        };
        const LV2_Feature mapFeature { LV2_URID__map, &uridMap };
        const LV2_Feature* features[] { &mapFeature, nullptr };
        if (state == nullptr || state->save (lilv_instance_get_handle (instance), store, &stored, LV2_STATE_IS_POD, features) != LV2_STATE_SUCCESS)
            return {};

        for (const auto& text : stored)
        {
            const auto chunk = lilvhost::decodeJuceBase64 (std::string (text.c_str()));
            if (chunk.find ("MYPLUGINSETTINGS") == std::string::npos)
                continue;
            const auto program = chunkAttribute (chunk, "currentProgram");
            std::vector<float> values;
            for (int i = 0; i < 35; ++i)
                values.push_back (std::stof (chunkAttribute (chunk, "pg_floats" + (program.empty() ? "0" : program) + std::to_string (i))));
            return values;
        }
        return {};
    }

    static std::string chunkAttribute (const std::string& chunk, const std::string& name)
    {
        const auto at = chunk.find (" " + name + "=\"");
        if (at == std::string::npos)
            return {};
        const auto start = at + name.size() + 3;
        return chunk.substr (start, chunk.find ('"', start) - start);
    }

    float processorValue (LilvInstance* instance, int index)
    {
        const auto values = processorValues (instance);
        return values.empty() ? std::numeric_limits<float>::quiet_NaN() : values[(size_t) index];
    }

    // The plug-in's saved state (key, value, type per property), and a restore of it.
    struct SavedProperty { uint32_t key; std::string value; uint32_t type; };
    using SavedState = std::vector<SavedProperty>;

    const LV2_State_Interface* stateOf (LilvInstance* instance)
    {
        return static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
    }

    SavedState saveState (LilvInstance* instance)
    {
        SavedState saved;
        const auto store = [] (LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t)
        {
            static_cast<SavedState*> (h)->push_back ({ key, std::string (static_cast<const char*> (value), size), type });
            return LV2_STATE_SUCCESS;
        };
        const LV2_Feature mapFeature { LV2_URID__map, &uridMap };
        const LV2_Feature* features[] { &mapFeature, nullptr };
        EXPECT_EQ (stateOf (instance)->save (lilv_instance_get_handle (instance), store, &saved, LV2_STATE_IS_POD, features),
                   LV2_STATE_SUCCESS);
        return saved;
    }

    void restoreState (LilvInstance* instance, SavedState& saved)
    {
        const auto retrieve = [] (LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void*
        {
            for (const auto& p : *static_cast<SavedState*> (h))
                if (p.key == key)
                {
                    *size = p.value.size();
                    *type = p.type;
                    *flags = LV2_STATE_IS_POD;
                    return p.value.data();
                }
            return nullptr;
        };
        const LV2_Feature mapFeature { LV2_URID__map, &uridMap };
        const LV2_Feature* features[] { &mapFeature, nullptr };
        EXPECT_EQ (stateOf (instance)->restore (lilv_instance_get_handle (instance), retrieve, &saved, 0, features),
                   LV2_STATE_SUCCESS);
    }

    // Connects a control buffer to every parameter port and runs one block: the plug-in
    // has then seen the host's values.
    void connectParameterPorts (LilvInstance* instance, std::vector<float>& ports)
    {
        for (uint32_t i = 0; i < (uint32_t) ports.size(); ++i)
            lilv_instance_connect_port (instance, firstParameterPort + i, &ports[i]);
        lilv_instance_run (instance, 64);
    }

    unsigned int childWindows (Window parent) { return xwindows::childWindows (display, parent); }

    //==============================================================================
    static int logVprintf (LV2_Log_Handle h, LV2_URID, const char* format, va_list args)
    {
        char text[512];
        std::vsnprintf (text, sizeof (text), format, args);
        if (auto* host = static_cast<Lv2Ui*> (h)->logHost)
            host->logLines.emplace_back (text);
        return 0;
    }

    static int logPrintf (LV2_Log_Handle h, LV2_URID type, const char* format, ...)
    {
        va_list args;
        va_start (args, format);
        const auto result = logVprintf (h, type, format, args);
        va_end (args);
        return result;
    }

    static inline LilvWorld* world = nullptr;
    static inline void* library = nullptr;
    static inline const LV2UI_Descriptor* descriptor = nullptr;

    const LilvPlugin* plugin = nullptr;
    Display* display = nullptr;
    std::vector<Window> parents;
    std::vector<LilvInstance*> instances;
    std::deque<OpenUi> uis; // references to its elements stay valid
    HostSide* logHost = nullptr; // whose log lines the log feature collects
    uint32_t mainInGainPort = 0, mainOnOffPort = 0, firstParameterPort = 0;

    std::map<std::string, LV2_URID> urids;
    LV2_URID_Map uridMap { this, [] (LV2_URID_Map_Handle h, const char* uri) { return static_cast<Lv2Ui*> (h)->map (uri); } };
    std::vector<LV2_Options_Option> options;
};
} // namespace

//==============================================================================
TEST_F (Lv2Ui, OpensEmbeddedAtItsSizeAndClosesCleanly)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    const auto parent = newParent();

    struct Case { float scale; int width, height; };
    for (const auto& c : { Case { 0.0f, editorWidth, editorHeight }, Case { 2.0f, 2 * editorWidth, 2 * editorHeight },
                           Case { std::nanf (""), editorWidth, editorHeight }, Case { 100.0f, editorWidth, editorHeight } })
    {
        Offer offer;
        offer.scale = c.scale;
        auto& ui = openUi (instance, parent, offer);
        ASSERT_NE (ui.handle, nullptr) << "scale " << c.scale;
        EXPECT_NE (ui.widget, nullptr);
        EXPECT_EQ (childWindows (parent), 1u);
        EXPECT_EQ (ui.host->reportedWidth, c.width) << "scale " << c.scale;
        EXPECT_EQ (ui.host->reportedHeight, c.height) << "scale " << c.scale;

        // The host may ask for a size through the UI's own ui:resize: only ours is taken.
        const auto* resize = static_cast<const LV2UI_Resize*> (descriptor->extension_data (LV2_UI__resize));
        ASSERT_NE (resize, nullptr);
        EXPECT_EQ (resize->ui_resize (ui.handle, c.width, c.height), 0);
        EXPECT_NE (resize->ui_resize (ui.handle, 500, 400), 0);

        EXPECT_EQ (idle (ui), 0);
        EXPECT_TRUE (ui.host->calls.empty()) << "opening the editor changes nothing";
        closeUi (ui);
        EXPECT_EQ (childWindows (parent), 0u);
    }
    EXPECT_EQ (descriptor->extension_data ("urn:nothing"), nullptr);
}

TEST_F (Lv2Ui, WithoutWhatItNeedsThereIsNoUi)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    const auto parent = newParent();

    struct Case { const char* what; Offer offer; };
    Offer noParent, nullParent, noAccess, nullInstance, otherPlugin, noWidget, noPluginUri;
    noParent.parent = false;
    nullParent.nullParent = true;
    noAccess.instanceAccess = false;
    nullInstance.nullInstance = true;
    otherPlugin.pluginUri = "urn:another:plugin";
    noWidget.nullWidget = true;
    noPluginUri.pluginUri = nullptr;
    for (const auto& c : { Case { "no ui:parent", noParent }, Case { "null parent", nullParent },
                           Case { "no instance-access", noAccess }, Case { "null instance", nullInstance },
                           Case { "another plug-in", otherPlugin }, Case { "no widget pointer", noWidget },
                           Case { "no plug-in URI", noPluginUri } })
    {
        auto& ui = openUi (instance, parent, c.offer);
        EXPECT_EQ (ui.handle, nullptr) << c.what;
        EXPECT_EQ (ui.host->logLines.size(), 1u) << c.what;
        EXPECT_EQ (childWindows (parent), 0u) << c.what;
    }

    // Without a log the refusal is silent, and no feature list at all is survived.
    Offer noLog;
    noLog.parent = noLog.log = false;
    EXPECT_EQ (openUi (instance, parent, noLog).handle, nullptr);
    LV2UI_Widget widget = nullptr;
    EXPECT_EQ (descriptor->instantiate (descriptor, DUNSKARA_LV2_URI, "", &HostSide::writeFunction, nullptr, &widget, nullptr), nullptr);

    // One editor per plug-in instance: a second UI is refused while the first is open.
    auto& first = openUi (instance, parent);
    ASSERT_NE (first.handle, nullptr);
    auto& second = openUi (instance, newParent());
    EXPECT_EQ (second.handle, nullptr);
    EXPECT_EQ (second.host->logLines.size(), 1u);
}

TEST_F (Lv2Ui, AClickReachesTheHostAsTouchWriteRelease)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);
    ASSERT_EQ (processorValue (instance, 32), 1.0f);

    click (powerButtonX, powerButtonY);
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->hasCall (Call::release, mainOnOffPort); }));
    EXPECT_EQ (ui.host->calls, oneGesture (mainOnOffPort, 0.0f));
    EXPECT_EQ (ui.host->badWrites, 0);
    EXPECT_EQ (processorValue (instance, 32), 0.0f);
}

// A readout clicked in the embedded editor takes typed text from the keyboard: a value it
// reads is one framed change for the host, text it cannot read changes nothing.
TEST_F (Lv2Ui, AValueTypedIntoAReadoutReachesTheHostAsOneGesture)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);
    const float before = processorValue (instance, 27);

    click (inputReadoutX, inputReadoutY);
    typeKeys ({ XK_x, XK_Return });
    idleFor (ui, 300);
    EXPECT_TRUE (ui.host->calls.empty()) << "unreadable text changes nothing";
    EXPECT_EQ (processorValue (instance, 27), before);

    click (inputReadoutX, inputReadoutY);
    typeKeys ({ XK_minus, XK_6, XK_Return }); // -6 dB: a quarter of the control is unity gain
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->hasCall (Call::release, mainInGainPort); }));
    const auto typed = processorValue (instance, 27);
    EXPECT_NEAR (typed, std::pow (10.0, -6.0 / 20.0) / 4.0, 1.0e-7);
    EXPECT_EQ (ui.host->calls, oneGesture (mainInGainPort, typed));
}

// A control clicked in the embedded editor has the keyboard: an arrow key is one step,
// framed for the host.
TEST_F (Lv2Ui, AnArrowKeyStepsTheClickedControlAsOneGesture)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);

    click (inputGainSliderX, inputGainSliderY);
    idleFor (ui, 300);
    ui.host->calls.clear();
    const float before = processorValue (instance, 27);

    typeKeys ({ XK_Right });
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->hasCall (Call::release, mainInGainPort); }));
    const auto after = processorValue (instance, 27);
    EXPECT_GT (after, before);
    EXPECT_LT (after, before + 0.05f) << "one step, not a jump";
    EXPECT_EQ (ui.host->calls, oneGesture (mainInGainPort, after));
}

// Shift held on the keyboard during a real drag moves the control a tenth as far.
TEST_F (Lv2Ui, ShiftHeldMakesADragFine)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);

    const auto dragBy = [&] (bool shift)
    {
        const float before = processorValue (instance, 27);
        const auto shiftKey = XKeysymToKeycode (display, XK_Shift_L);
        if (shift)
            XTestFakeKeyEvent (display, shiftKey, True, CurrentTime);
        dragInputGain (4, 10);
        button (false);
        if (shift)
            XTestFakeKeyEvent (display, shiftKey, False, CurrentTime);
        XSync (display, False);
        idleFor (ui, 200);
        return processorValue (instance, 27) - before;
    };
    const float coarse = dragBy (false);
    const float fine = dragBy (true);
    ASSERT_GT (coarse, 0.0f);
    EXPECT_NEAR (fine, coarse / 10.0f, coarse / 40.0f);
}

TEST_F (Lv2Ui, WithoutTouchAGestureIsOnlyWrites)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    Offer offer;
    offer.touch = false;
    auto& ui = openUi (instance, newParent(), offer);
    ASSERT_NE (ui.handle, nullptr);

    click (powerButtonX, powerButtonY);
    ASSERT_TRUE (idleUntil (ui, [&] { return ! ui.host->calls.empty(); }));
    idleFor (ui, 300); // anything more would arrive now
    const std::vector<Call> expected { { Call::write, mainOnOffPort, 0.0f } };
    EXPECT_EQ (ui.host->calls, expected);
}

TEST_F (Lv2Ui, ADragIsOneGestureEndingOnItsLastValue)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);

    dragInputGain (5, 8);
    button (false);
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->hasCall (Call::release, mainInGainPort); }));

    const auto calls = ui.host->calls;
    ASSERT_GE (calls.size(), 3u);
    EXPECT_EQ (calls.front(), (Call { Call::grab, mainInGainPort, 0.0f }));
    EXPECT_EQ (calls.back(), (Call { Call::release, mainInGainPort, 0.0f }));
    const auto written = ui.host->writtenTo (mainInGainPort);
    ASSERT_EQ (written.size(), calls.size() - 2) << "nothing but writes inside the gesture, all to its port";
    for (size_t i = 1; i < written.size(); ++i)
        EXPECT_GT (written[i], written[i - 1]) << "a drag to the right raises the value";
    EXPECT_GT (written.front(), 0.25f);
    EXPECT_EQ (processorValue (instance, 27), written.back());
}

TEST_F (Lv2Ui, AGestureLongerThanTheQueueStillEndsOnItsLastValue)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);

    // Far more changes than the queue holds before the host's next idle call.
    pointerTo (inputGainSliderX, inputGainSliderY);
    button (true);
    for (int i = 0; i < 1500; ++i)
        XTestFakeMotionEvent (display, -1, inputGainSliderX + 1 + i % 2, inputGainSliderY, CurrentTime);
    pointerTo (inputGainSliderX + 40, inputGainSliderY);
    button (false);
    pause (500);
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->hasCall (Call::release, mainInGainPort); }));
    idleFor (ui, 100);

    // One gesture, ending with the last value; no other port hears anything.
    const auto calls = ui.host->callsFor (mainInGainPort);
    EXPECT_EQ (calls.size(), ui.host->calls.size());
    EXPECT_LT (calls.size(), 1500u) << "the queue never overflowed: this test tests nothing";
    ASSERT_GE (calls.size(), 3u);
    EXPECT_EQ (calls.front(), (Call { Call::grab, mainInGainPort, 0.0f }));
    EXPECT_EQ (calls.back(), (Call { Call::release, mainInGainPort, 0.0f }));
    const auto last = processorValue (instance, 27);
    EXPECT_GT (last, 0.3f);
    EXPECT_EQ (calls[calls.size() - 2], (Call { Call::write, mainInGainPort, last }));
    for (size_t i = 1; i + 1 < calls.size(); ++i)
        EXPECT_EQ (calls[i].kind, Call::write) << "call " << i;
}

TEST_F (Lv2Ui, HostValuesReachTheProcessorAndTheEditor)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);

    portEvent (ui, mainInGainPort, 0.8f);
    EXPECT_EQ (processorValue (instance, 27), 0.8f);
    EXPECT_TRUE (ui.host->calls.empty()) << "a host value is not sent back";

    // The editor shows it: a drag now starts from 0.8.
    pause (100);
    dragInputGain (2, 5);
    button (false);
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->hasCall (Call::release, mainInGainPort); }));
    const auto written = ui.host->writtenTo (mainInGainPort);
    ASSERT_FALSE (written.empty());
    EXPECT_GT (written.front(), 0.8f);
    EXPECT_LT (written.front(), 0.9f);
}

TEST_F (Lv2Ui, EchoesOfOlderValuesNeverMoveTheValueBack)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);

    // Mid-drag: the host echoes the value before the drag and an early write.
    dragInputGain (4, 8);
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->writtenTo (mainInGainPort).size() >= 2; }));
    idleFor (ui, 200); // the moves' last values arrive
    auto written = ui.host->writtenTo (mainInGainPort);
    portEvent (ui, mainInGainPort, 0.25f);
    portEvent (ui, mainInGainPort, written.front());
    EXPECT_EQ (processorValue (instance, 27), written.back());

    button (false);
    ASSERT_TRUE (idleUntil (ui, [&] { return ui.host->hasCall (Call::release, mainInGainPort); }));
    written = ui.host->writtenTo (mainInGainPort);
    ASSERT_GE (written.size(), 2u);
    const auto last = written.back();
    EXPECT_EQ (processorValue (instance, 27), last);

    // After the release, late echoes of every write, the last one included.
    for (const auto value : written)
    {
        portEvent (ui, mainInGainPort, value);
        EXPECT_EQ (processorValue (instance, 27), last) << "echo of " << value;
    }

    // A value the editor never wrote is the host's own, and after it the host owns
    // every value again.
    portEvent (ui, mainInGainPort, 0.9f);
    EXPECT_EQ (processorValue (instance, 27), 0.9f);
    portEvent (ui, mainInGainPort, written.front());
    EXPECT_EQ (processorValue (instance, 27), written.front());
}

TEST_F (Lv2Ui, UnusableHostValuesChangeNothing)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);
    const auto before = processorValues (instance);
    ASSERT_EQ (before.size(), 35u);

    struct Case { const char* what; uint32_t port, size, format; float value; };
    const auto meter = meterPort();
    ASSERT_NE (meter, noPort);
    for (const auto& c : { Case { "meter port", meter, 4, 0, 0.7f }, Case { "audio port", 0, 4, 0, 0.7f },
                           Case { "no such port", 100000, 4, 0, 0.7f }, Case { "double size", mainInGainPort, 8, 0, 0.7f },
                           Case { "empty", mainInGainPort, 0, 0, 0.7f }, Case { "atom format", mainInGainPort, 4, 7, 0.7f },
                           Case { "NaN", mainInGainPort, 4, 0, std::nanf ("") },
                           Case { "infinity", mainInGainPort, 4, 0, std::numeric_limits<float>::infinity() } })
    {
        double buffer[2] { 0.0, 0.0 }; // room for the oversized case
        std::memcpy (buffer, &c.value, sizeof (float));
        descriptor->port_event (ui.handle, c.port, c.size, c.format, buffer);
        EXPECT_EQ (processorValues (instance), before) << c.what;
    }
    descriptor->port_event (ui.handle, mainInGainPort, 4, 0, nullptr);
    EXPECT_EQ (processorValues (instance), before);

    // Out of range is limited to the range.
    portEvent (ui, mainInGainPort, 7.0f);
    EXPECT_EQ (processorValue (instance, 27), 1.0f);
    portEvent (ui, mainInGainPort, -3.0f);
    EXPECT_EQ (processorValue (instance, 27), 0.0f);
    EXPECT_TRUE (ui.host->calls.empty());
}

TEST_F (Lv2Ui, ClosingMidDragEndsTheGestureWithItsLastValue)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);

    dragInputGain (3, 8);
    ASSERT_TRUE (idleUntil (ui, [&] { return ! ui.host->writtenTo (mainInGainPort).empty(); }));
    closeUi (ui);
    button (false);

    const auto& calls = ui.host->calls;
    ASSERT_GE (calls.size(), 3u);
    EXPECT_EQ (calls.back(), (Call { Call::release, mainInGainPort, 0.0f }));
    EXPECT_EQ (ui.host->writtenTo (mainInGainPort).back(), processorValue (instance, 27));

    // The next editor takes the next click as a click.
    auto& next = openUi (instance, newParent());
    ASSERT_NE (next.handle, nullptr);
    click (powerButtonX, powerButtonY);
    EXPECT_TRUE (idleUntil (next, [&] { return next.host->hasCall (Call::release, mainOnOffPort); }));
}

// LV2 wants a UI closed before its plug-in instance is freed; a host that frees the
// instance first gets the editor closed, the drag in progress ended, and a UI that asks
// to be closed and touches nothing of the freed instance.
TEST_F (Lv2Ui, FreeingThePluginFirstClosesItsEditor)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    const auto parent = newParent();
    auto& ui = openUi (instance, parent);
    ASSERT_NE (ui.handle, nullptr);

    dragInputGain (3, 8);
    ASSERT_TRUE (idleUntil (ui, [&] { return ! ui.host->writtenTo (mainInGainPort).empty(); }));
    lilv_instance_free (instance);
    instances.erase (std::find (instances.begin(), instances.end(), instance));
    button (false);

    EXPECT_EQ (childWindows (parent), 0u);
    EXPECT_EQ (idle (ui), 1) << "the UI asks the host to close it";
    EXPECT_EQ (ui.host->calls.back(), (Call { Call::release, mainInGainPort, 0.0f }));
    const auto heard = ui.host->calls.size();
    portEvent (ui, mainInGainPort, 0.5f);
    EXPECT_EQ (idle (ui), 1);
    EXPECT_EQ (ui.host->calls.size(), heard);
    closeUi (ui);

    // The plug-in's next instance opens its editor as usual.
    auto* next = newInstance();
    ASSERT_NE (next, nullptr);
    auto& nextUi = openUi (next, newParent());
    ASSERT_NE (nextUi.handle, nullptr);
    click (powerButtonX, powerButtonY);
    EXPECT_TRUE (idleUntil (nextUi, [&] { return nextUi.host->hasCall (Call::release, mainOnOffPort); }));
}

TEST_F (Lv2Ui, OpensAndClosesFiftyTimes)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    const auto parent = newParent();
    for (int i = 0; i < 50; ++i)
    {
        auto& ui = openUi (instance, parent);
        ASSERT_NE (ui.handle, nullptr) << "opening " << i;
        ASSERT_EQ (childWindows (parent), 1u) << "opening " << i;
        portEvent (ui, mainInGainPort, (float) i / 50.0f);
        EXPECT_EQ (idle (ui), 0);
        closeUi (ui);
        ASSERT_EQ (childWindows (parent), 0u) << "closing " << i;
    }
    EXPECT_EQ (processorValue (instance, 27), 49.0f / 50.0f);
}

TEST_F (Lv2Ui, TwoInstancesEachHearOnlyTheirOwnEditor)
{
    auto* first = newInstance();
    auto* second = newInstance();
    ASSERT_NE (first, nullptr);
    ASSERT_NE (second, nullptr);
    const auto firstParent = newParent();
    auto& firstUi = openUi (first, firstParent);
    // The second window lies below the first one's editor, out of the clicks' way.
    const auto secondParent = newParent();
    XMoveWindow (display, secondParent, 0, 800);
    XSync (display, False);
    auto& secondUi = openUi (second, secondParent);
    ASSERT_NE (firstUi.handle, nullptr);
    ASSERT_NE (secondUi.handle, nullptr);

    portEvent (secondUi, mainInGainPort, 0.6f);
    click (powerButtonX, powerButtonY);
    ASSERT_TRUE (idleUntil (firstUi, [&] { return firstUi.host->hasCall (Call::release, mainOnOffPort); }));
    idle (secondUi);
    EXPECT_TRUE (secondUi.host->calls.empty());
    EXPECT_EQ (processorValue (first, 32), 0.0f);
    EXPECT_EQ (processorValue (second, 32), 1.0f);
    EXPECT_EQ (processorValue (first, 27), 0.25f);
    EXPECT_EQ (processorValue (second, 27), 0.6f);

    closeUi (firstUi);
    EXPECT_EQ (idle (secondUi), 0);
    closeUi (secondUi);
}

// Control ports belong to the host, which keeps its values when a restore or a preset's
// program gives the plug-in others: the open UI tells it the plug-in's.
TEST_F (Lv2Ui, TheHostLearnsValuesThatARestoreReplaced)
{
    auto* instance = newInstance();
    ASSERT_NE (instance, nullptr);
    auto ports = processorValues (instance);
    ASSERT_EQ (ports.size(), 35u);
    const float defaultInputGain = ports[27];
    ports[27] = 0.8f;
    connectParameterPorts (instance, ports);
    ASSERT_EQ (processorValue (instance, 27), 0.8f);
    auto saved = saveState (instance);

    // The session reopens with its ports at other values (an earlier build had no
    // ports; a preset sets them to its program's first values).
    ports[27] = defaultInputGain;
    lilv_instance_run (instance, 64);
    restoreState (instance, saved);
    lilv_instance_run (instance, 64);
    EXPECT_EQ (processorValue (instance, 27), 0.8f) << "ports the host did not change leave the restore alone";

    auto& ui = openUi (instance, newParent());
    ASSERT_NE (ui.handle, nullptr);
    for (uint32_t i = 0; i < 35; ++i)
        portEvent (ui, firstParameterPort + i, ports[i]);
    EXPECT_EQ (processorValue (instance, 27), 0.8f) << "the host's stale value must not undo the restore";
    EXPECT_EQ (ui.host->calls, (std::vector<Call> { { Call::write, firstParameterPort + 27, 0.8f } }));

    // While open: a restore on another thread replaces values; the next idle sends those
    // the host does not hold, without touching.
    ui.host->calls.clear();
    portEvent (ui, firstParameterPort + 27, 0.8f); // the host's echo
    ports[27] = 0.8f;
    ports[5] = 0.3f;
    lilv_instance_run (instance, 64);
    portEvent (ui, firstParameterPort + 5, 0.3f); // seen by the plug-in already: no news
    ASSERT_TRUE (ui.host->calls.empty());
    std::thread ([&] { restoreState (instance, saved); }).join();
    EXPECT_TRUE (idleUntil (ui, [&] { return ! ui.host->calls.empty(); }));
    idleFor (ui, 50);
    EXPECT_EQ (ui.host->calls, (std::vector<Call> { { Call::write, firstParameterPort + 5, processorValue (instance, 5) } }));
}
