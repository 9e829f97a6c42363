# Runs lv2info on the built bundle and fails when an audio port carries the
# lv2:connectionOptional property (hosts may then leave it unconnected).
# Arguments: LV2INFO, LV2_FOLDER, PLUGIN_URI, HOME_DIR.
set(ENV{LV2_PATH} "${LV2_FOLDER}")
set(ENV{HOME} "${HOME_DIR}")
execute_process(COMMAND "${LV2INFO}" "${PLUGIN_URI}"
  OUTPUT_VARIABLE report ERROR_VARIABLE errors RESULT_VARIABLE status)

if(NOT status EQUAL 0)
  message(FATAL_ERROR "lv2info failed (${status}): ${errors}")
endif()

# One entry per "Port N:" section.
string(REGEX REPLACE "\n[ \t]*Port ([0-9]+):" ";PORT \\1:" sections "${report}")
set(audioPorts 0)
foreach(section IN LISTS sections)
  if(NOT section MATCHES "^PORT ([0-9]+):")
    continue()
  endif()
  set(index ${CMAKE_MATCH_1})
  if(section MATCHES "lv2core#AudioPort")
    math(EXPR audioPorts "${audioPorts} + 1")
    if(section MATCHES "connectionOptional")
      message(FATAL_ERROR "audio port ${index} is marked lv2:connectionOptional")
    endif()
  endif()
endforeach()

if(NOT audioPorts EQUAL 4)
  message(FATAL_ERROR "expected 4 audio ports in lv2info's report, found ${audioPorts}")
endif()
message(STATUS "lv2info: ${audioPorts} audio ports, none optional")
