#!/usr/bin/env bash
# Installers whose package holds a row that would leave the install folder or
# the system folder, or name what Windows would not create as written: one
# per row of the package tests' table, made by craft_installer (tests/tools)
# with every digest valid, so that only the installer's check of the rows can
# refuse it. The control, the same package without the hostile row, verifies
# and installs.
#   - natively: stpack verify refuses each installer, naming the member and
#     the reason;
#   - under Wine: each installer run with /S /D=C:\Target\Inner from a nested
#     working folder ends with exit code 4 (a damaged installer), writes
#     nothing (not the install folder, not the good members, nothing new
#     anywhere under drive_c or the home folder but its own log in %TEMP%),
#     and the log names the member and the reason; the Chinese wizard with
#     the first of them says at Install that the installer is damaged, and
#     writes nothing either.
#
# Usage: tests/e2e/hostile.sh [build-dir]   (default $BUILD_DIR or build/win32;
# the installers are made with that build's stub)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=${1:-${BUILD_DIR:-$E2E_ROOT/build/win32}}
CRAFT=${E2E_CRAFT:-$E2E_ROOT/build/native-asan/tests/craft_installer}
STUB=$BUILD/app/SetupStub.exe
E2E_WIZSPY=$BUILD/gui/wizspy.exe
e2e_require "$CRAFT" "$STUB" "$E2E_WIZSPY" "$E2E_STPACK"

MADE=$(mktemp -d /tmp/corvenna-hostile-made.XXXXXX)
trap 'rm -rf "$MADE"' EXIT

# The rows: "<index> TAB <member name> TAB <reason>" lines.
mapfile -t ROWS < <("$CRAFT" rows)
check "the table of hostile rows is there" test "${#ROWS[@]}" -gt 0

# --- natively: made with valid digests, refused by stpack verify ------------------

GOOD=$MADE/good/HostileSetup.exe
mkdir -p "$MADE/good"
check "control: installer made" "$CRAFT" "$STUB" "$GOOD" good
check_match "control: stpack verify finds it whole" ": OK, 2 members .* matches its SHA-256 digests" \
  "$("$E2E_STPACK" verify "$GOOD" 2>&1)"

for line in "${ROWS[@]}"; do
  IFS=$'\t' read -r index name reason <<<"$line"
  tag="row $index ($reason)"
  out=$MADE/Hostile$index/HostileSetup.exe
  mkdir -p "$(dirname "$out")"
  if ! "$CRAFT" "$STUB" "$out" "$index" 2>"$MADE/craft.err"; then
    e2e_fail "$tag: installer made" "$(cat "$MADE/craft.err")"
    continue
  fi
  check_eq "$tag: nothing left beside the installer" "HostileSetup.exe" "$(ls -A "$(dirname "$out")")"
  verify=$("$E2E_STPACK" verify "$out" 2>&1)
  code=$?
  check_eq "$tag: stpack verify exit code" 1 "$code"
  check_match "$tag: stpack verify names the member" "member 3 \\($(sed 's/[][\\.*^$()+?{}|]/\\&/g' <<<"$name")\\): " \
    "$verify"
  check "$tag: stpack verify gives the reason" grep -qF -- "$reason" <<<"$verify"
  check "$tag: stpack verify finds the digests intact" not grep -qF "the installer is damaged" <<<"$verify"
done

# --- under Wine: exit code 4, nothing written, the log says why -------------------

e2e_init hostile
trap 'e2e_cleanup; rm -rf "$MADE"' EXIT
WORK_WIN='C:\Work\a\b\c'
WORK=$(unix_path "$WORK_WIN")
TARGET_WIN='C:\Target\Inner'
mkdir -p "$WORK"
LOG=$(user_folder Temp)/HostileSetup.log

# Everything below drive_c and the home folder but the installer's log in
# %TEMP%, which is looked at on its own.
everything() {
  {
    find "$WINEPREFIX/drive_c" -mindepth 1 -printf 'drive_c/%P\n'
    find "$HOME" -mindepth 1 -printf 'home/%P\n'
  } | grep -v -x -E "drive_c/users/[^/]+/Temp/HostileSetup\.log" | LC_ALL=C sort
}
# Files anywhere in the prefix, the home folder or the working folder with a
# member's name, but the control's.
everything_named() {
  find "$WINEPREFIX" "$HOME" -path "$CONTROL" -prune -o \( -name first.txt -o -name second.txt -o -name x.txt \
    -o -name a.txt -o -name pub.txt -o -name x.dll -o -name nul.txt -o -name escaped -o -name esc_bs \) -print \
    2>/dev/null
}

# The control installs its two members (the sealing is right).
cp "$GOOD" "$WORK/HostileSetup.exe"
(cd "$WORK" && wine "$WORK/HostileSetup.exe" /S '/D=C:\Control' >/dev/null 2>&1)
check_eq "control, silent: exit code" 0 "$?"
wineserver -w
rm -f "$WORK/HostileSetup.exe"
check_eq "control, silent: first member" first "$(cat "$(unix_path 'C:\Control\first.txt')" 2>&1)"
check_eq "control, silent: second member" second "$(cat "$(unix_path 'C:\Control\Lang\second.txt')" 2>&1)"
CONTROL=$(unix_path 'C:\Control')

for line in "${ROWS[@]}"; do
  IFS=$'\t' read -r index name reason <<<"$line"
  tag="row $index ($reason), silent"
  setup=$WORK/HostileSetup.exe
  cp "$MADE/Hostile$index/HostileSetup.exe" "$setup"
  rm -f "$LOG"
  before=$(everything)
  (cd "$WORK" && wine "$setup" /S "/D=$TARGET_WIN" >/dev/null 2>&1)
  code=$?
  wineserver -w
  after=$(everything)
  rm -f "$setup"
  check_eq "$tag: exit code" 4 "$code"
  check "$tag: no install folder" test ! -e "$(unix_path "$TARGET_WIN")"
  check_eq "$tag: no file with a member's name" "" "$(everything_named)"
  check_eq "$tag: nothing new under drive_c or the home folder" "" \
    "$(diff <(echo "$before") <(echo "$after") | grep '^[<>]')"
  if [ -f "$LOG" ]; then
    check "$tag: log names the member" grep -qF -- "member 3 ($name): " "$LOG"
    check "$tag: log gives the reason" grep -qF -- "$reason" "$LOG"
    check "$tag: log says nothing was written" grep -qF "Nothing was written." "$LOG"
  else
    e2e_fail "$tag: log written" "no $LOG"
  fi
done

# The Chinese wizard says so at Install, before it makes the folder.
IFS=$'\t' read -r index name reason <<<"${ROWS[0]}"
tag="row $index ($reason), Chinese wizard"
setup=$WORK/HostileSetup.exe
cp "$MADE/Hostile$index/HostileSetup.exe" "$setup"
rm -f "$LOG"
before=$(everything)
# Started with /LOG= (the installer's own log, in %TEMP%), so that its exit
# code tells how it ended: a wizard run without arguments ends with 0.
LOG_WIN='C:\users\'$(id -un)'\Temp\HostileSetup.log'
rm -f "$E2E_TMP/exit.code"
(
  LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 wine "$setup" "/LOG=$LOG_WIN" >/dev/null 2>&1
  echo $? >"$E2E_TMP/exit.code"
) &
check "$tag: window appears" spy 20000
press_next
check "$tag: licence page" wait_for pnlStep2 shown 1
press_next
check "$tag: destination page" wait_for pnlStep3 shown 1
set_folder_text "$TARGET_WIN"
wait_for editSetupDir text "${TARGET_WIN//\\/\\\\}" >/dev/null
press_next
check "$tag: message shown" spy_box 20000
check_eq "$tag: the Chinese message" "安装程序已损坏，请重新下载。" "$(box_text)"
e2e_screenshot hostile-damaged-zh
key Return
code=$(wait_exit)
check_eq "$tag: exit code" 4 "$code"
# A wizard that stays open is ended, so that the checks below can run.
[ "$code" = running ] && wineserver -k
wineserver -w
after=$(everything)
rm -f "$setup"
check "$tag: no install folder" test ! -e "$(unix_path "$TARGET_WIN")"
check_eq "$tag: nothing new under drive_c or the home folder" "" \
  "$(diff <(echo "$before") <(echo "$after") | grep '^[<>]')"
check "$tag: log names the member" grep -qF -- "member 3 ($name): " "$LOG"
check "$tag: log gives the reason" grep -qF -- "$reason" "$LOG"
check "$tag: log says nothing was written" grep -qF "The installer is damaged; nothing was written." "$LOG"

e2e_summary
