#!/usr/bin/env bash
# A vendor signs a release with a certificate made here (openssl; nothing of it is kept): the
# module, the uninstaller and the installer verify, the module is the build's but for its
# signature and still loads and delays a click exactly in the demo host, the signed installer
# installs, upgrades and uninstalls silently (the installer test, which also verifies what it
# installed), and a rebuild given only the release's signatures gives the signed release byte for
# byte.
#
# usage: signed_release_test.sh BUILD_FOLDER DEMO_HOST WORK_FOLDER
set -euo pipefail
build=$1 demo_host=$2 work=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
make_release="$source_dir/packaging/make_release.sh"
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$source_dir/build/wine}"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
rm -rf "$work"
mkdir -p "$work/key"
unset QUENVALE_SIGNATURES QUENVALE_SIGN_TIMESTAMP_URL

# A code-signing certificate and its key, as a vendor receives them: PKCS#12 and a password.
key="$work/key"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quenvale test signer" \
  -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
  -keyout "$key/key.pem" -out "$key/cert.pem" 2>/dev/null
echo "a throwaway password" >"$key/password"
openssl pkcs12 -export -inkey "$key/key.pem" -in "$key/cert.pem" -out "$key/signer.p12" \
  -passout "file:$key/password"
rm "$key/key.pem"

linux="$work/linux/Quenvale64.vst3"  # a stand-in: the Linux bundle is the linux preset's
mkdir -p "$linux/Contents/x86_64-linux"
echo "stand-in" >"$linux/Contents/x86_64-linux/Quenvale64.so"

status=0
QUENVALE_SIGN_PKCS12="$key/signer.p12" bash "$make_release" "$build" "$linux" "$work/stage" \
  "$work/half" >/dev/null 2>"$work/half.err" || status=$?
[ $status != 0 ] && grep -q "QUENVALE_SIGN_PASSWORD_FILE is not set" "$work/half.err" ||
  fail "a certificate without its password gave status $status: $(cat "$work/half.err")"

export QUENVALE_SIGN_PKCS12="$key/signer.p12" QUENVALE_SIGN_PASSWORD_FILE="$key/password"
bash "$make_release" "$build" "$linux" "$work/stage" "$work/signed" >"$work/signed.log" ||
  fail "signing failed: $(cat "$work/signed.log")"
grep -q "NOT SIGNED" "$work/signed.log" && fail "a signed release says it is not signed"

version=$(cat "$build/release/version.txt")
bundle="$work/stage/Quenvale-$version/windows/Quenvale64.vst3"
module="$bundle/Contents/x86_64-win/Quenvale64.vst3"
installer="$work/signed/Quenvale-$version-setup.exe"
verify() {  # FILE
  osslsigncode verify -CAfile "$key/cert.pem" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q "Subject: /CN=Quenvale test signer" "$work/verify.log" ||
    fail "$1 does not verify: $(cat "$work/verify.log")"
}
verify "$module"
verify "$installer"
for role in module uninstaller installer; do
  [ -s "$work/signed/signatures/$role.p7" ] || fail "the release keeps no $role signature"
done

# The signed module is the built one and its signature, and works as it did.
osslsigncode remove-signature -in "$module" -out "$work/unsigned.vst3" >/dev/null
cmp "$work/unsigned.vst3" "$build/plugin/Quenvale64.vst3" ||
  fail "the signed module is more than the built module and a signature"
cmp "$bundle/Contents/Resources/moduleinfo.json" \
  "$build/bundle/Quenvale64.vst3/Contents/Resources/moduleinfo.json" ||
  fail "moduleinfo.json of the signed module differs"
output=$(wine "$demo_host" "$module" "$(winepath -w "$work" | tr -d '\r')" </dev/null | tr -d '\r') ||
  fail "the demo host could not run the signed module"
grep -qE 'click at +4800 -> output +9600,' <<<"$output" ||
  fail "the signed module did not delay a click by 100 ms:"$'\n'"$output"

# What a rebuilder has: the source and the release's signatures, no key.
(unset QUENVALE_SIGN_PKCS12 QUENVALE_SIGN_PASSWORD_FILE &&
  QUENVALE_SIGNATURES="$work/signed/signatures" bash "$make_release" "$build" "$linux" \
    "$work/restage" "$work/rebuilt" >/dev/null) || fail "the signatures do not fit a rebuild"
diff -r "$work/signed" "$work/rebuilt" || fail "the rebuild with the signatures differs"
# ...and a rebuild that differs is refused rather than given a signature that does not fit.
cp "$demo_host" "$work/other.vst3"
QUENVALE_SIGNATURES="$work/signed/signatures" bash "$source_dir/packaging/sign.sh" module \
  "$work/other.vst3" 2>/dev/null && fail "a signature was attached to other bytes"

# The signed installer as users run it; the installer test verifies what it installs.
QUENVALE_TEST_SIGNER="$key/cert.pem" bash "$source_dir/tests/host/install_test.sh" "$installer" \
  "$build/installer/make_installer.sh" "$version" "$demo_host" "$work/install"
echo "release: signed, verified, run, installed and rebuilt from its signatures"
