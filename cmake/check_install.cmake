cmake_minimum_required(VERSION 3.25)
# Installs the build into a scratch prefix and checks that a desktop program
# came out: both programs (which start), the udev rule, the desktop entry and
# the icon. cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> [-DVALIDATOR=<desktop-file-validate>] -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${installed})")
endif()
foreach(path bin/tavrocam bin/tavrocam-jpeg bin/tavrocam-scan lib/udev/rules.d/60-tavrocam.rules share/applications/tavrocam.desktop
             share/icons/hicolor/scalable/apps/tavrocam.svg)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
# With no display at all, as over a plain terminal on a fresh machine.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                        ${PREFIX}/bin/tavrocam --help RESULT_VARIABLE helped OUTPUT_VARIABLE help ERROR_VARIABLE help)
if(NOT helped EQUAL 0 OR NOT help MATCHES "--camera")
  message(FATAL_ERROR "the installed tavrocam --help failed (${helped}): ${help}")
endif()
if(VALIDATOR)
  execute_process(COMMAND ${VALIDATOR} ${PREFIX}/share/applications/tavrocam.desktop RESULT_VARIABLE valid
                  OUTPUT_VARIABLE report ERROR_VARIABLE report)
  if(NOT valid EQUAL 0 OR report MATCHES "error")
    message(FATAL_ERROR "desktop entry refused: ${report}")
  endif()
endif()
# The packages the program loads at run time against the declared list, on a
# virtual X display (skipped without one, as on a build machine with no Xvfb).
find_program(xvfb_run xvfb-run)
if(xvfb_run AND RUNTIME_LIST)
  execute_process(COMMAND ${RUNTIME_CHECK} ${PREFIX} ${RUNTIME_LIST} RESULT_VARIABLE runtime OUTPUT_VARIABLE report
                  ERROR_VARIABLE report)
  if(NOT runtime EQUAL 0)
    message(FATAL_ERROR "run-time packages: ${report}")
  endif()
  message("${report}")
else()
  message("run-time packages not checked: no xvfb-run")
endif()
file(REMOVE_RECURSE ${PREFIX})
message("install: every file in place, tavrocam --help runs")
