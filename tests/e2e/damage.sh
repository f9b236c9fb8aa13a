#!/usr/bin/env bash
# The damage table of a real installer, natively: one flipped byte in each
# region of DrawvaneSetup.exe (headers, code, data, the string table, each
# picture, the manifest, the digest's name, the digest, the package's table
# and a member) is refused by `stpack verify`, which applies the installer's
# own check with the installer's own code; a copy signed with osslsigncode
# still passes, and bytes appended or cut off do not. The regions are found
# by an independent reader, python3-pefile. Then, under Wine, the installer
# itself: each damaged copy run silently exits with 4 and writes nothing;
# the signed copy installs. Where the machine runs no 32-bit program that
# part runs the x64 build (BUILD_DIR), and otherwise skips.
#
# Usage: tests/e2e/damage.sh   (after test.sh or run.sh built the trees)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RELEASE=$E2E_ROOT/build/native-release
BUILD=$E2E_ROOT/build/win32
STPACK=$RELEASE/tools/stpack
SETUP=$BUILD/examples/DrawvaneSetup.exe
e2e_require "$STPACK" "$SETUP"

work=$(mktemp -d /tmp/corvenna-damage.XXXXXX)
trap 'rm -rf "$work"' EXIT

verify() { "$STPACK" verify "$1" >"$work/verify.txt" 2>&1; }
check "the installer as made passes verify" verify "$SETUP"

# region_table <installer>: region name and the offset of one byte in it, one
# per line.
region_table() {
/usr/bin/python3 - "$1" <<'EOF'
import sys, pefile
path = sys.argv[1]
pe = pefile.PE(path)
data = open(path, 'rb').read()
def middle(start, size):
    return start + size // 2
print('DOS header (e_cblp)', 2)
print('DOS stub', 0x50)
print('PE header (TimeDateStamp)', pe.DOS_HEADER.e_lfanew + 8)
print('optional header (SizeOfCode)', pe.DOS_HEADER.e_lfanew + 24 + 4)
for s in pe.sections:
    name = s.Name.rstrip(b'\0').decode()
    if name in ('.text', '.rdata', '.data', '.reloc'):
        print('section %s' % name, middle(s.PointerToRawData, s.SizeOfRawData))
def resources():
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        tname = str(t.name) if t.name else pefile.RESOURCE_TYPE.get(t.id, t.id)
        for n in t.directory.entries:
            nname = str(n.name) if n.name else n.id
            for l in n.directory.entries:
                yield tname, nname, l.data.struct.OffsetToData, l.data.struct.Size
seen = set()
for tname, nname, rva, size in resources():
    offset = pe.get_offset_from_rva(rva)
    label = {'RT_STRING': 'string table', 'RT_MANIFEST': 'manifest', 'RT_ICON': 'icon',
             'RT_GROUP_ICON': 'icon group', 'RT_BITMAP': 'header picture'}.get(tname, '%s %s' % (tname, nname))
    if label in seen:
        continue
    seen.add(label)
    if tname == 'STPFILE':
        print('package member', offset + 10)
        print('package table', offset + size - 30)
    elif label == 'RT_RCDATA INSTALLERDIGEST':
        print('digest: size as made', offset + 8)
        print('digest: outside SHA-256', offset + 20)
        print('digest: package SHA-256', offset + 60)
    else:
        print(label, middle(offset, size))
# The last one: the resource directory's own name, after the code's copy.
name_at = data.rfind('INSTALLERDIGEST'.encode('utf-16-le'))
print('the digest\'s name', name_at + 4)
EOF
}

# flip <file> <offset>: one bit of that byte changed.
flip() {
  /usr/bin/python3 -c "import sys; p=sys.argv[1]; o=int(sys.argv[2]); b=bytearray(open(p,'rb').read()); b[o]^=0x10; open(p,'wb').write(b)" \
    "$1" "$2"
}

region_table "$SETUP" >"$work/regions.txt" || { e2e_fail "pefile read the installer"; e2e_summary; exit 1; }
while read -r line; do
  offset=${line##* }
  region=${line% *}
  cp "$SETUP" "$work/damaged.exe"
  flip "$work/damaged.exe" "$offset"
  if verify "$work/damaged.exe"; then
    e2e_fail "a flipped byte in $region (offset $offset) is refused" "verify passed"
  else
    check "a flipped byte in $region (offset $offset) is refused as damage" grep -q "damaged\|error" "$work/verify.txt"
  fi
done <"$work/regions.txt"
check "every region of the table was tried" test "$(wc -l <"$work/regions.txt")" -ge 15

# Signed with a throw-away certificate, it still checks; anything else added
# or cut off does not.
(cd "$work" && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Damage Test" >/dev/null 2>&1 &&
  osslsigncode sign -certs cert.pem -key key.pem -n "Drawvane" -in "$SETUP" -out signed.exe >/dev/null 2>&1)
check "osslsigncode signed a copy" test -s "$work/signed.exe"
check "the signed installer passes verify" verify "$work/signed.exe"
signature_verifies() { osslsigncode verify -CAfile "$work/cert.pem" "$1" >/dev/null 2>&1; }
check "its signature verifies" signature_verifies "$work/signed.exe"
cp "$SETUP" "$work/appended.exe" && printf 'x' >>"$work/appended.exe"
check "a byte appended without a signature is refused" not verify "$work/appended.exe"
head -c "$(($(stat -c %s "$SETUP") - 1))" "$SETUP" >"$work/cut.exe"
check "a byte cut off the end is refused" not verify "$work/cut.exe"

# --- under Wine: the installer refuses each damaged copy itself ---------------------

BUILD=${BUILD_DIR:-$BUILD}
WIN_SETUP=$BUILD/examples/DrawvaneSetup.exe
e2e_require "$WIN_SETUP"
e2e_init damage || { e2e_fail "Wine machine"; e2e_summary; exit 1; }
trap 'e2e_cleanup; rm -rf "$work"' EXIT
region_table "$WIN_SETUP" >"$work/wine-regions.txt" || e2e_fail "pefile read the installer under test"
# run_silently <installer> <folder>: its exit code.
run_silently() {
  wine "$1" /S "/D=$2" >/dev/null 2>&1
  local rc=$?
  wineserver -w
  echo "$rc"
}
while read -r line; do
  offset=${line##* }
  region=${line% *}
  cp "$WIN_SETUP" "$work/damaged.exe"
  flip "$work/damaged.exe" "$offset"
  check_eq "under Wine, $region flipped: exit code 4" 4 "$(run_silently "$work/damaged.exe" 'C:\Damaged')"
  check "under Wine, $region flipped: nothing written" test ! -e "$(unix_path 'C:\Damaged')"
done <"$work/wine-regions.txt"
(cd "$work" && osslsigncode sign -certs cert.pem -key key.pem -n "Drawvane" -in "$WIN_SETUP" -out wine-signed.exe \
  >/dev/null 2>&1)
check_eq "under Wine, the signed installer installs: exit code 0" 0 "$(run_silently "$work/wine-signed.exe" 'C:\Signed')"
check "under Wine, the signed installer installs: the product is there" test -f "$(unix_path 'C:\Signed')/Drawvane.exe"
e2e_summary
