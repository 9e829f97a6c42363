# Names the two scale points of every on/off parameter in the LV2 bundle's dsp.ttl.
# JUCE writes an empty label for each point of a discrete parameter it cannot ask for
# texts, so hosts would offer two blank choices; ours are all switches: 0 off, 1 on.
# Usage: cmake -DTTL=path/to/dsp.ttl -P Lv2SwitchLabels.cmake
file(READ "${TTL}" text)
string(REPLACE "rdfs:label \"\" ;\n\t\trdf:value 0 ;" "rdfs:label \"off\" ;\n\t\trdf:value 0 ;" text "${text}")
string(REPLACE "rdfs:label \"\" ;\n\t\trdf:value 1 ;" "rdfs:label \"on\" ;\n\t\trdf:value 1 ;" text "${text}")
string(FIND "${text}" "rdfs:label \"\"" unnamed)
if(NOT unnamed EQUAL -1)
  message(FATAL_ERROR "${TTL}: a scale point without a label is left")
endif()
file(WRITE "${TTL}" "${text}")
