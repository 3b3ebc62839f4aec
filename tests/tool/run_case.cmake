# Runs one command of the tool's command-line tests and checks its exit
# status, its standard output against a golden file or a pattern, and its
# standard error against a pattern.
#
#   cmake -DCOMMAND="prog|arg|..." [-DEXIT=n] [-DGOLDEN=file] [-DSTDOUT=regex]
#         [-DSTDERR=regex] [-DACTUAL=file] [-DTHEN="prog|arg|..."] [-DINPUT=file] -P run_case.cmake
#
# With THEN, COMMAND runs first (it must succeed) and THEN is the command
# checked, so that a test can write a file and read it back. INPUT is the
# checked command's standard input.
# XQOVA_UPDATE_GOLDEN=1 in the environment rewrites the golden file instead
# of comparing.
string(REPLACE "|" ";" command "${COMMAND}")
if(DEFINED THEN AND NOT THEN STREQUAL "")
  execute_process(COMMAND ${command} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "first command failed (${rc}): ${COMMAND}\n${err}")
  endif()
  string(REPLACE "|" ";" command "${THEN}")
endif()
set(input)
if(DEFINED INPUT AND NOT INPUT STREQUAL "")
  set(input INPUT_FILE "${INPUT}")
endif()
execute_process(COMMAND ${command} ${input} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT DEFINED EXIT OR EXIT STREQUAL "")
  set(EXIT 0)
endif()
if(DEFINED ACTUAL AND NOT ACTUAL STREQUAL "")
  file(WRITE "${ACTUAL}" "${out}")
endif()
if(NOT "${rc}" STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit status ${rc}, expected ${EXIT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED STDERR AND NOT STDERR STREQUAL "" AND NOT err MATCHES "${STDERR}")
  message(FATAL_ERROR "stderr does not match '${STDERR}':\n${err}")
endif()
if(DEFINED STDOUT AND NOT STDOUT STREQUAL "" AND NOT out MATCHES "${STDOUT}")
  message(FATAL_ERROR "stdout does not match '${STDOUT}':\n${out}")
endif()
if(DEFINED GOLDEN AND NOT GOLDEN STREQUAL "")
  if(DEFINED ENV{XQOVA_UPDATE_GOLDEN})
    file(WRITE "${GOLDEN}" "${out}")
    message(STATUS "rewrote ${GOLDEN}")
  else()
    file(READ "${GOLDEN}" expected)
    if(NOT out STREQUAL expected)
      message(FATAL_ERROR "stdout differs from ${GOLDEN} (actual output in ${ACTUAL}):\n${out}")
    endif()
  endif()
endif()
