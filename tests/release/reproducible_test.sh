#!/usr/bin/env bash
# Two releases from one build are the same bytes though made in other folders, a year and more
# apart and under another umask; the built module is dated by the commit, not by its linking,
# and no binary names the folders it was built in. (scripts/package --verify compares two whole
# builds in two clones.)
#
# usage: reproducible_test.sh BUILD_FOLDER WORK_FOLDER
set -euo pipefail
build=$1 work=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
make_release="$source_dir/packaging/make_release.sh"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
rm -rf "$work"
mkdir -p "$work"

module="$build/bundle/Quenvale64.vst3/Contents/x86_64-win/Quenvale64.vst3"
installer=$(echo "$build"/installer/Quenvale-*-setup.exe)
epoch=$(cat "$build/release/source-date-epoch.txt")
[ "$epoch" -gt 0 ] || fail "the build has no date"

# The PE header's and the export table's time stamps.
read -r header exports < <(python3 - "$module" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections, = struct.unpack_from("<H", data, pe + 6)
header_stamp, = struct.unpack_from("<I", data, pe + 8)
optional = pe + 24
export_rva, = struct.unpack_from("<I", data, optional + 112)  # PE32+ data directory 0
table = optional + struct.unpack_from("<H", data, pe + 20)[0]
for i in range(sections):
    size, rva, _, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
    if rva <= export_rva < rva + size:
        print(header_stamp, struct.unpack_from("<I", data, export_rva - rva + raw + 4)[0])
EOF
)
[ "$header" = "$epoch" ] && [ "$exports" = "$epoch" ] ||
  fail "the module is dated $header (header) and $exports (exports), not $epoch"

for file in "$module" "$installer"; do
  for folder in "$source_dir" "$build"; do
    if grep -a -q -F "$folder" "$file"; then
      fail "$file names the folder $folder"
    fi
  done
done

# The Linux bundle is the linux preset's; a stand-in is enough here.
linux="$work/linux/Quenvale64.vst3"
mkdir -p "$linux/Contents/x86_64-linux" "$linux/Contents/Resources"
echo "stand-in" >"$linux/Contents/x86_64-linux/Quenvale64.so"
cp "$build/bundle/Quenvale64.vst3/Contents/Resources/moduleinfo.json" "$linux/Contents/Resources/"

output=$(env -u QUENVALE_SIGN_PKCS12 -u QUENVALE_SIGN_PASSWORD_FILE -u QUENVALE_SIGNATURES \
  bash "$make_release" "$build" "$linux" "$work/first/stage" "$work/first/release")
grep -q "NOT SIGNED" <<<"$output" || fail "an unsigned release did not say so:"$'\n'"$output"

later=()
if command -v faketime >/dev/null; then
  later=(faketime -f '+400d')
fi
(umask 077 &&
  env -u QUENVALE_SIGN_PKCS12 -u QUENVALE_SIGN_PASSWORD_FILE -u QUENVALE_SIGNATURES \
    "${later[@]}" bash "$make_release" "$build" "$linux" "$work/second/a/b/stage" \
      "$work/second/a/b/release" >/dev/null)

diff -r "$work/first/release" "$work/second/a/b/release" ||
  fail "two releases from one build differ"
cmp "$installer" "$work/first/release/$(basename "$installer")" ||
  fail "the installer made from another folder differs from the build's"
(cd "$work/first/release" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
[ "$(wc -l <"$work/first/release/SHA256SUMS")" = 3 ] || fail "SHA256SUMS lists other than 3 files"
grep -q "^Built from commit [0-9a-f]\{40\}" "$work/first/release/"*-release-notes.txt ||
  fail "the release notes name no commit"
echo "release: the same bytes from two folders, the module dated $(date -u -d "@$epoch" +%FT%TZ)"
