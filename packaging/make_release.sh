#!/usr/bin/env bash
# make_release.sh WINDOWS_BUILD LINUX_BUNDLE STAGE OUT: the release, from a windows preset build
# folder and the Linux VST 3 bundle. STAGE receives the folder the zip is made of,
# Quenvale-<version>/ (both bundles, the install guide, the release notes, the licences); OUT
# receives the release files:
#   Quenvale-<version>-setup.exe        the Windows installer
#   Quenvale-<version>.zip              STAGE/Quenvale-<version>/, packed
#   Quenvale-<version>-release-notes.txt
#   signatures/{module,uninstaller,installer}.p7   a signed release's signatures, for rebuilders
#   SHA256SUMS                          the checksums of the files above, for sha256sum -c
# Every date in them is the build's (build/<preset>/release/source-date-epoch.txt), so that one
# commit always gives the same bytes.
#
# Signing (packaging/sign.sh): with QUENVALE_SIGN_PKCS12 and QUENVALE_SIGN_PASSWORD_FILE (and
# optionally QUENVALE_SIGN_TIMESTAMP_URL) the Windows module is signed before moduleinfo.json and
# the installer are made from it, then the uninstaller as the installer is made, then the
# installer. With QUENVALE_SIGNATURES the signatures of a signed release are attached instead.
# The build folder keeps its unsigned files either way.
set -euo pipefail
[ $# -eq 4 ] || { sed -n '2,4p' "$0" >&2; exit 2; }
# Absolute: makensis reads files relative to the installer script's folder.
build=$(realpath -m "$1") linux_bundle=$(realpath -m "$2") stage=$(realpath -m "$3") out=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "release: $*" >&2
  exit 1
}

release="$build/release"
version=$(cat "$release/version.txt")
SOURCE_DATE_EPOCH=$(cat "$release/source-date-epoch.txt")
export SOURCE_DATE_EPOCH
name="Quenvale-$version"
[ -f "$build/installer/make_installer.sh" ] ||
  fail "no $build/installer/make_installer.sh (is makensis installed? scripts/setup installs it)"
[ -f "$linux_bundle/Contents/x86_64-linux/Quenvale64.so" ] || fail "no Linux bundle in $linux_bundle"

signing=
if [ -n "${QUENVALE_SIGNATURES:-}" ]; then
  [ -d "$QUENVALE_SIGNATURES" ] || fail "QUENVALE_SIGNATURES names $QUENVALE_SIGNATURES, no folder"
  signing="attaching the signatures in $QUENVALE_SIGNATURES"
  # Kept aside: they may be the very ones in OUT, a release being rebuilt where it lies.
  given=$(mktemp -d)
  trap 'rm -rf "$given"' EXIT
  cp -r "$QUENVALE_SIGNATURES/." "$given/"
  export QUENVALE_SIGNATURES="$given"
elif [ -n "${QUENVALE_SIGN_PKCS12:-}${QUENVALE_SIGN_PASSWORD_FILE:-}" ]; then
  for variable in QUENVALE_SIGN_PKCS12 QUENVALE_SIGN_PASSWORD_FILE; do
    [ -n "${!variable:-}" ] || fail "$variable is not set: signing needs both it and the other"
    [ -r "${!variable}" ] || fail "$variable names ${!variable}, which cannot be read"
  done
  signing="signing with $QUENVALE_SIGN_PKCS12"
fi
if [ -n "$signing" ]; then
  command -v osslsigncode >/dev/null || fail "osslsigncode is missing (scripts/setup installs it)"
  export QUENVALE_SIGNATURES_OUT="$out/signatures"
fi

rm -rf "$stage" "$out"
folder="$stage/$name"
mkdir -p "$folder/windows" "$folder/linux" "$folder/licenses" "$out"
cp -r "$build/bundle/Quenvale64.vst3" "$folder/windows/"
cp -r "$linux_bundle" "$folder/linux/Quenvale64.vst3"
cp "$here/../resources/licenses/"* "$folder/licenses/"
cp "$release/INSTALL.txt" "$release/RELEASE-NOTES.txt" "$folder/"
bundle="$folder/windows/Quenvale64.vst3"

if [ -n "$signing" ]; then
  echo "release: $signing"
  bash "$here/sign.sh" module "$bundle/Contents/x86_64-win/Quenvale64.vst3"
  # moduleinfo.json from the module as released.
  WINEPREFIX="${WINEPREFIX:-$here/../build/wine}" WINEDEBUG=-all wine "$build/tools/module_info.exe" \
    "$bundle/Contents/x86_64-win/Quenvale64.vst3" "$bundle/Contents/Resources/moduleinfo.json" \
    </dev/null >/dev/null || fail "module_info could not read the signed module"
  export QUENVALE_SIGN_UNINSTALLER="bash \"$here/sign.sh\" uninstaller"
fi

installer="$out/$name-setup.exe"
QUENVALE_INSTALLER_BUNDLE="$bundle" sh "$build/installer/make_installer.sh" "$version" "$installer" \
  >/dev/null || fail "makensis could not make $installer"
if [ -n "$signing" ]; then
  bash "$here/sign.sh" installer "$installer"
fi

python3 "$here/make_zip.py" "$out/$name.zip" "$folder" "$SOURCE_DATE_EPOCH"
cp "$release/RELEASE-NOTES.txt" "$out/$name-release-notes.txt"
(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  xargs sha256sum >SHA256SUMS)

echo "release: $out, from commit $(sed -n 's/^Built from commit \([^ ]*\).*/\1/p' \
  "$release/RELEASE-NOTES.txt"), dated $(date -u -d "@$SOURCE_DATE_EPOCH" +%F)"
if [ -z "$signing" ]; then
  echo "release: NOT SIGNED (set QUENVALE_SIGN_PKCS12 and QUENVALE_SIGN_PASSWORD_FILE to sign)"
fi
(cd "$out" && cat SHA256SUMS)
