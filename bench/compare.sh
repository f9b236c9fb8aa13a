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
#     and peak memory of the Wine process;
#   - what our installer's integrity check cost in those runs (from its log);
#   - start to first window (bench/first_window.exe), in the same prefix, on
#     an X server of its own: our installer of a tiny product against
#     bare_window.exe (the least a Win32 program does to show a window) and,
#     where it runs, the peer's empty installer; run in turn, the first run of
#     each (the cold start) apart from the median of the others;
#     The shipped programs are 32-bit. On a machine that runs no 32-bit
#     program, the Wine part runs the same sources built for x64 (build/win64)
#     under 64-bit Wine, says so, and leaves out the peer, whose installers
#     are 32-bit only;
#   - sizes: our installer program without a package (SetupStub.exe), our
#     Uninst.exe, the peer's empty installer with two languages and an
#     uninstaller, and the four installers of the payload, with the ratio of
#     ours (best) to the peer's solid LZMA one.
# It needs the trees test.sh builds (build/native-release, build/win32, and
# build/win64 where 32-bit Wine cannot run), Xvfb, an
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

# The Windows programs the Wine part runs: the shipped 32-bit ones, or, where
# this machine runs no 32-bit x86 code (32-bit Wine cannot start), the x64
# build of the same sources under 64-bit Wine.
wine_build=$win32 wine_arch=win32 wine=wine
if ! wine --version >/dev/null 2>&1; then
  wine_build=$root/build/win64 wine_arch=win64 wine=/usr/lib/wine/wine64
  if ! "$wine" --version >/dev/null 2>&1 || [ ! -f "$wine_build/app/SetupStub.exe" ]; then
    wine_build= wine=
  fi
fi
if [ -n "$wine" ]; then
  for f in "$wine_build/bench/first_window.exe" "$wine_build/bench/bare_window.exe"; do
    [ -f "$f" ] || { echo "compare.sh: $f is missing; run test.sh (or run.sh) first" >&2; exit 2; }
  done
fi

echo "building extract_bench (Release)..."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF >/dev/null &&
  cmake --build build/bench --target extract_bench >/dev/null || exit 1

work=$(mktemp -d /tmp/corvenna-compare.XXXXXX)
export WINEARCH=$wine_arch WINEDEBUG=-all WINEPREFIX=$work/prefix HOME=$work/home
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
xvfb_pid=
cleanup() {
  [ -z "$wine" ] || WINELOADER=$wine wineserver -k >/dev/null 2>&1
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
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
make_ours() {  # <compression> <output> [<build> <product>]: prints the seconds make took
  local start build=${3:-$win32} product=${4:-$work/Bench}
  start=$(date +%s.%N)
  "$stpack" make "$product" -o "$2" --compression "$1" --stub "$build/app/SetupStub.exe" \
    --uninstaller "$build/uninstall/Uninst.exe" >/dev/null 2>"$work/make.err" || { cat "$work/make.err" >&2; exit 1; }
  awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'
}
make_s=$(make_ours zlib "$work/BenchSetup.exe") || exit 1
make_best_s=$(make_ours best "$work/BenchSetupBest.exe") || exit 1
# What Wine runs: these, or the same installers made with the x64 programs.
run_zlib=$work/BenchSetup.exe run_best=$work/BenchSetupBest.exe
if [ -n "$wine" ] && [ "$wine_arch" = win64 ]; then
  run_zlib=$work/BenchSetup64.exe run_best=$work/BenchSetupBest64.exe
  make_ours zlib "$run_zlib" "$wine_build" >/dev/null || exit 1
  make_ours best "$run_best" "$wine_build" >/dev/null || exit 1
fi
# A tiny product, for the time to the first window: the payload's program only.
mkdir -p "$work/Tiny/payload"
cp "$work/Bench/product.ini" "$work/Tiny/"
cp "$payload/Bench.exe" "$work/Tiny/payload/"
[ -z "$wine" ] || make_ours zlib "$work/TinySetup.exe" "$wine_build" "$work/Tiny" >/dev/null || exit 1

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
  echo "  SKIP: this machine runs no 32-bit x86 program (wine --version fails) and no x64 build or 64-bit Wine is here"
}
if [ -n "$wine" ]; then
peer=1
if [ "$wine_arch" = win64 ]; then
  peer=0
  # wineboot and wineserver start wine-stable, which must be the 64-bit loader.
  mkdir -p "$work/bin"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec %s "$@"\n' "$wine" >"$work/bin/$name"
    chmod +x "$work/bin/$name"
  done
  export PATH=$work/bin:$PATH WINELOADER=$wine
fi
# An X server of its own: the installers show windows.
for d in $(seq 90 120); do [ -e "/tmp/.X$d-lock" ] || break; done
Xvfb ":$d" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=:$d
sleep 1
echo "Wine ($wine_arch): a fresh prefix, then $runs silent installations of each, in turn"
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
verified() { cmp -s "$payload/Bench.exe" "$drive/$1/Bench.exe" && echo yes || echo NO; }
for ((i = 1; i <= runs; i++)); do
  rm -rf "$drive/Ours" "$drive/OursBest" "$drive/Nsis" "$drive/NsisLzma" "$drive/Extract"
  # Both of ours install the same product, so the second would be an upgrade
  # that also removes the first one's files. Each is checked right after it
  # ran, and the first one's folder goes before the second runs: both time a
  # first installation, as the peer's runs do.
  run_timed ours "$wine" "$run_zlib" /S '/LOG=C:\ours.log' '/D=C:\Ours'
  verified Ours >"$work/Ours.verified"
  tr -d '\r' <"$drive/ours.log" | sed -n 's/.*Package check: .*(\([0-9]*\) ms)$/\1/p' >>"$work/check.runs"
  rm -rf "$drive/Ours"
  run_timed best "$wine" "$run_best" /S '/LOG=C:\best.log' '/D=C:\OursBest'
  if grep -q "Removing the earlier installation" "$drive/best.log"; then
    echo "  best: the run removed an earlier installation; its time counts that too" >&2
  fi
  verified OursBest >"$work/OursBest.verified"
  if [ "$peer" = 1 ]; then
    run_timed nsis "$wine" "$work/NsisSetup.exe" /S '/D=C:\Nsis'
    verified Nsis >"$work/Nsis.verified"
    run_timed lzma "$wine" "$work/NsisSetupLzma.exe" /S '/D=C:\NsisLzma'
    verified NsisLzma >"$work/NsisLzma.verified"
  fi
  run_timed extract "$wine" "$wine_build/tools/stpack.exe" extract "Z:${run_zlib//\//\\}" 'C:\Extract'
done

# Start to first window, in turn; the first run of each is its cold start.
echo "Wine: start to first window, $((runs + 1)) runs of each, in turn"
first_window() {  # label, program: appends the run's milliseconds to $work/<label>.window
  "$wine" "$wine_build/bench/first_window.exe" 1 "$2" 2>/dev/null | tr -d '\r' | sed -n 's/^run 1: \([0-9.]*\) ms$/\1/p' \
    >>"$work/$1.window"
}
for ((i = 0; i <= runs; i++)); do
  first_window bare "$wine_build/bench/bare_window.exe"
  first_window tiny "$work/TinySetup.exe"
  [ "$peer" = 0 ] || first_window peer "$work/NsisEmpty.exe"
done
window_figure() {  # label: "cold N ms, then median N ms"
  local cold warm
  cold=$(head -n 1 "$work/$1.window")
  warm=$(tail -n +2 "$work/$1.window" | median)
  echo "cold ${cold:-?} ms, then median ${warm:-?} ms"
}

figure() {  # label: "median s, peak MB" over its runs
  local t m
  t=$(cut -d' ' -f1 "$work/$1.runs" | median)
  m=$(cut -d' ' -f2 "$work/$1.runs" | median)
  echo "$t s, $(kb_to_mb "$m") MB"
}
ratio() { awk -v a="$(cut -d' ' -f1 "$work/$1.runs" | median)" -v b="$(cut -d' ' -f1 "$work/$2.runs" | median)" \
  'BEGIN { printf "%.2f", a / b }'; }
wine_report() {
  echo "== under Wine ($wine_arch), median of $runs, wall time and peak memory of the Wine process"
  [ "$peer" = 1 ] || echo "  (this machine runs no 32-bit x86 program: these are the x64 builds under 64-bit Wine;" \
    "the peer's installers are 32-bit only and are left out)"
  printf '  %-44s %s\n' "stpack.exe extract (the package in place)" "$(figure extract)"
  printf '  %-44s %s\n' "our installer (zlib), /S, check included" "$(figure ours)"
  if [ "$peer" = 1 ]; then
    printf '  %-44s %s (%s of the peer zlib time)\n' "our installer (best), /S, check included" "$(figure best)" \
      "$(ratio best nsis)"
    printf '  %-44s %s\n' "the peer (NSIS, zlib), /S" "$(figure nsis)"
    printf '  %-44s %s\n' "the peer (NSIS, solid LZMA), /S" "$(figure lzma)"
  else
    printf '  %-44s %s\n' "our installer (best), /S, check included" "$(figure best)"
  fi
  printf '  %-44s %s ms (median; the wizard does it while the first pages show)\n' \
    "our integrity check (SHA-256 of the package)" "$(median <"$work/check.runs")"
  if [ "$peer" = 1 ]; then
    printf '  %-44s ours %s/%s, peer %s/%s\n' "installed files verified (zlib/best)" "$(cat "$work/Ours.verified")" \
      "$(cat "$work/OursBest.verified")" "$(cat "$work/Nsis.verified")" "$(cat "$work/NsisLzma.verified")"
  else
    printf '  %-44s ours %s/%s\n' "installed files verified (zlib/best)" "$(cat "$work/Ours.verified")" \
      "$(cat "$work/OursBest.verified")"
  fi
  echo "  start to first window (first_window.exe; run 1 is the cold start):"
  printf '    %-42s %s\n' "bare_window.exe" "$(window_figure bare)"
  printf '    %-42s %s (%s of the bare window)\n' "our installer of a tiny product" "$(window_figure tiny)" \
    "$(awk -v a="$(tail -n +2 "$work/tiny.window" | median)" -v b="$(tail -n +2 "$work/bare.window" | median)" \
      'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "?" }')"
  [ "$peer" = 0 ] || printf '    %-42s %s\n' "the peer's empty installer" "$(window_figure peer)"
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
