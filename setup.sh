#!/usr/bin/env bash
# Takes a fresh Debian machine (run as root) to a working build environment:
# the cross compiler, Wine, the display tools, and the Windows builds of
# libjpeg-turbo and GoogleTest. Idempotent: a second run only checks.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
deps=$root/build/deps

log() { printf '[setup] %s\n' "$*"; }

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686
  libz-mingw-w64-dev googletest libcrypto++-dev zlib1g-dev
  wine wine32 xvfb xdotool imagemagick fonts-wqy-zenhei locales dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  log "installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The win32 thread flavour of the cross compiler is the one we build with.
for tool in gcc g++; do
  [ -x "/usr/bin/i686-w64-mingw32-$tool-win32" ] || { echo "missing i686-w64-mingw32-$tool-win32" >&2; exit 1; }
done

# Wine cannot create files with Chinese names without these glibc locales.
for loc in zh_CN en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >>/etc/locale.gen
    need_locales=1
  fi
done
if [ "${need_locales:-0}" = 1 ]; then log "generating locales"; locale-gen >/dev/null; fi

mkdir -p "$deps"

# libjpeg-turbo for i686 Windows, static, from Debian's own source package.
# The deb-src list is derived from the machine's binary list, so no host is
# written here. Built for size, as the installer only decodes its two
# banners: -Os without forced inlining, one section per function so the
# linker drops what the decoder never calls, no unwind tables (C code never
# unwinds), no getenv (its memory manager would read JPEGMEM with sscanf) and
# no arithmetic coding. The stamp names this recipe; a tree built by an
# older one is rebuilt.
jpeg_prefix=$deps/libjpeg-i686
jpeg_recipe="libjpeg-turbo win32-threads MinSizeRel FORCE_INLINE=OFF NO_GETENV no-arith sections no-unwind"
if [ "$(cat "$jpeg_prefix/recipe" 2>/dev/null)" != "$jpeg_recipe" ] || [ ! -f "$jpeg_prefix/lib/libjpeg.a" ]; then
  src_list=/etc/apt/sources.list.d/debian-src.sources
  if [ ! -f "$src_list" ]; then
    log "adding deb-src twin of the Debian source list"
    for f in /etc/apt/sources.list.d/debian.sources; do
      [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f"
    done >"$src_list"
    if [ ! -s "$src_list" ] && [ -f /etc/apt/sources.list ]; then
      grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"$src_list.list" || true
      rm -f "$src_list"
    fi
    apt-get update -qq
  fi
  log "fetching and cross-building libjpeg-turbo"
  rm -rf "$deps/jpeg-src" "$deps/jpeg-build" "$jpeg_prefix" && mkdir -p "$deps/jpeg-src"
  (cd "$deps/jpeg-src" && apt-get source --download-only -qq libjpeg-turbo >/dev/null)
  tarball=$(ls "$deps"/jpeg-src/libjpeg-turbo_*.orig.tar.* | head -n1)
  tar -xf "$tarball" -C "$deps/jpeg-src"
  srcdir=$(find "$deps/jpeg-src" -maxdepth 1 -mindepth 1 -type d -name 'libjpeg-turbo*' | head -n1)
  cmake -S "$srcdir" -B "$deps/jpeg-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" \
    -DCMAKE_C_FLAGS="-DNO_GETENV -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -fno-unwind-tables" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG8=OFF -DWITH_ARITH_DEC=OFF -DWITH_ARITH_ENC=OFF -DFORCE_INLINE=OFF -Wno-dev >/dev/null
  cmake --build "$deps/jpeg-build" --target install >/dev/null
  echo "$jpeg_recipe" >"$jpeg_prefix/recipe"
  rm -rf "$deps/jpeg-src" "$deps/jpeg-build"
fi

# GoogleTest for the Windows target (the native build uses /usr/src/googletest
# directly through add_subdirectory). The win32 thread flavour of the
# compiler has neither pthreads nor std::mutex: GoogleTest uses its own
# Windows locks, and tests/gtest-win32 supplies the one class it would build
# on std::mutex. tests/CMakeLists.txt gives the tests the same header.
gtest_prefix=$deps/gtest-i686
gtest_recipe="googletest win32-threads tests/gtest-win32"
if [ "$(cat "$gtest_prefix/recipe" 2>/dev/null)" != "$gtest_recipe" ] || [ ! -f "$gtest_prefix/lib/libgtest.a" ]; then
  log "cross-building GoogleTest"
  rm -rf "$deps/gtest-build" "$gtest_prefix"
  cmake -S /usr/src/googletest -B "$deps/gtest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" \
    -DCMAKE_CXX_FLAGS="-iquote $root/tests/gtest-win32" -Dgtest_disable_pthreads=ON >/dev/null
  cmake --build "$deps/gtest-build" --target install >/dev/null
  echo "$gtest_recipe" >"$gtest_prefix/recipe"
  rm -rf "$deps/gtest-build"
fi

log "ready"
