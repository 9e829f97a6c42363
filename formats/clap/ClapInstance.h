#pragma once

#include "formats/clap/ClapExtensions.h"
#include "formats/common/EditorEventQueue.h"
#include "formats/common/JuceRuntime.h"
#include "plugin/VarnocAudioProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace dunskara::format { class EditorWindow; }

namespace dunskara::clap
{
using format::EditorEventQueue;
using format::EditorWindow;
using format::JuceRuntime;

// The host's extensions that the plug-in uses, looked up once in init. Each may be null.
struct HostExtensions
{
    const clap_host_log_t* log = nullptr;
    const clap_host_thread_check_t* threadCheck = nullptr;
    const clap_host_params_t* params = nullptr;
};

// The two port layouts the processor supports; the ids are the audio-ports-config ids.
enum class PortLayout : clap_id { stereo = 0, monoToStereo = 1 };

// One CLAP plug-in instance around one processor. The host reaches it through `plugin`
// (plugin_data points here); each extension lives in a file of its own and works on
// the members below. Every entry point checks its thread and state rules first.
//
// Threads: the host's main thread calls lifecycle, parameter info, state and GUI
// functions; the audio thread calls process, start/stop_processing and reset (and flush
// while active). `active` and `processing` are written on those threads and read
// anywhere. JUCE objects with message thread affinity are made, used and deleted on
// JUCE's message thread (JuceRuntime).
class Instance final : private juce::AudioProcessorListener
{
public:
    explicit Instance (const clap_host_t* hostToUse);
    ~Instance() override;

    // The instance behind a pointer the host passes back, or null for a foreign one.
    static Instance* from (const clap_plugin_t* plugin) noexcept;

    const clap_plugin_t* getPlugin() const noexcept { return &plugin; }

    //==============================================================================
    // Thread rules. Each logs a host error and answers false when the rule is broken.
    bool checkMainThread (const char* function) const;
    bool checkInitialised (const char* function) const;
    void log (std::int32_t severity, const char* message) const;

    //==============================================================================
    // Parameters in both directions.
    // A host value for parameter `id`: applied when the id and value are usable (the
    // value limited to 0..1). Wait-free.
    bool applyHostValue (clap_id id, double value) noexcept;
    void applyInputEvent (const clap_event_header_t* header) noexcept;
    // Hands the editor's queued gestures and values to the host; what the host's list
    // does not take stays queued for the next call.
    void sendEditorEvents (const clap_output_events_t* out) noexcept;

    //==============================================================================
    const clap_host_t* const host;
    HostExtensions hostExtensions;
    clap_plugin_t plugin {};

    std::unique_ptr<juce::SharedResourcePointer<JuceRuntime>> runtime; // from init on
    std::unique_ptr<VarnocAudioProcessor> processor; // from init until destroy

    bool initialised = false;                   // main thread
    std::atomic<bool> active { false };
    std::atomic<bool> processing { false };
    PortLayout layout = PortLayout::stereo;      // main thread, only while inactive

    // Audio: the processor's two channels of the prepared length, and the length itself.
    std::vector<float> workBuffer;
    int preparedFrames = 0;
    juce::MidiBuffer noMidi;

    EditorEventQueue editorEvents;
    std::atomic<bool> editorEventsDropped { false }; // queue was full: resend every value
    std::atomic<bool> valuesChangedInside { false };  // program or state: host re-reads

    // GUI, main thread except `window`, which lives on JUCE's message thread.
    std::unique_ptr<EditorWindow> window;
    bool guiCreated = false;
    double guiScale = 1.0;

private:
    std::thread::id mainThread;

    // JUCE's listener calls: the editor's gestures and the processor's own changes.
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override;
    void queueEditorEvent (EditorEventQueue::Kind kind, int index, double value);

    friend bool initInstance (Instance&);
    JUCE_DECLARE_NON_COPYABLE (Instance)
};

// The lifecycle functions of clap_plugin_t (ClapLifecycle.cpp) and process (ClapProcess.cpp).
void fillPluginFunctions (clap_plugin_t& plugin);
clap_process_status process (const clap_plugin_t* plugin, const clap_process_t* process);

// Whether the calling thread is inside process() of some instance: such a thread must
// not call the host's main-thread-only functions.
bool insideProcess() noexcept;

// The extension tables, each in its own file.
extern const clap_plugin_params_t paramsExtension;
extern const clap_plugin_state_t stateExtension;
extern const clap_plugin_gui_t guiExtension;
extern const clap_plugin_audio_ports_t audioPortsExtension;
extern const clap_plugin_audio_ports_config_t audioPortsConfigExtension;
extern const clap_plugin_audio_ports_config_info_t audioPortsConfigInfoExtension;
extern const clap_plugin_note_ports_t notePortsExtension;
extern const clap_plugin_latency_t latencyExtension;

// Used by the GUI when an instance goes: deletes the editor on the message thread.
void destroyEditor (Instance& instance);
} // namespace dunskara::clap
