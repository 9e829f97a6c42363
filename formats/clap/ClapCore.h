#pragma once

// Our declarations of the CLAP plug-in interface (version 1.2.10): the entry, the
// factory, the plug-in and host objects, processing, events and streams. Written from
// the project's fact sheet; layouts are checked in ClapLayoutCheck.cpp. Plain C
// layouts, usable from C++ hosts and plug-ins alike.

#include <cstddef>
#include <cstdint>

extern "C" {

#define DUNSKARA_CLAP_EXPORT __attribute__ ((visibility ("default")))

typedef uint32_t clap_id;
static const clap_id CLAP_INVALID_ID = UINT32_MAX;

enum { CLAP_NAME_SIZE = 256, CLAP_PATH_SIZE = 1024 };

typedef struct clap_version
{
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
} clap_version_t;

#define DUNSKARA_CLAP_VERSION_INIT { 1u, 2u, 10u }

// Any 1.x.y is compatible with any other; 0.x was the pre-release series.
static inline bool clap_version_is_compatible (clap_version_t v) { return v.major >= 1; }

typedef int64_t clap_beattime;
typedef int64_t clap_sectime;
static const int64_t CLAP_BEATTIME_FACTOR = 1ll << 31;
static const int64_t CLAP_SECTIME_FACTOR = 1ll << 31;

//==============================================================================
// Host

typedef struct clap_host
{
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension) (const struct clap_host* host, const char* extension_id);
    void (*request_restart) (const struct clap_host* host);
    void (*request_process) (const struct clap_host* host);
    void (*request_callback) (const struct clap_host* host);
} clap_host_t;

//==============================================================================
// Events

static const uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum
{
    CLAP_EVENT_IS_LIVE = 1 << 0,
    CLAP_EVENT_DONT_RECORD = 1 << 1,
};

enum
{
    CLAP_EVENT_NOTE_ON = 0,
    CLAP_EVENT_NOTE_OFF = 1,
    CLAP_EVENT_NOTE_CHOKE = 2,
    CLAP_EVENT_NOTE_END = 3,
    CLAP_EVENT_NOTE_EXPRESSION = 4,
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
    CLAP_EVENT_TRANSPORT = 9,
    CLAP_EVENT_MIDI = 10,
    CLAP_EVENT_MIDI_SYSEX = 11,
    CLAP_EVENT_MIDI2 = 12,
};

typedef struct clap_event_header
{
    uint32_t size; // of the whole event, header included
    uint32_t time; // sample offset in the block
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
} clap_event_header_t;

typedef struct clap_event_param_value
{
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
} clap_event_param_value_t;

typedef struct clap_event_param_mod
{
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double amount;
} clap_event_param_mod_t;

typedef struct clap_event_param_gesture
{
    clap_event_header_t header;
    clap_id param_id;
} clap_event_param_gesture_t;

typedef struct clap_event_transport
{
    clap_event_header_t header;
    uint32_t flags;
    clap_beattime song_pos_beats;
    clap_sectime song_pos_seconds;
    double tempo;
    double tempo_inc;
    clap_beattime loop_start_beats;
    clap_beattime loop_end_beats;
    clap_sectime loop_start_seconds;
    clap_sectime loop_end_seconds;
    clap_beattime bar_start;
    int32_t bar_number;
    uint16_t tsig_num;
    uint16_t tsig_denom;
} clap_event_transport_t;

typedef struct clap_event_note
{
    clap_event_header_t header;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double velocity;
} clap_event_note_t;

typedef struct clap_event_midi
{
    clap_event_header_t header;
    uint16_t port_index;
    uint8_t data[3];
} clap_event_midi_t;

typedef struct clap_input_events
{
    void* ctx;
    uint32_t (*size) (const struct clap_input_events* list);
    const clap_event_header_t* (*get) (const struct clap_input_events* list, uint32_t index);
} clap_input_events_t;

typedef struct clap_output_events
{
    void* ctx;
    bool (*try_push) (const struct clap_output_events* list, const clap_event_header_t* event);
} clap_output_events_t;

//==============================================================================
// Processing

typedef struct clap_audio_buffer
{
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;
} clap_audio_buffer_t;

typedef int32_t clap_process_status;
enum
{
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
    CLAP_PROCESS_TAIL = 3,
    CLAP_PROCESS_SLEEP = 4,
};

typedef struct clap_process
{
    int64_t steady_time;
    uint32_t frames_count;
    const clap_event_transport_t* transport;
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
} clap_process_t;

//==============================================================================
// Plug-in

typedef struct clap_plugin_descriptor
{
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features; // ends with a null pointer
} clap_plugin_descriptor_t;

typedef struct clap_plugin
{
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool (*init) (const struct clap_plugin* plugin);
    void (*destroy) (const struct clap_plugin* plugin);
    bool (*activate) (const struct clap_plugin* plugin, double sample_rate, uint32_t min_frames_count, uint32_t max_frames_count);
    void (*deactivate) (const struct clap_plugin* plugin);
    bool (*start_processing) (const struct clap_plugin* plugin);
    void (*stop_processing) (const struct clap_plugin* plugin);
    void (*reset) (const struct clap_plugin* plugin);
    clap_process_status (*process) (const struct clap_plugin* plugin, const clap_process_t* process);
    const void* (*get_extension) (const struct clap_plugin* plugin, const char* id);
    void (*on_main_thread) (const struct clap_plugin* plugin);
} clap_plugin_t;

//==============================================================================
// Factory and entry

#define CLAP_PLUGIN_FACTORY_ID "clap.plugin-factory"

typedef struct clap_plugin_factory
{
    uint32_t (*get_plugin_count) (const struct clap_plugin_factory* factory);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor) (const struct clap_plugin_factory* factory, uint32_t index);
    const clap_plugin_t* (*create_plugin) (const struct clap_plugin_factory* factory, const clap_host_t* host, const char* plugin_id);
} clap_plugin_factory_t;

typedef struct clap_plugin_entry
{
    clap_version_t clap_version;
    bool (*init) (const char* plugin_path);
    void (*deinit) (void);
    const void* (*get_factory) (const char* factory_id);
} clap_plugin_entry_t;

//==============================================================================
// Streams

typedef struct clap_istream
{
    void* ctx;
    int64_t (*read) (const struct clap_istream* stream, void* buffer, uint64_t size); // 0 = end, -1 = error
} clap_istream_t;

typedef struct clap_ostream
{
    void* ctx;
    int64_t (*write) (const struct clap_ostream* stream, const void* buffer, uint64_t size); // -1 = error
} clap_ostream_t;

} // extern "C"
