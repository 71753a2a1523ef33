# cmake -DPROGRAM=<file> -DEXPECTED="<name> <version>" -P version_test.cmake
# Runs PROGRAM --version and fails unless it prints exactly EXPECTED and exits 0.
execute_process(COMMAND ${PROGRAM} --version
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --version exited with ${status}\n${output}${errors}")
endif()
if(NOT output STREQUAL "${EXPECTED}\n")
  message(FATAL_ERROR "${PROGRAM} --version printed\n'${output}'\ninstead of\n'${EXPECTED}'")
endif()
