#include "formats/lv2/Lv2UiInstance.h"

#include "formats/common/EditorWindow.h"
#include "formats/lv2/Lv2Instance.h"
#include "plugin/VarnocAudioProcessor.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace dunskara::lv2
{
using format::EditorEventQueue;
using format::EditorWindow;
using format::JuceRuntime;

namespace
{
    constexpr std::uint64_t bit (int index) noexcept { return std::uint64_t { 1 } << index; }
}

UiInstance::UiInstance (Instance& instanceToShow, const UiHost& hostToUse, unsigned long parentWindow, double scale)
    : instance (instanceToShow), processor (*instanceToShow.processor), host (hostToUse)
{
    hostValues.fill (std::numeric_limits<float>::quiet_NaN());

    JuceRuntime::callOnMessageThread ([this, parentWindow, scale]
    {
        // The processor owns one editor at a time.
        if (processor.getActiveEditor() != nullptr)
        {
            failureText = "the plug-in's editor is already open";
            return;
        }
        auto editorWindow = std::make_unique<EditorWindow> (processor, scale);
        if (! editorWindow->hasEditor())
        {
            failureText = "the plug-in has no editor";
            return;
        }
        editorWindow->addToDesktop (0, reinterpret_cast<void*> (parentWindow));
        if (! editorWindow->isOnDesktop() || editorWindow->getWindowHandle() == nullptr)
        {
            failureText = "the editor could not be embedded into the host's window";
            return;
        }
        editorWindow->setVisible (true);
        nativeWindow = editorWindow->getWindowHandle();
        width = editorWindow->getWidth();
        height = editorWindow->getHeight();
        processor.addListener (this);
        window = std::move (editorWindow);
    });

    if (isOpen())
        instance.openUi = this;

    if (isOpen() && host.resize != nullptr && host.resize->ui_resize != nullptr)
        host.resize->ui_resize (host.resize->handle, width, height);
}

UiInstance::~UiInstance()
{
    if (pluginAlive)
    {
        auto* self = this;
        instance.openUi.compare_exchange_strong (self, nullptr);
        closeEditor();
    }

    deliverEditorEvents();
    for (int i = 0; i < params::numParameters; ++i)
        if (echoes.isGrabbed (i))
            setTouch (i, false, EchoGuard::Clock::now());
}

//==============================================================================
void UiInstance::portEvent (std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) noexcept
{
    const int index = parameterOfPort (port);
    if (! pluginAlive || index < 0 || format != 0 || size != sizeof (float) || buffer == nullptr)
        return;

    float portValue = 0.0f;
    std::memcpy (&portValue, buffer, sizeof (portValue));
    if (! std::isfinite (portValue))
        return;
    const float value = juce::jlimit (0.0f, 1.0f, portValue);
    hostValues[(std::size_t) index] = value;

    // While the host has not heard all the editor has said, whatever it sends is older.
    const auto now = EchoGuard::Clock::now();
    if (undelivered[(std::size_t) index].load() != 0 || (droppedParameters.load() & bit (index)) != 0
        || echoes.isEcho (index, value, now))
        return;

    // Seen by the plug-in already, so not news: a restored session or a preset whose
    // program holds other values than the host's controls. The host learns them.
    if (portValue == instance.seenValues[index].load (std::memory_order_relaxed))
    {
        if (const float current = processor.getParameter (index); current != value && ! echoes.isGrabbed (index))
            writeValue (index, current, now);
        return;
    }

    processor.setParameter (index, value);
}

int UiInstance::idle() noexcept
{
    deliverEditorEvents();
    if (! pluginAlive)
        return 1;
    if (valuesReplaced.exchange (false))
        sendReplacedValues (EchoGuard::Clock::now());
    return 0;
}

void UiInstance::pluginGone()
{
    closeEditor();
    pluginAlive = false;
}

void UiInstance::closeEditor()
{
    // The listener goes on the message thread, where the editor calls it: JUCE does not
    // wait for a listener call in progress when one is removed elsewhere.
    JuceRuntime::callOnMessageThread ([this]
    {
        window.reset(); // ends any gesture still open
        processor.removeListener (this);
    });
}

// Control ports belong to the host: after a program change or a restore it holds the old
// values until told, and would show them (and save them with its session).
void UiInstance::sendReplacedValues (EchoGuard::Clock::time_point now) noexcept
{
    for (int i = 0; i < params::numParameters; ++i)
    {
        if (undelivered[(std::size_t) i].load() != 0 || echoes.isGrabbed (i))
            continue;
        if (const float current = processor.getParameter (i); current != hostValues[(std::size_t) i])
            writeValue (i, current, now);
    }
}

//==============================================================================
void UiInstance::deliverEditorEvents() noexcept
{
    const auto now = EchoGuard::Clock::now();
    EditorEventQueue::Event event;
    while (editorEvents.peek (event))
    {
        editorEvents.pop();
        const auto index = (int) event.index;
        switch (event.kind)
        {
            case EditorEventQueue::Kind::gestureBegin: setTouch (index, true, now); break;
            case EditorEventQueue::Kind::value:        writeValue (index, (float) event.value, now); break;
            case EditorEventQueue::Kind::gestureEnd:   setTouch (index, false, now); break;
        }
        undelivered[event.index].fetch_sub (1);
    }

    if (const auto dropped = droppedParameters.exchange (0); dropped != 0 && pluginAlive)
        resendDropped (dropped, now);
}

// Events were lost on a full queue: the host gets those parameters' current values,
// with its touch state brought in line with the editor's gestures.
void UiInstance::resendDropped (std::uint64_t parameters, EchoGuard::Clock::time_point now) noexcept
{
    for (int i = 0; i < params::numParameters; ++i)
    {
        if ((parameters & bit (i)) == 0)
            continue;
        const bool grabbed = editorGrabbed[(std::size_t) i].load();
        if (grabbed && ! echoes.isGrabbed (i))
            setTouch (i, true, now);
        writeValue (i, processor.getParameter (i), now);
        if (! grabbed && echoes.isGrabbed (i))
            setTouch (i, false, now);
    }
}

void UiInstance::setTouch (int index, bool grabbed, EchoGuard::Clock::time_point now) noexcept
{
    if (! params::isValidIndex (index) || echoes.isGrabbed (index) == grabbed)
        return;
    echoes.touched (index, grabbed, now);
    if (host.touch != nullptr && host.touch->touch != nullptr)
        host.touch->touch (host.touch->handle, parameterPort (index), grabbed);
}

void UiInstance::writeValue (int index, float value, EchoGuard::Clock::time_point now) noexcept
{
    if (! params::isValidIndex (index) || host.write == nullptr)
        return;
    value = std::isfinite (value) ? juce::jlimit (0.0f, 1.0f, value) : params::defaultValue (index);
    host.write (host.controller, parameterPort (index), sizeof (float), 0, &value);
    hostValues[(std::size_t) index] = value;
    echoes.wrote (index, value, now);
}

//==============================================================================
void UiInstance::queueEditorEvent (EditorEventQueue::Kind kind, int index, double value)
{
    if (! params::isValidIndex (index))
        return;
    // Counted first, so that a host value never slips in between push and count.
    auto& count = undelivered[(std::size_t) index];
    count.fetch_add (1);
    if (! editorEvents.push ({ kind, (std::uint32_t) index, value }))
    {
        droppedParameters.fetch_or (bit (index));
        count.fetch_sub (1);
    }
}

void UiInstance::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value)
{
    queueEditorEvent (EditorEventQueue::Kind::value, index, value);
}

void UiInstance::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details)
{
    if (details.programChanged)
        valuesReplaced = true;
}

void UiInstance::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    if (params::isValidIndex (index))
        editorGrabbed[(std::size_t) index] = true;
    queueEditorEvent (EditorEventQueue::Kind::gestureBegin, index, 0.0);
}

void UiInstance::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    if (params::isValidIndex (index))
        editorGrabbed[(std::size_t) index] = false;
    queueEditorEvent (EditorEventQueue::Kind::gestureEnd, index, 0.0);
}
} // namespace dunskara::lv2
