# -DTAVROCAM_FUZZ=ON: every library with libFuzzer's coverage hooks and
# ASan+UBSan; only the fuzz targets link libFuzzer's main (clang only).
option(TAVROCAM_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)
if(TAVROCAM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TAVROCAM_FUZZ needs clang, e.g. CC=clang-14 CXX=clang++-14")
  endif()
  if(NOT TAVROCAM_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TAVROCAM_FUZZ brings its own sanitizers; leave TAVROCAM_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TAVROCAM_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TAVROCAM_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TAVROCAM_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TAVROCAM_SANITIZE must be address, thread or empty")
endif()
