# Turns a built file into bytes compiled into the program.
#
# Included, it defines
#   embed_binary(TARGET target SOURCE_FILE path SYMBOL sym [DEPENDS dep...])
# which adds to target a source, generated at build time from path, that
# defines
#   extern const unsigned char sym[];        // the file's bytes
#   extern const std::size_t symSize;        // how many (sym with "Size" appended)
# SOURCE_FILE may be a generator expression such as $<TARGET_FILE:lib>.
# DEPENDS names the targets (or files) that produce it: when they are rebuilt,
# the source is generated again.
#
# Run with cmake -P and -DEMBED_INPUT=... -DEMBED_OUTPUT=... -DEMBED_SYMBOL=...,
# it writes that source (the build rule above does this).

set(EMBED_BYTES_PER_LINE 16)

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED EMBED_INPUT)
  file(READ "${EMBED_INPUT}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR byte_count "${hex_length} / 2")
  if(byte_count EQUAL 0)
    set(initialiser "0")  # a C++ array cannot be empty; the size says 0
  else()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," initialiser "${hex}")
    string(REPEAT "0x[0-9a-f][0-9a-f]," ${EMBED_BYTES_PER_LINE} line_pattern)
    string(REGEX REPLACE "(${line_pattern})" "\\1\n  " initialiser "${initialiser}")
  endif()
  file(WRITE "${EMBED_OUTPUT}"
    "// Generated from ${EMBED_INPUT} at build time; do not edit.\n"
    "#include <cstddef>\n\n"
    "extern const unsigned char ${EMBED_SYMBOL}[];\n"
    "extern const std::size_t ${EMBED_SYMBOL}Size;\n\n"
    "const unsigned char ${EMBED_SYMBOL}[] = {\n  ${initialiser}\n};\n"
    "const std::size_t ${EMBED_SYMBOL}Size = ${byte_count};\n")
  return()
endif()

set(EMBED_FILE_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

function(embed_binary)
  cmake_parse_arguments(ARG "" "TARGET;SOURCE_FILE;SYMBOL" "DEPENDS" ${ARGN})
  set(output "${CMAKE_CURRENT_BINARY_DIR}/embedded/${ARG_SYMBOL}.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND}
      "-DEMBED_INPUT=${ARG_SOURCE_FILE}"
      "-DEMBED_OUTPUT=${output}"
      "-DEMBED_SYMBOL=${ARG_SYMBOL}"
      -P "${EMBED_FILE_SCRIPT}"
    DEPENDS "${ARG_SOURCE_FILE}" ${ARG_DEPENDS} "${EMBED_FILE_SCRIPT}"
    COMMENT "Embedding ${ARG_SYMBOL}"
    VERBATIM)
  target_sources(${ARG_TARGET} PRIVATE "${output}")
endfunction()
