# Runs the transistor table generator on a broken library and checks that
# it fails with a message naming the file and line.
#   cmake -DGENERATOR=<exe> -DINPUT=<lib> -DOUTPUT=<header> -DEXPECT=<regex>
#         -P ExpectGeneratorFailure.cmake
file(REMOVE "${OUTPUT}")
execute_process(
  COMMAND "${GENERATOR}" "${INPUT}" "${OUTPUT}"
  RESULT_VARIABLE result
  ERROR_VARIABLE errors)
if(result EQUAL 0)
  message(FATAL_ERROR "generator accepted ${INPUT}")
endif()
if(NOT errors MATCHES "${EXPECT}")
  message(FATAL_ERROR "unexpected message:\n${errors}\nexpected: ${EXPECT}")
endif()
if(EXISTS "${OUTPUT}")
  message(FATAL_ERROR "generator wrote ${OUTPUT} despite the error")
endif()
