# Building installers in this project's own tree, with the same tool a
# publisher uses (stpack make).
#
#   add_installer_stub(<target> [RUN_SOURCE <file.cpp>])
#
# The installer program without a product (and with its manifest): the
# start-up, the wizard and the installation run (app/InstallationRunWin.cpp, or RUN_SOURCE for a test
# program that only plays the wizard's side), linked statically, small, with
# no time stamp so that the same sources give the same bytes. stpack make
# writes a product into a copy of it.
#
#   add_product_installer(<target> PRODUCT_DIR <dir> OUTPUT <file.exe>
#                         [STUB <stub target>] [UNCHECKED_SETTINGS]
#                         [DEPENDS <files or targets...>])
#
# Runs the build machine's stpack (HOST_STPACK) on the product folder:
# `stpack make <dir> -o <file.exe> --stub <stub> --uninstaller Uninst.exe`.
# The stub is SetupStub by default; DEPENDS names what the product folder is
# made from (generated files, the programs its payload names).
# UNCHECKED_SETTINGS writes settings the installer cannot use, for the tests
# of its own refusals.

set(HOST_STPACK "" CACHE FILEPATH "stpack built for the build machine")
include("${CMAKE_CURRENT_LIST_DIR}/DllSearch.cmake")

function(add_installer_stub target)
  cmake_parse_arguments(S "" "RUN_SOURCE" "" ${ARGN})
  get_filename_component(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  set(run_source "${root}/app/InstallationRunWin.cpp")
  if(S_RUN_SOURCE)
    get_filename_component(run_source "${S_RUN_SOURCE}" ABSOLUTE)
  endif()
  # Its resources are the manifest, so that the program run bare asks for
  # the same rights as an installer, and the project's version block; stpack
  # make writes both again for the product.
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc")
  add_version_resource("${rc}.version" DESCRIPTION "Corvenna Setup installer stub" FILENAME "${target}.exe")
  file(READ "${rc}.version" version_block)
  file(WRITE "${rc}.tmp" "1 24 \"${INSTALLER_MANIFEST}\"\n${version_block}")
  file(COPY_FILE "${rc}.tmp" "${rc}" ONLY_IF_DIFFERENT)
  file(REMOVE "${rc}.tmp")
  set(obj "${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.o")
  add_custom_command(
    OUTPUT "${obj}"
    COMMAND "${CMAKE_RC_COMPILER}" --input-format=rc --output-format=coff -i "${rc}" -o "${obj}"
    DEPENDS "${rc}" "${INSTALLER_MANIFEST}"
    VERBATIM)
  set_source_files_properties("${obj}" PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  add_executable(${target} WIN32 "${run_source}" "${obj}")
  target_link_libraries(${target} PRIVATE installer_main quiet_terminate library_exceptions wizardwin appcore shell setuppackage)
  target_link_options(${target} PRIVATE -municode -static -Wl,--no-insert-timestamp
                      $<$<CONFIG:Release,MinSizeRel>:-s> $<$<CONFIG:Release,MinSizeRel>:-Wl,--gc-sections>)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-Os>)
  link_time_optimized(${target})
  restrict_dll_search(${target})
endfunction()

function(add_product_installer target)
  cmake_parse_arguments(P "UNCHECKED_SETTINGS" "PRODUCT_DIR;OUTPUT;STUB" "DEPENDS" ${ARGN})
  if(NOT HOST_STPACK)
    message(STATUS "${target} not built: set HOST_STPACK to the build machine's stpack")
    return()
  endif()
  if(NOT P_STUB)
    set(P_STUB SetupStub)
  endif()
  get_filename_component(product "${P_PRODUCT_DIR}" ABSOLUTE)
  get_filename_component(output "${P_OUTPUT}" ABSOLUTE)
  file(GLOB_RECURSE product_files CONFIGURE_DEPENDS "${product}/*")
  set(unchecked "")
  if(P_UNCHECKED_SETTINGS)
    set(unchecked --unchecked-settings)
  endif()
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${HOST_STPACK}" make "${product}" -o "${output}" --stub "$<TARGET_FILE:${P_STUB}>"
            --uninstaller "$<TARGET_FILE:Uninst>" ${unchecked}
    DEPENDS "${HOST_STPACK}" ${P_STUB} "$<TARGET_FILE:${P_STUB}>" Uninst "$<TARGET_FILE:Uninst>" ${product_files}
            ${P_DEPENDS}
    COMMENT "Making ${output} with stpack"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
endfunction()
