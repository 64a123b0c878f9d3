# The movie writer: AVI files through FFmpeg, the compressors and their
# options dialog. Included by output/CMakeLists.txt, so the names are
# relative to output/ as that file's own are.
pkg_check_modules(TAVROCAM_FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)

target_sources(output PRIVATE
  avi_error.cpp
  avi_bitmap_info.cpp
  avi_file.cpp
  avi_writer.cpp
  movie_clock.cpp
  movie_codecs.cpp
  movie_compressor.cpp
  movie_compressor_full.cpp
  movie_compressor_jpeg.cpp
  movie_compressor_library.cpp
  movie_options_dialog.cpp
  movie_options_store.cpp
)
target_link_libraries(output PUBLIC PkgConfig::TAVROCAM_FFMPEG platform jpeg)
