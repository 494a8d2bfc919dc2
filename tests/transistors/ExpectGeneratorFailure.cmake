# Runs a transistor data generator on a broken input and checks that it
# fails with a message naming the file and line.
#   cmake -DGENERATOR=<exe> [-DLIBRARY=<lib>] -DINPUT=<file> -DOUTPUT=<header>
#         -DEXPECT=<regex> -P ExpectGeneratorFailure.cmake
# LIBRARY, for the ratings generator, is the library it checks names against.
file(REMOVE "${OUTPUT}")
set(inputs "${INPUT}")
if(DEFINED LIBRARY)
  set(inputs "${LIBRARY}" "${INPUT}")
endif()
execute_process(
  COMMAND "${GENERATOR}" ${inputs} "${OUTPUT}"
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
