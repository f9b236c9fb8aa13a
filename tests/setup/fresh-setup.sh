#!/usr/bin/env bash
# setup.sh as a new user meets it: a fresh clone of the repository, with no
# build/deps, on a machine that has never run setup.sh. Earlier runs leave
# things on this machine that a fresh one lacks; a private mount namespace
# hides them from the setup under test without touching the machine:
#   - the deb-src list setup.sh adds (a copy of /etc/apt/sources.list.d
#     without it), and apt's source indexes (an empty /var/lib/apt/lists, so
#     that apt starts from nothing, as on a new machine);
#   - the generated glibc locales (an empty locale archive and a locale.gen
#     with every line commented out).
# Packages stay installed (a namespace cannot uninstall them), so this costs
# one apt update and one cross-build of the libraries. Needs root, as
# setup.sh does; skipped otherwise.
set -uo pipefail
source "$(dirname "$0")/../e2e/lib.sh"

if [ "$(id -u)" != 0 ] || ! command -v unshare >/dev/null; then
  echo "SKIP fresh-setup: needs root and unshare (setup.sh runs as root)"
  e2e_summary
  exit 0
fi

work=$(mktemp -d /tmp/corvenna-fresh.XXXXXX)
trap 'rm -rf "$work"' EXIT
git clone -q --no-hardlinks "$E2E_ROOT" "$work/clone" || { e2e_fail "git clone of the repository"; e2e_summary; exit 1; }
# Uncommitted changes of the tree under test go into the clone too, so that
# a developer's run tests what they are about to commit.
(cd "$E2E_ROOT" && git diff HEAD) | (cd "$work/clone" && git apply --allow-empty 2>/dev/null)
check "the clone has no build/deps" not test -e "$work/clone/build/deps"

# /etc is an overlay in the namespace: what setup.sh changes there lands in
# $work/etc-changes, and the deb-src list and the locale.gen lines it enabled
# are taken away in the overlay only.
mkdir -p "$work/etc-changes" "$work/etc-work" "$work/lists/partial" "$work/locale"
cp -a /usr/lib/locale/C.utf8 "$work/locale/" 2>/dev/null
sources_before=$(ls /etc/apt/sources.list.d)

start=$(date +%s)
unshare -m --propagation private bash -c '
  set -e
  w=$1
  mount -t overlay overlay -o "lowerdir=/etc,upperdir=$w/etc-changes,workdir=$w/etc-work" /etc
  rm -f /etc/apt/sources.list.d/debian-src.sources /etc/apt/sources.list.d/debian-src.sources.list
  sed -i "s/^\([a-z]\)/# \1/" /etc/locale.gen
  mount --bind "$w/lists" /var/lib/apt/lists
  mount --bind "$w/locale" /usr/lib/locale
  ! locale -a 2>/dev/null | grep -qi "^zh_CN"
  cd "$w/clone"
  set +e
  bash setup.sh >"$w/setup.out" 2>"$w/setup.err"
  echo $? >"$w/setup.rc"
  locale -a >"$w/locales" 2>/dev/null
  cp /etc/apt/sources.list.d/debian-src.sources* "$w/" 2>/dev/null
  true
' _ "$work" || e2e_fail "the private namespace could not be set up"
echo "setup.sh in the fresh clone took $(($(date +%s) - start)) s" >&2

check_eq "setup.sh exits 0 on its first run" 0 "$(cat "$work/setup.rc" 2>/dev/null)"
check_eq "setup.sh writes nothing to standard output" "" "$(cat "$work/setup.out" 2>/dev/null)"
check "setup.sh added a deb-src list" bash -c "grep -qs 'deb-src' '$work'/debian-src.sources*"
check_eq "the machine's own source lists are untouched" "$sources_before" "$(ls /etc/apt/sources.list.d)"
check "setup.sh generated the zh_CN.UTF-8 locale" grep -qi '^zh_CN\.utf-\?8$' "$work/locales"
for lib in libjpeg-i686/lib/libjpeg.a zlib-i686/lib/libz.a gtest-i686/lib/libgtest.a; do
  check "cross-built $lib" test -s "$work/clone/build/deps/$lib"
done
check "the cross-built zlib is a 32-bit Windows archive" \
  bash -c "i686-w64-mingw32-objdump -a '$work/clone/build/deps/zlib-i686/lib/libz.a' | grep -q 'pe-i386'"
if [ "$(cat "$work/setup.rc" 2>/dev/null)" != 0 ]; then
  echo "setup.sh standard error:" && tail -n 20 "$work/setup.err"
fi
e2e_summary
