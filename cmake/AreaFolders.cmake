# The tests and the benchmarks keep a folder per subsystem, each added the
# same way: only when it has a build file, and the Qt subsystems' folders
# only in a build with the GUI.
include_guard(GLOBAL)

# tavrocam_add_area_folders(<area>... [GUI_ONLY <area>...])
# Adds ${CMAKE_CURRENT_SOURCE_DIR}/<area> in the order given.
function(tavrocam_add_area_folders)
  cmake_parse_arguments(PARSE_ARGV 0 folders "" "" "GUI_ONLY")
  foreach(area IN LISTS folders_UNPARSED_ARGUMENTS)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/CMakeLists.txt)
      continue()
    endif()
    if(area IN_LIST folders_GUI_ONLY AND NOT TAVROCAM_WITH_GUI)
      continue()
    endif()
    add_subdirectory(${area})
  endforeach()
endfunction()
