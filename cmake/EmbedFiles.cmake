# Files compiled into a program as byte strings.
#
#   embed_files(<out.cpp> NAMESPACE <ns> FILES <name>=<file> ...)
#
# writes out.cpp at build time with, for each pair, a definition
#   const std::string_view <name>{"\x..", <size>};
# in namespace <ns>, for a header of the caller's that declares them
# `extern const std::string_view <name>;`. The file is rewritten only when
# a source changes.
#
# This file is also the script that writes the source: cmake -P with
# EMBED_OUTPUT, EMBED_NAMESPACE and EMBED_FILES.

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED EMBED_OUTPUT)
  set(text "// Made by cmake/EmbedFiles.cmake from the files named below; do not edit.\n")
  string(APPEND text "#include <string_view>\n\nnamespace ${EMBED_NAMESPACE} {\n")
  string(REPLACE "|" ";" pairs "${EMBED_FILES}")
  foreach(pair IN LISTS pairs)
    string(REGEX MATCH "^([^=]+)=(.*)$" _ "${pair}")
    set(name "${CMAKE_MATCH_1}")
    set(file "${CMAKE_MATCH_2}")
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    # Lines of 32 bytes, each byte as \xNN.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
    string(REGEX REPLACE "((\\\\x[0-9a-f][0-9a-f]){32})" "\\1\"\n    \"" escaped "${escaped}")
    get_filename_component(shown "${file}" NAME)
    string(APPEND text "\n// ${shown}\nextern const std::string_view ${name};\n")
    string(APPEND text "const std::string_view ${name}{\n    \"${escaped}\",\n    ${size}};\n")
  endforeach()
  string(APPEND text "\n}  // namespace ${EMBED_NAMESPACE}\n")
  file(WRITE "${EMBED_OUTPUT}.tmp" "${text}")
  file(COPY_FILE "${EMBED_OUTPUT}.tmp" "${EMBED_OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${EMBED_OUTPUT}.tmp")
  return()
endif()

function(embed_files output)
  cmake_parse_arguments(E "" "NAMESPACE" "FILES" ${ARGN})
  set(sources "")
  foreach(pair IN LISTS E_FILES)
    string(REGEX MATCH "^([^=]+)=(.*)$" _ "${pair}")
    list(APPEND sources "${CMAKE_MATCH_2}")
  endforeach()
  string(REPLACE ";" "|" joined "${E_FILES}")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DEMBED_OUTPUT=${output}" "-DEMBED_NAMESPACE=${E_NAMESPACE}"
            "-DEMBED_FILES=${joined}" -P "${CMAKE_CURRENT_FUNCTION_LIST_FILE}"
    DEPENDS "${CMAKE_CURRENT_FUNCTION_LIST_FILE}" ${sources}
    COMMENT "Embedding ${output}"
    VERBATIM)
endfunction()
