# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedFile.cmake
file(READ "${INPUT}" hex HEX)
file(SIZE "${INPUT}" size)
get_filename_component(source_name "${INPUT}" NAME)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}"
  "// Generated from ${source_name}; do not edit.\n"
  "namespace skin\n{\n"
  "extern const unsigned char ${SYMBOL}[];\nextern const int ${SYMBOL}Size;\n"
  "alignas(8) const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
  "const int ${SYMBOL}Size = ${size};\n}\n")
