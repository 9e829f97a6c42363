# LV2 entry layer: the entry points (Lv2PortGuard.cpp) and their helpers stand between
# the host and JUCE's client: a usable block length, checked input events and state
# strings, restores under the callback lock, and the patch messages that keep a host's
# view of the parameters current. JUCE's own descriptor functions are renamed to sit
# behind ours.
set(DUNSKARA_LV2_LAYER_SOURCES
  lv2/Lv2AtomCheck.cpp lv2/Lv2HostFeatures.cpp lv2/Lv2ParameterMessages.cpp
  lv2/Lv2PortGuard.cpp lv2/Lv2StateString.cpp)
target_sources(DUNSKARA_LV2 PRIVATE ${DUNSKARA_LV2_LAYER_SOURCES})
set_source_files_properties(${DUNSKARA_LV2_LAYER_SOURCES} PROPERTIES COMPILE_OPTIONS "${DUNSKARA_WARNINGS}")
target_compile_definitions(DUNSKARA_LV2 PRIVATE
  lv2_descriptor=dunskara_juce_lv2_descriptor
  lv2ui_descriptor=dunskara_juce_lv2ui_descriptor)

# After JUCE has written the bundle's description: the switches' two points get names.
add_custom_command(TARGET DUNSKARA_LV2 POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DTTL=$<TARGET_FILE_DIR:DUNSKARA_LV2>/dsp.ttl
    -P ${CMAKE_CURRENT_SOURCE_DIR}/lv2/Lv2SwitchLabels.cmake
  VERBATIM)
