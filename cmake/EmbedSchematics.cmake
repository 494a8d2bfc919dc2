# Turns the committed schematic pictures into C++ constant data.
#
#   cmake -DIMAGES_DIR=<resources/images> -DOUTPUT=<file.cpp>
#         -DFIRST_ID=136 -DLAST_ID=143 -P EmbedSchematics.cmake
#
# Reads schematic-<id>.png for every id and writes a source file that defines
# norvane::detail::EmbeddedSchematicPng(id). The file is rewritten only when
# its text changes.

foreach(var IMAGES_DIR OUTPUT FIRST_ID LAST_ID)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# CMake's regular expressions know no {n}: spell out one line of sixteen bytes.
set(line_of_bytes "")
foreach(i RANGE 1 16)
  string(APPEND line_of_bytes "0x[0-9a-f][0-9a-f],")
endforeach()

set(arrays "")
set(cases "")
foreach(id RANGE ${FIRST_ID} ${LAST_ID})
  set(png "${IMAGES_DIR}/schematic-${id}.png")
  if(NOT EXISTS "${png}")
    message(FATAL_ERROR "missing picture ${png}")
  endif()
  file(READ "${png}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # Sixteen bytes a line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${line_of_bytes})" "\\1\n    " bytes "${bytes}")
  string(REGEX REPLACE "\n    $" "" bytes "${bytes}")
  string(APPEND arrays
    "// schematic-${id}.png, ${size} bytes\n"
    "constexpr std::uint8_t kSchematic${id}[${size}] = {\n    ${bytes}\n};\n\n")
  string(APPEND cases "    case ${id}:\n        return kSchematic${id};\n")
endforeach()

set(text "// Generated from resources/images/schematic-*.png by cmake/EmbedSchematics.cmake.
// Do not edit; redraw the pictures instead.

#include <cstdint>
#include <span>

namespace norvane::detail {
namespace {

${arrays}}  // namespace

std::span<const std::uint8_t> EmbeddedSchematicPng(std::uint16_t id)
{
    switch (id) {
${cases}    default:
        return {};
    }
}

}  // namespace norvane::detail
")

if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
