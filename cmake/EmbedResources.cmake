# Turns binary files into C++ byte arrays: for a file NAME.EXT the symbols
# `skin::NAME<suffix>` (const unsigned char[]) and `skin::NAME<suffix>Size` (int), with
# every character of NAME that cannot appear in a C++ name replaced by '_'
# (LiberationSans-Regular.ttf gives skin::LiberationSans_Regular).
# dunskara_embed_files(target [SUFFIX suffix] files...)
function(dunskara_embed_files target)
  cmake_parse_arguments(PARSE_ARGV 1 EMBED "" "SUFFIX" "")
  set(sources)
  foreach(file IN LISTS EMBED_UNPARSED_ARGUMENTS)
    get_filename_component(name "${file}" NAME_WE)
    string(MAKE_C_IDENTIFIER "${name}" symbol)
    set(symbol "${symbol}${EMBED_SUFFIX}")
    set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp")
    add_custom_command(OUTPUT "${out}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${out} -DSYMBOL=${symbol}
              -P "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
      DEPENDS "${file}" "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
      VERBATIM)
    list(APPEND sources "${out}")
  endforeach()
  target_sources(${target} PRIVATE ${sources})
endfunction()
