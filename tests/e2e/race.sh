#!/usr/bin/env bash
# The elevated installer against someone who can write the folder it installs
# into (a folder that existed before, given with /D=), under Wine. A watcher
# on the Linux side (the prefix's drive_c is a plain folder; inotify through
# ctypes in python3) plays the attacker:
#   (a) while the installer updates an earlier installation, on every file
#       closed after writing in the folder it notes the bytes the installer
#       wrote, renames its own file over it (for Uninst.lst: a valid list that
#       names no file) and drops Setup.stp, a valid package of another product
#       whose members (one bound for the system folder) carry a marker;
#   (b) before a run into an empty folder it plants that Setup.stp, a link
#       under a member's name to a file outside the folder, a hard link under
#       another's, a folder link under a member folder's name, and an
#       Uninst.lst naming a file outside the folder.
# What this proves: every member the installer wrote had the package's bytes
# when it closed it; it extracts only from its own checked package (nothing
# of the other package appears anywhere, its log lists exactly the package's
# members with their sizes); what lies outside the folder (the system-folder
# member, the uninstall entry, files behind links) is as the package says;
# the installer never acts on what the attacker put in place of a file it
# wrote (no member is removed as obsolete after the watcher replaced the
# new Uninst.lst).
# What it cannot prove: a Unix-side watcher races Wine's file closes, not
# Windows' (on Windows an attacker would use ReadDirectoryChangesW and
# junctions), and it sees only closes, so a read by name between two closes
# it cannot win goes unseen. Files the attacker replaces after the installer
# closed them are of course the attacker's: the checks are about what the
# installer wrote and read, not what the folder holds afterwards.
#
# Usage: tests/e2e/race.sh [build-dir]   (default $BUILD_DIR or build/win32)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=${1:-${BUILD_DIR:-$E2E_ROOT/build/win32}}
E2E_WIZSPY=$BUILD/gui/wizspy.exe
E2E_SETUP=$BUILD/examples/DrawvaneSetup.exe
MANIFEST=$BUILD/examples/drawvane/product/payload.manifest
e2e_require "$E2E_WIZSPY" "$E2E_SETUP" "$MANIFEST" "$E2E_STPACK"

MARKER='other-package-member-7f3a'
OTHER_MEMBERS=(Pwned.exe Pwned.txt PwnedPalette.dat)

watch() { watch_run "$1" "$E2E_SETUP" "$2"; }
log_of() { unix_path "C:\\$1.log"; }

# The other product's package: its members carry the marker, one goes to the
# system folder.
make_other_package() {
  local dir=$E2E_TMP/other
  mkdir -p "$dir"
  printf '%s exe\n' "$MARKER" >"$dir/Pwned.exe"
  printf '%s text\n' "$MARKER" >"$dir/Pwned.txt"
  printf '%s palette\n' "$MARKER" >"$dir/PwnedPalette.dat"
  printf '| %s |\n| %s |\n$System$ | %s |\n' "$dir/Pwned.exe" "$dir/Pwned.txt" "$dir/PwnedPalette.dat" >"$dir/manifest"
  "$E2E_STPACK" build "$dir/manifest" -o "$E2E_TMP/Other.stp" --no-uninstaller >&2
}

# No file of the other package anywhere in the prefix, by name or by bytes
# (the packed Setup.stp the attacker dropped holds them compressed).
no_other_member() {
  local name found
  for name in "${OTHER_MEMBERS[@]}"; do
    found=$(find "$WINEPREFIX/drive_c" -iname "$name" 2>/dev/null)
    [ -z "$found" ] || { e2e_log "  found $found"; return 1; }
  done
  found=$(grep -rlF "$MARKER" "$WINEPREFIX/drive_c" 2>/dev/null)
  [ -z "$found" ] || { e2e_log "  marker in $found"; return 1; }
}

# The "Wrote <path>, <n> bytes" lines of a log for the folder, as sorted
# "relative path|size".
logged_members() {
  local prefix=${1//\\/\\\\}
  tr -d '\r' <"$2" | sed -n "s/.*Wrote ${prefix//./\\.}\(.*\), \([0-9]*\) bytes.*/\1|\2/p" | tr '\\' '/' |
    LC_ALL=C sort
}
# The install folder's members and the list Uninst.lst beside Uninst.exe.
expected_logged() {
  local path source
  {
    while IFS='|' read -r path source; do
      [[ $path == \$System\$/* ]] || echo "$path|$(stat -c %s "$source")"
    done < <(expected_members)
    echo "Uninst.lst|$(stat -c %s "$E2E_TMP/packed-members/Uninst.lst")"
  } | LC_ALL=C sort
}

# The members bound for the system folder, which the attacker cannot write,
# with the bytes of their sources.
system_members_installed() {
  local path source
  while IFS='|' read -r path source; do
    [[ $path == \$System\$/* ]] || continue
    cmp -s "$source" "$(system_folder)/${path#\$System\$/}" || return 1
  done < <(expected_members)
}

# attacker <folder> <report> <stop file>: the watcher of (a), until
# the stop file appears. Report lines: "closed|<relative path>|<sha256>",
# "replaced|<relative path>", "dropped|Setup.stp".
attacker() {
  /usr/bin/python3 - "$@" "$E2E_TMP/Other.stp" <<'EOF'
import ctypes, hashlib, os, select, struct, sys
root, report_path, stop, other = sys.argv[1:5]
report = open(report_path, 'a', buffering=1)
libc = ctypes.CDLL('libc.so.6', use_errno=True)
IN_CLOSE_WRITE, IN_CREATE, IN_MOVED_TO, IN_ISDIR = 0x8, 0x100, 0x80, 0x40000000
fd = libc.inotify_init()
dirs = {}
def add(path):
    wd = libc.inotify_add_watch(fd, path.encode(), IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO)
    if wd >= 0: dirs[wd] = path
    for name in os.listdir(path):
        if os.path.isdir(os.path.join(path, name)): add(os.path.join(path, name))
add(root)
open(report_path + '.ready', 'w').close()
count = 0
# A valid list of the same product that names no file: acted on, it would
# make the installer remove every member as obsolete.
empty_list = b'Format=1\r\nWindowClass=TfrmImageEditor\r\nWindowTitle=Drawvane\r\nProductName.2=Corvenna Drawvane\r\n'
buf = b''
while not os.path.exists(stop):
    if not select.select([fd], [], [], 0.05)[0]: continue
    buf += os.read(fd, 65536)
    while len(buf) >= 16:
        wd, mask, _, size = struct.unpack('iIII', buf[:16])
        name = buf[16:16 + size].rstrip(b'\0').decode()
        buf = buf[16 + size:]
        if wd not in dirs or name.startswith('.attacker'): continue
        path = os.path.join(dirs[wd], name)
        rel = os.path.relpath(path, root)
        if mask & IN_ISDIR:
            add(path)
            continue
        if not mask & IN_CLOSE_WRITE: continue
        try:
            data = open(path, 'rb').read()
        except OSError:
            continue
        report.write('closed|%s|%s\n' % (rel, hashlib.sha256(data).hexdigest()))
        count += 1
        mine = os.path.join(root, '.attacker-%d' % count)
        open(mine, 'wb').write(empty_list if name.lower() == 'uninst.lst' else b'attacker bytes\n')
        os.rename(mine, path)
        report.write('replaced|%s\n' % rel)
        mine = os.path.join(root, '.attacker-stp')
        open(mine, 'wb').write(open(other, 'rb').read())
        os.rename(mine, os.path.join(root, 'Setup.stp'))
        report.write('dropped|Setup.stp\n')
EOF
}

# --- (a) rewriting every file the installer closes ------------------------------

race_replace_on_close() {
  local tag="(a) replace on close" dir='C:\Race\Drawvane\' unix report=$E2E_TMP/attack.txt watcher path sum source
  unix=$(unix_path "${dir%\\}")
  watch first "/S /LOG=C:\\first.log /D=${dir%\\}"
  check_eq "$tag: the earlier installation is in place" 0 "$(watched_exit first)"
  rm -f "$report" "$report.ready" "$E2E_TMP/stop"
  attacker "$unix" "$report" "$E2E_TMP/stop" &
  watcher=$!
  for _ in $(seq 50); do [ -f "$report.ready" ] && break; sleep 0.1; done
  watch race "/S /LOG=C:\\race.log /D=${dir%\\}"
  touch "$E2E_TMP/stop"
  wait "$watcher"
  check_eq "$tag: exit code" 0 "$(watched_exit race)"
  e2e_log "  the watcher replaced $(grep -c '^replaced|' "$report") files and dropped Setup.stp $(grep -c '^dropped|' "$report") times"
  check "$tag: the watcher replaced files during the run" grep -q '^replaced|' "$report"
  # Each member in the folder as the installer last closed it.
  local ok=0
  while IFS='|' read -r path source; do
    [[ $path == \$System\$/* ]] && continue
    sum=$(awk -F'|' -v p="$path" '$1 == "closed" && $2 == p { s = $3 } END { print s }' "$report")
    if [ "$sum" != "$(sha256sum "$source" | cut -d' ' -f1)" ]; then
      e2e_log "  $path: closed with ${sum:-no bytes seen}"
      ok=1
    fi
  done < <(expected_members)
  check_eq "$tag: every member had the package's bytes when the installer closed it" 0 "$ok"
  check_eq "$tag: the installer wrote exactly the package's members, with their sizes" "$(expected_logged)" \
    "$(logged_members "$dir" "$(log_of race)")"
  check "$tag: nothing of the dropped package anywhere" no_other_member
  check "$tag: the system-folder member has the package's bytes" system_members_installed
  check_eq "$tag: the uninstall entry has the package's values" "$(expected_values "$dir" en)" \
    "$(uninstall_values 'Corvenna Drawvane')"
  # The attacker's empty list in place of the new Uninst.lst, read back by
  # name, would have every member removed as obsolete.
  check_eq "$tag: no member removed as obsolete" "" "$(grep -F 'Removed the earlier version' "$(log_of race)")"
  local missing=""
  while IFS='|' read -r path _; do
    [[ $path == \$System\$/* ]] || [ -e "$unix/$path" ] || missing+="$path "
  done < <(expected_members)
  check_eq "$tag: every member's file is still in the folder" "" "$missing"
}

# --- (b) files and links planted before the run ---------------------------------

# holds <file> <line>: the file is that one line.
holds() { printf '%s\n' "$2" | cmp -s - "$1"; }

race_planted() {
  local tag="(b) planted" dir='C:\Planted' unix victims
  unix=$(unix_path "$dir")
  victims=$(unix_path 'C:\Victims')
  mkdir -p "$unix" "$victims/LangTarget"
  printf 'victim exe\n' >"$victims/exe.dat"
  printf 'victim readme\n' >"$victims/readme.dat"
  printf 'victim keep\n' >"$victims/keep.txt"
  cp "$E2E_TMP/Other.stp" "$unix/Setup.stp"
  ln -s "$victims/exe.dat" "$unix/Drawvane.exe"
  ln "$victims/readme.dat" "$unix/ReadMe.txt"
  ln -s "$victims/LangTarget" "$unix/Lang"
  printf 'Format=1\r\nProductName.2=Corvenna Drawvane\r\nFile=..\\Victims\\keep.txt\r\nFile=Drawvane.exe\r\n' \
    >"$unix/Uninst.lst"
  watch planted "/S /LOG=C:\\planted.log /D=$dir"
  local rc
  rc=$(watched_exit planted)
  # Drawvane.exe is a symbolic link: the installer stops there, as for a
  # file it cannot write (under Wine even deleting the link would reach the
  # file it leads to).
  check_eq "$tag: exit code 3 (a member's name is a link)" 3 "$rc"
  check "$tag: the file behind the link is untouched" holds "$victims/exe.dat" 'victim exe'
  check "$tag: the link is left as it was" test -L "$unix/Drawvane.exe"
  check "$tag: the file behind the hard link is untouched" holds "$victims/readme.dat" 'victim readme'
  check_eq "$tag: nothing written through the folder link" "" "$(ls -A "$victims/LangTarget")"
  check "$tag: the file the planted list names outside the folder stays" holds "$victims/keep.txt" 'victim keep'
  check "$tag: nothing of the planted package anywhere" no_other_member
  check "$tag: the log says why the run failed" grep -q 'the name is a link to another place' "$(log_of planted)"
}

e2e_init race || { echo "0 passed, 1 failed"; exit 1; }
wine_set_version win7
make_other_package || { echo "FAIL the other package"; echo "0 passed, 1 failed"; exit 1; }
race_replace_on_close
race_planted
e2e_summary
