// The declarations' layouts against the sizes, alignments and offsets of the
// interface on x86_64 Linux: a mistake here would pass every test of our own host,
// which shares the declarations, and still break real hosts.

#include "formats/clap/ClapExtensions.h"

#define CHECK_SIZE(type, size, align) \
    static_assert (sizeof (type) == (size) && alignof (type) == (align), #type)
#define CHECK_OFFSET(type, field, offset) static_assert (offsetof (type, field) == (offset), #type "." #field)

CHECK_SIZE (clap_version_t, 12, 4);
CHECK_SIZE (clap_plugin_entry_t, 40, 8);
CHECK_OFFSET (clap_plugin_entry_t, init, 16);
CHECK_OFFSET (clap_plugin_entry_t, get_factory, 32);
CHECK_SIZE (clap_plugin_factory_t, 24, 8);
CHECK_SIZE (clap_plugin_descriptor_t, 88, 8);
CHECK_OFFSET (clap_plugin_descriptor_t, id, 16);
CHECK_OFFSET (clap_plugin_descriptor_t, features, 80);
CHECK_SIZE (clap_plugin_t, 96, 8);
CHECK_OFFSET (clap_plugin_t, init, 16);
CHECK_OFFSET (clap_plugin_t, process, 72);
CHECK_OFFSET (clap_plugin_t, on_main_thread, 88);
CHECK_SIZE (clap_host_t, 88, 8);
CHECK_OFFSET (clap_host_t, host_data, 16);
CHECK_OFFSET (clap_host_t, get_extension, 56);
CHECK_OFFSET (clap_host_t, request_callback, 80);
CHECK_SIZE (clap_process_t, 64, 8);
CHECK_OFFSET (clap_process_t, transport, 16);
CHECK_OFFSET (clap_process_t, audio_inputs_count, 40);
CHECK_OFFSET (clap_process_t, out_events, 56);
CHECK_SIZE (clap_audio_buffer_t, 32, 8);
CHECK_OFFSET (clap_audio_buffer_t, latency, 20);
CHECK_SIZE (clap_event_header_t, 16, 4);
CHECK_SIZE (clap_event_param_value_t, 56, 8);
CHECK_OFFSET (clap_event_param_value_t, cookie, 24);
CHECK_OFFSET (clap_event_param_value_t, note_id, 32);
CHECK_OFFSET (clap_event_param_value_t, key, 40);
CHECK_OFFSET (clap_event_param_value_t, value, 48);
CHECK_SIZE (clap_event_param_mod_t, 56, 8);
CHECK_SIZE (clap_event_param_gesture_t, 20, 4);
CHECK_SIZE (clap_event_transport_t, 104, 8);
CHECK_OFFSET (clap_event_transport_t, bar_number, 96);
CHECK_SIZE (clap_event_note_t, 40, 8);
CHECK_SIZE (clap_event_midi_t, 24, 4);
CHECK_SIZE (clap_input_events_t, 24, 8);
CHECK_SIZE (clap_output_events_t, 16, 8);
CHECK_SIZE (clap_audio_port_info_t, 288, 8);
CHECK_OFFSET (clap_audio_port_info_t, flags, 260);
CHECK_OFFSET (clap_audio_port_info_t, port_type, 272);
CHECK_OFFSET (clap_audio_port_info_t, in_place_pair, 280);
CHECK_SIZE (clap_plugin_audio_ports_t, 16, 8);
CHECK_SIZE (clap_audio_ports_config_t, 304, 8);
CHECK_OFFSET (clap_audio_ports_config_t, has_main_input, 268);
CHECK_OFFSET (clap_audio_ports_config_t, main_input_port_type, 280);
CHECK_OFFSET (clap_audio_ports_config_t, main_output_channel_count, 292);
CHECK_SIZE (clap_plugin_audio_ports_config_t, 24, 8);
CHECK_SIZE (clap_plugin_audio_ports_config_info_t, 16, 8);
CHECK_SIZE (clap_note_port_info_t, 268, 4);
CHECK_SIZE (clap_plugin_note_ports_t, 16, 8);
CHECK_SIZE (clap_param_info_t, 1320, 8);
CHECK_OFFSET (clap_param_info_t, name, 16);
CHECK_OFFSET (clap_param_info_t, module, 272);
CHECK_OFFSET (clap_param_info_t, min_value, 1296);
CHECK_OFFSET (clap_param_info_t, default_value, 1312);
CHECK_SIZE (clap_plugin_params_t, 48, 8);
CHECK_SIZE (clap_host_params_t, 24, 8);
CHECK_SIZE (clap_istream_t, 16, 8);
CHECK_SIZE (clap_ostream_t, 16, 8);
CHECK_SIZE (clap_plugin_state_t, 16, 8);
CHECK_SIZE (clap_host_state_t, 8, 8);
CHECK_SIZE (clap_plugin_latency_t, 8, 8);
CHECK_SIZE (clap_window_t, 16, 8);
CHECK_SIZE (clap_gui_resize_hints_t, 12, 4);
CHECK_OFFSET (clap_gui_resize_hints_t, aspect_ratio_width, 4);
CHECK_SIZE (clap_plugin_gui_t, 120, 8);
CHECK_OFFSET (clap_plugin_gui_t, set_parent, 80);
CHECK_OFFSET (clap_plugin_gui_t, hide, 112);
CHECK_SIZE (clap_host_gui_t, 40, 8);
CHECK_SIZE (clap_host_log_t, 8, 8);
CHECK_SIZE (clap_host_thread_check_t, 16, 8);
