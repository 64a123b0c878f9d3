# The movie tests. Included by tests/output/CMakeLists.txt.
add_executable(test_output_movie_writer
  ${CMAKE_CURRENT_LIST_DIR}/test_movie_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_movie_support.cpp
)
target_link_libraries(test_output_movie_writer PRIVATE output test_main)
tavrocam_warnings(test_output_movie_writer)
add_test(NAME output_movie_writer COMMAND test_output_movie_writer)
set_tests_properties(output_movie_writer PROPERTIES TIMEOUT 120 ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen;TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/test_movie_tsan.supp")

# Recording from the main window, against the simulated camera.
add_executable(test_output_movie_window
  ${CMAKE_CURRENT_LIST_DIR}/test_movie_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_movie_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_movie_support.cpp
)
target_link_libraries(test_output_movie_window PRIVATE app sim output test_main_gui Qt6::Test GTest::gtest)
tavrocam_warnings(test_output_movie_window)
add_test(NAME output_movie_window COMMAND test_output_movie_window)
set_tests_properties(output_movie_window PROPERTIES TIMEOUT 300 ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen;TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/test_movie_tsan.supp")
