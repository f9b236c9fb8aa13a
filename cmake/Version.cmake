# The product's name, publisher and version (project(... VERSION) in the top
# CMakeLists.txt), for the code and for the Windows programs' version
# resources.
#
#   CorvennaVersion.h (in ${CMAKE_BINARY_DIR}/generated): kCorvennaVersion
#   and friends, for the targets that link corvenna_version (only those, so
#   that the other targets' compile lines stay as they were).
#
#   add_version_resource(<out.rc> DESCRIPTION <text> FILENAME <name.exe>)
#       writes a resource script holding the VERSIONINFO block of one program
#       (CompanyName, ProductName, FileVersion, ProductVersion,
#       FileDescription, LegalCopyright, OriginalFilename). It uses no
#       header, so windres needs no include path for it.

set(CORVENNA_COMPANY "Corvenna Software")
set(CORVENNA_PRODUCT "Corvenna Setup")
set(CORVENNA_COPYRIGHT "Copyright (C) ${CORVENNA_COMPANY}")
set(CORVENNA_VERSION "${PROJECT_VERSION}")
foreach(part MAJOR MINOR PATCH TWEAK)
  set(v "${PROJECT_VERSION_${part}}")
  if(v STREQUAL "")
    set(v 0)
  endif()
  set(CORVENNA_VERSION_${part} ${v})
endforeach()
set(CORVENNA_VERSION_COMMAS
    "${CORVENNA_VERSION_MAJOR},${CORVENNA_VERSION_MINOR},${CORVENNA_VERSION_PATCH},${CORVENNA_VERSION_TWEAK}")

configure_file("${CMAKE_CURRENT_LIST_DIR}/CorvennaVersion.h.in" "${CMAKE_BINARY_DIR}/generated/CorvennaVersion.h" @ONLY)
add_library(corvenna_version INTERFACE)
target_include_directories(corvenna_version INTERFACE "${CMAKE_BINARY_DIR}/generated")

function(add_version_resource out)
  cmake_parse_arguments(V "" "DESCRIPTION;FILENAME" "" ${ARGN})
  set(CORVENNA_FILE_DESCRIPTION "${V_DESCRIPTION}")
  set(CORVENNA_ORIGINAL_FILENAME "${V_FILENAME}")
  configure_file("${CMAKE_SOURCE_DIR}/cmake/VersionInfo.rc.in" "${out}" @ONLY)
endfunction()
