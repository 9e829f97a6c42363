// The plug-in's LV2 UI: the editor embedded into the host's X11 window (ui:X11UI), in
// the plug-in's own shared object. It reaches the processor through instance-access,
// so a host must offer that and ui:parent; ui:touch, ui:resize, urid:map, log:log and
// ui:scaleFactor (through opts:options) are used when offered.

#include "formats/lv2/Lv2Instance.h"
#include "formats/lv2/Lv2UiInstance.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#ifndef DUNSKARA_LV2_URI
 #error "DUNSKARA_LV2_URI must name the plug-in's URI"
#endif

namespace dunskara::lv2
{
namespace
{
    constexpr const char* uiUri = DUNSKARA_LV2_URI ":UI";
    constexpr double minScale = 0.25, maxScale = 8.0;

    const LV2_Feature* feature (const LV2_Feature* const* features, const char* uri) noexcept
    {
        if (features != nullptr)
            for (auto* const* f = features; *f != nullptr; ++f)
                if ((*f)->URI != nullptr && std::strcmp ((*f)->URI, uri) == 0)
                    return *f;
        return nullptr;
    }

    template <typename T>
    const T* featureData (const LV2_Feature* const* features, const char* uri) noexcept
    {
        const auto* f = feature (features, uri);
        return f != nullptr ? static_cast<const T*> (f->data) : nullptr;
    }

    LV2_URID mapUri (const LV2_URID_Map* map, const char* uri) noexcept
    {
        return map != nullptr && map->map != nullptr ? map->map (map->handle, uri) : 0;
    }

    // Tells the host why no UI was made, when it offers a log.
    void logError (const LV2_Feature* const* features, const char* what) noexcept
    {
        const auto* log = featureData<LV2_Log_Log> (features, LV2_LOG__log);
        const auto type = mapUri (featureData<LV2_URID_Map> (features, LV2_URID__map), LV2_LOG__Error);
        if (log != nullptr && log->printf != nullptr && type != 0)
            log->printf (log->handle, type, "DUNSKARA UI: %s\n", what);
    }

    // The host's ui:scaleFactor, or 1 when it gives none that is usable.
    double scaleFactor (const LV2_Feature* const* features) noexcept
    {
        const auto* map = featureData<LV2_URID_Map> (features, LV2_URID__map);
        const auto* option = featureData<LV2_Options_Option> (features, LV2_OPTIONS__options);
        const auto key = mapUri (map, LV2_UI__scaleFactor), floatType = mapUri (map, LV2_ATOM__Float);
        if (option == nullptr || key == 0)
            return 1.0;

        for (; option->key != 0 || option->value != nullptr; ++option)
            if (option->key == key && option->type == floatType && option->size == sizeof (float) && option->value != nullptr)
            {
                float scale = 1.0f;
                std::memcpy (&scale, option->value, sizeof (scale));
                return std::isfinite (scale) && scale >= minScale && scale <= maxScale ? (double) scale : 1.0;
            }
        return 1.0;
    }

    UiInstance* uiOf (LV2UI_Handle handle) noexcept { return static_cast<UiInstance*> (handle); }

    LV2UI_Handle instantiate (const LV2UI_Descriptor*, const char* pluginUri, const char*,
                              LV2UI_Write_Function write, LV2UI_Controller controller,
                              LV2UI_Widget* widget, const LV2_Feature* const* features)
    {
        const auto fail = [features] (const char* why) -> LV2UI_Handle
        {
            logError (features, why);
            return nullptr;
        };

        if (pluginUri == nullptr || std::strcmp (pluginUri, DUNSKARA_LV2_URI) != 0)
            return fail ("asked to control another plug-in");
        if (widget == nullptr)
            return fail ("no place for the widget");

        // The parent window's X11 id is the feature's data itself.
        const auto* parent = feature (features, LV2_UI__parent);
        if (parent == nullptr || parent->data == nullptr)
            return fail ("the host offers no parent window (ui:parent)");

        const auto* access = feature (features, LV2_INSTANCE_ACCESS_URI);
        auto* instance = access != nullptr ? Instance::from (access->data) : nullptr;
        if (instance == nullptr || instance->processor == nullptr)
            return fail ("the host offers no access to the plug-in instance (instance-access)");

        UiHost host;
        host.write = write;
        host.controller = controller;
        host.touch = featureData<LV2UI_Touch> (features, LV2_UI__touch);
        host.resize = featureData<LV2UI_Resize> (features, LV2_UI__resize);

        try
        {
            auto ui = std::make_unique<UiInstance> (*instance, host, reinterpret_cast<unsigned long> (parent->data),
                                                    scaleFactor (features));
            if (! ui->isOpen())
                return fail (ui->failure());
            *widget = ui->widget();
            return ui.release();
        }
        catch (...) // out of memory: nothing may cross into the host
        {
            return fail ("the editor could not be opened");
        }
    }

    void cleanup (LV2UI_Handle handle)
    {
        delete uiOf (handle);
    }

    void portEvent (LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        if (auto* ui = uiOf (handle))
            ui->portEvent (port, size, format, buffer);
    }

    int idle (LV2UI_Handle handle)
    {
        auto* ui = uiOf (handle);
        return ui != nullptr ? ui->idle() : 1;
    }

    // The editor has one size (times the scale): a host's request for any other is refused.
    int resizeRequest (LV2UI_Feature_Handle handle, int width, int height)
    {
        const auto* ui = uiOf (handle);
        return ui != nullptr && width == ui->getWidth() && height == ui->getHeight() ? 0 : 1;
    }

    const LV2UI_Idle_Interface idleInterface { idle };
    const LV2UI_Resize resizeInterface { nullptr, resizeRequest };

    const void* extensionData (const char* uri)
    {
        if (uri == nullptr)
            return nullptr;
        if (std::strcmp (uri, LV2_UI__idleInterface) == 0)
            return &idleInterface;
        if (std::strcmp (uri, LV2_UI__resize) == 0)
            return &resizeInterface;
        return nullptr;
    }

    const LV2UI_Descriptor uiDescriptor { uiUri, instantiate, cleanup, portEvent, extensionData };
} // namespace
} // namespace dunskara::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    return index == 0 ? &dunskara::lv2::uiDescriptor : nullptr;
}
