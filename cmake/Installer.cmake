# Building one installer executable per product.
#
#   add_product_installer(<target>
#                         [PRODUCT_DIR <dir>]      folder with product.ini and the pictures
#                         [PACKAGE <file.stp>]     the setup package (a placeholder when absent)
#                         [RUN_SOURCE <file.cpp>]  the installation run linked in (app's by default)
#                         [OUTPUT_NAME <name>]     executable name without .exe
#                         [DEPENDS <files...>])    files the resources are made from at build time
#
# The product folder holds product.ini (the product settings, see
# resources/README.md), ImageLeft0.jpg and ImageLeft2.jpg (160 x 308 banners,
# Chinese and English), ImageIcon.bmp (32 x 32, 24 bits) and AppIcon.ico. At
# build time the settings become a resource script with the string table
# under language 2052, the pictures, the icon, the manifest and the package as
# resource type StpFile, name SetupPackage, with its SHA-256 as the RCDATA
# resource PackageDigest; windres compiles it and the result
# is linked into a copy of the installer program. Without PRODUCT_DIR only the
# manifest and the package go in.
#
# This file is also the script that writes the resource script: run with
# cmake -P and the INSTALLER_RC_* variables below.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.20)  # policies of the functions below
endif()

# Text as a resource-script string literal: backslashes doubled, quotes
# doubled; the text itself stays UTF-8 (the script declares code page 65001).
function(_installer_rc_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# Script mode: product.ini -> .rc.
#   INSTALLER_RC_OUTPUT   the .rc to write
#   INSTALLER_RC_PRODUCT  product folder, or empty
#   INSTALLER_RC_PACKAGE  package file
#   INSTALLER_RC_MANIFEST manifest file
function(_installer_write_rc)
  set(allowed 1001 1002 1003 1004 1005 1009 1010 1011 1012)
  set(rc "// Made from the product settings by cmake/Installer.cmake; do not edit.\n")
  string(APPEND rc "#pragma code_page(65001)\n")
  string(APPEND rc "LANGUAGE 0x04, 0x02\n\n")
  if(INSTALLER_RC_PRODUCT)
    set(ini "${INSTALLER_RC_PRODUCT}/product.ini")
    if(NOT EXISTS "${ini}")
      message(FATAL_ERROR "${ini}: product settings file not found")
    endif()
    # A byte-order mark some editors put first is not part of the settings.
    file(READ "${ini}" head LIMIT 3 HEX)
    if(head STREQUAL "efbbbf")
      file(READ "${ini}" content OFFSET 3)
    else()
      file(READ "${ini}" content)
    endif()
    # CMake lists split at ";" and treat brackets specially; keep both out of
    # the way while the text is cut into lines.
    string(REPLACE ";" "@SEMICOLON@" content "${content}")
    string(REPLACE "[" "@LBRACKET@" content "${content}")
    string(REPLACE "]" "@RBRACKET@" content "${content}")
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(entries "")
    set(line_number 0)
    foreach(line IN LISTS lines)
      math(EXPR line_number "${line_number} + 1")
      string(STRIP "${line}" stripped)
      if(stripped STREQUAL "" OR stripped MATCHES "^[#;]" OR stripped MATCHES "^@SEMICOLON@")
        continue()
      endif()
      if(NOT stripped MATCHES "^([0-9]+)[ \t]*=(.*)$")
        message(FATAL_ERROR "${ini}:${line_number}: expected '<id> = <value>'")
      endif()
      set(id "${CMAKE_MATCH_1}")
      string(STRIP "${CMAKE_MATCH_2}" value)
      if(NOT id IN_LIST allowed)
        message(FATAL_ERROR "${ini}:${line_number}: unknown setting ${id} (known: ${allowed})")
      endif()
      if(id IN_LIST seen)
        message(FATAL_ERROR "${ini}:${line_number}: setting ${id} given twice")
      endif()
      list(APPEND seen ${id})
      string(REPLACE "@SEMICOLON@" ";" value "${value}")
      string(REPLACE "@LBRACKET@" "[" value "${value}")
      string(REPLACE "@RBRACKET@" "]" value "${value}")
      _installer_rc_string(literal "${value}")
      string(APPEND entries "  ${id}, ${literal}\n")
    endforeach()
    string(APPEND rc "STRINGTABLE\nBEGIN\n${entries}END\n\n")
    foreach(picture AppIcon:ICON:AppIcon.ico ImageIcon:BITMAP:ImageIcon.bmp
                    ImageLeft0:RCDATA:ImageLeft0.jpg ImageLeft2:RCDATA:ImageLeft2.jpg)
      string(REPLACE ":" ";" parts "${picture}")
      list(GET parts 0 name)
      list(GET parts 1 type)
      list(GET parts 2 file)
      if(NOT EXISTS "${INSTALLER_RC_PRODUCT}/${file}")
        message(FATAL_ERROR "${INSTALLER_RC_PRODUCT}/${file}: picture not found")
      endif()
      _installer_rc_string(path "${INSTALLER_RC_PRODUCT}/${file}")
      string(APPEND rc "${name} ${type} ${path}\n")
    endforeach()
  endif()
  _installer_rc_string(package "${INSTALLER_RC_PACKAGE}")
  _installer_rc_string(manifest "${INSTALLER_RC_MANIFEST}")
  string(APPEND rc "SetupPackage StpFile ${package}\n")
  # The package's SHA-256, which the installer checks before it writes
  # anything: 32 bytes as 16 little-endian words of RCDATA.
  file(SHA256 "${INSTALLER_RC_PACKAGE}" digest)
  set(words "")
  foreach(offset RANGE 0 60 4)
    string(SUBSTRING "${digest}" ${offset} 2 low)
    math(EXPR high_offset "${offset} + 2")
    string(SUBSTRING "${digest}" ${high_offset} 2 high)
    list(APPEND words "0x${high}${low}")
  endforeach()
  string(REPLACE ";" ", " words "${words}")
  string(APPEND rc "// SHA-256 ${digest}\nPackageDigest RCDATA\nBEGIN\n  ${words}\nEND\n")
  string(APPEND rc "1 24 ${manifest}\n")  # RT_MANIFEST
  file(WRITE "${INSTALLER_RC_OUTPUT}.tmp" "${rc}")
  file(COPY_FILE "${INSTALLER_RC_OUTPUT}.tmp" "${INSTALLER_RC_OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${INSTALLER_RC_OUTPUT}.tmp")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED INSTALLER_RC_OUTPUT)
  _installer_write_rc()
  return()
endif()

function(add_product_installer target)
  cmake_parse_arguments(P "" "PRODUCT_DIR;PACKAGE;RUN_SOURCE;OUTPUT_NAME" "DEPENDS" ${ARGN})
  set(script "${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
  get_filename_component(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  set(resources "${root}/resources")
  set(package "${resources}/placeholder.stp")
  if(P_PACKAGE)
    get_filename_component(package "${P_PACKAGE}" ABSOLUTE)
  endif()
  set(run_source "${root}/app/InstallationRunWin.cpp")
  if(P_RUN_SOURCE)
    get_filename_component(run_source "${P_RUN_SOURCE}" ABSOLUTE)
  endif()
  set(product "")
  set(product_files "")
  if(P_PRODUCT_DIR)
    get_filename_component(product "${P_PRODUCT_DIR}" ABSOLUTE)
    foreach(file product.ini AppIcon.ico ImageIcon.bmp ImageLeft0.jpg ImageLeft2.jpg)
      list(APPEND product_files "${product}/${file}")
    endforeach()
  endif()

  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc")
  set(obj "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.o")
  add_custom_command(
    OUTPUT "${rc}"
    COMMAND "${CMAKE_COMMAND}" "-DINSTALLER_RC_OUTPUT=${rc}" "-DINSTALLER_RC_PRODUCT=${product}"
            "-DINSTALLER_RC_PACKAGE=${package}" "-DINSTALLER_RC_MANIFEST=${resources}/installer.manifest"
            -P "${script}"
    DEPENDS "${script}" ${product_files} "${package}" ${P_DEPENDS}
    COMMENT "Writing the resource script of ${target}"
    VERBATIM)
  set(windres "${CMAKE_RC_COMPILER}")
  if(NOT windres)
    find_program(windres NAMES i686-w64-mingw32-windres windres REQUIRED)
  endif()
  add_custom_command(
    OUTPUT "${obj}"
    COMMAND "${windres}" --input-format=rc --output-format=coff -i "${rc}" -o "${obj}"
    DEPENDS "${rc}" ${product_files} "${package}" "${resources}/installer.manifest" ${P_DEPENDS}
    COMMENT "Compiling the resources of ${target}"
    VERBATIM)
  set_source_files_properties("${obj}" PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)

  add_executable(${target} WIN32 "${obj}" "${run_source}")
  target_link_libraries(${target} PRIVATE installer_main wizardwin appcore shell package)
  target_link_options(${target} PRIVATE -municode -static
                      $<$<CONFIG:Release,MinSizeRel>:-s> $<$<CONFIG:Release,MinSizeRel>:-Wl,--gc-sections>)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-Os>)
  if(P_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME "${P_OUTPUT_NAME}")
  endif()
endfunction()
