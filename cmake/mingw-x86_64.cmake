# Cross build for 64-bit Windows, for the Windows test binaries only: on a
# machine that runs no 32-bit programs (and so no 32-bit Wine), they run
# under 64-bit Wine. The programs a publisher ships are 32-bit
# (mingw-i686.cmake). Debian's mingw-w64, win32 thread flavour, as there.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
# The folder suffix of the libraries setup.sh cross-builds for this target
# (build/deps/zlib-x86_64, ...).
set(DEPS_ARCH x86_64)
set(CMAKE_C_COMPILER ${triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${triple}-g++-win32)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No runtime DLL beside the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
