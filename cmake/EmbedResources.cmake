# Turns binary files into C++ byte arrays: for a file NAME.png the symbols
# `skin::NAME` (const unsigned char[]) and `skin::NAMESize` (int).
function(dunskara_embed_files target)
  set(sources)
  foreach(file IN LISTS ARGN)
    get_filename_component(name "${file}" NAME_WE)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded/${name}.cpp")
    add_custom_command(OUTPUT "${out}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${out} -DSYMBOL=${name}
              -P "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
      DEPENDS "${file}" "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
      VERBATIM)
    list(APPEND sources "${out}")
  endforeach()
  target_sources(${target} PRIVATE ${sources})
endfunction()
