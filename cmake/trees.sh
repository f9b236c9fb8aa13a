# The project's two build trees and the options they are configured with,
# shared by test.sh and run.sh so that neither reconfigures the other's tree
# with different settings. Source it from the repository root.
#
#   build_tree native|win32 [target...]   configure and build (all targets
#                                         when none are named); the output goes
#                                         to build/<tree>.{configure,build}.log

native_tree=build/native-asan
win32_tree=build/win32

build_tree() {
  local name=$1; shift
  local dir options
  case $name in
    native)
      dir=$native_tree
      options=(-DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    win32)
      dir=$win32_tree
      # The sample product's package is made with the native package tool.
      options=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel
               -DHOST_STPACK="$PWD/$native_tree/tools/stpack") ;;
    *) echo "unknown build tree $name" >&2; return 2 ;;
  esac
  local log=build/$(basename "$dir")
  mkdir -p build
  # CMake keeps the compilers a tree was first configured with; a tree made
  # with another version of the toolchain file is made anew.
  if [ "$name" = win32 ]; then
    local toolchain
    toolchain=$(sha1sum cmake/mingw-i686.cmake | cut -d' ' -f1)
    if [ -f "$dir/CMakeCache.txt" ] && [ "$(cat "$dir/toolchain.sha1" 2>/dev/null)" != "$toolchain" ]; then
      rm -rf "$dir"
    fi
    mkdir -p "$dir" && echo "$toolchain" >"$dir/toolchain.sha1"
  fi
  cmake -S . -B "$dir" -G Ninja -Wno-dev "${options[@]}" >"$log.configure.log" 2>&1 &&
    cmake --build "$dir" -j "$(nproc)" ${1:+--target "$@"} >"$log.build.log" 2>&1
}
