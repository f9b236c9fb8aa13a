#!/usr/bin/env bash
# A publisher's product through three versions, made with the tool as a
# publisher gets it (cmake --install of the release tree) in a folder outside
# the source tree: 1.0, 1.1 (drops data\Old.dat, adds data\New.dat) and 1.2
# (adds data\Extra.dat, changes every file). Under Wine, on the Windows XP
# profile so that the Quick Launch shortcut is made too:
#   - 1.0 silently into the proposed folder; its desktop and Quick Launch
#     shortcuts deleted, so that only the uninstall entry leads to it;
#   - 1.1 silently without /D=: into 1.0's folder, found through the entry;
#     the dropped file gone, the new one there, the user's own file kept, the
#     list naming exactly the installed files, one entry with version 1.1;
#     the Start menu shortcut pointing at the product;
#   - the 1.2 wizard in English and in Chinese over 1.1: the destination page
#     says which version is installed and that it will be updated; cancelled;
#   - 1.2 silently into the same folder while one of its files is held open:
#     exit 3, the folder byte for byte as before, the entry still 1.1;
#   - 1.2 silently with /D= another folder: installed there, the earlier
#     installation removed, the shortcuts pointing at the new folder, one
#     uninstall entry in both hives and both registry views;
#   - Uninst.exe /S: no folder, company folder, shortcut or entry left.
# Screenshots go to build/screenshots/upgrade-*.png.
#
# Usage: tests/e2e/upgrade.sh   (after test.sh or run.sh built the trees;
#        BUILD_DIR names the Windows build, RELEASE the native release tree)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RELEASE=${RELEASE:-$E2E_ROOT/build/native-release}
BUILD=${BUILD_DIR:-$E2E_ROOT/build/win32}
E2E_WIZSPY=$BUILD/gui/wizspy.exe
e2e_require "$RELEASE/tools/stpack" "$E2E_STPACK"

NAME_EN='Ledger Books'
NAME_ZH='账本'
COMPANY='Ledger Works'
DEFAULT_DIR='C:\Program Files\Ledger Works\Ledger\'
OTHER_DIR='C:\Program Files\Ledger Works\Ledger 1.2\'

work=$(mktemp -d /tmp/corvenna-upgrade.XXXXXX)
trap 'rm -rf "$work"' EXIT

# --- the tool and the three versions ------------------------------------------------

cmake --install "$RELEASE" --prefix "$work/tool" >/dev/null 2>&1
stpack=$work/tool/bin/stpack
check "tool: installed" test -x "$stpack"

# The x64 build's installers carry its own stub and uninstaller.
made_with=()
if e2e_build_is_x64; then
  e2e_require "$BUILD/app/SetupStub.exe" "$BUILD/uninstall/Uninst.exe"
  made_with=(--stub "$BUILD/app/SetupStub.exe" --uninstaller "$BUILD/uninstall/Uninst.exe")
fi

cd "$work" || exit 1
quiet() { "$@" >/dev/null 2>&1; }
check "init: starts a product folder with the publisher" quiet "$stpack" init Ledger --publisher "$COMPANY"

# version <version> <files...>: payload/ holds exactly these files, each with
# content naming the version; then the installer Ledger-<version>.exe. The
# program is never started, so any bytes do for Ledger.exe.
version() {
  local number=$1 file
  shift
  rm -rf Ledger/payload && mkdir -p Ledger/payload
  for file in "$@"; do
    mkdir -p "Ledger/payload/$(dirname "$file")"
    printf 'MZ %s of Ledger %s\r\n' "$file" "$number" >"Ledger/payload/$file"
  done
  sed -i "s/^Version = .*/Version = $number/; s/^ProductNameEn = .*/ProductNameEn = $NAME_EN/;
    s/^ProductNameZh = .*/ProductNameZh = $NAME_ZH/; s/^WindowClass =.*/WindowClass = TLedgerMain/;
    s|^# HomePageEn = .*|HomePageEn = https://ledger.example/|; s|^# HomePageZh = .*|HomePageZh = https://ledger.example/zh/|" \
    Ledger/product.ini
  local out
  out=$("$stpack" make Ledger -o "Ledger-$number.exe" "${made_with[@]}" 2>&1)
  check "make $number: the installer verifies" quiet "$E2E_STPACK" verify "Ledger-$number.exe"
  check "make $number: no warnings" not grep -q warning <<<"$out"
}
# The members of an installer, as "folder\name" lines.
members() { "$E2E_STPACK" list "$1" | awk 'NR > 2 { f = $(NF - 1); print (f == "folder)" ? "" : f) $NF }'; }

version 1.0 Ledger.exe ReadMe.txt data/Old.dat data/Rates.dat
version 1.1 Ledger.exe ReadMe.txt data/New.dat data/Rates.dat
version 1.2 Ledger.exe ReadMe.txt data/Extra.dat data/New.dat data/Rates.dat
check_eq "make 1.1: the members" "Ledger.exe ReadMe.txt data\\New.dat data\\Rates.dat Uninst.exe Uninst.lst" \
  "$(members Ledger-1.1.exe | tr '\n' ' ' | sed 's/ $//')"
cd "$E2E_ROOT" || exit 1

# --- under Wine ------------------------------------------------------------------------

e2e_init upgrade || { echo "0 passed, 1 failed"; exit 1; }
trap 'e2e_cleanup; rm -rf "$work"' EXIT
e2e_require "$E2E_WIZSPY"
wine_set_version winxp
make_quick_launch_folder

default_unix=$(unix_path "${DEFAULT_DIR%\\}")
other_unix=$(unix_path "${OTHER_DIR%\\}")
company_unix=$(unix_path "C:\\Program Files\\$COMPANY")
start_menu_folder=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/$COMPANY
start_menu_link=$start_menu_folder/$NAME_EN.lnk

# silent <name> <version> [arguments]: the installer of that version with /S
# and a log of its own ($E2E_TMP/<name>.log), watched by wizspy until it ends.
silent() {
  rm -f "$E2E_TMP/$1.log"
  watch_run "$1" "$work/Ledger-$2.exe" "/S /LOG=$(win_path "$E2E_TMP")\\$1.log${3:+ $3}"
}
# log_has <description> <run name> <text>
log_has() {
  local file=$E2E_TMP/$2.log
  if [ -f "$file" ] && grep -qF -- "$3" "$file"; then e2e_pass "$1"; else e2e_fail "$1" "no [$3] in $file"; fi
}

# The folder's files, relative, sorted.
files_in() { (cd "$1" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
# The files Uninst.lst names, relative, sorted.
listed_in() {
  sed -n 's/^File=//p' "$1/Uninst.lst" 2>/dev/null | tr -d '\r' | tr '\\' / | LC_ALL=C sort | tr '\n' ' '
}
# Every file and folder of a tree with the sha256 of each file.
tree_state() {
  (cd "$1" 2>/dev/null && find . | LC_ALL=C sort | while IFS= read -r path; do
    if [ -f "$path" ]; then echo "$(sha256sum <"$path" | cut -c1-64) $path"; else echo "dir $path"; fi
  done)
}
# A version's payload file where it is installed, with its bytes.
installed_as() { cmp -s "$work/unpacked-$1/$2" "$3/$2"; }
display_version() { uninstall_values "$NAME_EN" | sed -n 's/^DisplayVersion=//p'; }

# The uninstall entries named like the product (in either language) in both
# hives and, on 64-bit Windows, both registry views.
entry_count() {
  local root key n=0
  for root in 'HKEY_LOCAL_MACHINE\SOFTWARE' 'HKEY_CURRENT_USER\Software'; do
    for key in "$root" "$root\\Wow6432Node"; do
      rm -f "$E2E_TMP/all.reg"
      wine regedit /E "$(win_path "$E2E_TMP")\\all.reg" "$key\\Microsoft\\Windows\\CurrentVersion\\Uninstall" \
        >/dev/null 2>&1
      [ -f "$E2E_TMP/all.reg" ] || continue
      n=$((n + $(iconv -f UTF-16 -t UTF-8 "$E2E_TMP/all.reg" | tr -d '\r' |
        grep -cxF -e "\"DisplayName\"=\"$NAME_EN\"" -e "\"DisplayName\"=\"$NAME_ZH\"")))
    done
  done
  echo "$n"
}

# Each version's members as its installer carries them, for byte comparisons.
for v in 1.0 1.1 1.2; do "$E2E_STPACK" extract "$work/Ledger-$v.exe" "$work/unpacked-$v" >/dev/null 2>&1; done

echo "== 1.0 into the proposed folder"
silent v10 1.0
check_eq "1.0: exit code" 0 "$(watched_exit v10)"
log_has "1.0: proposed from the program-files folder" v10 \
  "Destination folder (proposed from the program-files folder): ${DEFAULT_DIR%\\}"
check "1.0: the data file to be dropped is installed" installed_as 1.0 data/Old.dat "$default_unix"
check_eq "1.0: desktop shortcut" "${DEFAULT_DIR}Ledger.exe $DEFAULT_DIR " "$(link_target "$(desktop_link "$NAME_EN")")"
check_eq "1.0: Quick Launch shortcut" "${DEFAULT_DIR}Ledger.exe $DEFAULT_DIR " \
  "$(link_target "$(quick_launch_link "$NAME_EN")")"
rm -f "$(desktop_link "$NAME_EN")" "$(quick_launch_link "$NAME_EN")"
printf 'my own notes' >"$default_unix/data/Notes.txt"

echo "== 1.1 over 1.0, found through the uninstall entry"
silent v11 1.1
check_eq "1.1: exit code" 0 "$(watched_exit v11)"
log_has "1.1: into 1.0's folder, from the uninstall entry" v11 \
  "Destination folder (proposed from the uninstall entry of an earlier installation): ${DEFAULT_DIR%\\}"
log_has "1.1: the log names the version it replaces" v11 "Installed there: version 1.0"
check "1.1: the dropped data file is removed" test ! -e "$default_unix/data/Old.dat"
check "1.1: the new data file is installed" installed_as 1.1 data/New.dat "$default_unix"
check "1.1: the kept files are 1.1's" installed_as 1.1 Ledger.exe "$default_unix"
check "1.1: the user's own file stays" test -f "$default_unix/data/Notes.txt"
check_eq "1.1: Uninst.lst lists exactly the installed files" "$(files_in "$default_unix" | sed 's|data/Notes.txt ||')" \
  "$(listed_in "$default_unix")"
check_eq "1.1: one uninstall entry" 1 "$(entry_count)"
check_eq "1.1: the entry's version" 1.1 "$(display_version)"
check_eq "1.1: the Start menu shortcut points at the product" "${DEFAULT_DIR}Ledger.exe $DEFAULT_DIR " \
  "$(link_target "$start_menu_link")"

echo "== the 1.2 wizard over 1.1"
ends_above() { [ "$1" -le "$2" ] || { e2e_log "  the title ends at y=$1, the notice starts at y=$2"; return 1; }; }
# wizard_notice <zh|en> <expected notice>
wizard_notice() {
  start_setup "$1" "$work/Ledger-1.2.exe"
  check "wizard $1: window appears" spy 20000
  press_next
  check "wizard $1: licence page" wait_for pnlStep2 shown 1
  press_next
  check "wizard $1: destination page" wait_for pnlStep3 shown 1
  check_eq "wizard $1: the earlier installation's folder" "${DEFAULT_DIR%\\}" "$(get editSetupDir text | sed 's/\\\\/\\/g')"
  check_eq "wizard $1: the notice shows" 1 "$(get lblFolderTip shown)"
  check_eq "wizard $1: the notice" "$2" "$(get lblFolderTip text)"
  # Both labels are on the header panel.
  check "wizard $1: the notice lies below the page title, not over it" \
    ends_above "$(($(get lblFolder y) + $(get lblFolder h)))" "$(get lblFolderTip y)"
  shot "upgrade-$1-destination"
  click_control btnClose
  check_eq "wizard $1: Cancel ends it" 0 "$(wait_exit)"
  e2e_restart_wine
}
wizard_notice en "Version 1.1 is installed in this folder and will be updated to 1.2."
wizard_notice zh "此文件夹中已安装版本 1.1，将更新为版本 1.2。"
check_eq "wizard: the entry is left as it was" 1.1 "$(display_version)"

echo "== 1.2 into the same folder while a file is held open"
before=$(tree_state "$default_unix")
hold_file "${DEFAULT_DIR}data\\Rates.dat"
silent held 1.2 "/D=${DEFAULT_DIR%\\}"
release_file
check_eq "held: exit code 3 (extraction failed)" 3 "$(watched_exit held)"
check_eq "held: the folder is byte for byte as before" "$before" "$(tree_state "$default_unix")"
check_eq "held: the entry is still 1.1's" 1.1 "$(display_version)"
check_eq "held: still one uninstall entry" 1 "$(entry_count)"
log_has "held: the log says the earlier version is as it was" held "The earlier version is as it was before"

echo "== 1.2 into another folder"
silent v12 1.2 "/D=${OTHER_DIR%\\}"
check_eq "1.2: exit code" 0 "$(watched_exit v12)"
check "1.2: installed there" installed_as 1.2 data/Extra.dat "$other_unix"
check_eq "1.2: Uninst.lst lists exactly the installed files" "$(files_in "$other_unix")" "$(listed_in "$other_unix")"
log_has "1.2: the earlier installation is removed" v12 "Removing the earlier installation in $DEFAULT_DIR"
check_eq "1.2: only the user's file is left of the earlier folder" "data/Notes.txt " "$(files_in "$default_unix")"
check_eq "1.2: one uninstall entry" 1 "$(entry_count)"
check_eq "1.2: the entry's version" 1.2 "$(display_version)"
check_eq "1.2: the desktop shortcut points at the new folder" "${OTHER_DIR}Ledger.exe $OTHER_DIR " \
  "$(link_target "$(desktop_link "$NAME_EN")")"
check_eq "1.2: the Start menu shortcut points at the new folder" "${OTHER_DIR}Ledger.exe $OTHER_DIR " \
  "$(link_target "$start_menu_link")"
# The user clears away the old folder, so that the company folder holds only
# the installation.
rm -rf "$default_unix"

echo "== Uninst.exe /S"
wine "${OTHER_DIR}Uninst.exe" /S >/dev/null 2>&1
uninstall_rc=$?
for _ in $(seq 100); do [ -e "$other_unix" ] || break; sleep 0.1; done
check_eq "uninstall: exit code" 0 "$uninstall_rc"
check "uninstall: the install folder is gone" test ! -e "$other_unix"
check "uninstall: the company folder is gone" test ! -e "$company_unix"
check "uninstall: the desktop shortcut is gone" test ! -e "$(desktop_link "$NAME_EN")"
check "uninstall: the Quick Launch shortcut is gone" test ! -e "$(quick_launch_link "$NAME_EN")"
check "uninstall: the Start menu shortcut is gone" test ! -e "$start_menu_link"
check "uninstall: the Start menu company folder is gone" test ! -e "$start_menu_folder"
check_eq "uninstall: no uninstall entry" 0 "$(entry_count)"

e2e_log "screenshots: $E2E_SCREENSHOTS/upgrade-*.png"
e2e_summary
