# restrict_dll_search(<target>): for a program that restricts its DLL search
# (shell/SystemLibrary.h). Links the load configuration that
# shell/SystemLibraryWin.cpp defines (no code refers to it, so it is named to
# the linker) and, after each link, points the image's load-configuration data
# directory at it: GNU ld before binutils 2.41 links the structure but leaves
# the directory empty. cmake/set_load_config.py finds the structure through
# the link map.
find_program(PYTHON3_EXECUTABLE python3 HINTS /usr/bin REQUIRED)

function(restrict_dll_search target)
  target_link_libraries(${target} PRIVATE shell)
  # The structure is the 32-bit layout; the 64-bit build exists only to run
  # the tests under 64-bit Wine and links no load configuration.
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  set(map "${CMAKE_CURRENT_BINARY_DIR}/${target}.map")
  target_link_options(${target} PRIVATE -Wl,--require-defined=__load_config_used "-Wl,-Map=${map}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${PYTHON3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/cmake/set_load_config.py" "$<TARGET_FILE:${target}>" "${map}"
    VERBATIM)
endfunction()
