# Shared helpers of the end-to-end scripts: a private 32-bit Wine prefix and
# X display per script (Xvfb with a Wine virtual desktop, so windows carry
# their frames in screenshots), the Windows version switch, keyboard and
# mouse through xdotool, screenshots, and the pass/fail count every script
# ends with ("N passed, N failed"). Source it, call e2e_init, end with
# e2e_summary.

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_SCREENSHOTS=${E2E_SCREENSHOTS:-$E2E_ROOT/build/screenshots}
E2E_DESKTOP=${E2E_DESKTOP:-800x600}
e2e_passed=0
e2e_failed=0
e2e_skipped=0
E2E_TMP=
E2E_XVFB_PID=

e2e_log() { printf '%s\n' "$*"; }

e2e_pass() {
  e2e_passed=$((e2e_passed + 1))
  e2e_log "PASS $1"
}

e2e_fail() {
  e2e_failed=$((e2e_failed + 1))
  e2e_log "FAIL $1${2:+ ($2)}"
}

# check_eq <description> <expected> <actual>
check_eq() {
  if [ "$2" == "$3" ]; then e2e_pass "$1"; else e2e_fail "$1" "expected [$2], got [$3]"; fi
}

# check_match <description> <extended regex> <actual>
check_match() {
  if [[ $3 =~ $2 ]]; then e2e_pass "$1"; else e2e_fail "$1" "[$3] does not match /$2/"; fi
}

# check <description> <command...>: passes when the command succeeds.
check() {
  local description=$1
  shift
  if "$@"; then e2e_pass "$description"; else e2e_fail "$description"; fi
}

# not <command...>: succeeds when the command fails.
not() { ! "$@"; }

e2e_summary() {
  local skipped=""
  [ "$e2e_skipped" -gt 0 ] && skipped=", $e2e_skipped skipped"
  echo "$e2e_passed passed, $e2e_failed failed$skipped"
  [ "$e2e_failed" -eq 0 ]
}

# The Windows build the scripts drive (BUILD) is the 32-bit one the project
# ships, or, on machines that execute no 32-bit x86 code (some virtual
# machines: their kernel refuses Wine's 32-bit loader with "Exec format
# error"), the same sources built for x64 (build/win64), run under 64-bit
# Wine. The 64-bit programs see the registry and file system the way the
# 32-bit ones see them on 32-bit Windows: no WOW64 redirection either way.
E2E_WINE64=/usr/lib/wine/wine64

# True when BUILD holds x64 programs.
e2e_build_is_x64() {
  [ -n "${BUILD:-}" ] && grep -q '^CMAKE_CXX_COMPILER_AR:.*x86_64-w64-mingw32' "$BUILD/CMakeCache.txt" 2>/dev/null
}

# True when this machine can run the programs of BUILD under Wine.
e2e_wine_usable() {
  if e2e_build_is_x64; then
    "$E2E_WINE64" --version >/dev/null 2>&1
  else
    wine --version >/dev/null 2>&1
  fi
}

# e2e_skip_without_wine <what>: where Wine cannot run, ends the script with
# the checks made so far and one skip that says why.
e2e_skip_without_wine() {
  e2e_wine_usable && return 0
  if e2e_build_is_x64; then
    echo "SKIP $1: 64-bit Wine cannot start ($E2E_WINE64 --version fails)"
  else
    echo "SKIP $1: this machine cannot run 32-bit x86 programs, so Wine cannot start (wine --version fails);" \
      "BUILD_DIR=build/win64 runs the x64 build under 64-bit Wine"
  fi
  e2e_skipped=$((e2e_skipped + 1))
  e2e_summary
  exit
}

# e2e_require <file...>: ends the script as one failure when a file the build
# should have made is missing.
e2e_require() {
  local file
  for file in "$@"; do
    if [ ! -f "$file" ]; then
      echo "FAIL $file is missing (build the Windows tree first)"
      echo "0 passed, 1 failed"
      exit 1
    fi
  done
}

# A display number nobody uses.
e2e_free_display() {
  local n
  for n in $(seq 91 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

e2e_cleanup() {
  if [ -n "$E2E_TMP" ] && [ -d "$E2E_TMP" ]; then
    WINEPREFIX=$E2E_TMP/prefix wineserver -k >/dev/null 2>&1
    WINEPREFIX=$E2E_TMP/prefix wineserver -w >/dev/null 2>&1
  fi
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
  fi
  [ -n "$E2E_TMP" ] && rm -rf "$E2E_TMP"
  E2E_TMP=
  E2E_XVFB_PID=
}

# e2e_init <name>: temp folder (also HOME, which Wine links the shell
# folders into), display, prefix, virtual desktop. Cleans up on exit.
e2e_init() {
  e2e_skip_without_wine "$1 (Windows under Wine)"
  E2E_TMP=$(mktemp -d "/tmp/corvenna-e2e-$1.XXXXXX")
  trap e2e_cleanup EXIT
  export HOME=$E2E_TMP/home WINEPREFIX=$E2E_TMP/prefix WINEARCH=win32 WINEDEBUG=-all
  if e2e_build_is_x64; then
    # "wine" in these scripts is 64-bit Wine: a 64-bit prefix, and a wine on
    # PATH that starts the 64-bit loader (Debian's starts the 32-bit one
    # whenever it is installed).
    export WINEARCH=win64 WINELOADER=$E2E_WINE64
    mkdir -p "$E2E_TMP/bin"
    # wineboot, regedit and the other launchers start wine-stable.
    local name
    for name in wine wine-stable; do
      printf '#!/bin/sh\nexec %s "$@"\n' "$E2E_WINE64" >"$E2E_TMP/bin/$name"
      chmod +x "$E2E_TMP/bin/$name"
    done
    export PATH=$E2E_TMP/bin:$PATH
  fi
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  # Wine reads command lines in the Unix locale's encoding; texts are UTF-8.
  export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
  mkdir -p "$HOME" "$E2E_SCREENSHOTS"
  local display
  display=$(e2e_free_display) || { e2e_log "no free X display"; return 1; }
  Xvfb ":$display" -screen 0 "${E2E_DESKTOP}x24" -nolisten tcp >/dev/null 2>&1 &
  E2E_XVFB_PID=$!
  export DISPLAY=":$display"
  local i
  for i in $(seq 1 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
  done
  wineboot -i >"$E2E_TMP/wineboot.log" 2>&1 || { e2e_log "wineboot failed"; return 1; }
  wineserver -w
  # One virtual desktop window: Wine draws the frames itself and screen
  # coordinates equal X coordinates.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$E2E_DESKTOP" /f >/dev/null 2>&1
  # A Chinese face for the SimSun labels; the prefix has no Windows fonts.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v '宋体' /d 'WenQuanYi Zen Hei' /f >/dev/null 2>&1
  e2e_restart_wine
}

# Ends every Wine process of the prefix, so the next program starts a fresh
# desktop under its own locale.
e2e_restart_wine() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

# wine_set_version <winxp|win7|...>: the Windows version programs see.
wine_set_version() {
  wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
}

# The Windows form of a Unix path (Wine's Z: drive is the Unix root).
win_path() {
  local path
  path=$(readlink -f "$1" 2>/dev/null || echo "$1")
  echo "Z:${path//\//\\}"
}

# e2e_screenshot <name> [x y w h]: the display, or a part of it, as
# <screenshots>/<name>.png.
e2e_screenshot() {
  local out=$E2E_SCREENSHOTS/$1.png
  if [ $# -ge 5 ]; then
    import -window root -crop "${4}x${5}+${2}+${3}" +repage "$out" 2>/dev/null
  else
    import -window root "$out" 2>/dev/null
  fi
}

# pixel_at <png> <x> <y>: "r,g,b" in 0..255.
pixel_at() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" \
    info: 2>/dev/null
}

# Input through the X server; Wine passes it to the active window.
key() { xdotool key --delay 60 "$@"; }
type_text() { xdotool type --delay 40 "$1"; }
click_at() { xdotool mousemove "$1" "$2" click 1; }

# --- looking at the wizard and its message boxes ------------------------------
# Through wizspy.exe (tests/gui), which the script names in E2E_WIZSPY; dumps
# go to $E2E_TMP. E2E_SETUP is the installer start_setup runs by default.
E2E_WIZSPY=${E2E_WIZSPY:-}
E2E_SETUP=${E2E_SETUP:-}

wizspy() { wine "$E2E_WIZSPY" "$@" >/dev/null 2>&1; }

# watch_run <name> <program> [arguments]: runs the program under wizspy's
# watch until it ends; its report is $E2E_TMP/<name>.txt.
watch_run() {
  rm -f "$E2E_TMP/$1.txt"
  wine "$E2E_WIZSPY" watch "$(win_path "$E2E_TMP")\\$1.txt" "$(win_path "$2")" "${3:-}" >/dev/null 2>&1
}
# The exit code and the windows of a watched run.
watched_exit() { sed -n 's/^exit|//p' "$E2E_TMP/$1.txt"; }
watched_windows() { grep '^window|' "$E2E_TMP/$1.txt" | tr '\n' ' '; }

# hold_file <windows path>: wizspy opens the file without sharing, as a copy
# of the program that still runs would, and keeps it open until release_file;
# returns once the file is held.
hold_file() {
  rm -f "$E2E_TMP/held.txt" "$E2E_TMP/release.txt"
  wine "$E2E_WIZSPY" hold "$1" "$(win_path "$E2E_TMP")\\held.txt" "$(win_path "$E2E_TMP")\\release.txt" \
    >/dev/null 2>&1 &
  E2E_HOLDER=$!
  for _ in $(seq 100); do [ -f "$E2E_TMP/held.txt" ] && break; sleep 0.1; done
}
release_file() {
  touch "$E2E_TMP/release.txt"
  wait "$E2E_HOLDER"
}

# Refreshes the dump of the wizard window; fails when there is none.
spy() { wizspy dump "$(win_path "$E2E_TMP")\\dump.txt" "${1:-10000}"; }

# get <control> <field>: a field of the last dump ("form" for the window).
get() {
  local index
  if [ "$1" = form ]; then
    case $2 in x) index=2 ;; y) index=3 ;; w) index=4 ;; h) index=5 ;; cw) index=6 ;; title) index=8 ;; esac
    awk -F'|' -v f="$index" '$1 == "form" { s = $f; for (i = f + 1; f == 8 && i <= NF; i++) s = s "|" $i; print s; exit }' "$E2E_TMP/dump.txt"
    return
  fi
  case $2 in
    own) index=4 ;; shown) index=5 ;; enabled) index=6 ;; x) index=7 ;; y) index=8 ;; w) index=9 ;; h) index=10 ;;
    sx) index=11 ;; sy) index=12 ;; value) index=13 ;; focus) index=14 ;; parent) index=15 ;; text) index=16 ;;
  esac
  awk -F'|' -v n="$1" -v f="$index" \
    '$1 == "ctl" && $2 == n { s = $f; for (i = f + 1; f == 16 && i <= NF; i++) s = s "|" $i; print s; exit }' "$E2E_TMP/dump.txt"
}

# wait_for <control> <field> <value>: dumps until the field has the value
# (about 10 s at most).
wait_for() {
  local i
  for i in $(seq 1 30); do
    spy 3000 && [ "$(get "$1" "$2")" == "$3" ] && return 0
    sleep 0.2
  done
  return 1
}

# Clicks the middle of a control of the last dump.
click_control() {
  local x y w h
  x=$(get "$1" sx) y=$(get "$1" sy) w=$(get "$1" w) h=$(get "$1" h)
  click_at $((x + w / 2)) $((y + h / 2))
}

# Screenshot of the wizard window as <name>.png; also kept for pixel checks.
shot() {
  e2e_screenshot "$1" "$(get form x)" "$(get form y)" "$(get form w)" "$(get form h)"
}

# pixel <shot> <control> <dx> <dy>: colour at a point of a control in a shot.
pixel() {
  pixel_at "$E2E_SCREENSHOTS/$1.png" $(($(get "$2" sx) - $(get form x) + $3)) $(($(get "$2" sy) - $(get form y) + $4))
}

# The first message box (#32770), dumped to $E2E_TMP/box.txt.
spy_box() { wizspy msgbox "$(win_path "$E2E_TMP")\\box.txt" "${1:-10000}"; }
box_caption() { awk -F'|' '$1 == "box" { s = $8; for (i = 9; i <= NF; i++) s = s "|" $i; print s; exit }' "$E2E_TMP/box.txt"; }
# The box text (the static control with id 65535) and whether an icon shows.
box_text() {
  awk -F'|' '$1 == "ctl" && $2 == "65535" { s = $16; for (i = 17; i <= NF; i++) s = s "|" $i; print s; exit }' "$E2E_TMP/box.txt"
}
box_has_icon() { awk -F'|' '$1 == "ctl" && $13 == "icon" && $5 == "1" { found = 1 } END { exit !found }' "$E2E_TMP/box.txt"; }
# No wizard window within half a second.
no_wizard() { ! wizspy dump "$(win_path "$E2E_TMP")\\none.txt" 500; }

# --- running the installer --------------------------------------------------

# start_setup <zh|en> [program]: runs the installer (E2E_SETUP by default) in
# the background under the locale of that language (code page 936 or 1252).
start_setup() {
  local locale=en_US.UTF-8
  [ "$1" = zh ] && locale=zh_CN.UTF-8
  rm -f "$E2E_TMP/exit.code"
  (
    LC_ALL=$locale LANG=$locale wine "${2:-$E2E_SETUP}" >/dev/null 2>&1
    echo $? >"$E2E_TMP/exit.code"
  ) &
}

# Waits for the installer to end; prints its exit code, or "running".
wait_exit() {
  local i
  for i in $(seq 1 100); do
    [ -s "$E2E_TMP/exit.code" ] && { cat "$E2E_TMP/exit.code"; return 0; }
    sleep 0.1
  done
  echo running
}

# Puts a text into the folder box: click, select all, type.
set_folder_text() {
  click_control editSetupDir
  key End shift+Home
  if [ -n "$1" ]; then type_text "$1"; else key BackSpace; fi
}

# Advances with the mouse (the Chinese captions have no access keys).
press_next() { spy && click_control btnNext; }

# to_destination <zh|en> <tag>: starts the installer and walks to page 3.
to_destination() {
  start_setup "$1"
  check "$2: wizard window appears" spy 20000
  press_next
  check "$2: licence page" wait_for pnlStep2 shown 1
  press_next
  check "$2: destination page" wait_for pnlStep3 shown 1
}

# install_to <folder> <tag>: types the folder (when given), clicks Install and
# waits for the completion page.
install_to() {
  if [ -n "$1" ]; then
    set_folder_text "$1"
    wait_for editSetupDir text "${1//\\/\\\\}" >/dev/null
  fi
  press_next
  check "$2: completion page" wait_for pnlStep4 shown 1
}

# finish_setup <launch 0|1> <tag>: sets the launch box and clicks Finish.
finish_setup() {
  spy
  if [ "$(get chkRunOnExit value)" != "$1" ]; then
    click_control chkRunOnExit
    wait_for chkRunOnExit value "$1" >/dev/null
  fi
  press_next
  check_eq "$2: exit code after Finish" 0 "$(wait_exit)"
}

# --- what an installation leaves on the machine -------------------------------

UNINSTALL_KEY='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'

# unix_path <C:\...>: where a Windows path of the prefix lives.
unix_path() {
  local path=${1//\\//}
  echo "$WINEPREFIX/drive_c/${path#C:/}"
}
user_folder() { echo "$WINEPREFIX/drive_c/users/$(id -un)/$1"; }
desktop_link() { echo "$(user_folder Desktop)/$1.lnk"; }
quick_launch_link() { echo "$(user_folder 'AppData/Roaming/Microsoft/Internet Explorer/Quick Launch')/$1.lnk"; }
system_folder() { echo "$WINEPREFIX/drive_c/windows/system32"; }
# Windows XP profiles have a Quick Launch folder; Wine's fresh one does not,
# and the installer makes its shortcut only where the folder exists.
make_quick_launch_folder() { mkdir -p "$(dirname "$(quick_launch_link x)")"; }

# uninstall_values <key name>: the entry's values as sorted "name=data" lines,
# a REG_DWORD as "name=dword:0000abcd". regedit exports UTF-16 with
# backslashes and quotes escaped in texts.
uninstall_values() {
  local out=$E2E_TMP/entry.reg
  rm -f "$out"
  wine regedit /E "$(win_path "$E2E_TMP")\\entry.reg" "$UNINSTALL_KEY\\$1" >/dev/null 2>&1
  [ -f "$out" ] || return 0
  iconv -f UTF-16 -t UTF-8 "$out" | tr -d '\r' |
    sed -n 's/^"\([^"]*\)"="\(.*\)"$/\1=\2/p; s/^"\([^"]*\)"=\(dword:[0-9a-f]*\)$/\1=\2/p' |
    sed 's/\\\\/\\/g; s/\\"/"/g' | LC_ALL=C sort
}

# entry_key_exists <key name>: the uninstall entry's key is there at all.
entry_key_exists() { wine reg query "$UNINSTALL_KEY\\$1" >/dev/null 2>&1; }

# --- the sample product's package -------------------------------------------------
# The scripts that install the sample product set BUILD (the win32 build) and
# MANIFEST (the payload manifest its package was built from).

trim() { sed 's/^[ \t]*//;s/[ \t]*$//' <<<"$1"; }

# The package's members as "installed path|source file" lines, from the
# manifest the package was built from (paths below the install folder are
# relative; system-folder members start with "$System$/").
expected_members() {
  local target source name
  while IFS='|' read -r target source name _; do
    target=$(trim "$target") source=$(trim "$source") name=$(trim "$name")
    [ -n "$source" ] || continue
    [ -n "$name" ] || name=$(basename "$source")
    target=${target//\\//}
    [ -z "$target" ] || [[ $target == */ ]] || target=$target/
    echo "$target$name|$source"
  done < <(grep -v '^[[:space:]]*#' "$MANIFEST")
  # The uninstaller is the tool's with the product's version block: its
  # bytes are the copy in the installer's package.
  local packed=$E2E_TMP/packed-members
  rm -rf "$packed"
  "$E2E_STPACK" extract "$E2E_SETUP" "$packed" >/dev/null 2>&1
  echo "Uninst.exe|$packed/Uninst.exe"
}

# Every member where the installer puts it, with the bytes of its source.
members_installed() {
  local dir=$1 path source target ok=0
  while IFS='|' read -r path source; do
    if [[ $path == \$System\$/* ]]; then
      target=$(system_folder)/${path#\$System\$/}
    else
      target=$dir/$path
    fi
    if ! cmp -s "$source" "$target"; then
      e2e_log "  $target differs from $source or is missing"
      ok=1
    fi
  done < <(expected_members)
  return $ok
}

# The package's unpacked size in kilobytes, rounded up, as the package tool of
# the native build lists it.
E2E_STPACK=${E2E_STPACK:-$E2E_ROOT/build/native-asan/tools/stpack}
package_kilobytes() {
  local bytes
  bytes=$("$E2E_STPACK" list "$BUILD/examples/DrawvaneSetup.exe" 2>/dev/null | head -n 1 |
    sed -n 's/.* \([0-9]*\) unpacked.*/\1/p')
  echo $(((bytes + 1023) / 1024))
}

# package_of <setup.exe> <out.stp>: the package an installer carries (its
# SetupPackage resource), as a file, read with Debian's python3-pefile.
package_of() {
  /usr/bin/python3 - "$1" "$2" <<'EOF'
import pefile, sys
pe = pefile.PE(sys.argv[1])
for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    if kind.name is not None and str(kind.name) == 'STPFILE':
        for name in kind.directory.entries:
            if name.name is not None and str(name.name) == 'SETUPPACKAGE':
                data = name.directory.entries[0].data.struct
                open(sys.argv[2], 'wb').write(pe.get_data(data.OffsetToData, data.Size))
                sys.exit(0)
sys.exit('no SetupPackage resource in ' + sys.argv[1])
EOF
}

# expected_values <install dir> <zh|en>: the sample product's eleven entry
# values as uninstall_values prints them.
expected_values() {
  local dir=$1 location=${1%\\} kb
  kb=$(printf 'dword:%08x' "$(package_kilobytes)")
  {
    if [ "$2" = zh ]; then
      printf '%s\n' "DisplayName=柯雯纳画图" "Publisher=柯雯纳软件工作室" "URLInfoAbout=http://www.corvenna.com/cn/"
    else
      printf '%s\n' "DisplayName=Corvenna Drawvane" "Publisher=Corvenna Software" "URLInfoAbout=http://www.corvenna.com/"
    fi
    printf '%s\n' "DisplayIcon=${dir}Drawvane.exe" "DisplayVersion=2.0" "UninstallString=\"${dir}Uninst.exe\"" \
      "QuietUninstallString=\"${dir}Uninst.exe\" /S" "InstallLocation=$location" "EstimatedSize=$kb" \
      "NoModify=dword:00000001" "NoRepair=dword:00000001"
  } | LC_ALL=C sort
}

# link_target <file.lnk>: the shortcut's target and working folder.
link_target() {
  [ -f "$1" ] || return 0
  wizspy link "$(win_path "$1")" "$(win_path "$E2E_TMP")\\link.txt" && head -n 2 "$E2E_TMP/link.txt" | tr '\n' ' '
}
