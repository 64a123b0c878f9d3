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
function(tavrocam_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic ${tavrocam_shadow_warning}
                         -Wno-missing-field-initializers $<$<BOOL:${TAVROCAM_WERROR}>:-Werror>)
endfunction()
