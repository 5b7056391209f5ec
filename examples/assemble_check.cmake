# SPDX-License-Identifier: GPL-2.0-or-later
# Assembles SOURCE with AS31 into OUTPUT and compares it with EXPECTED byte
# for byte.
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${AS31} -Fhex -O${OUTPUT} ${SOURCE}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT EXISTS ${OUTPUT})
  message(FATAL_ERROR "as31 failed (${status}):\n${out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE differs)
if(differs)
  file(READ ${OUTPUT} made)
  message(FATAL_ERROR "as31 output differs from ${EXPECTED}:\n${made}")
endif()
