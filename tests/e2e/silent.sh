#!/usr/bin/env bash
# The installer's command line under Wine, with the sample product's real
# installer (examples/: DrawvaneSetup.exe). Every silent run is watched by
# wizspy, which lists each window the process owns (shown, hidden or
# message-only) and its exit code:
#   - /S into the proposed folder on Windows 7: exit 0, no window, the files,
#     the desktop shortcut, the eleven values of the uninstall entry, the log;
#   - /s /log="..." /d=C:\Some Folder\With Spaces on Windows XP (switches in
#     any case, a quoted log path, a folder with spaces): the Quick Launch
#     shortcut too, and the log where it was asked for;
#   - the product running (exit 2), a target file held open (exit 3, the log
#     names the file and the Windows error), and an installer with one byte of
#     its package flipped (exit 4, nothing written; the Chinese wizard says
#     the installer is damaged);
#   - /?, an unknown switch and /D= not last (their boxes, or none with /S;
#     exit 5), and the exit codes of a cancelled wizard with and without
#     arguments;
#   - the required space a product without setting 1012 shows;
#   - Uninst.exe /S removing the whole entry and the then empty company folder,
#     and keeping a company folder that still holds another product.
#
# Usage: tests/e2e/silent.sh [build-dir]   (default $BUILD_DIR or build/win32)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=${1:-${BUILD_DIR:-$E2E_ROOT/build/win32}}
E2E_WIZSPY=$BUILD/gui/wizspy.exe
E2E_SETUP=$BUILD/examples/DrawvaneSetup.exe
MANIFEST=$BUILD/examples/drawvane/product/payload.manifest
NOSPACE_SETUP=$BUILD/gui/nospacesetup.exe
e2e_require "$E2E_WIZSPY" "$E2E_SETUP" "$MANIFEST" "$NOSPACE_SETUP" "$E2E_STPACK"

NAME_EN='Corvenna Drawvane'
COMPANY_DIR='C:\Program Files\Corvenna Soft'
DEFAULT_DIR='C:\Program Files\Corvenna Soft\Drawvane\'
SPACES_DIR='C:\Some Folder\With Spaces\'

locale_of() { [ "$1" = zh ] && echo zh_CN.UTF-8 || echo en_US.UTF-8; }

# watch <zh|en> <name> <program> [arguments]: watch_run in that language.
watch() {
  local locale
  locale=$(locale_of "$1")
  LC_ALL=$locale LANG=$locale watch_run "$2" "$3" "${4:-}"
}

# start_with <zh|en> <program> <arguments>: the installer with arguments in the
# background, its exit code later from wait_exit.
start_with() {
  local locale
  locale=$(locale_of "$1")
  rm -f "$E2E_TMP/exit.code"
  (
    LC_ALL=$locale LANG=$locale wine "$2" "$3" >/dev/null 2>&1
    echo $? >"$E2E_TMP/exit.code"
  ) &
}

default_log() { echo "$(user_folder Temp)/DrawvaneSetup.log"; }
# log_has <description> <text> [log file]: the log holds the text.
log_has() {
  local file=${3:-$(default_log)}
  if [ -f "$file" ] && grep -qF -- "$2" "$file"; then e2e_pass "$1"; else e2e_fail "$1" "no [$2] in $file"; fi
}

product_window() { wizspy find TfrmImageEditor Drawvane "${1:-15000}"; }
unix_folder() { unix_path "${1%\\}"; }

# --- silent installations ---------------------------------------------------------

silent_default_folder() {
  local tag="silent, proposed folder, win7" unix
  unix=$(unix_folder "$DEFAULT_DIR")
  watch en default "$E2E_SETUP" "/S"
  check_eq "$tag: exit code" 0 "$(watched_exit default)"
  check_eq "$tag: no window at all" "" "$(watched_windows default)"
  check "$tag: every member installed with the package's bytes" members_installed "$unix"
  check "$tag: no Setup.stp" test ! -e "$unix/Setup.stp"
  check_eq "$tag: desktop shortcut points at the product" "${DEFAULT_DIR}Drawvane.exe $DEFAULT_DIR " \
    "$(link_target "$(desktop_link "$NAME_EN")")"
  check "$tag: no Quick Launch shortcut on Windows 7" test ! -e "$(quick_launch_link "$NAME_EN")"
  check_eq "$tag: the eleven values of the uninstall entry" "$(expected_values "$DEFAULT_DIR" en)" \
    "$(uninstall_values "$NAME_EN")"
  check "$tag: the product is not started" not product_window 1000
  log_has "$tag: log says the run is silent" "Mode: silent"
  log_has "$tag: log has the settings" "1010 ExeBaseName = Drawvane"
  log_has "$tag: log has the package check" "matches its SHA-256 $(sha256sum "$PACKAGE" | cut -d' ' -f1)"
  log_has "$tag: log has the proposed folder" \
    "Destination folder (proposed from the program-files folder): ${DEFAULT_DIR%\\}"
  log_has "$tag: log has each member with its size" \
    "Wrote ${DEFAULT_DIR}Drawvane.exe, $(stat -c %s "$BUILD/examples/Drawvane.exe") bytes"
  log_has "$tag: log has the shortcut" "Desktop shortcut: C:\\users\\"
  log_has "$tag: log has the entry" "Corvenna Drawvane: 11 of 11 values written"
  log_has "$tag: log has the exit code" "Setup ends with exit code 0"
}

silent_folder_with_spaces() {
  local tag="silent, /D= with spaces, winxp" unix log='C:\silent spaces.log'
  unix=$(unix_folder "$SPACES_DIR")
  wine_set_version winxp
  watch en spaces "$E2E_SETUP" "/s /log=\"$log\" /d=${SPACES_DIR%\\}"
  check_eq "$tag: exit code" 0 "$(watched_exit spaces)"
  check_eq "$tag: no window at all" "" "$(watched_windows spaces)"
  check "$tag: every member installed there" members_installed "$unix"
  check_eq "$tag: desktop shortcut moved there" "${SPACES_DIR}Drawvane.exe $SPACES_DIR " \
    "$(link_target "$(desktop_link "$NAME_EN")")"
  check_eq "$tag: Quick Launch shortcut, as the XP wizard ticks it" "${SPACES_DIR}Drawvane.exe $SPACES_DIR " \
    "$(link_target "$(quick_launch_link "$NAME_EN")")"
  check_eq "$tag: the entry names the new folder" "$(expected_values "$SPACES_DIR" en)" "$(uninstall_values "$NAME_EN")"
  log_has "$tag: log written where /LOG= says" "Destination folder (/D=): ${SPACES_DIR%\\}" "$(unix_path "$log")"
  log_has "$tag: log has the Quick Launch shortcut" "Quick Launch shortcut: " "$(unix_path "$log")"
  wine_set_version win7
}

silent_product_running() {
  local tag="silent, product running" product
  wine "$E2E_WIZSPY" product TfrmImageEditor Drawvane >/dev/null 2>&1 &
  product=$!
  product_window >/dev/null
  watch en running "$E2E_SETUP" '/S /D=C:\Running'
  check_eq "$tag: exit code" 2 "$(watched_exit running)"
  check_eq "$tag: no window, no message box" "" "$(watched_windows running)"
  check "$tag: nothing written" test ! -e "$(unix_path 'C:\Running')"
  log_has "$tag: log says so" 'The product is running (a window of class "TfrmImageEditor" titled "Drawvane" is open)'
  wizspy close TfrmImageEditor Drawvane
  wait "$product"
}

silent_held_file() {
  local tag="silent, target file held open" unix
  unix=$(unix_folder "$SPACES_DIR")
  hold_file "${SPACES_DIR}Drawvane.exe"
  watch en held "$E2E_SETUP" "/S /D=${SPACES_DIR%\\}"
  check_eq "$tag: exit code" 3 "$(watched_exit held)"
  check_eq "$tag: no window, no message box" "" "$(watched_windows held)"
  check "$tag: no copy of the package is written" test ! -e "$unix/Setup.stp"
  log_has "$tag: log names the member and the file" "member 1 (\"${SPACES_DIR}Drawvane.exe\")"
  log_has "$tag: log has the Windows error" "(error 32)"
  # The earlier copy is set aside before it is replaced, which is what fails.
  check_match "$tag: log has the Windows error text" \
    "cannot set aside \"${SPACES_DIR//\\/\\\\}Drawvane\.exe\" before replacing it: [^(]+ \(error 32\)" \
    "$(grep -F 'Installation failed while extracting' "$(default_log)")"
  release_file
  watch en held-again "$E2E_SETUP" "/S /D=${SPACES_DIR%\\}"
  check_eq "$tag: once released, the same command installs" 0 "$(watched_exit held-again)"
  check "$tag: and leaves no package file" test ! -e "$unix/Setup.stp"
}

# The installer with one byte flipped in the middle of its package, which it
# finds by the package's bytes; its digest must be in the executable too.
make_damaged_installer() {
  /usr/bin/python3 - "$E2E_SETUP" "$PACKAGE" "$1" <<'EOF'
import hashlib, sys
exe = bytearray(open(sys.argv[1], 'rb').read())
package = open(sys.argv[2], 'rb').read()
digest_at = exe.find(hashlib.sha256(package).digest())
package_at = exe.find(package)
if digest_at < 0 or package_at < 0 or exe.find(package, package_at + 1) >= 0:
    sys.exit('digest at %d, package at %d' % (digest_at, package_at))
exe[package_at + len(package) // 2] ^= 0x01
open(sys.argv[3], 'wb').write(exe)
EOF
}

damaged_installer() {
  local tag="damaged installer" damaged=$E2E_TMP/DamagedSetup.exe log='C:\damaged-zh.log'
  check "$tag: made (digest and package found in the executable)" make_damaged_installer "$damaged"
  watch en damaged "$damaged" '/S /D=C:\Damaged'
  check_eq "$tag, silent: exit code" 4 "$(watched_exit damaged)"
  check_eq "$tag, silent: no window" "" "$(watched_windows damaged)"
  check "$tag, silent: nothing written, not even the folder" test ! -e "$(unix_path 'C:\Damaged')"
  log_has "$tag, silent: log says which check failed" "but the installer expects $(sha256sum "$PACKAGE" | cut -d' ' -f1)"
  log_has "$tag, silent: log says nothing was written" "The installer is damaged; download it again. Nothing was written."

  # The Chinese wizard says so at Install, before it makes the folder.
  start_with zh "$damaged" "/LOG=$log"
  check "$tag, wizard: window appears" spy 20000
  press_next
  check "$tag, wizard: licence page" wait_for pnlStep2 shown 1
  press_next
  check "$tag, wizard: destination page" wait_for pnlStep3 shown 1
  set_folder_text 'C:\DamagedWizard'
  wait_for editSetupDir text 'C:\\DamagedWizard' >/dev/null
  press_next
  check "$tag, wizard: message shown" spy_box 20000
  check_eq "$tag, wizard: the Chinese message" "安装程序已损坏，请重新下载。" "$(box_text)"
  e2e_screenshot silent-damaged-zh
  key Return
  check_eq "$tag, wizard: the wizard closes with exit code 4" 4 "$(wait_exit)"
  check "$tag, wizard: nothing written" test ! -e "$(unix_path 'C:\DamagedWizard')"
  log_has "$tag, wizard: log says so" "The installer is damaged; nothing was written." "$(unix_path "$log")"
}

# --- the command line -------------------------------------------------------------

command_line_boxes() {
  local tag="command line"
  (watch en help "$E2E_SETUP" "/?") &
  local watcher=$!
  check "$tag /?: usage box shown" spy_box 20000
  check_match "$tag /?: usage text" '^Usage: DrawvaneSetup\.exe \[/S\] \[/LOG=<file>\] \[/D=<folder>\]' "$(box_text)"
  check_eq "$tag /?: caption" "Setup" "$(box_caption)"
  e2e_screenshot silent-usage-en
  key Return
  wait "$watcher"
  check_eq "$tag /?: exit code" 5 "$(watched_exit help)"
  check_match "$tag /?: the watcher saw the box" 'window\|#32770\|Setup\|' "$(watched_windows help)"

  (watch en unknown "$E2E_SETUP" "/Q") &
  watcher=$!
  check "$tag /Q: error box shown" spy_box 20000
  check_match "$tag /Q: names the switch, then the usage" '^Unknown switch "/Q"\.\\n\\nUsage: ' "$(box_text)"
  key Return
  wait "$watcher"
  check_eq "$tag /Q: exit code" 5 "$(watched_exit unknown)"

  watch en unknown-silent "$E2E_SETUP" "/S /Q"
  check_eq "$tag /S /Q: exit code" 5 "$(watched_exit unknown-silent)"
  check_eq "$tag /S /Q: no box" "" "$(watched_windows unknown-silent)"
  log_has "$tag /S /Q: log says why" 'Bad command line: Unknown switch "/Q".'

  watch en not-last "$E2E_SETUP" '/D=C:\NotLast /S'
  check_eq "$tag /D= not last: exit code" 5 "$(watched_exit not-last)"
  check_eq "$tag /D= not last: the /S after it still counts, no box" "" "$(watched_windows not-last)"
  check "$tag /D= not last: nothing written" test ! -e "$(unix_path 'C:\NotLast')"
  log_has "$tag /D= not last: log says why" 'Bad command line: /D= must come last: "/S" follows it.'
}

# The wizard as it always was without arguments (exit code 0 whatever
# happens), with the exit codes once it has any; and the required space of a
# product that sets none.
wizard_exit_codes_and_space() {
  local tag="wizard" unpacked expected
  start_setup en "$NOSPACE_SETUP"
  check "$tag without arguments: window appears" spy 20000
  press_next
  wait_for pnlStep2 shown 1 >/dev/null
  press_next
  check "$tag: destination page" wait_for pnlStep3 shown 1
  unpacked=$("$E2E_STPACK" list "$NOSPACE_SETUP" | head -n 1 | sed -n 's/.* \([0-9]*\) unpacked.*/\1/p')
  expected=$(awk -v b="$unpacked" 'BEGIN { printf "%.0f KB", b / 1024 }')
  check_eq "$tag: required space from the package when setting 1012 is empty" "Space required: $expected" \
    "$(get lblNeedSize text)"
  shot silent-required-space
  click_control btnClose
  check_eq "$tag without arguments: Cancel exits with 0, as always" 0 "$(wait_exit)"

  start_with en "$NOSPACE_SETUP" '/LOG=C:\cancelled.log'
  check "$tag with /LOG=: window appears" spy 20000
  click_control btnClose
  check_eq "$tag with /LOG=: Cancel exits with 1" 1 "$(wait_exit)"
  log_has "$tag with /LOG=: log says so" "The wizard was closed before it installed" "$(unix_path 'C:\cancelled.log')"
}

# --- removal ----------------------------------------------------------------------

# Uninst.exe /S from the default folder; waits for its helper to finish.
uninstall_default() {
  wine "${DEFAULT_DIR}Uninst.exe" /S >/dev/null 2>&1
  uninstall_rc=$?
  for _ in $(seq 100); do [ -e "$(unix_folder "$DEFAULT_DIR")" ] || break; sleep 0.1; done
  sleep 1
}

removal() {
  local tag="removal" company
  company=$(unix_path "$COMPANY_DIR")
  # The uninstall entry of the installation in the folder with spaces leads
  # the proposal there; without the entry its shortcuts do, as they lead the
  # wizard's.
  watch en again "$E2E_SETUP" "/S"
  check_eq "$tag: installed again" 0 "$(watched_exit again)"
  log_has "$tag: into the folder of the earlier installation" \
    "Destination folder (proposed from the uninstall entry of an earlier installation): ${SPACES_DIR%\\}"
  wine reg delete "$UNINSTALL_KEY\\$NAME_EN" /f >/dev/null 2>&1
  watch en again-without-entry "$E2E_SETUP" "/S"
  check_eq "$tag, no entry: installed again" 0 "$(watched_exit again-without-entry)"
  log_has "$tag, no entry: into the folder its shortcut names" \
    "Destination folder (proposed from the Quick Launch shortcut of an earlier installation): ${SPACES_DIR%\\}"
  watch en reinstall "$E2E_SETUP" "/S /D=${DEFAULT_DIR%\\}"
  check_eq "$tag: installed into the default folder again" 0 "$(watched_exit reinstall)"
  check "$tag: the entry's key is there" entry_key_exists "$NAME_EN"
  uninstall_default
  check_eq "$tag: Uninst.exe /S exits with 0" 0 "$uninstall_rc"
  check "$tag: the whole entry key is gone" not entry_key_exists "$NAME_EN"
  check "$tag: the install folder is gone" test ! -e "$(unix_folder "$DEFAULT_DIR")"
  check "$tag: the empty company folder is gone" test ! -e "$company"
  check "$tag: the program-files folder stays" test -d "$(unix_path 'C:\Program Files')"

  mkdir -p "$company/Other"
  printf 'another product' >"$company/Other/Other.exe"
  watch en reinstall2 "$E2E_SETUP" "/S /D=${DEFAULT_DIR%\\}"
  check_eq "$tag, company folder shared: installed" 0 "$(watched_exit reinstall2)"
  uninstall_default
  check_eq "$tag, company folder shared: exits with 0" 0 "$uninstall_rc"
  check "$tag, company folder shared: the product is gone" test ! -e "$(unix_folder "$DEFAULT_DIR")"
  check "$tag, company folder shared: the other product stays" test -f "$company/Other/Other.exe"
}

started=$SECONDS
e2e_init silent || { echo "0 passed, 1 failed"; exit 1; }
PACKAGE=$E2E_TMP/Drawvane.stp
package_of "$E2E_SETUP" "$PACKAGE" || { echo "FAIL the sample installer's package"; echo "0 passed, 1 failed"; exit 1; }
wine_set_version win7
make_quick_launch_folder
silent_default_folder
silent_folder_with_spaces
silent_product_running
silent_held_file
damaged_installer
command_line_boxes
wizard_exit_codes_and_space
removal
e2e_log "screenshots: $E2E_SCREENSHOTS/silent-*.png; $((SECONDS - started)) s"
e2e_summary
