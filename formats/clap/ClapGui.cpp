// clap.gui: the editor embedded into the host's X11 window. The host calls on its main
// thread; every step that touches the editor runs on JUCE's message thread (see
// JuceRuntime) and the host thread waits for it. Only embedding is offered; the size is
// fixed, times the scale the host sets (2 gives the editor's 2x skin).

#include "formats/clap/ClapInstance.h"
#include "formats/common/EditorWindow.h"

#include <cmath>
#include <cstring>

namespace dunskara::clap
{
void destroyEditor (Instance& instance)
{
    JuceRuntime::callOnMessageThread ([&instance] { instance.window.reset(); });
    instance.guiCreated = false;
}

namespace
{
    constexpr double minScale = 0.25, maxScale = 8.0;

    bool isEmbeddedX11 (const char* api, bool isFloating)
    {
        return api != nullptr && std::strcmp (api, CLAP_WINDOW_API_X11) == 0 && ! isFloating;
    }

    Instance* mainThreadInstance (const clap_plugin_t* plugin, const char* function)
    {
        auto* instance = Instance::from (plugin);
        return instance != nullptr && instance->checkInitialised (function) && instance->checkMainThread (function)
                   ? instance : nullptr;
    }

    // The instance when its GUI exists, checked as above.
    Instance* guiInstance (const clap_plugin_t* plugin, const char* function)
    {
        auto* instance = mainThreadInstance (plugin, function);
        if (instance != nullptr && ! instance->guiCreated)
        {
            instance->log (CLAP_LOG_HOST_MISBEHAVING, (juce::String (function) + " called without a GUI").toRawUTF8());
            return nullptr;
        }
        return instance;
    }

    bool isApiSupported (const clap_plugin_t* plugin, const char* api, bool isFloating)
    {
        return mainThreadInstance (plugin, "gui.is_api_supported") != nullptr && isEmbeddedX11 (api, isFloating);
    }

    bool getPreferredApi (const clap_plugin_t* plugin, const char** api, bool* isFloating)
    {
        if (api == nullptr || isFloating == nullptr || mainThreadInstance (plugin, "gui.get_preferred_api") == nullptr)
            return false;
        *api = CLAP_WINDOW_API_X11;
        *isFloating = false;
        return true;
    }

    bool create (const clap_plugin_t* plugin, const char* api, bool isFloating)
    {
        auto* instance = mainThreadInstance (plugin, "gui.create");
        if (instance == nullptr || ! isEmbeddedX11 (api, isFloating))
            return false;
        if (instance->guiCreated)
        {
            instance->log (CLAP_LOG_HOST_MISBEHAVING, "gui.create called twice");
            return false;
        }
        JuceRuntime::callOnMessageThread ([instance]
        {
            auto window = std::make_unique<EditorWindow> (*instance->processor, instance->guiScale);
            if (window->hasEditor())
                instance->window = std::move (window);
        });
        instance->guiCreated = instance->window != nullptr;
        return instance->guiCreated;
    }

    void destroy (const clap_plugin_t* plugin)
    {
        if (auto* instance = guiInstance (plugin, "gui.destroy"))
            destroyEditor (*instance);
    }

    bool setScale (const clap_plugin_t* plugin, double scale)
    {
        auto* instance = mainThreadInstance (plugin, "gui.set_scale");
        if (instance == nullptr || ! std::isfinite (scale) || scale < minScale || scale > maxScale)
            return false;
        instance->guiScale = scale;
        if (instance->guiCreated)
            JuceRuntime::callOnMessageThread ([instance, scale] { instance->window->setScale (scale); });
        return true;
    }

    bool getSize (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
    {
        auto* instance = guiInstance (plugin, "gui.get_size");
        if (instance == nullptr || width == nullptr || height == nullptr)
            return false;
        JuceRuntime::callOnMessageThread ([instance, width, height]
        {
            *width = (uint32_t) instance->window->getWidth();
            *height = (uint32_t) instance->window->getHeight();
        });
        return true;
    }

    bool canResize (const clap_plugin_t* plugin)
    {
        mainThreadInstance (plugin, "gui.can_resize");
        return false;
    }

    bool getResizeHints (const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; }

    // Not resizable: the only usable size is the current one.
    bool adjustSize (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
    {
        return getSize (plugin, width, height);
    }

    bool setSize (const clap_plugin_t* plugin, uint32_t width, uint32_t height)
    {
        uint32_t w = 0, h = 0;
        return getSize (plugin, &w, &h) && w == width && h == height;
    }

    bool setParent (const clap_plugin_t* plugin, const clap_window_t* window)
    {
        auto* instance = guiInstance (plugin, "gui.set_parent");
        if (instance == nullptr || window == nullptr || window->api == nullptr
            || std::strcmp (window->api, CLAP_WINDOW_API_X11) != 0 || window->x11 == 0)
            return false;
        const auto parent = window->x11;
        bool attached = false;
        JuceRuntime::callOnMessageThread ([instance, parent, &attached]
        {
            auto& component = *instance->window;
            component.setVisible (false);
            component.addToDesktop (0, reinterpret_cast<void*> (parent));
            attached = component.isOnDesktop();
        });
        return attached;
    }

    bool setTransient (const clap_plugin_t*, const clap_window_t*) { return false; } // no floating window
    void suggestTitle (const clap_plugin_t*, const char*) {}

    bool setVisible (const clap_plugin_t* plugin, const char* function, bool visible)
    {
        auto* instance = guiInstance (plugin, function);
        if (instance == nullptr)
            return false;
        JuceRuntime::callOnMessageThread ([instance, visible] { instance->window->setVisible (visible); });
        return true;
    }

    bool show (const clap_plugin_t* plugin) { return setVisible (plugin, "gui.show", true); }
    bool hide (const clap_plugin_t* plugin) { return setVisible (plugin, "gui.hide", false); }
} // namespace

const clap_plugin_gui_t guiExtension {
    isApiSupported, getPreferredApi, create, destroy, setScale, getSize, canResize, getResizeHints,
    adjustSize, setSize, setParent, setTransient, suggestTitle, show, hide,
};
} // namespace dunskara::clap
