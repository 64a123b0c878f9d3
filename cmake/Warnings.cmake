# Warnings for our own targets (not for third-party headers).
# Clang has no -Wshadow=local; its -Wshadow also covers members and globals.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(tavrocam_shadow_warning -Wshadow-uncaptured-local)
else()
  set(tavrocam_shadow_warning -Wshadow=local)
endif()
# The test run turns every warning into an error, so none creeps in unseen;
# a plain build for a user's machine stays lenient about newer compilers.
option(TAVROCAM_WERROR "Treat warnings in our own code as errors" OFF)
# GCC's flow analysis is thrown off by the sanitizers' instrumentation and
# reports uninitialised members inside the standard library's own headers
# (std::regex, std::function); under a sanitizer those stay warnings.
set(tavrocam_werror -Werror)
if(TAVROCAM_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND tavrocam_werror -Wno-error=maybe-uninitialized)
endif()
function(tavrocam_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic ${tavrocam_shadow_warning}
                         -Wno-missing-field-initializers "$<$<BOOL:${TAVROCAM_WERROR}>:${tavrocam_werror}>")
endfunction()
