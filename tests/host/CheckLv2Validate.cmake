# Runs lv2_validate on the built bundle's .ttl files and fails on any error or warning
# it reports. Arguments: LV2_VALIDATE, BUNDLE.
file(GLOB turtle "${BUNDLE}/*.ttl")
execute_process(COMMAND "${LV2_VALIDATE}" ${turtle}
  OUTPUT_VARIABLE report ERROR_VARIABLE errors RESULT_VARIABLE status)
set(all "${report}${errors}")

if(NOT status EQUAL 0 OR NOT all MATCHES "Found 0 errors" OR all MATCHES "(^|\n)(error|warning):")
  message(FATAL_ERROR "lv2_validate (${status}):\n${all}")
endif()
message(STATUS "lv2_validate: no errors or warnings in ${turtle}")
