#!/usr/bin/env bash
# One run, side by side: this installer (zlib, and `best`, zstd) against the
# zlib baseline and against the open-source peer in Debian (NSIS: makensis
# with zlib, and with solid LZMA), on the benchmark payload (by default 165 MB
# in 288 files of mixed kinds, the reference size).
#
#   bench/compare.sh [--size-mb N] [--files N] [--runs N] [--keep]
#
# It prints:
#   - native: ExtractPackage of zlib and zstd packages against the plain zlib
#     baseline (extract_bench: median time and peak memory of each);
#   - under Wine: stpack.exe extracting the package, and a silent installation
#     (`/S /D=...`) of each of our installers and of each of the peer's of the
#     same payload, run in turn in one prefix (a warm wineserver): median time
#     and peak memory of the Wine process. The installers are 32-bit; on a
#     machine that runs no 32-bit program this part says so and is left out;
#   - what our installer's integrity check cost in those runs (from its log);
#   - sizes: our installer program without a package (SetupStub.exe), our
#     Uninst.exe, the peer's empty installer with two languages and an
#     uninstaller, and the four installers of the payload, with the ratio of
#     ours (best) to the peer's solid LZMA one.
# It needs the trees test.sh builds (build/native-release, build/win32), an
# optimised native build of extract_bench (made here in build/bench), makensis
# (Debian's nsis) and Wine, and about four times the payload on disk. Figures
# depend on the machine and its load; it is a benchmark, not a test.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

size_mb=165 files=288 runs=3 keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --size-mb) size_mb=$2; shift 2 ;;
    --files) files=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "usage: bench/compare.sh [--size-mb N] [--files N] [--runs N] [--keep]" >&2; exit 2 ;;
  esac
done

stpack=$root/build/native-release/tools/stpack
win32=$root/build/win32
for f in "$stpack" "$win32/app/SetupStub.exe" "$win32/uninstall/Uninst.exe" "$win32/tools/stpack.exe"; do
  [ -f "$f" ] || { echo "compare.sh: $f is missing; run test.sh (or run.sh) first" >&2; exit 2; }
done
command -v makensis >/dev/null || { echo "compare.sh: makensis not found (apt-get install nsis)" >&2; exit 2; }

echo "building extract_bench (Release)..."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF >/dev/null &&
  cmake --build build/bench --target extract_bench >/dev/null || exit 1

work=$(mktemp -d /tmp/corvenna-compare.XXXXXX)
export WINEARCH=win32 WINEDEBUG=-all WINEPREFIX=$work/prefix HOME=$work/home
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
cleanup() {
  wineserver -k >/dev/null 2>&1
  if [ "$keep" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }
kb_to_mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
size_kb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.0f", b / 1024 }'; }

# --- native ----------------------------------------------------------------------
echo "native: extract_bench --size-mb $size_mb --files $files --runs $runs"
build/bench/bench/extract_bench --dir "$work/native" --keep --size-mb "$size_mb" --files "$files" --runs "$runs" \
  >"$work/native.txt" 2>&1 || { cat "$work/native.txt"; exit 1; }
payload=$work/native/out  # the last extraction: the payload, byte for byte
native_rows=$(grep -E '^(payload|zstd package|  baseline \(|  ExtractPackage|  ratio|  zstd / zlib)' "$work/native.txt" |
  sed 's/^  //')

# --- the two installers of the payload ------------------------------------------------
mkdir -p "$work/Bench"
mv "$payload" "$work/Bench/payload"
payload=$work/Bench/payload
cp "$win32/examples/Drawvane.exe" "$payload/Bench.exe"
cat >"$work/Bench/product.ini" <<'EOF'
ExeName = Bench
Version = 1.0
ProductNameEn = Bench
Freeware = -1
WindowClass = TBenchMain
WindowTitle = Bench
EOF
make_ours() {  # <compression> <output>: prints the seconds make took
  local start
  start=$(date +%s.%N)
  "$stpack" make "$work/Bench" -o "$2" --compression "$1" --stub "$win32/app/SetupStub.exe" \
    --uninstaller "$win32/uninstall/Uninst.exe" >/dev/null 2>"$work/make.err" || { cat "$work/make.err" >&2; exit 1; }
  awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'
}
make_s=$(make_ours zlib "$work/BenchSetup.exe") || exit 1
make_best_s=$(make_ours best "$work/BenchSetupBest.exe") || exit 1

# The peer: its modern interface in English and Simplified Chinese, an
# uninstaller, a shortcut and an uninstall entry, like ours; zlib (not solid)
# or solid LZMA.
nsis_script() {  # <with files: 1 or 0> <compressor line> <output>
  cat <<EOF
Unicode true
$2
Name "Bench"
OutFile "$3"
InstallDir "\$PROGRAMFILES\\Bench"
RequestExecutionLevel admin
!include MUI2.nsh
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "license.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
Section
  SetOutPath "\$INSTDIR"
$([ "$1" = 1 ] && echo '  File /r "Bench/payload/*"')
  WriteUninstaller "\$INSTDIR\\Uninst.exe"
  CreateShortcut "\$DESKTOP\\Bench.lnk" "\$INSTDIR\\Bench.exe"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench" "DisplayName" "Bench"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench" "UninstallString" '"\$INSTDIR\\Uninst.exe"'
SectionEnd
Section Uninstall
  RMDir /r "\$INSTDIR"
  Delete "\$DESKTOP\\Bench.lnk"
  DeleteRegKey HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench"
SectionEnd
EOF
}
printf 'Bench licence.\n' >"$work/license.txt"
nsis_script 0 "SetCompressor zlib" NsisEmpty.exe >"$work/empty.nsi"
nsis_script 1 "SetCompressor zlib" NsisSetup.exe >"$work/bench.nsi"
nsis_script 1 "SetCompressor /SOLID lzma" NsisSetupLzma.exe >"$work/lzma.nsi"
(cd "$work" && makensis -V1 empty.nsi >/dev/null && makensis -V1 bench.nsi >/dev/null && makensis -V1 lzma.nsi >/dev/null) ||
  { echo "makensis failed" >&2; exit 1; }

# --- under Wine ------------------------------------------------------------------------
wine_report() {
  echo "== under Wine"
  echo "  SKIP: this machine runs no 32-bit x86 program (wine --version fails), so the 32-bit installers cannot run"
}
if wine --version >/dev/null 2>&1; then
echo "Wine: a fresh prefix, then $runs silent installations of each, in turn"
wineboot -i >/dev/null 2>&1
wineserver -w
drive=$WINEPREFIX/drive_c
run_timed() {  # label, then the command: appends "seconds peak-KB" to $work/<label>.runs
  local label=$1
  shift
  /usr/bin/time -f '%e %M' -o "$work/$label.time" "$@" >/dev/null 2>&1
  local code=$?
  wineserver -w
  [ "$code" -eq 0 ] || echo "  $label: exit code $code" >&2
  tail -n 1 "$work/$label.time" >>"$work/$label.runs"
}
for ((i = 1; i <= runs; i++)); do
  rm -rf "$drive/Ours" "$drive/OursBest" "$drive/Nsis" "$drive/NsisLzma" "$drive/Extract"
  run_timed ours wine "$work/BenchSetup.exe" /S '/LOG=C:\ours.log' '/D=C:\Ours'
  tr -d '\r' <"$drive/ours.log" | sed -n 's/.*Package check: .*(\([0-9]*\) ms)$/\1/p' >>"$work/check.runs"
  run_timed best wine "$work/BenchSetupBest.exe" /S '/D=C:\OursBest'
  run_timed nsis wine "$work/NsisSetup.exe" /S '/D=C:\Nsis'
  run_timed lzma wine "$work/NsisSetupLzma.exe" /S '/D=C:\NsisLzma'
  run_timed extract wine "$win32/tools/stpack.exe" extract "Z:${work//\//\\}\\BenchSetup.exe" 'C:\Extract'
done

figure() {  # label: "median s, peak MB" over its runs
  local t m
  t=$(cut -d' ' -f1 "$work/$1.runs" | median)
  m=$(cut -d' ' -f2 "$work/$1.runs" | median)
  echo "$t s, $(kb_to_mb "$m") MB"
}
verified() { cmp -s "$payload/Bench.exe" "$drive/$1/Bench.exe" && echo yes || echo NO; }
ratio() { awk -v a="$(cut -d' ' -f1 "$work/$1.runs" | median)" -v b="$(cut -d' ' -f1 "$work/$2.runs" | median)" \
  'BEGIN { printf "%.2f", a / b }'; }
wine_report() {
  echo "== under Wine, median of $runs, wall time and peak memory of the Wine process"
  printf '  %-44s %s\n' "stpack.exe extract (the package in place)" "$(figure extract)"
  printf '  %-44s %s\n' "our installer (zlib), /S, check included" "$(figure ours)"
  printf '  %-44s %s (%s of the peer zlib time)\n' "our installer (best), /S, check included" "$(figure best)" \
    "$(ratio best nsis)"
  printf '  %-44s %s\n' "the peer (NSIS, zlib), /S" "$(figure nsis)"
  printf '  %-44s %s\n' "the peer (NSIS, solid LZMA), /S" "$(figure lzma)"
  printf '  %-44s %s ms (median; the wizard does it while the first pages show)\n' \
    "our integrity check (SHA-256 of the package)" "$(median <"$work/check.runs")"
  printf '  %-44s ours %s/%s, peer %s/%s\n' "installed files verified (zlib/best)" "$(verified Ours)" \
    "$(verified OursBest)" "$(verified Nsis)" "$(verified NsisLzma)"
}
fi

# --- report ---------------------------------------------------------------------------
echo
echo "== native (extract_bench, median of $runs; peak memory of each extraction)"
echo "$native_rows" | sed 's/^/  /'
echo
wine_report
echo
echo "== sizes"
printf '  %-44s %7s KB\n' "SetupStub.exe (installer without package)" "$(size_kb "$win32/app/SetupStub.exe")"
printf '  %-44s %7s KB\n' "Uninst.exe" "$(size_kb "$win32/uninstall/Uninst.exe")"
printf '  %-44s %7s KB\n' "peer: empty installer, 2 languages, uninst." "$(size_kb "$work/NsisEmpty.exe")"
printf '  %-44s %7s KB (made in %s s)\n' "our installer of the payload (zlib)" "$(size_kb "$work/BenchSetup.exe")" "$make_s"
printf '  %-44s %7s KB (made in %s s)\n' "our installer of the payload (best)" "$(size_kb "$work/BenchSetupBest.exe")" \
  "$make_best_s"
printf '  %-44s %7s KB\n' "the peer's installer of the payload (zlib)" "$(size_kb "$work/NsisSetup.exe")"
printf '  %-44s %7s KB\n' "the peer's installer (solid LZMA)" "$(size_kb "$work/NsisSetupLzma.exe")"
printf '  %-44s %7s\n' "ours (best) / the peer's solid LZMA" \
  "$(awk -v a="$(stat -c %s "$work/BenchSetupBest.exe")" -v b="$(stat -c %s "$work/NsisSetupLzma.exe")" \
    'BEGIN { printf "%.3f", a / b }')"
