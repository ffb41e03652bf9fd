# Turns text files of the source tree into a C++ source file that holds each
# one as a byte array, so that a program carries them without reading them
# at run time while they stay ordinary files to edit, lint and test.
#
# Run as a script at build time:
#   cmake -DOUTPUT=out.cpp -DNAMESPACE=ns -DFILES=name1=path1,name2=path2 -P EmbedFiles.cmake
# For each name=path it defines, in namespace NAMESPACE,
#   extern const unsigned char name[];   the file's bytes and a terminating zero
#   extern const std::size_t name_size;  the number of bytes, without the zero

set(text "// Generated at build time by cmake/EmbedFiles.cmake; do not edit.\n")
string(APPEND text "#include <cstddef>\n\nnamespace ${NAMESPACE} {\n")
string(REPLACE "," ";" entries "${FILES}")
foreach(entry IN LISTS entries)
  string(FIND "${entry}" "=" equals)
  string(SUBSTRING "${entry}" 0 ${equals} name)
  math(EXPR after "${equals} + 1")
  string(SUBSTRING "${entry}" ${after} -1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND text "extern const unsigned char ${name}[];\nconst unsigned char ${name}[] = {\n${bytes}0x00};\n")
  string(APPEND text "extern const std::size_t ${name}_size;\nconst std::size_t ${name}_size = ${size};\n")
endforeach()
string(APPEND text "}  // namespace ${NAMESPACE}\n")
# Rewritten only when the text changes, so an unchanged page rebuilds nothing.
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
