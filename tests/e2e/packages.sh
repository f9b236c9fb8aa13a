#!/usr/bin/env bash
# The tool as a publisher gets it: the release tree packed by cpack as the
# .tar.gz and the .deb, with one version everywhere, the manual and
# stpack-try inside, and a .deb that lintian finds no error in. No Wine.
#
# Usage: tests/e2e/packages.sh   (after test.sh or run.sh built the trees)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RELEASE=$E2E_ROOT/build/native-release
BUILD=$E2E_ROOT/build/win32
e2e_require "$RELEASE/tools/stpack" "$BUILD/app/SetupStub.exe" "$BUILD/uninstall/Uninst.exe" "$BUILD/tools/stpack.exe"

work=$(mktemp -d /tmp/corvenna-packages.XXXXXX)
trap 'rm -rf "$work"' EXIT
(cd "$RELEASE" && cpack -B "$work" >"$work/cpack.log" 2>&1)
check "cpack makes the .deb and the .tar.gz" test -n "$(ls "$work"/*.deb "$work"/*.tar.gz 2>/dev/null)"

version=$("$RELEASE/tools/stpack" --version | sed -n 's/^stpack (Corvenna Setup) //p')
check_match "stpack --version prints one version" '^[0-9]+\.[0-9]+\.[0-9]+$' "$version"
check "the archive is named with it" test -f "$work/corvenna-setup-$version-Linux.tar.gz"
check "the .deb carries it" bash -c "dpkg-deb -f '$work'/corvenna-setup_*.deb Version | grep -q '^$version'"
listing=$(tar -tzf "$work/corvenna-setup-$version-Linux.tar.gz" 2>/dev/null)
for file in bin/stpack bin/stpack-try bin/stpack.exe share/corvenna-setup/SetupStub.exe \
  share/corvenna-setup/Uninst.exe share/doc/corvenna-setup/stpack.md share/doc/corvenna-setup/copyright; do
  check "the archive holds $file" grep -q "/$file\$" <<<"$listing"
done
if command -v lintian >/dev/null; then
  lintian --fail-on error "$work"/*.deb >"$work/lintian.txt" 2>&1
  check "lintian reports no error on the .deb" [ $? = 0 ]
  grep -E '^[EW]: ' "$work/lintian.txt" | sed 's/^/  /'
else
  e2e_fail "lintian is installed (setup.sh installs it)"
fi
e2e_summary
