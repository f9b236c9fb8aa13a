#!/usr/bin/env bash
# Takes a fresh Debian machine (run as root) to a working build environment:
# the cross compiler, Wine, the display tools, and the Windows builds of
# libjpeg-turbo and GoogleTest. Idempotent: a second run only checks.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
deps=$root/build/deps

# Every message goes to standard error: functions below return values on
# standard output (srcdir=$(fetch_source ...)), which a log line would corrupt.
log() { printf '[setup] %s\n' "$*" >&2; }

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  googletest libcrypto++-dev zlib1g-dev libzstd-dev libjpeg62-turbo-dev
  wine wine32 wine64 xvfb xdotool imagemagick fonts-wqy-zenhei locales dpkg-dev python3 python3-pefile
  osslsigncode openssl lintian
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

# The win32 thread flavour of the cross compilers is the one we build with.
for tool in i686-w64-mingw32-gcc i686-w64-mingw32-g++ x86_64-w64-mingw32-gcc x86_64-w64-mingw32-g++; do
  [ -x "/usr/bin/$tool-win32" ] || { echo "missing $tool-win32" >&2; exit 1; }
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

# The C libraries the Windows programs link are cross-built from Debian's own
# source packages. The deb-src list is derived from the machine's binary
# list, so no host is written here.
ensure_source_list() {
  local src_list=/etc/apt/sources.list.d/debian-src.sources
  [ -f "$src_list" ] || [ -f "$src_list.list" ] && return 0
  log "adding deb-src twin of the Debian source list"
  for f in /etc/apt/sources.list.d/debian.sources; do
    [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f"
  done >"$src_list"
  if [ ! -s "$src_list" ] && [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"$src_list.list" || true
    rm -f "$src_list"
  fi
  apt-get update -qq >&2
}

# Unpacks source package $1 into folder $2 and prints the source folder (its
# only output on standard output). A mirror may list a version (a security
# update) whose files it does not hold yet, so each listed version is tried in
# turn.
fetch_source() {
  local package=$1 dir=$2 version
  rm -rf "$dir" && mkdir -p "$dir"
  for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p'); do
    if (cd "$dir" && apt-get source --download-only -qq "$package=$version" >/dev/null 2>&1); then
      tar -xf "$(ls "$dir/${package}_"*.orig.tar.* | head -n1)" -C "$dir"
      find "$dir" -maxdepth 1 -mindepth 1 -type d | head -n1
      return 0
    fi
    rm -rf "$dir" && mkdir -p "$dir"
  done
  echo "setup: cannot fetch the source package $package" >&2
  return 1
}

# Both are built for size: -Os, one section per function so the linker drops
# what a program never calls, and no unwind tables (C code never unwinds; in
# a PE image each table would keep every function of its file). Each prefix
# holds a stamp naming its recipe; a prefix built by another one is rebuilt.
c_size_flags="-Os -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -fno-unwind-tables"

# The libraries are built for two targets: i686, which the shipped programs
# are, and x86_64, for the Windows test binaries on a machine that runs no
# 32-bit programs (they run under 64-bit Wine there; see test.sh).
targets=(i686 x86_64)
needs_build() {  # prefix, recipe, library file
  [ "$(cat "$1/recipe" 2>/dev/null)" != "$2" ] || [ ! -f "$1/lib/$3" ]
}
# A 64-bit Windows program unwinds through every frame by its unwind tables,
# and the tests raise exceptions through libjpeg's callbacks: the x86_64
# builds keep them (their size does not matter).
c_flags_for() {
  if [ "$1" = x86_64 ]; then echo "-Os -ffunction-sections -fdata-sections"; else echo "$c_size_flags"; fi
}

# libjpeg-turbo, static. The installer only decodes its two banners: no
# forced inlining, no getenv (its memory manager would read JPEGMEM with
# sscanf) and no arithmetic coding. libjpeg picks its decoder's parts at run
# time, so every part the banner decoder never asks for stays in the program
# unless jmorecfg.h leaves it out: the inverse DCTs of other sizes
# (scale_num/scale_denom, some 17 KB) and of other methods (dct_method),
# merged upsampling (do_fancy_upsampling off), colour quantisation
# (quantize_colors) and block smoothing, which only estimates the
# coefficients of a progressive picture that its scans leave out. Asked for
# anyway, each fails as JERR_NOT_COMPILED.
jpeg_omitted="IDCT_SCALING_SUPPORTED DCT_IFAST_SUPPORTED DCT_FLOAT_SUPPORTED UPSAMPLE_MERGING_SUPPORTED QUANT_1PASS_SUPPORTED QUANT_2PASS_SUPPORTED BLOCK_SMOOTHING_SUPPORTED"
for arch in "${targets[@]}"; do
  jpeg_recipe="libjpeg-turbo win32-threads $(c_flags_for "$arch") FORCE_INLINE=OFF NO_GETENV no-arith without $jpeg_omitted"
  jpeg_prefix=$deps/libjpeg-$arch
  needs_build "$jpeg_prefix" "$jpeg_recipe" libjpeg.a || continue
  log "fetching and cross-building libjpeg-turbo for $arch"
  ensure_source_list
  srcdir=$(fetch_source libjpeg-turbo "$deps/jpeg-src")
  for option in $jpeg_omitted; do
    grep -q "^#define $option\b" "$srcdir/jmorecfg.h" || { echo "setup: jmorecfg.h does not define $option" >&2; exit 1; }
    sed -i "s/^#define $option\b/#undef  $option/" "$srcdir/jmorecfg.h"
  done
  rm -rf "$deps/jpeg-build" "$jpeg_prefix"
  cmake -S "$srcdir" -B "$deps/jpeg-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" \
    -DCMAKE_C_FLAGS="-DNO_GETENV $(c_flags_for "$arch")" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG8=OFF -DWITH_ARITH_DEC=OFF -DWITH_ARITH_ENC=OFF -DFORCE_INLINE=OFF -Wno-dev >/dev/null
  cmake --build "$deps/jpeg-build" --target install >/dev/null
  echo "$jpeg_recipe" >"$jpeg_prefix/recipe"
  rm -rf "$deps/jpeg-src" "$deps/jpeg-build"
done

# zlib, static: the library's own sources without the gz* file functions,
# which nothing here uses. The inflater is built with zlib's NO_GZIP: the
# programs inflate zlib streams only, and without the gzip header code
# inflate() no longer links crc32 and its 5 KB of tables. With BUILDFIXED it
# computes its fixed-code tables on first use instead of carrying 2 KB of
# them (zlib notes that first use is not thread-safe; the programs inflate on
# one thread only). Those units are built without -fdata-sections, which on
# this target would put the zeroed tables in the file instead of in .bss.
# The deflater keeps gzip output (the tests write gzip streams the extractor
# must refuse).
for arch in "${targets[@]}"; do
  zlib_recipe="zlib win32-threads $(c_flags_for "$arch") no-gz inflate-NO_GZIP-BUILDFIXED-bss"
  zlib_prefix=$deps/zlib-$arch
  needs_build "$zlib_prefix" "$zlib_recipe" libz.a || continue
  log "fetching and cross-building zlib for $arch"
  ensure_source_list
  srcdir=$(fetch_source zlib "$deps/zlib-src")
  rm -rf "$zlib_prefix" && mkdir -p "$zlib_prefix/lib" "$zlib_prefix/include" "$deps/zlib-src/obj"
  for unit in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
    unit_flags=()
    case $unit in inf*) unit_flags=(-DNO_GZIP -DBUILDFIXED -fno-data-sections) ;; esac
    "$arch-w64-mingw32-gcc-win32" $(c_flags_for "$arch") "${unit_flags[@]}" -c "$srcdir/$unit.c" -o "$deps/zlib-src/obj/$unit.o"
  done
  "$arch-w64-mingw32-ar" rcs "$zlib_prefix/lib/libz.a" "$deps"/zlib-src/obj/*.o
  cp "$srcdir/zlib.h" "$srcdir/zconf.h" "$zlib_prefix/include/"
  echo "$zlib_recipe" >"$zlib_prefix/recipe"
  rm -rf "$deps/zlib-src"
done

# zstd, static, decoder only: the installer reads zstd members and never
# writes them. The size options zstd documents for a small decoder: no forced
# inlining, the single-symbol Huffman decoder only, the short sequence
# decoder only, error codes without their strings, no legacy formats, no
# assembly and no BMI2 paths. (The package tool links Debian's libzstd
# natively; the Windows package tool writes zlib packages only.)
zstd_defines="-DZSTD_NO_INLINE -DHUF_FORCE_DECOMPRESS_X1 -DZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT -DZSTD_STRIP_ERROR_STRINGS -DZSTD_LEGACY_SUPPORT=0 -DZSTD_DISABLE_ASM -DDYNAMIC_BMI2=0 -DZSTD_TRACE=0"
for arch in "${targets[@]}"; do
  zstd_recipe="zstd decoder win32-threads $(c_flags_for "$arch") $zstd_defines"
  zstd_prefix=$deps/zstd-$arch
  needs_build "$zstd_prefix" "$zstd_recipe" libzstd.a || continue
  log "fetching and cross-building the zstd decoder for $arch"
  ensure_source_list
  srcdir=$(fetch_source libzstd "$deps/zstd-src")
  rm -rf "$zstd_prefix" && mkdir -p "$zstd_prefix/lib" "$zstd_prefix/include" "$deps/zstd-src/obj"
  for unit in common/entropy_common common/error_private common/fse_decompress common/zstd_common common/xxhash \
              decompress/huf_decompress decompress/zstd_ddict decompress/zstd_decompress decompress/zstd_decompress_block; do
    "$arch-w64-mingw32-gcc-win32" $(c_flags_for "$arch") $zstd_defines -c "$srcdir/lib/$unit.c" \
      -o "$deps/zstd-src/obj/$(basename "$unit").o"
  done
  "$arch-w64-mingw32-ar" rcs "$zstd_prefix/lib/libzstd.a" "$deps"/zstd-src/obj/*.o
  cp "$srcdir/lib/zstd.h" "$srcdir/lib/zstd_errors.h" "$zstd_prefix/include/"
  echo "$zstd_recipe" >"$zstd_prefix/recipe"
  rm -rf "$deps/zstd-src"
done

# GoogleTest for the Windows target (the native build uses /usr/src/googletest
# directly through add_subdirectory). The win32 thread flavour of the
# compiler has neither pthreads nor std::mutex: GoogleTest uses its own
# Windows locks, and tests/gtest-win32 supplies the one class it would build
# on std::mutex. tests/CMakeLists.txt gives the tests the same header.
gtest_recipe="googletest win32-threads tests/gtest-win32"
for arch in "${targets[@]}"; do
  gtest_prefix=$deps/gtest-$arch
  needs_build "$gtest_prefix" "$gtest_recipe" libgtest.a || continue
  log "cross-building GoogleTest for $arch"
  rm -rf "$deps/gtest-build" "$gtest_prefix"
  cmake -S /usr/src/googletest -B "$deps/gtest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" \
    -DCMAKE_CXX_FLAGS="-iquote $root/tests/gtest-win32" -Dgtest_disable_pthreads=ON >/dev/null
  cmake --build "$deps/gtest-build" --target install >/dev/null
  echo "$gtest_recipe" >"$gtest_prefix/recipe"
  rm -rf "$deps/gtest-build"
done

log "ready"
