#pragma once

// Our declarations of the CLAP extensions this plug-in offers or asks its host for
// (see ClapCore.h). IDs are compared by content, never by address.

#include "formats/clap/ClapCore.h"

extern "C" {

#define CLAP_EXT_AUDIO_PORTS "clap.audio-ports"
#define CLAP_EXT_AUDIO_PORTS_CONFIG "clap.audio-ports-config"
#define CLAP_EXT_AUDIO_PORTS_CONFIG_INFO "clap.audio-ports-config-info/1"
#define CLAP_EXT_AUDIO_PORTS_CONFIG_INFO_COMPAT "clap.audio-ports-config-info/draft-0"
#define CLAP_EXT_NOTE_PORTS "clap.note-ports"
#define CLAP_EXT_PARAMS "clap.params"
#define CLAP_EXT_STATE "clap.state"
#define CLAP_EXT_LATENCY "clap.latency"
#define CLAP_EXT_TAIL "clap.tail"
#define CLAP_EXT_GUI "clap.gui"
#define CLAP_EXT_TIMER_SUPPORT "clap.timer-support"
#define CLAP_EXT_POSIX_FD_SUPPORT "clap.posix-fd-support"
#define CLAP_EXT_LOG "clap.log"
#define CLAP_EXT_THREAD_CHECK "clap.thread-check"
#define CLAP_EXT_RENDER "clap.render"

#define CLAP_PORT_MONO "mono"
#define CLAP_PORT_STEREO "stereo"
#define CLAP_WINDOW_API_X11 "x11"

//==============================================================================
// Audio ports

enum
{
    CLAP_AUDIO_PORT_IS_MAIN = 1 << 0,
    CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1 << 1,
    CLAP_AUDIO_PORT_PREFERS_64BITS = 1 << 2,
    CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1 << 3,
};

typedef struct clap_audio_port_info
{
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
} clap_audio_port_info_t;

typedef struct clap_plugin_audio_ports
{
    uint32_t (*count) (const clap_plugin_t* plugin, bool is_input);
    bool (*get) (const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_audio_port_info_t* info);
} clap_plugin_audio_ports_t;

typedef struct clap_host_audio_ports
{
    bool (*is_rescan_flag_supported) (const clap_host_t* host, uint32_t flag);
    void (*rescan) (const clap_host_t* host, uint32_t flags);
} clap_host_audio_ports_t;

typedef struct clap_audio_ports_config
{
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t input_port_count;
    uint32_t output_port_count;
    bool has_main_input;
    uint32_t main_input_channel_count;
    const char* main_input_port_type;
    bool has_main_output;
    uint32_t main_output_channel_count;
    const char* main_output_port_type;
} clap_audio_ports_config_t;

typedef struct clap_plugin_audio_ports_config
{
    uint32_t (*count) (const clap_plugin_t* plugin);
    bool (*get) (const clap_plugin_t* plugin, uint32_t index, clap_audio_ports_config_t* config);
    bool (*select) (const clap_plugin_t* plugin, clap_id config_id);
} clap_plugin_audio_ports_config_t;

typedef struct clap_host_audio_ports_config
{
    void (*rescan) (const clap_host_t* host);
} clap_host_audio_ports_config_t;

typedef struct clap_plugin_audio_ports_config_info
{
    clap_id (*current_config) (const clap_plugin_t* plugin);
    bool (*get) (const clap_plugin_t* plugin, clap_id config_id, uint32_t port_index, bool is_input, clap_audio_port_info_t* info);
} clap_plugin_audio_ports_config_info_t;

//==============================================================================
// Note ports (this plug-in has none)

typedef struct clap_note_port_info
{
    clap_id id;
    uint32_t supported_dialects;
    uint32_t preferred_dialect;
    char name[CLAP_NAME_SIZE];
} clap_note_port_info_t;

typedef struct clap_plugin_note_ports
{
    uint32_t (*count) (const clap_plugin_t* plugin, bool is_input);
    bool (*get) (const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_note_port_info_t* info);
} clap_plugin_note_ports_t;

//==============================================================================
// Parameters

enum
{
    CLAP_PARAM_IS_STEPPED = 1 << 0,
    CLAP_PARAM_IS_PERIODIC = 1 << 1,
    CLAP_PARAM_IS_HIDDEN = 1 << 2,
    CLAP_PARAM_IS_READONLY = 1 << 3,
    CLAP_PARAM_IS_BYPASS = 1 << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1 << 5,
    CLAP_PARAM_IS_MODULATABLE = 1 << 10,
    CLAP_PARAM_REQUIRES_PROCESS = 1 << 15,
    CLAP_PARAM_IS_ENUM = 1 << 16,
};

enum
{
    CLAP_PARAM_RESCAN_VALUES = 1 << 0,
    CLAP_PARAM_RESCAN_TEXT = 1 << 1,
    CLAP_PARAM_RESCAN_INFO = 1 << 2,
    CLAP_PARAM_RESCAN_ALL = 1 << 3,
};

typedef struct clap_param_info
{
    clap_id id;
    uint32_t flags;
    void* cookie;
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE];
    double min_value;
    double max_value;
    double default_value;
} clap_param_info_t;

typedef struct clap_plugin_params
{
    uint32_t (*count) (const clap_plugin_t* plugin);
    bool (*get_info) (const clap_plugin_t* plugin, uint32_t param_index, clap_param_info_t* param_info);
    bool (*get_value) (const clap_plugin_t* plugin, clap_id param_id, double* out_value);
    bool (*value_to_text) (const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer, uint32_t out_buffer_capacity);
    bool (*text_to_value) (const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text, double* out_value);
    void (*flush) (const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
} clap_plugin_params_t;

typedef struct clap_host_params
{
    void (*rescan) (const clap_host_t* host, uint32_t flags);
    void (*clear) (const clap_host_t* host, clap_id param_id, uint32_t flags);
    void (*request_flush) (const clap_host_t* host);
} clap_host_params_t;

//==============================================================================
// State

typedef struct clap_plugin_state
{
    bool (*save) (const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool (*load) (const clap_plugin_t* plugin, const clap_istream_t* stream);
} clap_plugin_state_t;

typedef struct clap_host_state
{
    void (*mark_dirty) (const clap_host_t* host);
} clap_host_state_t;

//==============================================================================
// Latency

typedef struct clap_plugin_latency
{
    uint32_t (*get) (const clap_plugin_t* plugin);
} clap_plugin_latency_t;

typedef struct clap_host_latency
{
    void (*changed) (const clap_host_t* host);
} clap_host_latency_t;

//==============================================================================
// GUI

typedef struct clap_window
{
    const char* api;
    union
    {
        void* cocoa;
        void* uikit;
        unsigned long x11;
        void* win32;
        void* ptr;
    };
} clap_window_t;

typedef struct clap_gui_resize_hints
{
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
} clap_gui_resize_hints_t;

typedef struct clap_plugin_gui
{
    bool (*is_api_supported) (const clap_plugin_t* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api) (const clap_plugin_t* plugin, const char** api, bool* is_floating);
    bool (*create) (const clap_plugin_t* plugin, const char* api, bool is_floating);
    void (*destroy) (const clap_plugin_t* plugin);
    bool (*set_scale) (const clap_plugin_t* plugin, double scale);
    bool (*get_size) (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool (*can_resize) (const clap_plugin_t* plugin);
    bool (*get_resize_hints) (const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    bool (*adjust_size) (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool (*set_size) (const clap_plugin_t* plugin, uint32_t width, uint32_t height);
    bool (*set_parent) (const clap_plugin_t* plugin, const clap_window_t* window);
    bool (*set_transient) (const clap_plugin_t* plugin, const clap_window_t* window);
    void (*suggest_title) (const clap_plugin_t* plugin, const char* title);
    bool (*show) (const clap_plugin_t* plugin);
    bool (*hide) (const clap_plugin_t* plugin);
} clap_plugin_gui_t;

typedef struct clap_host_gui
{
    void (*resize_hints_changed) (const clap_host_t* host);
    bool (*request_resize) (const clap_host_t* host, uint32_t width, uint32_t height);
    bool (*request_show) (const clap_host_t* host);
    bool (*request_hide) (const clap_host_t* host);
    void (*closed) (const clap_host_t* host, bool was_destroyed);
} clap_host_gui_t;

//==============================================================================
// Log and thread check (host side)

enum
{
    CLAP_LOG_DEBUG = 0,
    CLAP_LOG_INFO = 1,
    CLAP_LOG_WARNING = 2,
    CLAP_LOG_ERROR = 3,
    CLAP_LOG_FATAL = 4,
    CLAP_LOG_HOST_MISBEHAVING = 5,
    CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};

typedef struct clap_host_log
{
    void (*log) (const clap_host_t* host, int32_t severity, const char* msg);
} clap_host_log_t;

typedef struct clap_host_thread_check
{
    bool (*is_main_thread) (const clap_host_t* host);
    bool (*is_audio_thread) (const clap_host_t* host);
} clap_host_thread_check_t;

} // extern "C"
