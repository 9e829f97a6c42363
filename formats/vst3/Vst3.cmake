# VST3: hosts get our factory (Vst3ValueResync.cpp), which keeps the edit controller's
# copies of the values in line with the processor whenever the processor asks hosts to
# re-read them, and whose component carries out program changes that arrive in the
# process data (Vst3ProgramChanges.cpp); JUCE's factory function is renamed to sit behind it.
target_sources(DUNSKARA_VST3 PRIVATE vst3/Vst3ValueResync.cpp vst3/Vst3ProgramChanges.cpp)
set_source_files_properties(vst3/Vst3ValueResync.cpp vst3/Vst3ProgramChanges.cpp PROPERTIES COMPILE_OPTIONS "${DUNSKARA_WARNINGS}")
target_compile_definitions(DUNSKARA_VST3 PRIVATE GetPluginFactory=dunskara_juce_GetPluginFactory)
