# The project's build trees and the options they are configured with, shared
# by test.sh and run.sh so that neither reconfigures the other's tree with
# different settings. Source it from the repository root.
#
#   native   build/native-asan    the portable core and its tests, with the
#                                 sanitizers
#   release  build/native-release the publisher's tool stpack for this
#                                 machine, optimised: it makes every installer
#                                 of the win32 tree and is what a publisher
#                                 gets (cmake --install, cpack)
#   win32    build/win32          the Windows programs and tests
#   win64    build/win64          the same programs and tests built for x64,
#                                 for 64-bit Wine on a machine that runs no
#                                 32-bit programs (the shipped ones stay
#                                 32-bit)
#
#   build_tree native|release|win32|win64 [target...]   configure and build (all
#       targets when none are named); the output goes to
#       build/<tree>.{configure,build}.log

native_tree=build/native-asan
release_tree=build/native-release
win32_tree=build/win32
win64_tree=build/win64

build_tree() {
  local name=$1; shift
  local dir options
  case $name in
    native)
      dir=$native_tree
      options=(-DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    release)
      dir=$release_tree
      # The Windows programs the packaged tool ships with come from the
      # win32 tree.
      options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF -DWINDOWS_PROGRAMS_DIR="$PWD/$win32_tree") ;;
    win32)
      dir=$win32_tree
      # Installers are made with the build machine's stpack.
      options=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel
               -DHOST_STPACK="$PWD/$release_tree/tools/stpack") ;;
    win64)
      dir=$win64_tree
      options=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel
               -DHOST_STPACK="$PWD/$release_tree/tools/stpack") ;;
    *) echo "unknown build tree $name" >&2; return 2 ;;
  esac
  # Where ccache is installed, compilations are cached across build trees and
  # checkouts: paths below the checkout are hashed relative to it.
  if command -v ccache >/dev/null; then
    options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  fi
  local log=build/$(basename "$dir")
  mkdir -p build
  # CMake keeps the compilers a tree was first configured with; a tree made
  # with another version of the toolchain file is made anew.
  if [ "$name" = win32 ] || [ "$name" = win64 ]; then
    local toolchain
    toolchain=$(sha1sum "${options[0]#-DCMAKE_TOOLCHAIN_FILE=}" | cut -d' ' -f1)
    if [ -f "$dir/CMakeCache.txt" ] && [ "$(cat "$dir/toolchain.sha1" 2>/dev/null)" != "$toolchain" ]; then
      rm -rf "$dir"
    fi
    mkdir -p "$dir" && echo "$toolchain" >"$dir/toolchain.sha1"
  fi
  cmake -S . -B "$dir" -G Ninja -Wno-dev "${options[@]}" >"$log.configure.log" 2>&1 &&
    cmake --build "$dir" -j "$(nproc)" ${1:+--target "$@"} >"$log.build.log" 2>&1
}
