#!/usr/bin/env bash
# Runs every test of the project:
#   1. the native unit tests, built with AddressSanitizer and UBSan;
#   2. the Windows test binaries under Wine, in a throw-away 32-bit prefix
#      (x64 builds under 64-bit Wine where the machine runs no 32-bit
#      programs);
#   3. the end-to-end scripts: tests/setup (setup.sh on a fresh clone, as a
#      new machine runs it) and tests/e2e (installer under Wine and Xvfb;
#      the x64 build where the Windows tests run it).
# Prints each suite's summary and, last, "N passed, N failed"; exits non-zero
# on any failure. Set TEST_FILTER to a gtest filter to narrow the unit tests.
set -uo pipefail
cd "$(dirname "$0")"
root=$PWD

mkdir -p build
bash setup.sh 2>build/setup.log || { tail -n 20 build/setup.log >&2; echo "setup failed" >&2; exit 1; }

source cmake/trees.sh
echo "building native (sanitizers)..."
build_tree native || { tail -n 60 "$native_tree".*.log; echo "0 passed, 1 failed"; exit 1; }
echo "building the release tool..."
build_tree release stpack || { tail -n 60 "$release_tree".*.log; echo "0 passed, 1 failed"; exit 1; }
echo "building win32..."
build_tree win32 || { tail -n 60 "$win32_tree".*.log; echo "0 passed, 1 failed"; exit 1; }

total_passed=0
total_failed=0
total_skipped=0
logs=$root/build/test-logs
rm -rf "$logs" && mkdir -p "$logs"

# Runs one GoogleTest binary and folds its counts into the totals. A binary
# that dies before its summary counts as one failure.
run_gtest() {  # label, command...
  local label=$1; shift
  local log=$logs/${label//[^A-Za-z0-9_.-]/_}.log
  "$@" ${TEST_FILTER:+--gtest_filter="$TEST_FILTER"} >"$log" 2>&1
  local rc=$?
  local passed failed
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n1)
  failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n1)
  passed=${passed:-0}; failed=${failed:-0}
  if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
  if [ "$failed" -ne 0 ]; then
    grep -E '^\[  FAILED  \] [A-Za-z]|Failure|ERROR|Sanitizer' "$log" | head -n 40
    echo "  (full log: $log)"
  fi
  printf '%-36s %5d passed, %d failed\n' "$label:" "$passed" "$failed"
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
}

echo "== native unit tests (ASan+UBSan)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "$native_tree"/tests/*_tests; do
  [ -x "$t" ] && run_gtest "native $(basename "$t")" "$t"
done

# The Windows test binaries run under Wine, in a fresh prefix; HOME goes
# there too because Wine links the desktop and the other shell folders into
# $HOME. Some virtual machines run no 32-bit x86 code at all, so no 32-bit
# Wine: there the binaries are built for 64-bit Windows (the win64 tree) and
# run under 64-bit Wine, which tests the same code against the same API; the
# end-to-end scripts then drive the x64 installer too (BUILD_DIR). The
# shipped programs stay 32-bit. Without either, they are counted as skipped.
wine64_loader=/usr/lib/wine/wine64
wine_tmp=$(mktemp -d /tmp/corvenna-wine.XXXXXX)
cleanup() {
  WINEPREFIX=$wine_tmp/prefix wineserver -k >/dev/null 2>&1
  rm -rf "$wine_tmp"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEPREFIX=$wine_tmp/prefix HOME=$wine_tmp/home WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
wine_tests=()
if wine --version >/dev/null 2>&1; then
  echo "== Windows unit tests (Wine)"
  export WINEARCH=win32
  wine_loader=wine label=wine tree=$win32_tree
elif [ -x "$wine64_loader" ] && "$wine64_loader" --version >/dev/null 2>&1; then
  echo "== Windows unit tests (64-bit builds under 64-bit Wine: this machine runs no 32-bit programs)"
  export WINEARCH=win64
  wine_loader=$wine64_loader label=wine64 tree=$win64_tree
  if build_tree win64; then
    export BUILD_DIR=$root/$win64_tree
  else
    tail -n 60 "$win64_tree".*.log
    total_failed=$((total_failed + 1))
    tree=
  fi
else
  skipped=$(ls "$win32_tree"/tests/*_tests.exe 2>/dev/null | wc -l)
  echo "SKIP $skipped Windows test binaries: this machine runs neither 32-bit nor 64-bit Wine"
  total_skipped=$((total_skipped + skipped))
  tree=
fi
if [ -n "$tree" ]; then
  if "$wine_loader" wineboot -i >"$logs/wineboot.log" 2>&1; then
    wineserver -w
    for t in "$tree"/tests/*_tests.exe; do
      [ -f "$t" ] && run_gtest "$label $(basename "$t" .exe)" "$wine_loader" "$t"
    done
  else
    echo "wineboot failed (see $logs/wineboot.log)"
    total_failed=$((total_failed + 1))
  fi
fi
cleanup
trap - EXIT

# End-to-end scripts each print their own "N passed, N failed" last line.
if compgen -G "tests/e2e/*.sh" >/dev/null; then
  echo "== end-to-end tests (fresh setup; Wine + Xvfb)"
  for s in tests/setup/*.sh tests/e2e/*.sh; do
    [ "$(basename "$s")" = lib.sh ] && continue  # shared helpers, not a test
    log=$logs/e2e-$(basename "$s" .sh).log
    bash "$s" >"$log" 2>&1
    rc=$?
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n1)
    p=$(echo "$line" | sed -n 's/^\([0-9]*\) passed.*/\1/p'); p=${p:-0}
    f=$(echo "$line" | sed -n 's/.* \([0-9]*\) failed.*/\1/p'); f=${f:-0}
    k=$(echo "$line" | sed -n 's/.* \([0-9]*\) skipped.*/\1/p'); k=${k:-0}
    if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    [ "$f" -ne 0 ] && { grep -E 'FAIL' "$log" | head -n 20; echo "  (full log: $log)"; }
    grep -E '^SKIP ' "$log" | sed 's/^/  /'
    suffix=""
    [ "$k" -gt 0 ] && suffix=", $k skipped"
    printf '%-36s %5d passed, %d failed%s\n' "e2e $(basename "$s" .sh):" "$p" "$f" "$suffix"
    total_passed=$((total_passed + p))
    total_failed=$((total_failed + f))
    total_skipped=$((total_skipped + k))
  done
fi

if [ "$total_skipped" -gt 0 ]; then
  echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
else
  echo "$total_passed passed, $total_failed failed"
fi
[ "$total_failed" -eq 0 ]
