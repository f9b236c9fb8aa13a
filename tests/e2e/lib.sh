# Shared helpers of the end-to-end scripts: a private 32-bit Wine prefix and
# X display per script (Xvfb with a Wine virtual desktop, so windows carry
# their frames in screenshots), the Windows version switch, keyboard and
# mouse through xdotool, screenshots, and the pass/fail count every script
# ends with ("N passed, N failed"). Source it, call e2e_init, end with
# e2e_summary.

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_SCREENSHOTS=${E2E_SCREENSHOTS:-$E2E_ROOT/build/screenshots}
E2E_DESKTOP=800x600
e2e_passed=0
e2e_failed=0
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

e2e_summary() {
  echo "$e2e_passed passed, $e2e_failed failed"
  [ "$e2e_failed" -eq 0 ]
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
  E2E_TMP=$(mktemp -d "/tmp/corvenna-e2e-$1.XXXXXX")
  trap e2e_cleanup EXIT
  export HOME=$E2E_TMP/home WINEPREFIX=$E2E_TMP/prefix WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
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
