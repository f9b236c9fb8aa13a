#!/usr/bin/env bash
# stpack-try, the publisher's check of an installer under Wine, as installed
# beside stpack: it passes the sample installer (in English and in Chinese)
# and a publisher's product checked against its product folder, and it fails,
# naming the file, an installer whose package lost a member of that folder.
#
# Usage: tests/e2e/try.sh   (after test.sh or run.sh built the trees)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RELEASE=$E2E_ROOT/build/native-release
BUILD=$E2E_ROOT/build/win32
e2e_require "$RELEASE/tools/stpack" "$BUILD/examples/DrawvaneSetup.exe" "$BUILD/examples/Drawvane.exe" \
  "$BUILD/app/SetupStub.exe" "$BUILD/uninstall/Uninst.exe"

work=$(mktemp -d /tmp/corvenna-try.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmake --install "$RELEASE" --prefix "$work/tool" >/dev/null 2>&1
try=$work/tool/bin/stpack-try
check "stpack-try is installed beside stpack" test -x "$try" -a -x "$work/tool/bin/stpack"
e2e_skip_without_wine "stpack-try (it runs installers under Wine)"

# try <name> <expected exit code> <arguments...>: runs it, keeps its report.
try_run() {
  local name=$1 expected=$2
  shift 2
  "$try" "$@" >"$work/$name.txt" 2>&1
  local code=$?
  sed 's/^/    /' "$work/$name.txt"
  check_eq "$name: exit code" "$expected" "$code"
}

try_run sample-en 0 "$BUILD/examples/DrawvaneSetup.exe"
check "sample-en: every member checked" grep -q 'ok    install folder: [0-9]* files with their bytes' "$work/sample-en.txt"
check "sample-en: the system-folder member too" grep -q 'ok    system folder: 1 files' "$work/sample-en.txt"
check "sample-en: nothing left after removal" grep -q 'ok    nothing left in' "$work/sample-en.txt"
try_run sample-zh 0 --lang zh --windows winxp "$BUILD/examples/DrawvaneSetup.exe"
check "sample-zh: the Chinese entry" grep -q 'uninstall entry "柯雯纳画图"' "$work/sample-zh.txt"

# A product of the publisher's own, and its installer made again after a
# file went missing from the folder the package is made from.
cd "$work" || exit 1
"$work/tool/bin/stpack" init Ink >/dev/null
cp "$BUILD/examples/Drawvane.exe" Ink/payload/Ink.exe
mkdir -p Ink/payload/docs && printf 'read me' >Ink/payload/docs/ReadMe.txt
sed -i 's/^WindowClass =$/WindowClass = TInkMain/' Ink/product.ini
"$work/tool/bin/stpack" make Ink >/dev/null 2>&1
mv Ink/payload/docs/ReadMe.txt ReadMe.txt.aside
"$work/tool/bin/stpack" make Ink -o InkLost.exe >/dev/null 2>&1
mv ReadMe.txt.aside Ink/payload/docs/ReadMe.txt
cd "$E2E_ROOT" || exit 1

try_run product 0 "$work/InkSetup.exe" "$work/Ink"
check "product: checked against the product folder" grep -q "ok    the product folder's payload: 2 files" "$work/product.txt"
try_run lost-member 1 "$work/InkLost.exe" "$work/Ink"
check "lost-member: names the file" grep -q 'docs/ReadMe.txt: missing' "$work/lost-member.txt"
check "lost-member: says what failed" grep -q "FAIL  the product folder's payload: 1 of 2 files missing or different" "$work/lost-member.txt"

e2e_summary
