# The movie writer: AVI files through FFmpeg, the compressors and their
# options dialog. Included by output/CMakeLists.txt.
pkg_check_modules(TAVROCAM_FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)

target_sources(output PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/avi_error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/avi_bitmap_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/avi_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/avi_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_codecs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_compressor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_compressor_full.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_compressor_jpeg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_compressor_library.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_options_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movie_options_store.cpp
)
target_link_libraries(output PUBLIC PkgConfig::TAVROCAM_FFMPEG platform jpeg)
