#!/usr/bin/env bash
# The installer under Wine, run as Windows users run it. For each scope: a silent install of an
# older-numbered build (with the VST 2 module in a folder of the user's choice for all users),
# files of the user's own beside it, a silent upgrade to this build (which keeps the VST 2
# module where the older build put it, updated), the installed bundle run by
# the demo host (a click comes out 100 ms later), the Add/Remove Programs entry read back, and
# a silent uninstall that leaves nothing of its own and everything of the user's.
#
# usage: install_test.sh INSTALLER MAKE_INSTALLER VERSION DEMO_HOST WORK_FOLDER
# With QUENVALE_TEST_SIGNER (a certificate), the installed module and uninstaller must carry
# valid signatures by it.
set -euo pipefail
installer=$1 make_installer=$2 version=$3 demo_host=$4 work=$5
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale'
export WINEDEBUG=-all
# It installs into a prefix: the project's own unless the caller chose one, never ~/.wine.
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "$0")/../.." && pwd)/build/wine}"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
drive_c="$WINEPREFIX/drive_c"
unix() {  # C:\a\b -> the file in the prefix
  local path=${1#[Cc]:\\}
  echo "$drive_c/${path//\\//}"
}
registered() { wine reg query "$1\\$key" >/dev/null 2>&1; }
value() {  # HIVE NAME: the value's data
  wine reg query "$1\\$key" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 \{4\}REG_[A-Z_]* \{4\}//p"
}
expect_value() {  # HIVE NAME EXPECTED
  local actual
  actual=$(value "$1" "$2")
  [ "$actual" = "$3" ] || fail "$1 $2 is '$actual', expected '$3'"
}
run() {  # a program under Wine whose failure fails the test
  wine "$@" </dev/null || fail "exit code $? from: $*"
}

# The uninstaller hands its work to a copy of itself and returns at once; its last act is to
# remove the entry, so wait for that (the bound only catches a hung uninstaller).
uninstall() {  # HIVE
  local command exe
  command=$(value "$1" QuietUninstallString)
  exe=$(sed 's/^"\([^"]*\)".*/\1/' <<<"$command")
  # shellcheck disable=SC2086
  run "$exe" ${command:${#exe}+2}
  for _ in $(seq 600); do
    registered "$1" || return 0
    sleep 0.2
  done
  fail "the uninstaller left $1\\$key"
}

localappdata=$(wine cmd.exe /c echo %LOCALAPPDATA% </dev/null | tr -d '\r')
vst2_folder='C:\quenvale-test-vst2'

# What a run that failed half-way may have left in the prefix.
for hive in HKCU HKLM; do
  if registered $hive; then
    rm -rf "$(unix "$(value $hive InstallLocation)")"
    wine reg delete "$hive\\$key" /f >/dev/null 2>&1
  fi
done
rm -rf "$(unix "$localappdata\\Programs\\Common\\VST3\\Quenvale64.vst3")" \
  "$(unix 'C:\Program Files\Common Files\VST3\Quenvale64.vst3')" \
  "$(unix "$localappdata\\Programs\\Corvane Audio")" "$(unix 'C:\Program Files\Corvane Audio')" \
  "$(unix "$vst2_folder")" "$work"
mkdir -p "$work"

# The older build installs one file more, which the upgrade must take away.
older="$work/Quenvale-0.0.1-setup.exe"
files=$(sed -n 's/^files="\(.*\)"$/\1/p' "$make_installer")
echo "older build" >"$work/old-notes.txt"
sed -e "/^!macro InstallManual /a\  SetOutPath \"\${ROOT}\"\n  File \"$work/old-notes.txt\"" \
  -e "/^!macro UninstallManual /a\  Delete \"\${ROOT}\\\\old-notes.txt\"" "$files" >"$work/older-files.nsh"
QUENVALE_INSTALLER_FILES="$work/older-files.nsh" sh "$make_installer" 0.0.1 "$older" zlib >/dev/null ||
  fail "makensis failed for $older"

for scope in CurrentUser AllUsers; do
  echo "== $scope"
  if [ $scope = AllUsers ]; then
    hive=HKLM
    vst3='C:\Program Files\Common Files\VST3'
    instdir='C:\Program Files\Corvane Audio\Quenvale'
    vst2_option=("/VST2=$vst2_folder")
  else
    hive=HKCU
    vst3="$localappdata\\Programs\\Common\\VST3"
    instdir="$localappdata\\Programs\\Corvane Audio\\Quenvale"
    vst2_option=()
  fi
  bundle="$vst3\\Quenvale64.vst3"
  module="$bundle\\Contents\\x86_64-win\\Quenvale64.vst3"

  run "$older" /S /$scope "${vst2_option[@]}"
  expect_value $hive DisplayVersion 0.0.1
  [ -f "$(unix "$module")" ] || fail "no module in $bundle"
  [ -f "$(unix "$instdir\\manual\\old-notes.txt")" ] || fail "the older build is not older"

  # The user's own files: another plug-in, notes in the manual's folder, a VST 2 plug-in.
  mkdir -p "$(unix "$vst3")/Other.vst3" "$(unix "$vst2_folder")"
  echo mine >"$(unix "$vst3")/Other.vst3/keep.txt"
  echo mine >"$(unix "$instdir")/manual/notes.txt"
  echo mine >"$(unix "$vst2_folder")/Other.dll"

  run "$installer" /S /$scope
  expect_value $hive DisplayName Quenvale
  expect_value $hive Publisher "Corvane Audio"
  expect_value $hive DisplayVersion "$version"
  expect_value $hive InstallLocation "$instdir"
  expect_value $hive VST3Folder "$vst3"
  expect_value $hive QuietUninstallString "\"$instdir\\uninstall.exe\" /$scope /S"
  expect_value $hive DisplayIcon "$instdir\\uninstall.exe,0"
  size=$(value $hive EstimatedSize)
  [ $((size)) -gt 1000 ] || fail "EstimatedSize is $size KB"
  [ -f "$(unix "$instdir\\uninstall.exe")" ] || fail "no uninstaller"
  [ ! -e "$(unix "$instdir\\manual\\old-notes.txt")" ] || fail "the upgrade left the older build's file"
  if [ -n "${QUENVALE_TEST_SIGNER:-}" ]; then
    for signed in "$instdir\\uninstall.exe" "$module"; do
      osslsigncode verify -CAfile "$QUENVALE_TEST_SIGNER" -in "$(unix "$signed")" >/dev/null 2>&1 ||
        fail "$signed does not carry a valid signature"
    done
  fi
  grep -q "\"Version\": \"$version\"" "$(unix "$bundle\\Contents\\Resources\\moduleinfo.json")" ||
    fail "moduleinfo.json is not version $version"
  grep -q "version $version" "$(unix "$instdir\\manual\\en\\index.html")" ||
    fail "the English manual is not version $version"
  [ -f "$(unix "$instdir\\manual\\ja\\index.html")" ] || fail "no Japanese manual"
  [ -f "$(unix "$instdir\\licenses\\DejaVu-LICENSE.txt")" ] || fail "no licence"
  if [ $scope = AllUsers ]; then
    expect_value $hive VST2Folder "$vst2_folder"
    cmp -s "$(unix "$vst2_folder\\Quenvale64.dll")" "$(unix "$module")" ||
      fail "the upgrade did not keep the VST 2 module in $vst2_folder"
  fi
  registered HKCU && registered HKLM && fail "registered for both scopes"

  output=$(run "$demo_host" "$module" "$(winepath -w "$work" | tr -d '\r')" | tr -d '\r')
  grep -qE 'click at +4800 -> output +9600,' <<<"$output" ||
    fail "the installed module did not delay a click by 100 ms:"$'\n'"$output"

  uninstall $hive
  for gone in "$bundle" "$instdir\\uninstall.exe" "$instdir\\licenses" "$instdir\\manual\\en" \
    "$vst2_folder\\Quenvale64.dll"; do
    [ ! -e "$(unix "$gone")" ] || fail "the uninstaller left $gone"
  done
  for kept in "$vst3\\Other.vst3\\keep.txt" "$instdir\\manual\\notes.txt"; do
    [ -f "$(unix "$kept")" ] || fail "the uninstaller removed the user's $kept"
  done
  rm -rf "$(unix "$vst3")/Other.vst3" "$(unix "$instdir")"
  if [ $scope = AllUsers ]; then
    [ -f "$(unix "$vst2_folder\\Other.dll")" ] || fail "the uninstaller removed the user's Other.dll"
    rm -rf "$(unix "$vst2_folder")"
  fi
done
# One installation at a time (hosts finding two copies may load the older): all users replace
# the user's own, the user's own is refused beside all users, and without a scope an upgrade
# stays with the installed one.
echo "== changing scope"
run "$installer" /S /CurrentUser
run "$installer" /S /AllUsers
registered HKCU && fail "installing for all users left the current user's installation"
[ ! -e "$(unix "$localappdata\\Programs\\Common\\VST3\\Quenvale64.vst3")" ] ||
  fail "installing for all users left the current user's bundle"
status=0
wine "$installer" /S /CurrentUser </dev/null || status=$?
[ $status = 3 ] || fail "installing for the current user beside all users gave exit code $status, not 3"
registered HKCU && fail "a refused install registered itself"
run "$installer" /S
registered HKCU && fail "an upgrade without a scope left the installed scope"
expect_value HKLM DisplayVersion "$version"
uninstall HKLM

echo "installer: both scopes installed, upgraded, ran and uninstalled cleanly"
