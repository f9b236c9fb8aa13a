# The installer's manifest as the programs carry it: resources/installer.manifest
# without its comments and the indentation between elements, which Windows
# never reads and which would cost the installer program a file block of its
# resource section. Written at configure time to ${INSTALLER_MANIFEST}; an
# edit of the source file reconfigures.
set(source "${CMAKE_SOURCE_DIR}/resources/installer.manifest")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
file(READ "${source}" text)
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" text "${text}")
string(REGEX REPLACE ">[ \t\r\n]+<" "><" text "${text}")
string(REGEX REPLACE "[ \t]*[\r\n]+[ \t]*" " " text "${text}")
string(STRIP "${text}" text)
set(INSTALLER_MANIFEST "${CMAKE_BINARY_DIR}/installer.manifest")
file(WRITE "${INSTALLER_MANIFEST}.tmp" "${text}\n")
file(COPY_FILE "${INSTALLER_MANIFEST}.tmp" "${INSTALLER_MANIFEST}" ONLY_IF_DIFFERENT)
file(REMOVE "${INSTALLER_MANIFEST}.tmp")
