# VST2: hosts get our entry points (Vst2Entry.cpp), which sit in front of JUCE's
# dispatcher and processing functions. JUCE's VSTPluginMain is renamed, and its "main"
# (an assembler name no macro can reach) is made weak so that ours is the one exported.
set(DUNSKARA_VST2_ENTRY_SOURCES
  vst2/Vst2Chunks.cpp vst2/Vst2Entry.cpp vst2/Vst2Instances.cpp vst2/Vst2ParameterProperties.cpp vst2/Vst2Process.cpp vst2/Vst2ProgramName.cpp)
target_sources(DUNSKARA_VST PRIVATE vst2/Vst2HeaderCheck.cpp ${DUNSKARA_VST2_ENTRY_SOURCES})
set_source_files_properties(${DUNSKARA_VST2_ENTRY_SOURCES} PROPERTIES COMPILE_OPTIONS "${DUNSKARA_WARNINGS}")
target_compile_definitions(DUNSKARA_VST PRIVATE
  VSTPluginMain=dunskara_juce_VSTPluginMain
  "main_plugin=__attribute__((weak)) dunskara_juce_main")
