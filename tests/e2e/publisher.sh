#!/usr/bin/env bash
# A publisher's own product, not the sample, from a folder outside the source
# tree to an installed program, with the tool as a publisher gets it
# (cmake --install of the release tree):
#   - stpack init, then a product folder with its own company folder,
#     publisher, home pages and licence texts in both languages, and a file
#     with a Chinese name; stpack make;
#   - the uninstaller in the installer carries the product's version block,
#     as python3-pefile reads it, and nothing of Corvenna's; a signed
#     uninstaller is warned of and packed without its certificate;
#   - a picture the installer could not show fails the build with its name,
#     and leaves nothing;
#   - the Windows stpack.exe under Wine makes the same installer byte for
#     byte (this and what follows need Wine; the steps above run without);
#   - English on Windows 7 and Chinese on Windows XP: the default folder under
#     the company folder, the licence page showing the publisher's text, every
#     member installed, the uninstall entry naming the publisher and its home
#     page;
#   - an installer signed with osslsigncode (a throw-away certificate made
#     with openssl) verifies and still installs.
# Screenshots go to build/screenshots/publisher-*.png.
#
# Usage: tests/e2e/publisher.sh   (after test.sh or run.sh built the trees)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RELEASE=$E2E_ROOT/build/native-release
BUILD=$E2E_ROOT/build/win32
E2E_WIZSPY=$BUILD/gui/wizspy.exe
e2e_require "$E2E_WIZSPY" "$RELEASE/tools/stpack" "$BUILD/app/SetupStub.exe" "$BUILD/uninstall/Uninst.exe" \
  "$BUILD/tools/stpack.exe" "$BUILD/examples/Drawvane.exe"

# The publisher's folder lives outside the source tree and outlives the Wine
# prefixes of the installs below.
work=$(mktemp -d /tmp/corvenna-publisher.XXXXXX)
trap 'rm -rf "$work"' EXIT

# --- the tool as a publisher gets it -------------------------------------------

cmake --install "$RELEASE" --prefix "$work/tool" >/dev/null 2>&1
stpack=$work/tool/bin/stpack
check "tool: installed with its stub and uninstaller" \
  test -x "$stpack" -a -f "$work/tool/share/corvenna-setup/SetupStub.exe" -a -f "$work/tool/share/corvenna-setup/Uninst.exe"

# --- the product folder -----------------------------------------------------------

cd "$work" || exit 1
check "init: starts a product folder" "$stpack" init Quill
cp "$BUILD/examples/Drawvane.exe" Quill/payload/Quill.exe
printf 'Quill notes\r\n' >Quill/payload/ReadMe.txt
mkdir -p Quill/payload/模板
printf 'template' >Quill/payload/模板/信纸.txt
printf 'Quill Licence\n\nYou may use Quill for good only.\n' >Quill/license-en.txt
printf '羽毛笔许可协议\n\n仅可用于善事。\n' >Quill/license-zh.txt
cat >Quill/product.ini <<'EOF'
# Quill, by Plume Works.
ExeName = Quill
Version = 1.4
ProductNameEn = Plume Quill
ProductNameZh = 羽毛笔
Freeware = 0
WindowClass = TfrmImageEditor
WindowTitle = Drawvane
CompanyFolder = Plume Works
PublisherEn = Plume Works Ltd
PublisherZh = 羽毛工作室
HomePageEn = https://plume.example/
HomePageZh = https://plume.example/zh/
LicenseEn = license-en.txt
LicenseZh = license-zh.txt
EOF

make_out=$("$stpack" make Quill 2>&1)
check "make: writes QuillSetup.exe" test -f QuillSetup.exe
check "make: no warnings" not grep -q warning <<<"$make_out"
check "make: the installer verifies" "$stpack" verify QuillSetup.exe

# The uninstaller in the package, as python3-pefile reads it: the tool's
# Uninst.exe with the product's version block in place of Corvenna's.
"$stpack" extract QuillSetup.exe unpacked >/dev/null 2>&1
uninst_dump=$(/usr/bin/python3 "$E2E_ROOT/tests/pe/pefile_dump.py" unpacked/Uninst.exe 2>&1)
uninst_version=$(sed -n 's/^version //p' <<<"$uninst_dump")
for line in 'string 040904b0 CompanyName=Plume Works Ltd' 'string 040904b0 ProductName=Plume Quill' \
  'string 040904b0 FileDescription=Plume Quill Uninstaller' 'string 040904b0 FileVersion=1.4' \
  'string 040904b0 ProductVersion=1.4' 'string 040904b0 LegalCopyright=Copyright (C) Plume Works Ltd' \
  'string 040904b0 OriginalFilename=Uninst.exe' 'string 040904b0 InternalName=Uninst.exe' \
  'fixed 0x10004 0x0 0x10004 0x0 0xfeef04bd' 'translation 0x0409 0x04b0'; do
  check "uninstaller: version $line" grep -qxF "$line" <<<"$uninst_version"
done
check "uninstaller: nothing of Corvenna in its version block" not grep -q Corvenna <<<"$uninst_version"
check_eq "uninstaller: one version block, US English" "resource #16 #1 1033" \
  "$(grep '^resource #16 ' <<<"$uninst_dump" | cut -d' ' -f1-4)"
check_match "uninstaller: its checksum verifies" '(^|'$'\n'')checksum 0x[0-9a-f]+ 0x[0-9a-f]+ verified' "$uninst_dump"
check "uninstaller: pefile warns of nothing" not grep -q '^warning' <<<"$uninst_dump"
check "uninstaller: the tool's own Uninst.exe is left as it was" \
  cmp -s "$BUILD/uninstall/Uninst.exe" "$work/tool/share/corvenna-setup/Uninst.exe"

# A PNG saved as .jpg is refused at build time, naming the file.
mkdir -p Broken && cp -r Quill/* Broken/
printf '\x89PNG\r\n\x1a\n' >Broken/ImageLeft2.jpg
broken_out=$("$stpack" make Broken -o BrokenSetup.exe 2>&1)
check_eq "make: a PNG as banner exits 1" 1 "$?"
check_match "make: the message names the picture" 'Broken/ImageLeft2.jpg: is a PNG picture, not a JPEG' "$broken_out"
check "make: nothing left after a refusal" test ! -e BrokenSetup.exe -a ! -e BrokenSetup.exe.partial

# Signed with a throw-away certificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Plume Works Test" \
  -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1
osslsigncode sign -certs cert.pem -key key.pem -n "Plume Quill" -in QuillSetup.exe -out QuillSetup-signed.exe >/dev/null 2>&1
check "sign: osslsigncode verify passes" osslsigncode verify -CAfile cert.pem QuillSetup-signed.exe
check "sign: the signed installer still verifies its package" "$stpack" verify QuillSetup-signed.exe

# A signed uninstaller: the packed copy differs from the signed bytes, so
# make says so once and packs it without the certificate, the same bytes as
# the unsigned program gives.
osslsigncode sign -certs cert.pem -key key.pem -n "Corvenna Setup" -in "$work/tool/share/corvenna-setup/Uninst.exe" \
  -out Uninst-signed.exe >/dev/null 2>&1
check "sign: the uninstaller signed" osslsigncode verify -CAfile cert.pem Uninst-signed.exe
signed_out=$("$stpack" make Quill -o QuillSetup-signed-uninst.exe --uninstaller Uninst-signed.exe 2>&1)
check_eq "make: a signed uninstaller is warned of once" 1 \
  "$(grep -c 'the uninstaller is signed; its certificate is dropped' <<<"$signed_out")"
"$stpack" extract QuillSetup-signed-uninst.exe unpacked-signed >/dev/null 2>&1
check "make: the signed uninstaller is packed without its certificate" \
  cmp -s unpacked/Uninst.exe unpacked-signed/Uninst.exe
cd "$E2E_ROOT" || exit 1

# --- under Wine ---------------------------------------------------------------------

# Where the Windows tests run the x64 build (BUILD_DIR), the Wine part runs
# the same product made with that build's stub and uninstaller, signed the
# same way.
setup=$work/QuillSetup.exe signed=$work/QuillSetup-signed.exe made_with=()
if [ -n "${BUILD_DIR:-}" ] && (BUILD=$BUILD_DIR && e2e_build_is_x64); then
  BUILD=$BUILD_DIR E2E_WIZSPY=$BUILD_DIR/gui/wizspy.exe
  made_with=(--stub "$BUILD/app/SetupStub.exe" --uninstaller "$BUILD/uninstall/Uninst.exe")
  setup=$work/QuillSetup-x64.exe signed=$work/QuillSetup-x64-signed.exe
  (cd "$work" && "$stpack" make Quill -o "$setup" "${made_with[@]}" >/dev/null 2>&1 &&
    osslsigncode sign -certs cert.pem -key key.pem -n "Plume Quill" -in "$setup" -out "$signed" >/dev/null 2>&1)
  check "x64: the installer and its signed copy verify" "$stpack" verify "$signed"
fi

e2e_init publisher || { echo "0 passed, 1 failed"; exit 1; }
trap 'e2e_cleanup; rm -rf "$work"' EXIT

# The Windows tool, under Wine, from the same folder; the same file name,
# which the version information carries.
if [ ${#made_with[@]} -gt 0 ]; then
  made_with=(--stub "$(win_path "${made_with[1]}")" --uninstaller "$(win_path "${made_with[3]}")")
fi
mkdir -p "$work/win"
(cd "$work" && wine "$BUILD/tools/stpack.exe" make Quill -o "win\\$(basename "$setup")" "${made_with[@]}" >/dev/null 2>&1)
check "make under Wine: stpack.exe makes the same installer" cmp -s "$setup" "$work/win/$(basename "$setup")"

# --- installing -------------------------------------------------------------------

# Every payload file where the installer puts it, with its bytes.
payload_installed() {  # <unix install dir>
  local ok=0 file
  while IFS= read -r file; do
    cmp -s "$work/Quill/payload/$file" "$1/$file" || { e2e_log "  $1/$file differs or is missing"; ok=1; }
  done < <(cd "$work/Quill/payload" && find . -type f | sed 's|^\./||')
  return $ok
}

# install_quill <en|zh> <winver> <setup.exe> <tag>
install_quill() {
  local lang=$1 tag=$4 name='Plume Quill' publisher='Plume Works Ltd' page='https://plume.example/'
  local licence='Quill Licence'
  if [ "$lang" = zh ]; then
    name='羽毛笔' publisher='羽毛工作室' page='https://plume.example/zh/' licence='羽毛笔许可协议'
  fi
  e2e_cleanup
  e2e_init "publisher-$lang" || { e2e_fail "$tag: machine"; return; }
  wine_set_version "$2"
  [ "$2" = winxp ] && make_quick_launch_folder
  start_setup "$lang" "$3"
  check "$tag: wizard window appears" spy 20000
  press_next
  check "$tag: licence page" wait_for pnlStep2 shown 1
  check_match "$tag: the licence is the publisher's own" "^$licence\\\\r\\\\n" "$(get Memo2 text)"
  shot "publisher-$lang-licence"
  press_next
  check "$tag: destination page" wait_for pnlStep3 shown 1
  check_eq "$tag: proposed under the company folder" 'C:\\Program Files\\Plume Works\\Quill' "$(get editSetupDir text)"
  press_next
  check "$tag: completion page" wait_for pnlStep4 shown 1
  finish_setup 0 "$tag"
  local dir='C:\Program Files\Plume Works\Quill\'
  check "$tag: every member installed" payload_installed "$(unix_path "$dir")"
  local values
  values=$(uninstall_values "$name")
  check_eq "$tag: Publisher registered" "$publisher" "$(sed -n 's/^Publisher=//p' <<<"$values")"
  check_eq "$tag: URLInfoAbout registered" "$page" "$(sed -n 's/^URLInfoAbout=//p' <<<"$values")"
  check_eq "$tag: version registered" 1.4 "$(sed -n 's/^DisplayVersion=//p' <<<"$values")"
}

install_quill en win7 "$setup" "en/win7"
install_quill zh winxp "$signed" "zh/winxp signed"

e2e_summary
