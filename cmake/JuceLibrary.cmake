# JUCE's modules are compiled once into static libraries that every target links,
# instead of once per target.

pkg_check_modules(DUNSKARA_SYSLIBS REQUIRED IMPORTED_TARGET
  zlib libpng libjpeg flac freetype2 alsa)

set(DUNSKARA_JUCE_MODULES
  juce::juce_core juce::juce_events juce::juce_data_structures
  juce::juce_graphics juce::juce_gui_basics juce::juce_gui_extra
  juce::juce_audio_basics juce::juce_audio_devices juce::juce_audio_formats
  juce::juce_audio_processors juce::juce_audio_utils)

set(DUNSKARA_JUCE_DEFINITIONS
  JUCE_DISPLAY_SPLASH_SCREEN=0
  JUCE_REPORT_APP_USAGE=0
  JUCE_WEB_BROWSER=0
  JUCE_USE_CURL=0
  JUCE_VST3_CAN_REPLACE_VST2=0
  JUCE_USE_FLAC=1
  JUCE_USE_OGGVORBIS=0
  JUCE_USE_MP3AUDIOFORMAT=0
  JUCE_USE_LAME_AUDIO_FORMAT=0
  JUCE_USE_WINDOWS_MEDIA_FORMAT=0
  JUCE_JACK=0
  JUCE_STRICT_REFCOUNTEDPOINTER=1
  JUCE_MODAL_LOOPS_PERMITTED=1)

# name: target to create; further arguments: extra compile definitions
function(dunskara_add_juce_library name)
  add_library(${name} STATIC)
  target_link_libraries(${name}
    PRIVATE ${DUNSKARA_JUCE_MODULES}
    PUBLIC juce::juce_recommended_config_flags PkgConfig::DUNSKARA_SYSLIBS)
  target_compile_definitions(${name}
    PUBLIC ${DUNSKARA_JUCE_DEFINITIONS} ${ARGN}
    INTERFACE $<TARGET_PROPERTY:${name},COMPILE_DEFINITIONS>)
  target_include_directories(${name}
    INTERFACE $<TARGET_PROPERTY:${name},INCLUDE_DIRECTORIES>)
  set_target_properties(${name} PROPERTIES
    POSITION_INDEPENDENT_CODE TRUE
    VISIBILITY_INLINES_HIDDEN TRUE
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden)
endfunction()

dunskara_add_juce_library(dunskara_juce)
