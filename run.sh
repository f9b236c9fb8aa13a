#!/usr/bin/env bash
# The main job: set the machine up, build both trees, build the sample
# product's installer (examples/: DrawvaneSetup.exe) and run it under Wine.
# With a display it opens the wizard for you; without one it starts Xvfb,
# clicks through every page, saves a screenshot of each in
# build/screenshots/run-*.png and prints where the product was installed.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD

# Progress goes to standard error; standard output gets the results (the
# package's contents, the installed files).
say() { printf '%s\n' "$*" >&2; }

bash setup.sh
source cmake/trees.sh
say "building the publisher's tool stpack..."
build_tree release stpack || { tail -n 40 "$release_tree".*.log >&2; exit 1; }
say "building the Windows programs (stub, uninstaller, stpack.exe, sample product)..."
build_tree win32 || { tail -n 40 "$win32_tree".*.log >&2; exit 1; }
say "installing the tool with its Windows programs into build/dist..."
rm -rf build/dist
cmake --install "$release_tree" --prefix build/dist >/dev/null || exit 1
(cd "$release_tree" && cpack -B "$root/build/packages" >/dev/null) || exit 1
say "  build/dist/bin/stpack (and stpack.exe, stpack-try), build/dist/share/corvenna-setup/"
say "  packages: $(cd build/packages && ls *.tar.gz *.deb 2>/dev/null | tr '\n' ' ')"
setup_exe=$root/$win32_tree/examples/DrawvaneSetup.exe
say "built $setup_exe ($(stat -c %s "$setup_exe") bytes)"
say "package contents:"
build/dist/bin/stpack list "$setup_exe"

# Some virtual machines run no 32-bit x86 code at all, and Wine with them.
if ! wine --version >/dev/null 2>&1; then
  say "this machine cannot run 32-bit x86 programs, so Wine cannot start: the installer is built and checked here, not run"
  build/dist/bin/stpack verify "$setup_exe"
  exit 0
fi

if [ -n "${DISPLAY:-}" ]; then
  export WINEARCH=win32 WINEPREFIX=$root/build/run-prefix WINEDEBUG=-all
  say "starting the installer on $DISPLAY (Wine prefix $WINEPREFIX)"
  wine "$setup_exe"
  exit 0
fi

source tests/e2e/lib.sh
e2e_init run
E2E_WIZSPY=$root/$win32_tree/gui/wizspy.exe
# Waits for the page whose Next button reads $1, then saves its screenshot.
page() {
  wait_for btnNext text "$1" || { echo "the wizard did not reach the '$1' page" >&2; exit 1; }
  sleep 1
  e2e_screenshot "$2"
}

wine_set_version win7
wine "$setup_exe" >/dev/null 2>&1 &
spy 20000
page "&Next >" run-1-welcome
key alt+n; page "I &Agree" run-2-licence
key alt+a; page "&Install" run-3-destination
key alt+i; page "&Finish" run-4-finished
key alt+f
wizspy find TfrmImageEditor Drawvane 15000 && say "Drawvane started at Finish"
sleep 1; e2e_screenshot run-5-product

installed="$WINEPREFIX/drive_c/Program Files/Corvenna Soft/Drawvane"
say "screenshots: $E2E_SCREENSHOTS/run-*.png"
say "installed into C:\\Program Files\\Corvenna Soft\\Drawvane\\ of a throw-away Wine prefix:"
(cd "$installed" && find . -type f | sed 's|^\./||' | sort)
