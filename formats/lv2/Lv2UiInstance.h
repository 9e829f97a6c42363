#pragma once

#include "formats/common/EditorEventQueue.h"
#include "formats/common/JuceRuntime.h"
#include "formats/lv2/Lv2UiEchoGuard.h"
#include "plugin/ParameterTable.h"

#include <lv2/ui/ui.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class VarnocAudioProcessor;

namespace dunskara::format { class EditorWindow; }

namespace dunskara::lv2
{
struct Instance;

// What the host offers the UI. touch and resize may be null.
struct UiHost
{
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
    const LV2UI_Resize* resize = nullptr;
};

// The editor of one plug-in instance, embedded into the host's X11 window.
//
// Threads: the host calls everything here on its UI thread; the editor lives on JUCE's
// message thread (JuceRuntime) and the UI thread waits while it is made and deleted
// there. The editor's gestures and values arrive on the message thread through the
// processor's listener calls, travel through a lock-free queue, and go to the host in
// idle(), as LV2 wants UI functions called on the UI thread only.
class UiInstance final : private juce::AudioProcessorListener
{
public:
    // Opens the editor of the instance's processor; check isOpen(), and failure() for why not.
    UiInstance (Instance& instanceToShow, const UiHost& hostToUse, unsigned long parentWindow, double scale);
    // Deletes the editor and hands the host what it has not heard yet (a drag cut short
    // by closing still ends with its last value and its release).
    ~UiInstance() override;

    bool isOpen() const noexcept { return window != nullptr; }
    const char* failure() const noexcept { return failureText; }

    // The X11 window the editor draws in, and its size in pixels.
    LV2UI_Widget widget() const noexcept { return nativeWindow; }
    int getWidth() const noexcept { return width; }
    int getHeight() const noexcept { return height; }

    // A port's value from the host: for a parameter's port, the processor takes it and
    // the editor shows it at its next look; echoes of our own writes are left alone. A
    // value the plug-in has already seen on its port is older than the processor's own
    // (a restore or a program change passed it by): the host is told the processor's.
    void portEvent (std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) noexcept;

    // The host's idle call: hands over the editor's gestures and values, and after a
    // program change or a restore every value the host does not hold yet. 0: still open;
    // 1 once the plug-in instance is gone, asking the host to close the UI.
    int idle() noexcept;

    // The host is freeing the plug-in instance while this UI is open (LV2 wants the UI
    // closed first; not every host does so). Closes the editor, which ends any gesture
    // still open; from now on nothing here touches the instance. Host main thread.
    void pluginGone();

private:
    void closeEditor();
    void deliverEditorEvents() noexcept;
    void resendDropped (std::uint64_t parameters, EchoGuard::Clock::time_point now) noexcept;
    void setTouch (int index, bool grabbed, EchoGuard::Clock::time_point now) noexcept;
    void writeValue (int index, float value, EchoGuard::Clock::time_point now) noexcept;
    void sendReplacedValues (EchoGuard::Clock::time_point now) noexcept;

    // JUCE's listener calls, on the message thread.
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;
    // A program change or a restore, on any thread: the editor polls for it, the host
    // hears the values at the next idle.
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override;
    void queueEditorEvent (format::EditorEventQueue::Kind kind, int index, double value);

    Instance& instance;
    VarnocAudioProcessor& processor; // the instance's
    // Cleared when the instance goes before this UI (pluginGone).
    std::atomic<bool> pluginAlive { true };
    const UiHost host;
    juce::SharedResourcePointer<format::JuceRuntime> runtime;

    std::unique_ptr<format::EditorWindow> window; // made and deleted on the message thread
    LV2UI_Widget nativeWindow = nullptr;
    int width = 0, height = 0;
    const char* failureText = nullptr;

    format::EditorEventQueue editorEvents;
    // Per parameter: events queued and not yet delivered (host values wait until the
    // host has heard the editor's), and whether the editor holds a gesture on it.
    std::array<std::atomic<std::uint32_t>, params::numParameters> undelivered {};
    std::array<std::atomic<bool>, params::numParameters> editorGrabbed {};
    static_assert (params::numParameters <= 64, "one bit per parameter");
    std::atomic<std::uint64_t> droppedParameters { 0 }; // bit i: an event of parameter i found the queue full

    std::atomic<bool> valuesReplaced { false };

    // UI thread: the value the host holds on each parameter's port, as far as we know
    // (NaN: not known), from its port events and our writes.
    std::array<float, params::numParameters> hostValues;
    EchoGuard echoes;

    JUCE_DECLARE_NON_COPYABLE (UiInstance)
};
} // namespace dunskara::lv2
