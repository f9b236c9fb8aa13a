#!/usr/bin/env bash
# The sample product's real installer (examples/: DrawvaneSetup.exe) under
# Wine and Xvfb, driven with clicks and keys through every page:
#   - English on Windows 7 and Chinese on Windows XP, each in a fresh prefix:
#     every member installed with the package's bytes, "Setup.stp" gone, the
#     desktop shortcut pointing at the product, the uninstall entry's eleven
#     values, the Quick Launch box and shortcut on XP only, and the product
#     started at Finish exactly when its box is checked;
#   - the running-product guard with the sample product's own window open;
#   - Install while Drawvane.exe is held open without sharing: the message,
#     Install offered again, and a second Install that succeeds once the file
#     is released;
#   - a destination folder that cannot be created;
#   - a later run proposing the folder of the first installation, and an
#     install into another folder that moves the shortcut and the entry there
#     and removes the first folder's installation;
#   - the installer, Uninst.exe and stpack.exe marked large-address-aware.
# Screenshots go to build/screenshots/install-*.png.
#
# Usage: tests/e2e/install.sh [build-dir]   (default $BUILD_DIR or build/win32)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=${1:-${BUILD_DIR:-$E2E_ROOT/build/win32}}
E2E_WIZSPY=$BUILD/gui/wizspy.exe
E2E_SETUP=$BUILD/examples/DrawvaneSetup.exe
MANIFEST=$BUILD/examples/drawvane/product/payload.manifest
e2e_require "$E2E_WIZSPY" "$E2E_SETUP" "$MANIFEST" "$E2E_STPACK"

NAME_EN='Corvenna Drawvane'
NAME_ZH='柯雯纳画图'
DEFAULT_DIR='C:\Program Files\Corvenna Soft\Drawvane\'

# --- the machine -------------------------------------------------------------

# New prefix for a scenario group, with the profile of Windows XP.
fresh_machine() {
  e2e_cleanup
  e2e_init "install-$1" || return 1
  wine_set_version "$2"
  make_quick_launch_folder
}

# check_installed <tag> <install dir> <zh|en>: what a finished run leaves.
check_installed() {
  local tag=$1 dir=$2 lang=$3 name=$NAME_EN
  [ "$lang" = zh ] && name=$NAME_ZH
  local unix
  unix=$(unix_path "$dir")
  check "$tag: every member installed with the package's bytes" members_installed "$unix"
  check "$tag: no Setup.stp" test ! -e "$unix/Setup.stp"
  check "$tag: uninstall list beside the uninstaller" grep -q '^File=Drawvane.exe' "$unix/Uninst.lst"
  check_eq "$tag: desktop shortcut points at the product" "${dir}Drawvane.exe $dir " "$(link_target "$(desktop_link "$name")")"
  check_eq "$tag: uninstall entry" "$(expected_values "$dir" "$lang")" "$(uninstall_values "$name")"
}

product_window() {  # <title> [timeout ms]: the sample product's main window is open
  wizspy find TfrmImageEditor "$1" "${2:-15000}"
}

# --- scenarios -----------------------------------------------------------------

# English, Windows 7, mostly by keyboard: a folder of one's own, launch at
# Finish; the guard against the product just started; a second run that
# proposes that folder and meets Drawvane.exe held open; an install into the
# default folder afterwards.
english_windows7() {
  local tag="en/win7" dir='C:\Apps\Drawvane\'
  fresh_machine en win7 || { e2e_fail "$tag: machine"; return; }
  start_setup en
  check "$tag: wizard window appears" spy 20000
  key alt+n
  check "$tag: licence page" wait_for pnlStep2 shown 1
  key alt+a
  check "$tag: destination page" wait_for pnlStep3 shown 1
  check_eq "$tag: default folder proposed" "${DEFAULT_DIR%\\}" "$(get editSetupDir text | sed 's/\\\\/\\/g')"
  check_eq "$tag: no Quick Launch box" 0 "$(get chkSCOnQuick own)"
  set_folder_text "${dir%\\}"
  wait_for editSetupDir text 'C:\\Apps\\Drawvane' >/dev/null
  shot install-en-win7-destination
  key alt+i
  check "$tag: completion page" wait_for pnlStep4 shown 1
  shot install-en-win7-finished
  check_eq "$tag: launch box checked" 1 "$(get chkRunOnExit value)"
  key alt+f
  check_eq "$tag: exit code after Finish" 0 "$(wait_exit)"
  check "$tag: Drawvane started at Finish" product_window Drawvane
  e2e_screenshot install-en-win7-product
  check_installed "$tag" "$dir" en
  check "$tag: no Quick Launch shortcut" test ! -e "$(quick_launch_link "$NAME_EN")"

  # The product launched at Finish is still open: the installer refuses.
  start_setup en
  check "$tag guard: message shown" spy_box 20000
  check_eq "$tag guard: message text" "Drawvane program is running, please close it first." "$(box_text)"
  check_eq "$tag guard: message caption" "Setup" "$(box_caption)"
  check "$tag guard: no wizard" no_wizard
  e2e_screenshot install-en-guard
  key Return
  check_eq "$tag guard: exit code" 0 "$(wait_exit)"
  check "$tag: Drawvane closed" wizspy close TfrmImageEditor Drawvane

  # Drawvane.exe held open without sharing, as by a copy that still runs.
  local unix
  unix=$(unix_path "$dir")
  hold_file "${dir}Drawvane.exe"
  to_destination en "$tag retry"
  check_eq "$tag retry: the first installation's folder proposed" "${dir%\\}" "$(get editSetupDir text | sed 's/\\\\/\\/g')"
  key alt+i
  check "$tag retry: extraction error shown" spy_box 20000
  check_match "$tag retry: extraction error text" '^An error occurred extracting files to the destination folder\.' "$(box_text)"
  e2e_screenshot install-en-held-file
  key Return
  check "$tag retry: Install offered again" wait_for btnNext enabled 1
  check_eq "$tag retry: still page 3" "1 &Install" "$(get pnlStep3 shown) $(get btnNext text)"
  check "$tag retry: no copy of the package is written" test ! -e "$unix/Setup.stp"
  release_file
  key alt+i
  check "$tag retry: second Install completes" wait_for pnlStep4 shown 1
  finish_setup 0 "$tag retry"
  sleep 1
  check "$tag retry: launch box cleared, nothing started" not product_window Drawvane 500
  check_installed "$tag retry" "$dir" en

  # A folder that cannot be made, then another folder than the first one.
  to_destination en "$tag move"
  set_folder_text 'C:\windows\win.ini\Drawvane'
  wait_for lblFreeSize own 1 >/dev/null
  key alt+i
  check "$tag move: folder error shown" spy_box 20000
  check_eq "$tag move: folder error text" "Destination folder can't be created, need to select another folder." "$(box_text)"
  key Return
  check "$tag move: back on page 3" wait_for btnNext enabled 1
  install_to "${DEFAULT_DIR%\\}" "$tag move"
  finish_setup 0 "$tag move"
  check_installed "$tag move" "$DEFAULT_DIR" en
  # One copy remains: the first folder's installation is removed once the
  # new one is complete.
  check "$tag move: the first folder's installation is removed" test ! -e "$unix/Drawvane.exe"
}

# Chinese, Windows XP, by mouse: the Quick Launch box and shortcut, the
# default folder, nothing launched; a second run with the launch box checked
# starts the product under its Chinese title, which the guard then names.
chinese_windows_xp() {
  local tag="zh/winxp"
  fresh_machine zh winxp || { e2e_fail "$tag: machine"; return; }
  to_destination zh "$tag"
  shot install-zh-winxp-destination
  check_eq "$tag: Quick Launch box shown and checked" "1 1" "$(get chkSCOnQuick own) $(get chkSCOnQuick value)"
  install_to "" "$tag"
  shot install-zh-winxp-finished
  finish_setup 0 "$tag"
  sleep 1
  check "$tag: launch box cleared, nothing started" not product_window "$NAME_ZH" 500
  check_installed "$tag" "$DEFAULT_DIR" zh
  check_eq "$tag: Quick Launch shortcut points at the product" "${DEFAULT_DIR}Drawvane.exe $DEFAULT_DIR " \
    "$(link_target "$(quick_launch_link "$NAME_ZH")")"

  to_destination zh "$tag again"
  install_to "" "$tag again"
  finish_setup 1 "$tag again"
  check "$tag again: Drawvane started under its Chinese title" product_window "$NAME_ZH"
  start_setup zh
  check "$tag guard: message shown" spy_box 20000
  check_eq "$tag guard: message text" "${NAME_ZH}正在运行，请先退出后再进行安装。" "$(box_text)"
  check_eq "$tag guard: message caption" "安装向导" "$(box_caption)"
  e2e_screenshot install-zh-guard
  key Return
  check_eq "$tag guard: exit code" 0 "$(wait_exit)"
}

# The programs a publisher ships may use the upper 2 GB of a 64-bit
# Windows: the installer, the uninstaller it carries, and the package tool.
large_address_aware() {  # grep reads all of objdump's output: no SIGPIPE under pipefail
  i686-w64-mingw32-objdump -p "$1" | grep -c '^[[:space:]]*large address aware$' >/dev/null
}
# The headers of the shipped 32-bit programs, also where BUILD is the x64
# build the Wine checks run.
program_headers() {
  local program shipped=$BUILD
  e2e_build_is_x64 && shipped=$E2E_ROOT/build/win32
  for program in "$shipped/examples/DrawvaneSetup.exe" "$shipped/uninstall/Uninst.exe" "$shipped/tools/stpack.exe"; do
    check "$(basename "$program") is large-address-aware" large_address_aware "$program"
  done
}

started=$SECONDS
program_headers
english_windows7
chinese_windows_xp
e2e_log "screenshots: $E2E_SCREENSHOTS/install-*.png; $((SECONDS - started)) s"
e2e_summary
