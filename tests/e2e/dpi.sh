#!/usr/bin/env bash
# The wizard at 96 and 144 DPI (Wine's LogPixels, read when a program
# starts), in English and Chinese, built from the test product (tests/gui):
# a screenshot of every page (build/screenshots/dpi-<dpi>-<lang>-page<n>.png)
# and, from wizspy dumps of each page,
#   - every shown control lies within its parent (so within the window);
#     word-wrapped labels count with the extent of their text;
#   - shown controls with the same parent do not overlap;
#   - at 144 DPI every label's, button's and check box's text fits its
#     control, measured with the control's font (wizspy measure). At 96 DPI
#     the design stays as it is: there the four English lines of
#     lblSetupFolder take 52 pixels of its 49;
#   - the manifests of the installer and of Uninst.exe declare the programs
#     DPI-aware and name Windows 8, 8.1 and 10 among the supported systems
#     (read with python3-pefile: Wine treats every program as DPI-aware);
#     the installer's says all resources/installer.manifest says: the same
#     elements and attributes once comments and indentation are left out;
#   - at 144 DPI every control sits at its 96 DPI place scaled by 1.5 (edges
#     rounded to the nearest pixel; word-wrapped labels may be taller, grown to
#     their text), and the client area is 1.5 times as big.
#
# Usage: tests/e2e/dpi.sh [build-dir]   (default $BUILD_DIR or build/win32)

set -uo pipefail
E2E_DESKTOP=1280x1024  # room for the window at 144 DPI
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=${1:-${BUILD_DIR:-$E2E_ROOT/build/win32}}
GUI=$BUILD/gui
E2E_WIZSPY=$GUI/wizspy.exe
E2E_SETUP=$GUI/testsetup.exe
e2e_require "$E2E_SETUP" "$E2E_WIZSPY" "$BUILD/uninstall/Uninst.exe"

# manifest_report <exe>: what its RT_MANIFEST declares, one fact a line.
manifest_report() {
  /usr/bin/python3 - "$1" "$E2E_ROOT/resources/installer.manifest" <<'EOF'
import sys
import xml.dom.minidom

import pefile

pe = pefile.PE(sys.argv[1])
manifest = None
for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
        data = kind.directory.entries[0].directory.entries[0].data.struct
        manifest = pe.get_data(data.OffsetToData, data.Size)
document = xml.dom.minidom.parseString(manifest)
aware = [n.firstChild.data.strip() for n in document.getElementsByTagName("dpiAware")]
print("dpiAware", *aware)
systems = {"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10"}
ids = [n.getAttribute("Id").lower() for n in document.getElementsByTagName("supportedOS")]
print("supported", *[systems[i] for i in ids if i in systems])

def bare(node):
    """The document without comments and whitespace-only text, as XML."""
    for child in list(node.childNodes):
        if child.nodeType == child.COMMENT_NODE or (child.nodeType == child.TEXT_NODE and not child.data.strip()):
            node.removeChild(child)
        else:
            bare(child)
    return node
source = xml.dom.minidom.parse(sys.argv[2])
print("same as source", bare(document).toxml() == bare(source).toxml())
EOF
}

for program in "$E2E_SETUP" "$BUILD/uninstall/Uninst.exe"; do
  report=$(manifest_report "$program")
  check_eq "$(basename "$program"): manifest declares DPI awareness" "dpiAware true" "$(grep '^dpiAware' <<<"$report")"
  check_eq "$(basename "$program"): manifest names Windows 8, 8.1 and 10" "supported 8 8.1 10" \
    "$(grep '^supported' <<<"$report")"
done
check_eq "installer's manifest says what resources/installer.manifest says" "same as source True" \
  "$(manifest_report "$E2E_SETUP" | grep '^same as source')"

e2e_init dpi || { echo "0 passed, 1 failed"; exit 1; }
wine_set_version win7
DUMPS=$E2E_TMP/dumps
mkdir -p "$DUMPS"

set_dpi() {
  e2e_restart_wine
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  e2e_restart_wine
}

# The font a control's text is drawn in, "face|points|bold", as the window
# is designed: Tahoma 8 unless named here.
font_of() {
  local lang=$1 name=$2
  case $lang:$name in
    zh:lblWelcome | zh:lblComplete) echo '宋体|12|1' ;;
    zh:lblWillInstall | zh:lblSetupFolder) echo '宋体|9|0' ;;
    *:lblWelcome | *:lblComplete) echo 'Tahoma|12|1' ;;
    *:lblLicense | *:lblFolder) echo 'Tahoma|8|1' ;;
    *) echo 'Tahoma|8|0' ;;
  esac
}

# How a control lays out its text: "wrap" (word-wrapped label), "line"
# (label sized to its text), "push", "check", "group"; nothing for controls
# without a caption of their own.
kind_of() {
  case $1 in
    lblLicense | lblLicenseTip | lblFolder | lblFolderTip | lblNeedSize | lblFreeSize) echo line ;;
    lbl*) echo wrap ;;
    btn*) echo push ;;
    chk*) echo check ;;
    gbFolder) echo group ;;
  esac
}

# measure_page <dump> <lang> <dpi>: <dump>.sizes with "name|width|height" of
# the text of every shown control with a caption.
measure_page() {
  local dump=$1 lang=$2 dpi=$3 requests=$1.requests name width text kind mode
  : >"$requests"
  while IFS='|' read -r name width text; do
    kind=$(kind_of "$name")
    [ -n "$kind" ] && [ -n "$text" ] || continue
    case $kind in wrap) mode=wrap ;; line) mode=line ;; *) mode=prefix ;; esac
    [ "$kind" = wrap ] || width=0
    echo "$name|$(font_of "$lang" "$name")|$dpi|$width|$mode|$text" >>"$requests"
  done < <(awk -F'|' '$1 == "ctl" && $5 == "1" { t = $16; for (i = 17; i <= NF; i++) t = t "|" $i; print $2 "|" $9 "|" t }' "$dump")
  wizspy measure "$(win_path "$requests")" "$(win_path "$dump.sizes")"
}

# layout_problems <dump> <dpi> <what>: one word per fault of one kind,
# nothing when there is none. <what> is "parents", "overlaps" or "texts".
layout_problems() {
  awk -F'|' -v what="$3" -v dpi="$2" '
    function scaled(v) { return v * dpi / 96 }
    FILENAME ~ /\.sizes$/ { tw[$1] = $2; th[$1] = $3; next }
    $1 == "form" { w["form"] = $6; h["form"] = $7; next }
    $1 == "ctl" {
      n = $2; shown[n] = ($5 == "1"); x[n] = $7; y[n] = $8; w[n] = $9; h[n] = $10; parent[n] = $15
      order[++count] = n
    }
    END {
      for (i = 1; i <= count; i++) {
        n = order[i]
        if (!shown[n]) continue
        if (what == "parents" && n != "Bevel1") {  # the separator runs past both edges by design
          right = x[n] + ((n in tw) && n ~ /^lbl/ && tw[n] < w[n] ? tw[n] : w[n])
          bottom = y[n] + ((n in th) && n ~ /^lbl/ && th[n] < h[n] ? th[n] : h[n])
          p = parent[n]
          if (x[n] < 0 || y[n] < 0 || right > w[p] || bottom > h[p])
            printf "%s(%d,%d,%d,%d)>%s(%dx%d) ", n, x[n], y[n], right, bottom, p, w[p], h[p]
        }
        if (what == "overlaps") {
          for (j = i + 1; j <= count; j++) {
            m = order[j]
            if (!shown[m] || parent[m] != parent[n]) continue
            if (x[n] < x[m] + w[m] && x[m] < x[n] + w[n] && y[n] < y[m] + h[m] && y[m] < y[n] + h[n])
              printf "%s/%s ", n, m
          }
        }
        if (what == "texts" && (n in tw)) {
          # Room a control leaves around its text: a button its edges, a
          # check box its box and the gap after it, a group box its corners.
          kw = 0; kh = 0
          if (n ~ /^btn/) { kw = scaled(8); kh = scaled(4) }
          if (n ~ /^chk/) { kw = scaled(18) }
          if (n == "gbFolder") { kw = scaled(16) }
          if (tw[n] + kw > w[n] || (n != "gbFolder" && th[n] + kh > h[n]))
            printf "%s(needs %dx%d+%dx%d,has %dx%d) ", n, tw[n], th[n], kw, kh, w[n], h[n]
        }
      }
    }' "$1.sizes" "$1"
}

# scaling_problems <dump96> <dump144>: controls whose 144 DPI place is not
# the 96 DPI one with its edges scaled by 1.5 (halves away from zero). Sizes
# of labels sized to their text come from the font, widths of pages, headers
# and lines from the window, pictures aligned right from their parent, and
# word-wrapped labels may reach lower, grown to their text.
scaling_problems() {
  awk -F'|' '
    function s(v) { return v >= 0 ? int(v * 1.5 + 0.5) : -int(-v * 1.5 + 0.5) }
    FNR == 1 { file++ }
    $1 == "form" {
      if (file == 1) { cw = $6; ch = $7 }
      else if ($6 - s(cw) > 1 || s(cw) - $6 > 1 || $7 - s(ch) > 1 || s(ch) - $7 > 1)
        printf "client(%dx%d->%dx%d) ", cw, ch, $6, $7
      next
    }
    $1 != "ctl" { next }
    file == 1 { x[$2] = $7; y[$2] = $8; r[$2] = $7 + $9; b[$2] = $8 + $10; next }
    {
      n = $2
      if (!(n in x)) next
      textSized = n ~ /^(lblLicense|lblLicenseTip|lblFolder|lblFolderTip|lblNeedSize|lblFreeSize)$/
      stretched = n ~ /^(pnlStep[1-4]|Panel[34]|Bevel[123])$/
      rightAligned = n ~ /^Image[23]$/
      wrapped = n ~ /^lbl/ && !textSized
      if ((!rightAligned && $7 != s(x[n])) || $8 != s(y[n]) ||
          (!textSized && !stretched && $7 + $9 != s(r[n])) ||
          (!textSized && !wrapped && $8 + $10 != s(b[n])) ||
          (wrapped && $8 + $10 < s(b[n])))
        printf "%s(%d,%d,%d,%d->%d,%d,%d,%d) ", n, x[n], y[n], r[n] - x[n], b[n] - y[n], $7, $8, $9, $10
    }' "$1" "$2"
}

# check_page <dpi> <lang> <page>: screenshot and the layout checks of the
# page on show (its dump is the last one).
check_page() {
  local dpi=$1 lang=$2 page=$3 tag="$1 dpi $2 page $3"
  local dump=$DUMPS/$dpi-$lang-$page.txt
  cp "$E2E_TMP/dump.txt" "$dump"
  shot "dpi-$dpi-$lang-page$page"
  check "$tag: texts measured" measure_page "$dump" "$lang" "$dpi"
  check_eq "$tag: controls within their parents" "" "$(layout_problems "$dump" "$dpi" parents)"
  check_eq "$tag: no overlapping siblings" "" "$(layout_problems "$dump" "$dpi" overlaps)"
  if [ "$dpi" = 144 ]; then
    check_eq "$tag: texts fit their controls" "" "$(layout_problems "$dump" "$dpi" texts)"
    check_eq "$tag: the 96 DPI layout scaled by 1.5" "" "$(scaling_problems "$DUMPS/96-$lang-$page.txt" "$dump")"
  fi
}

# walk_pages <dpi> <lang>: opens the wizard and checks its four pages;
# Install runs the test product's simulated installation.
walk_pages() {
  local dpi=$1 lang=$2 tag="$1 dpi $2"
  start_setup "$lang"
  check "$tag: wizard window appears" spy 20000
  check_page "$dpi" "$lang" 1
  local page
  for page in 2 3 4; do
    press_next
    check "$tag: page $page shown" wait_for "pnlStep$page" shown 1
    check_page "$dpi" "$lang" "$page"
  done
  click_control chkRunOnExit
  wait_for chkRunOnExit value 0 >/dev/null
  press_next
  check_eq "$tag: exit code after Finish" 0 "$(wait_exit)"
}

for dpi in 96 144; do
  set_dpi "$dpi"
  for lang in en zh; do walk_pages "$dpi" "$lang"; done
done

e2e_log "screenshots: $E2E_SCREENSHOTS/dpi-*.png"
e2e_summary
