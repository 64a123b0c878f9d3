# Fails when the encoder's library holds an instruction that processor
# detection does not check for. The vector sets are chosen from SSE2, AVX2 and
# AVX-512 (F, BW, VL, CD) alone; a virtual machine may offer AVX2 while hiding
# LZCNT or BMI1/BMI2, and there lzcnt runs as bsr and silently gives other
# numbers. tzcnt is left out on purpose: compilers emit its encoding for every
# count of trailing zeros, where older processors run it as bsf, which agrees
# on the nonzero values it is used for.
# Each set's own objects must also stay within their set's registers, so a
# capped or smaller set never runs a larger set's instructions.
#
#   cmake -DOBJDUMP=... -DLIBRARY=... [-DSSE2_OBJECTS=a.o|b.o -DAVX2_OBJECTS=...]
#         -P check_kernel_instructions.cmake
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}: ${errors}")
endif()
string(REGEX MATCHALL "\t(lzcnt|andn|bextr|blsi|blsmsk|blsr|bzhi|pdep|pext|mulx|rorx|sarx|shlx|shrx)[ \n]"
       unchecked "${listing}")
list(LENGTH unchecked count)
if(count GREATER 0)
  list(REMOVE_DUPLICATES unchecked)
  string(REGEX REPLACE "[\t \n]" "" unchecked "${unchecked}")
  message(FATAL_ERROR "${count} unchecked bit-manipulation instructions in ${LIBRARY}: ${unchecked}")
endif()
message(STATUS "no unchecked bit-manipulation instructions in ${LIBRARY}")

function(check_registers objects forbidden what)
  string(REPLACE "|" ";" objects "${objects}")
  foreach(object ${objects})
    execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${object} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "objdump failed on ${object}")
    endif()
    if(listing MATCHES "${forbidden}")
      message(FATAL_ERROR "${object} uses ${CMAKE_MATCH_0}, beyond ${what}")
    endif()
  endforeach()
endfunction()
if(SSE2_OBJECTS)
  check_registers("${SSE2_OBJECTS}" "%[yz]mm[0-9]+" "SSE2")
endif()
if(AVX2_OBJECTS)
  check_registers("${AVX2_OBJECTS}" "%zmm[0-9]+|%k[1-7]" "AVX2")
endif()
