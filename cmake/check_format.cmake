cmake_minimum_required(VERSION 3.25)
# Fails when any C++ source of ours differs from what clang-format makes of it
# with the tree's .clang-format.
# cmake -DSOURCE_DIR=<tree> -DCLANG_FORMAT=<program> -P check_format.cmake
if(NOT CLANG_FORMAT)
  message(FATAL_ERROR "clang-format was not found; scripts/setup-debian.sh installs it")
endif()

set(folders app bench broadcast camera fuzz jpeg liveview output panel platform server sim tests)
set(sources "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE found ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER found EXCLUDE REGEX "/node_modules/")
  list(APPEND sources ${found})
endforeach()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "no sources found under ${SOURCE_DIR}")
endif()

# --dry-run -Werror names every file and line that would change.
execute_process(COMMAND ${CLANG_FORMAT} --style=file --dry-run -Werror ${sources}
                WORKING_DIRECTORY ${SOURCE_DIR}
                RESULT_VARIABLE status
                ERROR_VARIABLE report)
if(NOT status EQUAL 0)
  string(REGEX MATCHALL "${SOURCE_DIR}/[^:]+:" places "${report}")
  list(REMOVE_DUPLICATES places)
  string(REPLACE ":" "" places "${places}")
  string(REPLACE "${SOURCE_DIR}/" "" places "${places}")
  string(REPLACE ";" "\n  " places "${places}")
  message(FATAL_ERROR "unformatted files (run scripts/format.sh):\n  ${places}")
endif()
message(STATUS "${count} files formatted as .clang-format says")
