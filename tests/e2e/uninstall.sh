#!/usr/bin/env bash
# End-to-end test of Uninst.exe under Wine: installs the sample product
# (Corvenna Drawvane), removes it silently and interactively in both interface
# languages, and checks what is left: nothing of the product, but a user's own
# file with its folder, a file held open, and the system-folder member.
# Screenshots of the interactive runs go to build/screenshots/.
#
# Takes the Windows build tree from BUILD_DIR (default build/win32). Uses its
# own Wine prefix and Xvfb display, both removed at the end. Last line:
# "N passed, N failed"; the exit status is non-zero when a check failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-build/win32}
[[ $build = /* ]] || build=$root/$build
uninst_exe=$build/uninstall/Uninst.exe
fixture_exe=$build/tests/uninstall_fixture.exe
product_exe=$build/examples/Drawvane.exe
shots=$root/build/screenshots

passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }
check() {  # name, command...: passes when the command succeeds
  local name=$1; shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

for f in "$uninst_exe" "$fixture_exe" "$product_exe"; do
  [ -f "$f" ] || { fail "build" "missing $f"; finish; }
done

tmp=$(mktemp -d /tmp/corvenna-uninstall-e2e.XXXXXX)
xvfb_pid=
cleanup() {
  WINEPREFIX=$tmp/prefix wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# Wine puts the desktop in $HOME/Desktop when that folder exists; without
# winemenubuilder it adds no menu files of its own beside the shortcuts.
export WINEARCH=win32 WINEDEBUG=-all WINEPREFIX=$tmp/prefix HOME=$tmp/home
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME/Desktop" "$shots"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$tmp/display")

echo "creating the Wine prefix..."
LANG=en_US.UTF-8 wineboot -i >/dev/null 2>&1
wineserver -w

user=$(id -un)
drive_c=$WINEPREFIX/drive_c
install_dir=$drive_c/Program\ Files/Drawvane
install_win='C:\Program Files\Drawvane\'
system_member=$drive_c/windows/system32/DrawvaneCore.dll
temp_dir=$drive_c/users/$user/Temp
desktop=$drive_c/users/$user/Desktop
quick_launch=$drive_c/users/$user/AppData/Roaming/Microsoft/Internet\ Explorer/Quick\ Launch
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
# Quick Launch exists on Windows XP; the installer's shortcut code does not create it.
mkdir -p "$quick_launch"

# The sample product's settings (string-table entries 1001 to 1005).
window_class=TfrmImageEditor
title_en=Drawvane
title_zh=柯雯纳画图
name_en='Corvenna Drawvane'
name_zh=柯雯纳画图

locale_of() { [ "$1" = 0 ] && echo zh_CN.UTF-8 || echo en_US.UTF-8; }
name_of() { [ "$1" = 0 ] && echo "$name_zh" || echo "$name_en"; }
run_in() { local language=$1; shift; LANG=$(locale_of "$language") "$@"; }

# Leaves the sample product installed as the installer would, in interface
# language $1 (0 Chinese, 2 English): the members (one into the system
# folder), the uninstall list made by the package tool's code, the uninstall
# entry and the desktop and Quick Launch shortcuts named in that language.
# This is the one place that knows how the product gets installed: it puts
# the pieces in place directly, with the installer's own shortcut and
# registry code; running the sample product's installer instead changes
# nothing else in this script.
install_product() {
  local language=$1 name
  name=$(name_of "$language")
  mkdir -p "$install_dir/Lang"
  cp "$product_exe" "$install_dir/Drawvane.exe"
  cp "$uninst_exe" "$install_dir/Uninst.exe"
  printf 'Drawvane 2.0\r\n' >"$install_dir/readme.txt"
  printf '[Strings]\r\n' >"$install_dir/Lang/zh-CN.ini"
  printf '[Strings]\r\n' >"$install_dir/Lang/en-US.ini"
  [ -f "$system_member" ] || printf 'shared' >"$system_member"
  run_in 2 wine "$fixture_exe" list "${install_win}Uninst.lst" "$window_class" "$title_en" "$title_zh" \
    "$name_en" "$name_zh" '|Drawvane.exe' '|readme.txt' 'Lang\|zh-CN.ini' 'Lang\|en-US.ini' \
    '$System$|DrawvaneCore.dll' '|Uninst.exe' '|Uninst.lst' || return 1
  run_in 2 wine "$fixture_exe" register "$install_win" "$name" Drawvane 2.0 "$language" || return 1
  for location in 0 1; do
    run_in 2 wine "$fixture_exe" shortcut "${install_win}Drawvane.exe" "$name" "$location" || return 1
  done
}

key_exists() { wine reg query "$uninstall_key\\$1" >/dev/null 2>&1; }
no_shortcuts() {
  local name
  for name in "$name_en" "$name_zh"; do
    [ ! -e "$desktop/$name.lnk" ] && [ ! -e "$quick_launch/$name.lnk" ] || return 1
  done
}
no_entries() { ! key_exists "$name_en" && ! key_exists "$name_zh"; }
both_entries() { key_exists "$name_en" && key_exists "$name_zh"; }
no_shortcuts_or_entries() { no_shortcuts && no_entries; }
no_helper_left() { ! compgen -G "$temp_dir/uni*.tmp" >/dev/null; }
product_gone() { [ ! -e "$install_dir" ] && no_shortcuts && no_entries && no_helper_left; }
still_installed() { [ -f "$install_dir/Uninst.lst" ] && [ -f "$install_dir/Uninst.exe" ] && key_exists "$1"; }
list_lacks_system_member() { [ -f "$install_dir/Uninst.lst" ] && ! grep -q DrawvaneCore "$install_dir/Uninst.lst"; }
# What remains in the install folder, as sorted relative paths.
remaining() { (cd "$install_dir" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
reset_machine() {
  wineserver -w
  rm -rf "$install_dir"
  rm -f "$desktop"/*.lnk "$quick_launch"/*.lnk
  local name
  for name in "$name_en" "$name_zh"; do
    key_exists "$name" && wine reg delete "$uninstall_key\\$name" /f >/dev/null 2>&1
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

# Waits for a visible window titled exactly $1, other than window $2; prints its id.
wait_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "${2:-none}" | head -n1)
    [ -n "$id" ] && { sleep 0.5; echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
# Waits up to 30 s for background process $1 and returns its exit status;
# a process still running then is ended (status 124).
wait_for() {
  for _ in $(seq 300); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 124
  fi
  wait "$1"
}
# A screenshot that is more than one flat colour.
screenshot() {
  import -window root "$shots/$1" 2>/dev/null &&
    [ "$(convert "$shots/$1" -format '%[fx:standard_deviation>0]' info: 2>/dev/null)" = 1 ]
}

echo "== silent removal of a product installed in both languages"
install_product 2 && install_product 0
check "installed: the list leaves out the system-folder member" list_lacks_system_member
check "installed: an uninstall entry per language" both_entries
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
check "the summary names the folder kept" grep -qF 'C:\Program Files\Drawvane\Lang' <<<"$out"
reset_machine

echo "== a file held open"
install_product 2
LANG=en_US.UTF-8 wine "$fixture_exe" hold "${install_win}Drawvane.exe" 'C:\held.txt' 'C:\release.txt' &
holder=$!
for _ in $(seq 100); do [ -f "$drive_c/held.txt" ] && break; sleep 0.1; done
uninstall_silently 2
check "removal with a file in use exits with 1" [ "$rc" = 1 ]
check "the file in use is named" grep -qF 'C:\Program Files\Drawvane\Drawvane.exe' <<<"$out"
check "the file in use is left, the rest removed" [ "$(remaining)" = "Drawvane.exe " ]
check "the shortcuts and the entry are removed all the same" no_shortcuts_or_entries
touch "$drive_c/release.txt"
wait_for "$holder"
rm -f "$drive_c/held.txt" "$drive_c/release.txt"
reset_machine

echo "== the product is running"
for language in 2 0; do
  install_product "$language"
  LANG=$(locale_of "$language") wine "${install_win}Drawvane.exe" &
  running=$!
  title=$([ "$language" = 0 ] && echo "$title_zh" || echo "$title_en")
  wait_window "$title" >/dev/null
  out=$(run_in "$language" wine "${install_win}Uninst.exe" /S)
  rc=$?
  echo "$out" | sed 's/^/  | /'
  check "running product ($language): refused with exit code 2" [ "$rc" = 2 ]
  expected=$([ "$language" = 0 ] && echo "${title_zh}正在运行，请先退出后再进行卸载。" ||
    echo "Drawvane program is running, please close it before uninstalling.")
  check "running product ($language): says so" grep -qF "$expected" <<<"$out"
  check "running product ($language): nothing removed" still_installed "$(name_of "$language")"
  kill "$running" 2>/dev/null
  wait_for "$running"
  reset_machine
done

echo "== interactive removal"
for language in 2 0; do
  tag=$([ "$language" = 0 ] && echo zh || echo en)
  caption=$([ "$language" = 0 ] && echo 卸载 || echo Uninstall)
  install_product "$language"
  LANG=$(locale_of "$language") wine "${install_win}Uninst.exe" &
  uninstaller=$!
  question=$(wait_window "$caption")
  check "interactive ($tag): asks its question" [ -n "$question" ]
  check "interactive ($tag): question screenshot" screenshot "uninstall-question-$tag.png"
  [ -n "$question" ] && xdotool key --window "$question" Return 2>/dev/null
  summary=$(wait_window "$caption" "$question")
  check "interactive ($tag): shows its final message" [ -n "$summary" ]
  check "interactive ($tag): final message screenshot" screenshot "uninstall-done-$tag.png"
  [ -n "$summary" ] && xdotool key --window "$summary" Return 2>/dev/null
  wait_for "$uninstaller"
  rc=$?
  wineserver -w
  check "interactive ($tag): exits with 0" [ "$rc" = 0 ]
  check "interactive ($tag): nothing of the product is left" product_gone
  reset_machine
done

echo "== answering No"
install_product 2
LANG=en_US.UTF-8 wine "${install_win}Uninst.exe" &
uninstaller=$!
question=$(wait_window Uninstall)
[ -n "$question" ] && xdotool key --window "$question" Tab Return 2>/dev/null
wait_for "$uninstaller"
rc=$?
check "answering No exits with 4" [ "$rc" = 4 ]
check "answering No removes nothing" \
  [ "$(remaining)" = "Drawvane.exe Lang Lang/en-US.ini Lang/zh-CN.ini Uninst.exe Uninst.lst readme.txt " ]
reset_machine

finish
