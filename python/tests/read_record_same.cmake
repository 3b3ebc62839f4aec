# Runs the C++ and the Python host example on one record that qova writes and
# compares what they print.
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${QOVA} encode CSESDZentoRec NIBPData.Systolic=120 Patient.Identifier=P-0042
  -o ${WORK}/record.bin RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "qova encode failed")
endif()
execute_process(COMMAND ${READ_RECORD} ${WORK}/record.bin OUTPUT_VARIABLE cpp RESULT_VARIABLE rc_cpp)
execute_process(COMMAND ${PYTHON} ${SCRIPT} ${WORK}/record.bin OUTPUT_VARIABLE py RESULT_VARIABLE rc_py)
set(expected "Systolic: 120 (units code 255)\nPatient.Identifier: P-0042\n")
if(NOT rc_cpp EQUAL 0 OR NOT rc_py EQUAL 0 OR NOT cpp STREQUAL expected OR NOT py STREQUAL expected)
  message(FATAL_ERROR "read_record printed:\n${cpp}(exit ${rc_cpp})\nread_record.py printed:\n${py}(exit ${rc_py})")
endif()
