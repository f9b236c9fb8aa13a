#!/usr/bin/env bash
# The installer's wizard under Wine and Xvfb, built from the test product
# (tests/gui): every page's texts and layout in Chinese (code page 936) and
# English, the window height and the Quick Launch option on Windows XP and 7,
# keyboard and mouse use, the destination page's drive test, the two failure
# messages of Install, Finish with and without launching the product, the
# running-product guard and the refused start of a product with an invalid
# freeware setting. Screenshots of every page in each language go to
# build/screenshots/.
#
# Usage: tests/e2e/wizard.sh [build-dir]   (default $BUILD_DIR or build/win32)

set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

BUILD=${1:-${BUILD_DIR:-$E2E_ROOT/build/win32}}
GUI=$BUILD/gui
E2E_WIZSPY=$GUI/wizspy.exe
E2E_SETUP=$GUI/testsetup.exe
e2e_require "$GUI/testsetup.exe" "$GUI/badsetup.exe" "$E2E_WIZSPY"

e2e_init wizard || { echo "0 passed, 1 failed"; exit 1; }
PROGRAM_FILES_DIR="$WINEPREFIX/drive_c/Program Files/Corvenna Soft/Drawvane"

expected_height() { [ "$1" = winxp ] && echo 385 || echo 398; }
expected_quick() { [ "$1" = winxp ] && echo 1 || echo 0; }

# --- the four pages --------------------------------------------------------

# Designed places (parent, left, top, width, height) that no language moves;
# "*" for the size of labels sized to their text, W for the window's client
# width (pages stretch with it) and R for the left of a picture aligned right.
check_layout() {
  local tag=$1 name parent x y w h actual expected
  local client
  client=$(get form cw)
  while read -r name parent x y w h; do
    [ "$w" = W ] && w=$client
    [ "$x" = R ] && x=$((client - 67))
    actual="$(get "$name" parent) $(get "$name" x) $(get "$name" y)"
    expected="$parent $x $y"
    if [ "$w" != "*" ]; then
      actual="$actual $(get "$name" w) $(get "$name" h)"
      expected="$expected $w $h"
    fi
    check_eq "$tag: $name placed as designed" "$expected" "$actual"
  done <<'EOF'
btnPrev form 253 323 77 22
btnNext form 330 323 77 22
btnClose form 417 323 62 22
ProgressBar1 form 35 328 185 12
Bevel1 form -1 308 555 2
pnlStep1 form 0 0 W 308
pnlStep3 form 0 0 W 308
Image1 pnlStep1 0 0 160 308
Panel3 pnlStep2 0 0 W 56
Image2 Panel3 R 0 67 56
Bevel2 pnlStep2 0 56 W 2
Memo2 pnlStep2 18 75 459 177
lblAgreement pnlStep2 23 267 437 32
Image3 Panel4 R 0 67 56
lblSetupFolder pnlStep3 40 75 420 49
gbFolder pnlStep3 40 132 419 63
editSetupDir gbFolder 17 24 305 21
btnBrowse gbFolder 325 24 77 21
lblNeedSize pnlStep3 41 221 * *
lblFreeSize pnlStep3 41 247 * *
chkSCOnDesktop pnlStep3 237 217 151 20
chkSCOnQuick pnlStep3 237 243 184 20
lblClose pnlStep4 184 89 302 65
EOF
}

# check_page1 <lang> <version> <tag>
check_page1() {
  local lang=$1 version=$2 tag=$3
  check "$tag: wizard window appears" spy 15000
  shot "wizard-$lang-$version-page1"
  check_eq "$tag: window width" 503 "$(get form w)"
  check_eq "$tag: window height" "$(expected_height "$version")" "$(get form h)"
  local desktop_w=${E2E_DESKTOP%x*} desktop_h=${E2E_DESKTOP#*x}
  check_eq "$tag: centred on the desktop" \
    "$(((desktop_w - 503) / 2)),$(((desktop_h - $(expected_height "$version")) / 2))" "$(get form x),$(get form y)"
  check_eq "$tag: page 1 shown" "1 0 0 0" "$(get pnlStep1 shown) $(get pnlStep2 shown) $(get pnlStep3 shown) $(get pnlStep4 shown)"
  check_eq "$tag: Back hidden, Cancel shown" "0 1" "$(get btnPrev own) $(get btnClose own)"
  check_eq "$tag: Next has the focus" 1 "$(get btnNext focus)"
  check_layout "$tag"
  check_eq "$tag: page 1 is white" "255,255,255" "$(pixel "wizard-$lang-$version-page1" pnlStep1 400 290)"
  local banner
  banner=$(pixel "wizard-$lang-$version-page1" Image1 4 4)
  if [ "$lang" = zh ]; then
    check_eq "$tag: title" "安装向导 - 柯雯纳画图" "$(get form title)"
    check_eq "$tag: lblWelcome" '欢迎使用 柯雯纳画图 V2.0 安装\n向导' "$(get lblWelcome text)"
    check_eq "$tag: lblWillInstall" '此向导将引导您完成安装过程。\n\n单击 [下一步] 继续，单击 [取消] 退出安装。' "$(get lblWillInstall text)"
    check_eq "$tag: lblWelcome moved" "193,40" "$(get lblWelcome x),$(get lblWelcome y)"
    check_eq "$tag: lblWillInstall moved" "193,116" "$(get lblWillInstall x),$(get lblWillInstall y)"
    check_eq "$tag: captions" "下一步|取 消|上一步" "$(get btnNext text)|$(get btnClose text)|$(get btnPrev text)"
    check_match "$tag: Chinese banner (ImageLeft0, red)" '^1[5-9][0-9],[0-9]+,[0-9]+$|^2[0-9][0-9],[0-9]+,[0-9]+$' "$banner"
  else
    check_eq "$tag: title" "Setup - Corvenna Drawvane" "$(get form title)"
    check_eq "$tag: lblWelcome" "Welcome to the Corvenna Drawvane 2.0 Setup Wizard" "$(get lblWelcome text)"
    check_eq "$tag: lblWillInstall" 'This will install Corvenna Drawvane 2.0 on your computer.\n\nClick Next to continue, or Cancel to exit Setup.' "$(get lblWillInstall text)"
    check_eq "$tag: lblWelcome as designed" "183,20" "$(get lblWelcome x),$(get lblWelcome y)"
    check_eq "$tag: captions" "&Next >|Cancel|< &Back" "$(get btnNext text)|$(get btnClose text)|$(get btnPrev text)"
    check_match "$tag: English banner (ImageLeft2, blue)" '^[0-9]{1,2},[0-9]+,1[0-9][0-9]$' "$banner"
  fi
}

check_page2() {
  local lang=$1 version=$2 tag=$3
  check "$tag: licence page shown" wait_for pnlStep2 shown 1
  shot "wizard-$lang-$version-page2"
  check_eq "$tag: Back shown" 1 "$(get btnPrev own)"
  check_eq "$tag: header is cream" "255,251,240" "$(pixel "wizard-$lang-$version-page2" Panel3 8 50)"
  local memo
  memo=$(get Memo2 text)
  if [ "$lang" = zh ]; then
    check_eq "$tag: caption" "我同意" "$(get btnNext text)"
    check_eq "$tag: lblLicense" "在安装之前，请阅读许可协议 17,20" "$(get lblLicense text) $(get lblLicense x),$(get lblLicense y)"
    check_eq "$tag: no licence tip" 0 "$(get lblLicenseTip own)"
    check_match "$tag: agreement starts with its title" '^柯雯纳画图 用户许可协议\\r\\n\\r\\n请仔细阅读' "$memo"
    check_match "$tag: freeware clause 5, no clause 6" '\\r\\n5\. 若您未能遵守' "$memo"
    check_eq "$tag: lblAgreement" "如果您接受协议中的条款，请单击 [我同意] 继续安装。" "$(get lblAgreement text)"
  else
    check_eq "$tag: caption" "I &Agree" "$(get btnNext text)"
    check_eq "$tag: lblLicense" "License Agreement 17,9" "$(get lblLicense text) $(get lblLicense x),$(get lblLicense y)"
    check_eq "$tag: licence tip" "1 Please read the following important information before continuing." "$(get lblLicenseTip own) $(get lblLicenseTip text)"
    check_match "$tag: agreement starts with its title" '^End User License Agreement\\r\\n\\r\\nPlease read' "$memo"
    check_match "$tag: freeware wording" 'This software is freeware, you can unrestricted use of it\.' "$memo"
  fi
}

check_page3() {
  local lang=$1 version=$2 tag=$3
  check "$tag: destination page shown" wait_for pnlStep3 shown 1
  shot "wizard-$lang-$version-page3"
  check_eq "$tag: proposed folder" 'C:\\Program Files\\Corvenna Soft\\Drawvane' "$(get editSetupDir text)"
  check_eq "$tag: Quick Launch box only below version 6" "$(expected_quick "$version")" "$(get chkSCOnQuick own)"
  check_eq "$tag: Install enabled" 1 "$(get btnNext enabled)"
  check_eq "$tag: header is cream" "255,251,240" "$(pixel "wizard-$lang-$version-page3" Panel4 8 50)"
  if [ "$lang" = zh ]; then
    check_eq "$tag: caption" "安 装" "$(get btnNext text)"
    check_eq "$tag: lblFolder" "选择安装位置并设置选项 17,20" "$(get lblFolder text) $(get lblFolder x),$(get lblFolder y)"
    check_eq "$tag: lblNeedSize" "所需空间: 7 MB" "$(get lblNeedSize text)"
    check_match "$tag: free space shown" '^1 剩余空间: [0-9.]+ (Bytes|KB|MB|GB)$' "$(get lblFreeSize own) $(get lblFreeSize text)"
    check_eq "$tag: group and Browse" "目标文件夹|浏览(&S)..." "$(get gbFolder text)|$(get btnBrowse text)"
    check_eq "$tag: check boxes" "创建桌面快捷方式|创建快速启动栏快捷方式" "$(get chkSCOnDesktop text)|$(get chkSCOnQuick text)"
  else
    check_eq "$tag: caption" "&Install" "$(get btnNext text)"
    check_eq "$tag: lblFolder" "Select Destination Location 17,9" "$(get lblFolder text) $(get lblFolder x),$(get lblFolder y)"
    check_eq "$tag: lblFolderTip" "Where should Corvenna Drawvane be installed?" "$(get lblFolderTip text)"
    check_eq "$tag: lblNeedSize" "Space required: 7 MB" "$(get lblNeedSize text)"
    check_match "$tag: free space shown" '^1 Space available: [0-9.]+ (Bytes|KB|MB|GB)$' "$(get lblFreeSize own) $(get lblFreeSize text)"
    check_eq "$tag: group and Browse" "Destination Folder|&Browse..." "$(get gbFolder text)|$(get btnBrowse text)"
  fi
}

check_page4() {
  local lang=$1 version=$2 tag=$3
  check "$tag: completion page shown" wait_for pnlStep4 shown 1
  shot "wizard-$lang-$version-page4"
  check_eq "$tag: Back and Cancel gone" "0 0" "$(get btnPrev own) $(get btnClose own)"
  check_eq "$tag: banner on page 4" "pnlStep4 0,0" "$(get Image1 parent) $(get Image1 x),$(get Image1 y)"
  check_eq "$tag: progress bar hidden at 100" "0 100" "$(get ProgressBar1 own) $(get ProgressBar1 value)"
  check_eq "$tag: Finish enabled" 1 "$(get btnNext enabled)"
  check_eq "$tag: page 4 is white" "255,255,255" "$(pixel "wizard-$lang-$version-page4" pnlStep4 480 290)"
  if [ "$lang" = zh ]; then
    check_eq "$tag: caption" "完 成" "$(get btnNext text)"
    check_eq "$tag: lblComplete" "柯雯纳画图 V2.0 安装成功。 203,28" "$(get lblComplete text) $(get lblComplete x),$(get lblComplete y)"
    check_eq "$tag: no lblClose" 0 "$(get lblClose own)"
    check_eq "$tag: chkRunOnExit" "立即运行软件 207,111 1" "$(get chkRunOnExit text) $(get chkRunOnExit x),$(get chkRunOnExit y) $(get chkRunOnExit value)"
  else
    check_eq "$tag: caption" "&Finish" "$(get btnNext text)"
    check_eq "$tag: lblComplete" "Completing the Corvenna Drawvane Setup Wizard 183,20" "$(get lblComplete text) $(get lblComplete x),$(get lblComplete y)"
    check_eq "$tag: lblClose" '1 Setup has finished installing Corvenna Drawvane 2.0 on your computer.\n\nClick Finish to close this wizard.' "$(get lblClose own) $(get lblClose text)"
    check_eq "$tag: chkRunOnExit" "Launch Corvenna Drawvane 186,170 1" "$(get chkRunOnExit text) $(get chkRunOnExit x),$(get chkRunOnExit y) $(get chkRunOnExit value)"
  fi
}

# A copy of the inspection program stands in for the installed product: run
# without arguments it leaves launched.txt beside itself.
place_product() {
  mkdir -p "$PROGRAM_FILES_DIR"
  cp "$GUI/wizspy.exe" "$PROGRAM_FILES_DIR/Drawvane.exe"
  rm -f "$PROGRAM_FILES_DIR/launched.txt"
}

wait_launched() {
  local i
  for i in $(seq 1 50); do
    [ -f "$PROGRAM_FILES_DIR/launched.txt" ] && return 0
    sleep 0.1
  done
  return 1
}

# --- scenarios -------------------------------------------------------------

# English on Windows 7, by keyboard: access keys through all four pages,
# Finish launches the product.
english_by_keyboard() {
  local tag="en/win7 keys"
  e2e_restart_wine
  wine_set_version win7
  place_product
  start_setup en
  check_page1 en win7 "$tag"
  key alt+n
  check_page2 en win7 "$tag"
  key alt+a
  check_page3 en win7 "$tag"
  key alt+i
  check_page4 en win7 "$tag"
  key alt+f
  check_eq "$tag: exit code after Finish" 0 "$(wait_exit)"
  check "$tag: product launched" wait_launched
}

# Chinese on Windows XP, by mouse: Quick Launch box shown, shorter window,
# a destination folder that Install creates with its parents, and Finish with
# the launch box cleared starts nothing.
chinese_by_mouse() {
  local tag="zh/winxp mouse"
  e2e_restart_wine
  wine_set_version winxp
  place_product
  start_setup zh
  check_page1 zh winxp "$tag"
  click_control btnNext
  check_page2 zh winxp "$tag"
  click_control btnNext
  check_page3 zh winxp "$tag"
  set_folder_text 'C:\New Apps\Deep\Drawvane'
  check "$tag: folder typed" wait_for editSetupDir text 'C:\\New Apps\\Deep\\Drawvane'
  check_eq "$tag: typed folder passes the drive test" 1 "$(get lblFreeSize own)"
  click_control btnNext
  check_page4 zh winxp "$tag"
  check "$tag: folder created with its parents" test -d "$WINEPREFIX/drive_c/New Apps/Deep/Drawvane"
  click_control chkRunOnExit
  check "$tag: launch box cleared" wait_for chkRunOnExit value 0
  click_control btnNext
  check_eq "$tag: exit code after Finish" 0 "$(wait_exit)"
  sleep 1
  check "$tag: nothing launched" test ! -f "$PROGRAM_FILES_DIR/launched.txt"
}

# English on Windows XP: the drive test while typing, shared access key,
# Browse cancelled, the two Install failures, Back and Cancel.
english_destination_page() {
  local tag="en/winxp folder"
  e2e_restart_wine
  wine_set_version winxp
  start_setup en
  check "$tag: wizard window appears" spy 15000
  key alt+n
  wait_for pnlStep2 shown 1
  key alt+a
  check "$tag: destination page shown" wait_for pnlStep3 shown 1
  check_eq "$tag: window height" 385 "$(get form h)"
  check_eq "$tag: Quick Launch box shown" "1 1 Create a Quick Launch icon" "$(get chkSCOnQuick own) $(get chkSCOnQuick shown) $(get chkSCOnQuick text)"

  local text shown enabled
  while IFS='|' read -r text shown enabled; do
    set_folder_text "$text"
    wait_for editSetupDir text "${text//\\/\\\\}" >/dev/null
    check_eq "$tag: '$text' free space label, Install" "$shown $enabled" "$(get lblFreeSize own) $(get btnNext enabled)"
  done <<'EOF'
C:|0|0
c:\Apps|1|1
C:/Apps|0|0
Q:\Apps|0|0
\\server\share|0|0
C:\Program Files\Corvenna Soft\Drawvane|1|1
EOF

  # "< &Back" and "&Browse..." share B: the key moves the focus between them.
  key alt+b
  check "$tag: Alt+B focuses Browse" wait_for btnBrowse focus 1
  key alt+b
  check "$tag: Alt+B again focuses Back" wait_for btnPrev focus 1
  check_eq "$tag: still on the destination page" 1 "$(get pnlStep3 shown)"

  click_control btnBrowse
  check "$tag: folder picker opens" spy_box
  check_match "$tag: picker shows the prompt" 'Select or create a new folder:' "$(cat "$E2E_TMP/box.txt")"
  key Escape
  sleep 1
  spy
  check_eq "$tag: cancelled Browse keeps the text" 'C:\\Program Files\\Corvenna Soft\\Drawvane 1' "$(get editSetupDir text) $(get lblFreeSize own)"

  # A folder under a file cannot be created.
  set_folder_text 'C:\windows\win.ini\Drawvane'
  wait_for lblFreeSize own 1 >/dev/null
  key alt+i
  check "$tag: folder error shown" spy_box
  check_eq "$tag: folder error text" "Destination folder can't be created, need to select another folder." "$(box_text)"
  check_eq "$tag: folder error caption" "Setup - Corvenna Drawvane" "$(box_caption)"
  check "$tag: folder error has no icon" not box_has_icon
  e2e_screenshot "wizard-en-winxp-folder-error"
  key Return
  check "$tag: back on page 3 after the folder error" wait_for btnNext enabled 1
  check_eq "$tag: still Install, page 3" "&Install 1" "$(get btnNext text) $(get pnlStep3 shown)"

  # An extraction that fails: the run's message, buttons back, banner stays.
  mkdir -p "$WINEPREFIX/drive_c/Fail"
  touch "$WINEPREFIX/drive_c/Fail/fail-extraction"
  set_folder_text 'C:\Fail'
  wait_for lblFreeSize own 1 >/dev/null
  key alt+i
  check "$tag: extraction error shown" spy_box
  check_eq "$tag: extraction error text" "An error occurred extracting files to the destination folder.\\n\\nWhether you're running an older version of this software? If yes, please close it and then click Install." "$(box_text)"
  check_eq "$tag: extraction error caption" "Setup - Corvenna Drawvane" "$(box_caption)"
  check "$tag: extraction error has the information icon" box_has_icon
  key Return
  check "$tag: buttons back after the failure" wait_for btnPrev enabled 1
  check_eq "$tag: page 3, Install, bar hidden, banner on page 1" "1 &Install 0 pnlStep1" \
    "$(get pnlStep3 shown) $(get btnNext text) $(get ProgressBar1 own) $(get Image1 parent)"
  click_control btnPrev
  check "$tag: Back after the failure" wait_for pnlStep2 shown 1
  check_eq "$tag: caption back to I Agree" "I &Agree" "$(get btnNext text)"
  key alt+a
  check "$tag: forward again" wait_for btnNext text "&Install"
  click_control btnClose
  check_eq "$tag: exit code after Cancel" 0 "$(wait_exit)"
}

# Chinese on Windows 7: Enter presses the default button, Tab walks page 3,
# Escape cancels.
chinese_by_enter_and_tab() {
  local tag="zh/win7 keys"
  e2e_restart_wine
  wine_set_version win7
  start_setup zh
  check "$tag: wizard window appears" spy 15000
  check_eq "$tag: window height" 398 "$(get form h)"
  key Return
  check "$tag: Enter goes to page 2" wait_for pnlStep2 shown 1
  key Return
  check "$tag: Enter goes to page 3" wait_for pnlStep3 shown 1
  check_eq "$tag: no Quick Launch box" 0 "$(get chkSCOnQuick own)"
  local expected=(editSetupDir btnBrowse chkSCOnDesktop btnPrev btnClose btnNext) name
  for name in "${expected[@]}"; do
    key Tab
    check "$tag: Tab reaches $name" wait_for "$name" focus 1
  done
  key shift+Tab
  check "$tag: Shift+Tab back to Cancel" wait_for btnClose focus 1
  key Escape
  check_eq "$tag: exit code after Escape" 0 "$(wait_exit)"
}

# A running copy of the product blocks the installer: one message box, no
# wizard, exit code 0.
running_product_guard() {
  local lang=$1 title=$2 text=$3 caption=$4 tag="guard $1"
  e2e_restart_wine
  wine_set_version win7
  wine "$GUI/wizspy.exe" product TCorvennaTestProduct "$title" >/dev/null 2>&1 &
  check "$tag: product window up" wine "$GUI/wizspy.exe" find TCorvennaTestProduct "$title" 15000
  start_setup "$lang"
  check "$tag: message shown" spy_box 15000
  check_eq "$tag: message text" "$text" "$(box_text)"
  check_eq "$tag: message caption" "$caption" "$(box_caption)"
  check "$tag: no icon" not box_has_icon
  e2e_screenshot "guard-$lang"
  check "$tag: no wizard window" no_wizard
  key Return
  check_eq "$tag: exit code" 0 "$(wait_exit)"
}

# Another class under the product's title does not block.
guard_ignores_other_class() {
  local tag="guard other class"
  e2e_restart_wine
  wine "$GUI/wizspy.exe" product SomeOtherClass Drawvane >/dev/null 2>&1 &
  check "$tag: other window up" wine "$GUI/wizspy.exe" find SomeOtherClass Drawvane 15000
  start_setup en
  check "$tag: wizard starts" spy 15000
  key Escape
  check_eq "$tag: exit code" 0 "$(wait_exit)"
}

invalid_freeware_setting() {
  local tag="invalid 1009"
  e2e_restart_wine
  start_setup en "$GUI/badsetup.exe"
  check "$tag: message shown" spy_box 15000
  check_eq "$tag: message text" "'yes' is not a valid boolean value" "$(box_text)"
  check "$tag: no wizard window" no_wizard
  key Return
  check_eq "$tag: exit code" 0 "$(wait_exit)"
}

english_by_keyboard
chinese_by_mouse
english_destination_page
chinese_by_enter_and_tab
running_product_guard en 柯雯纳画图 "Drawvane program is running, please close it first." "Setup"
running_product_guard zh Drawvane "Drawvane正在运行，请先退出后再进行安装。" "安装向导"
guard_ignores_other_class
invalid_freeware_setting

e2e_log "screenshots: $E2E_SCREENSHOTS"
e2e_summary
