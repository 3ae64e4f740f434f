#!/usr/bin/env bash
# sign.sh ROLE FILE: gives the Windows module, uninstaller or installer FILE its Authenticode
# signature, in place. ROLE (module, uninstaller, installer) names the signature.
#
# With QUENVALE_SIGN_PKCS12 and QUENVALE_SIGN_PASSWORD_FILE (the certificate and key as PKCS#12,
# and a file holding its password) it signs with SHA-256, and with QUENVALE_SIGN_TIMESTAMP_URL
# it has the signature time-stamped there (RFC 3161). Without a time-stamp server the signature
# is dated SOURCE_DATE_EPOCH, so that signing the same bytes with the same key gives the same
# bytes again.
#
# With QUENVALE_SIGNATURES (a folder of ROLE.p7 from a signed release) it attaches that
# signature instead: a rebuild of the same commit then gives the signed release byte for byte,
# and a rebuild that differs fails here, as the signature no longer fits the bytes.
#
# Either way, the signature is also written to QUENVALE_SIGNATURES_OUT/ROLE.p7 when that is set.
set -euo pipefail
role=$1 file=$2
fail() {
  echo "sign: $*" >&2
  exit 1
}
signed="$file.signed"
rm -f "$signed"
if [ -n "${QUENVALE_SIGNATURES:-}" ]; then
  signature="$QUENVALE_SIGNATURES/$role.p7"
  [ -f "$signature" ] || fail "no signature $signature"
  # osslsigncode answers 1 unless it trusts the certificate, so the file's digest decides.
  osslsigncode attach-signature -sigin "$signature" -in "$file" -out "$signed" >/dev/null 2>&1 || true
  [ -f "$signed" ] || fail "could not attach $signature to $file"
  check=$(osslsigncode verify -in "$signed" 2>&1 || true)
  if grep -q MISMATCH <<<"$check"; then
    rm -f "$signed"
    fail "$signature does not fit $file: the rebuilt $role differs from the signed one"
  fi
else
  : "${QUENVALE_SIGN_PKCS12:?}" "${QUENVALE_SIGN_PASSWORD_FILE:?}"
  options=(-pkcs12 "$QUENVALE_SIGN_PKCS12" -readpass "$QUENVALE_SIGN_PASSWORD_FILE" -h sha256
           -n Quenvale -i https://quenvale.example)
  if [ -n "${QUENVALE_SIGN_TIMESTAMP_URL:-}" ]; then
    options+=(-ts "$QUENVALE_SIGN_TIMESTAMP_URL")
  else
    options+=(-time "${SOURCE_DATE_EPOCH:?}")
  fi
  osslsigncode sign "${options[@]}" -in "$file" -out "$signed" >/dev/null ||
    fail "osslsigncode could not sign $file"
fi
if [ -n "${QUENVALE_SIGNATURES_OUT:-}" ]; then
  mkdir -p "$QUENVALE_SIGNATURES_OUT"
  rm -f "$QUENVALE_SIGNATURES_OUT/$role.p7"
  osslsigncode extract-signature -in "$signed" -out "$QUENVALE_SIGNATURES_OUT/$role.p7" \
    >/dev/null || fail "could not keep the signature of $file"
fi
mv -f "$signed" "$file"
