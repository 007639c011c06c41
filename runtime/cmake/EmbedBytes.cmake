# Writes a C++ source that holds the bytes of one file as an array.
#
#   cmake -DINPUT=<file> -DOUTPUT=<.cpp> -DSYMBOL=<name> [-DNAMESPACE=<a::b>] -P EmbedBytes.cmake
#
# The source defines, in NAMESPACE (global when empty):
#   extern const unsigned char <SYMBOL>[];      the bytes
#   extern const unsigned long <SYMBOL>Size;    their number
# The output is rewritten only when its text changes.
cmake_minimum_required(VERSION 3.20)

foreach(required INPUT OUTPUT SYMBOL)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "EmbedBytes: ${required} is not given")
  endif()
endforeach()
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "EmbedBytes: ${INPUT} does not exist")
endif()

file(SIZE "${INPUT}" size)
if(size EQUAL 0)
  message(FATAL_ERROR "EmbedBytes: ${INPUT} is empty")
endif()
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR read_size "${hex_length} / 2")
if(NOT read_size EQUAL size)
  message(FATAL_ERROR "EmbedBytes: read ${read_size} of the ${size} bytes of ${INPUT}")
endif()

# Sixteen bytes a line.
set(bytes "")
set(offset 0)
while(offset LESS hex_length)
  string(SUBSTRING "${hex}" ${offset} 32 chunk)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," chunk "${chunk}")
  string(APPEND bytes "    ${chunk}\n")
  math(EXPR offset "${offset} + 32")
endwhile()

get_filename_component(input_name "${INPUT}" NAME)
set(text "// Generated at build time from ${input_name}: do not edit.\n")
if(NAMESPACE)
  string(APPEND text "namespace ${NAMESPACE} {\n")
endif()
string(APPEND text "extern const unsigned char ${SYMBOL}[];\n")
string(APPEND text "extern const unsigned long ${SYMBOL}Size;\n")
string(APPEND text "const unsigned char ${SYMBOL}[] = {\n${bytes}};\n")
string(APPEND text "const unsigned long ${SYMBOL}Size = ${size}UL;\n")
if(NAMESPACE)
  string(APPEND text "}  // namespace ${NAMESPACE}\n")
endif()

if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
