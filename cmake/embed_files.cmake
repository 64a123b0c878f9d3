cmake_minimum_required(VERSION 3.25)
# Writes a C++ source that holds files as byte arrays, so the program carries
# them with no file beside it at run time.
# cmake -DOUTPUT=<file.cpp> -DHEADER=<include> -DNAMESPACE=<ns> -DFILES="<path>=<name>;..." -P embed_files.cmake
# Each file becomes `extern const std::string_view <name>`, declared in HEADER.
set(text "// Generated from the files it names; edit those instead.\n#include \"${HEADER}\"\n\nnamespace ${NAMESPACE} {\n")
foreach(entry IN LISTS FILES)
  string(REGEX REPLACE "=.*" "" path "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" name "${entry}")
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND text "\nnamespace {\nconstexpr char ${name}Bytes[] = {${bytes}'\\0'};\n}  // namespace\n")
  string(APPEND text "extern const std::string_view ${name}(${name}Bytes, ${size});\n")
endforeach()
string(APPEND text "\n}  // namespace ${NAMESPACE}\n")
# Rewritten only when it changes, so an unchanged page does not rebuild.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
