#!/usr/bin/env bash
# End-to-end test of Uninst.exe under Wine: installs the sample product
# (Corvenna Drawvane) with its real installer, DrawvaneSetup.exe, whose
# package carries the uninstaller and its list; then removes it silently and
# interactively in both interface languages and checks what is left: nothing
# of the product, but a user's own file with its folder, a file held open,
# the files behind a folder replaced by a link, and the system-folder member. Screenshots of the interactive runs go to
# build/screenshots/uninstall-*.png.
#
# Usage: tests/e2e/uninstall.sh [build-dir]   (default $BUILD_DIR or build/win32)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=${1:-${BUILD_DIR:-$E2E_ROOT/build/win32}}
E2E_WIZSPY=$BUILD/gui/wizspy.exe
E2E_SETUP=$BUILD/examples/DrawvaneSetup.exe
e2e_require "$E2E_WIZSPY" "$E2E_SETUP"

e2e_init uninstall || { echo "0 passed, 1 failed"; exit 1; }
# Windows XP, so that the installer also makes the Quick Launch shortcut.
wine_set_version winxp
make_quick_launch_folder

install_win='C:\Program Files\Corvenna Soft\Drawvane\'
install_dir=$(unix_path "$install_win")
system_member=$(system_folder)/DrawvanePalette.dat
temp_dir=$(user_folder Temp)
title_en=Drawvane
title_zh=柯雯纳画图
name_en='Corvenna Drawvane'
name_zh=柯雯纳画图
everything_installed="Drawvane.exe Lang Lang/en.ini Lang/zh-CN.ini ReadMe.txt Samples Samples/Sketch.dvn Uninst.exe Uninst.lst "

lang_tag() { [ "$1" = 0 ] && echo zh || echo en; }
locale_of() { [ "$1" = 0 ] && echo zh_CN.UTF-8 || echo en_US.UTF-8; }
name_of() { [ "$1" = 0 ] && echo "$name_zh" || echo "$name_en"; }
run_in() { local language=$1; shift; LC_ALL=$(locale_of "$language") LANG=$(locale_of "$language") "$@"; }

# Installs the sample product with its installer, driven through the wizard
# in interface language $1 (0 Chinese, 2 English), into the default folder,
# with both shortcuts and without starting it at Finish.
install_product() {
  local tag
  tag="install ($(lang_tag "$1"))"
  to_destination "$(lang_tag "$1")" "$tag"
  install_to "" "$tag"
  finish_setup 0 "$tag"
  wineserver -w
  [ -f "$install_dir/Uninst.exe" ] && [ -f "$install_dir/Uninst.lst" ] && entry_exists "$(name_of "$1")"
}

entry_exists() { [ -n "$(uninstall_values "$1")" ]; }
no_shortcuts() {
  local name
  for name in "$name_en" "$name_zh"; do
    [ ! -e "$(desktop_link "$name")" ] && [ ! -e "$(quick_launch_link "$name")" ] || return 1
  done
}
no_entries() { ! entry_exists "$name_en" && ! entry_exists "$name_zh"; }
# One installation, one entry: the second language's run replaces the
# first one's entry for the same folder.
last_language_entry_only() { entry_exists "$name_zh" && ! entry_exists "$name_en"; }
all_shortcuts() {
  local name
  for name in "$name_en" "$name_zh"; do
    [ -e "$(desktop_link "$name")" ] && [ -e "$(quick_launch_link "$name")" ] || return 1
  done
}
no_shortcuts_or_entries() { no_shortcuts && no_entries; }
no_helper_left() { ! compgen -G "$temp_dir/uni*.tmp" >/dev/null; }
product_gone() { [ ! -e "$install_dir" ] && no_shortcuts && no_entries && no_helper_left; }
still_installed() { [ -f "$install_dir/Uninst.lst" ] && [ -f "$install_dir/Uninst.exe" ] && entry_exists "$1"; }
list_lacks_system_member() { [ -f "$install_dir/Uninst.lst" ] && ! grep -q DrawvanePalette "$install_dir/Uninst.lst"; }
# What remains in the install folder, as sorted relative paths.
remaining() { (cd "$install_dir" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
reset_machine() {
  e2e_restart_wine
  rm -rf "$install_dir"
  rm -f "$(dirname "$(desktop_link x)")"/*.lnk "$(dirname "$(quick_launch_link x)")"/*.lnk
  local name
  for name in "$name_en" "$name_zh"; do
    entry_exists "$name" && wine reg delete "$UNINSTALL_KEY\\$name" /f >/dev/null 2>&1
  done
}

# Runs Uninst.exe /S in language $1 and sets rc and out. The helper that
# deletes Uninst.exe outlives it by a moment; wait until that file is gone
# (wineserver -w would also wait for unrelated processes such as a holder).
uninstall_silently() {
  out=$(run_in "$1" wine "${install_win}Uninst.exe" /S)
  rc=$?
  for _ in $(seq 100); do [ -e "$install_dir/Uninst.exe" ] || break; sleep 0.1; done
  echo "$out" | sed 's/^/  | /'
}

# Waits up to 30 s for background process $1 and returns its exit status;
# a process still running then is ended (status 124).
wait_process() {
  for _ in $(seq 300); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 124
  fi
  wait "$1"
}

# Waits for a message box whose text differs from $1; leaves it in the box dump.
wait_other_box() {
  for _ in $(seq 50); do
    spy_box 2000 && [ "$(box_text)" != "$1" ] && return 0
    sleep 0.2
  done
  return 1
}

echo "== silent removal of a product installed in both languages"
check "installed in English" install_product 2
check "installed in Chinese too" install_product 0
check "installed: the list leaves out the system-folder member" list_lacks_system_member
check "installed: one uninstall entry, the last run's language" last_language_entry_only
check "installed: desktop and Quick Launch shortcuts per language" all_shortcuts
uninstall_silently 2
wineserver -w
check "silent removal exits with 0" [ "$rc" = 0 ]
check "silent removal reports the product removed" grep -q "Corvenna Drawvane was removed from your computer" <<<"$out"
check "no file, folder, shortcut or uninstall entry is left" product_gone
check "the system-folder member stays" [ -f "$system_member" ]
reset_machine

echo "== a user's own file in the install folder"
install_product 2
printf 'mine' >"$install_dir/Lang/my drawing.png"
uninstall_silently 2
check "removal with a user's file exits with 0" [ "$rc" = 0 ]
check "the user's file survives with its folder, nothing installed is left" \
  [ "$(remaining)" = "Lang Lang/my drawing.png " ]
check "the shortcuts and the entry are removed" no_shortcuts_or_entries
check "the summary names the folder kept" grep -qF "${install_win}Lang" <<<"$out"
reset_machine

echo "== a file held open"
install_product 2
wine "$E2E_WIZSPY" hold "${install_win}Drawvane.exe" 'C:\held.txt' 'C:\release.txt' >/dev/null 2>&1 &
holder=$!
for _ in $(seq 100); do [ -f "$WINEPREFIX/drive_c/held.txt" ] && break; sleep 0.1; done
uninstall_silently 2
check "removal with a file in use exits with 1" [ "$rc" = 1 ]
check "the file in use is named" grep -qF "${install_win}Drawvane.exe" <<<"$out"
check "the file in use is left, the rest removed" [ "$(remaining)" = "Drawvane.exe " ]
check "the shortcuts and the entry are removed all the same" no_shortcuts_or_entries
touch "$WINEPREFIX/drive_c/release.txt"
wait_process "$holder"
rm -f "$WINEPREFIX/drive_c/held.txt" "$WINEPREFIX/drive_c/release.txt"
reset_machine

echo "== a folder of the install folder replaced by a link to another folder"
# Whoever can write the install folder could put a link where Lang was; a
# Unix symbolic link in the prefix is such a link for Wine (on Windows, a
# junction or a directory symbolic link).
install_product 2
victim=$WINEPREFIX/drive_c/victim
mkdir -p "$victim" && printf 'not the product' >"$victim/zh-CN.ini" && printf 'not the product' >"$victim/en.ini"
rm -rf "$install_dir/Lang" && ln -s "$victim" "$install_dir/Lang"
uninstall_silently 2
check "removal past a link exits with 1" [ "$rc" = 1 ]
check "nothing is deleted through the link" test -f "$victim/zh-CN.ini" -a -f "$victim/en.ini"
check "the summary names the files behind the link" grep -qF "${install_win}Lang\\zh-CN.ini" <<<"$out"
check "the shortcuts and the entry are removed all the same" no_shortcuts_or_entries
rm -rf "$victim" "$install_dir/Lang"
reset_machine

echo "== the product is running"
for language in 2 0; do
  install_product "$language"
  run_in "$language" wine "${install_win}Drawvane.exe" >/dev/null 2>&1 &
  running=$!
  title=$([ "$language" = 0 ] && echo "$title_zh" || echo "$title_en")
  wizspy find TfrmImageEditor "$title" 15000
  out=$(run_in "$language" wine "${install_win}Uninst.exe" /S)
  rc=$?
  echo "$out" | sed 's/^/  | /'
  check "running product ($language): refused with exit code 2" [ "$rc" = 2 ]
  expected=$([ "$language" = 0 ] && echo "${title_zh}正在运行，请先退出后再进行卸载。" ||
    echo "Drawvane program is running, please close it before uninstalling.")
  check "running product ($language): says so" grep -qF "$expected" <<<"$out"
  check "running product ($language): nothing removed" still_installed "$(name_of "$language")"
  wizspy close TfrmImageEditor "$title"
  wait_process "$running"
  reset_machine
done

echo "== interactive removal"
for language in 2 0; do
  tag=$(lang_tag "$language")
  caption=$([ "$language" = 0 ] && echo 卸载 || echo Uninstall)
  install_product "$language"
  run_in "$language" wine "${install_win}Uninst.exe" >/dev/null 2>&1 &
  uninstaller=$!
  check "interactive ($tag): asks its question" spy_box 15000
  question=$(box_text)
  check_eq "interactive ($tag): question caption" "$caption" "$(box_caption)"
  e2e_screenshot "uninstall-question-$tag"
  key Return
  check "interactive ($tag): shows its final message" wait_other_box "$question"
  check_eq "interactive ($tag): final message caption" "$caption" "$(box_caption)"
  e2e_screenshot "uninstall-done-$tag"
  key Return
  wait_process "$uninstaller"
  rc=$?
  wineserver -w
  check "interactive ($tag): exits with 0" [ "$rc" = 0 ]
  check "interactive ($tag): nothing of the product is left" product_gone
  reset_machine
done

echo "== answering No"
install_product 2
LANG=en_US.UTF-8 wine "${install_win}Uninst.exe" >/dev/null 2>&1 &
uninstaller=$!
spy_box 15000 && key Tab Return
wait_process "$uninstaller"
rc=$?
check "answering No exits with 4" [ "$rc" = 4 ]
check "answering No removes nothing" [ "$(remaining)" = "$everything_installed" ]
reset_machine

e2e_summary
