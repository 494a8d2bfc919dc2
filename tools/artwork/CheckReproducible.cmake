# Runs the artwork generator twice into a scratch folder and checks that both
# runs give the same files, and that these are exactly the committed ones.
#
#   cmake -DGENERATOR=<norvane-artwork> -DCOMMITTED=<resources/images>
#         -DSCRATCH=<folder> -P CheckReproducible.cmake

foreach(var GENERATOR COMMITTED SCRATCH)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${SCRATCH}")
foreach(run first second)
  execute_process(
    COMMAND "${GENERATOR}" --output "${SCRATCH}/${run}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the generator failed (${result}):\n${output}${errors}")
  endif()
endforeach()

file(GLOB drawn RELATIVE "${SCRATCH}/first" "${SCRATCH}/first/*.png")
file(GLOB committed RELATIVE "${COMMITTED}" "${COMMITTED}/*.png")
list(SORT drawn)
list(SORT committed)
if(NOT drawn STREQUAL committed)
  message(FATAL_ERROR "the generator draws ${drawn}\nbut the committed pictures are ${committed}")
endif()
if(drawn STREQUAL "")
  message(FATAL_ERROR "the generator drew nothing")
endif()

set(failures "")
foreach(name IN LISTS drawn)
  file(SHA256 "${SCRATCH}/first/${name}" first)
  file(SHA256 "${SCRATCH}/second/${name}" second)
  file(SHA256 "${COMMITTED}/${name}" expected)
  if(NOT first STREQUAL second)
    string(APPEND failures "  ${name}: two runs differ\n")
  elseif(NOT first STREQUAL expected)
    string(APPEND failures "  ${name}: differs from the committed file\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "pictures not reproduced (regenerate with the 'artwork' target):\n${failures}")
endif()
list(LENGTH drawn count)
message(STATUS "all ${count} pictures reproduced byte for byte")
