#!/usr/bin/env bash
# A product with one very large file, from product folder to installed files
# under Wine: the limits a 32-bit installer meets with a package of a good
# part of a gigabyte inside its own executable.
#
#   tests/large/large-product.sh [size-mb]     (default 1536: a 1.5 GB file)
#
# It makes, in a temporary folder (about three times the file's size on
# disk), a product whose payload holds the program and Big.bin: the given
# size of mixed content, half random bytes and half text, so that it
# neither packs to nothing nor fails to pack. Then:
#   1. `stpack make` (the release tool) writes the installer; its peak
#      memory is printed and must stay far below the file's size;
#   2. the installer runs silently under Wine (`/S /D=C:\Large`): exit code
#      0, Big.bin installed with the payload's SHA-256, no Setup.stp left;
#      the peak memory of the Wine process is printed;
#   3. `stpack verify` of the installer under Wine (stpack.exe) likewise.
# Not part of test.sh (it takes minutes and gigabytes); prints
# "N passed, N failed" last like the end-to-end scripts.

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"

SIZE_MB=${1:-1536}
RELEASE=$E2E_ROOT/build/native-release
BUILD=$E2E_ROOT/build/win32
e2e_require "$RELEASE/tools/stpack" "$BUILD/app/SetupStub.exe" "$BUILD/uninstall/Uninst.exe" \
  "$BUILD/examples/Drawvane.exe" "$BUILD/tools/stpack.exe"

e2e_init large || { echo "0 passed, 1 failed"; exit 1; }
work=$E2E_TMP/work
mkdir -p "$work/Large/payload"
cp "$BUILD/examples/Drawvane.exe" "$work/Large/payload/Large.exe"
cat >"$work/Large/product.ini" <<'EOF'
ExeName = Large
Version = 1.0
ProductNameEn = Large Product
Freeware = -1
WindowClass = TLargeProductMain
WindowTitle = Large Product
EOF

# Big.bin: 1 MB blocks, random and text in turn.
e2e_log "writing Big.bin, $SIZE_MB MB"
head -c 1048576 /dev/urandom >"$E2E_TMP/random.block"
yes 'the quick brown fox jumps over the lazy dog, 0123456789' | head -c 1048576 >"$E2E_TMP/text.block"
for ((i = 0; i < SIZE_MB; i++)); do
  if ((i % 2)); then cat "$E2E_TMP/text.block"; else cat "$E2E_TMP/random.block"; fi
done >"$work/Large/payload/Big.bin"
expected=$(sha256sum "$work/Large/payload/Big.bin" | cut -d' ' -f1)

peak_mb() { tail -n 1 "$1" | awk '{ printf "%.1f", $1 / 1024 }'; }

# 1. The tool.
/usr/bin/time -f %M -o "$E2E_TMP/make.rss" "$RELEASE/tools/stpack" make "$work/Large" -o "$work/LargeSetup.exe" \
  --stub "$BUILD/app/SetupStub.exe" --uninstaller "$BUILD/uninstall/Uninst.exe" >"$E2E_TMP/make.log" 2>&1
check "make: writes the installer" test -f "$work/LargeSetup.exe"
e2e_log "make: $(tail -n 1 "$E2E_TMP/make.log")"
e2e_log "make: peak memory $(peak_mb "$E2E_TMP/make.rss") MB"
check "make: peak memory below 200 MB" test "$(tail -n 1 "$E2E_TMP/make.rss")" -lt 204800
check "make: the program is large-address-aware" \
  sh -c "i686-w64-mingw32-objdump -f '$work/LargeSetup.exe' | grep -q LARGE_ADDRESS_AWARE || /usr/bin/python3 -c \"import pefile,sys; sys.exit(0 if pefile.PE('$work/LargeSetup.exe', fast_load=True).FILE_HEADER.Characteristics & 0x20 else 1)\""

# 2. The installer, silently.
wine_set_version win7
start=$SECONDS
/usr/bin/time -f %M -o "$E2E_TMP/setup.rss" wine "$work/LargeSetup.exe" /S '/LOG=C:\large.log' '/D=C:\Large' >/dev/null 2>&1
code=$?
wineserver -w
check_eq "install: exit code" 0 "$code"
e2e_log "install: $((SECONDS - start)) s, peak memory of the Wine process $(peak_mb "$E2E_TMP/setup.rss") MB"
installed=$(unix_path 'C:\Large')
check_eq "install: Big.bin with the payload's bytes" "$expected" "$(sha256sum "$installed/Big.bin" 2>/dev/null | cut -d' ' -f1)"
check "install: no Setup.stp left" test ! -e "$installed/Setup.stp"
if [ "$code" -ne 0 ]; then
  e2e_log "setup log:"
  iconv -f UTF-8 -t UTF-8 "$(unix_path 'C:\large.log')" 2>/dev/null | tail -n 15
fi

# 3. stpack.exe verifies the installer under Wine, with flat memory too.
/usr/bin/time -f %M -o "$E2E_TMP/verify.rss" wine "$BUILD/tools/stpack.exe" verify "$(win_path "$work/LargeSetup.exe")" \
  >"$E2E_TMP/verify.log" 2>&1
check "stpack.exe verify: the installer's package and SHA-256" grep -q 'SHA-256 matches' "$E2E_TMP/verify.log"
e2e_log "stpack.exe verify: peak memory $(peak_mb "$E2E_TMP/verify.rss") MB"

rm -rf "$work"
e2e_summary
