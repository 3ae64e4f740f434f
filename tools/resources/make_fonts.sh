#!/usr/bin/env bash
# Remakes the editor's fonts: subsets of DejaVu Sans and DejaVu Sans Bold (Debian package
# fonts-dejavu-core) cut down with pyftsubset (Debian package fonttools) to the characters the
# editor draws. The output stays TrueType with glyf outlines, so GDI+ can load it from memory
# with AddMemoryFont. To keep each file near 10 KB the subsets drop the hinting instructions
# (the editor draws anti-aliased text, which does not need them), the OpenType layout tables
# (GDI+ does not use them; the legacy 'kern' table stays) and the long licence text in the name
# table (name records 0, copyright, and 14, licence URL, stay; the full licence is shipped as
# resources/licenses/DejaVu-LICENSE.txt and, embedded with the manual, as
# resources/manual/licenses/DejaVu-LICENSE.txt). The family names stay "DejaVu Sans" (styles
# Book and Bold). The result is deterministic: the same package versions give the same bytes.
#
#   tools/resources/make_fonts.sh
#
# Writes resources/editor/fonts/DejaVuSans-subset.ttf and DejaVuSans-Bold-subset.ttf and copies
# the font licence to resources/licenses/ and resources/manual/licenses/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
src_dir="${DEJAVU_DIR:-/usr/share/fonts/truetype/dejavu}"
licence_src="/usr/share/doc/fonts-dejavu-core/copyright"
out_dir="$root/resources/editor/fonts"

for need in "$src_dir/DejaVuSans.ttf" "$src_dir/DejaVuSans-Bold.ttf" "$licence_src"; do
  if [ ! -f "$need" ]; then
    echo "make_fonts: $need is missing; run scripts/setup (fonts-dejavu-core)" >&2
    exit 1
  fi
done
if ! command -v pyftsubset >/dev/null 2>&1; then
  echo "make_fonts: pyftsubset is missing; run scripts/setup (fonttools)" >&2
  exit 1
fi

# Printable ASCII, no-break space, degree, plus-minus, micro, multiplication sign, en dash,
# ellipsis and the true minus sign (U+2212) used for negative delay times.
unicodes="U+0020-007E,U+00A0,U+00B0,U+00B1,U+00B5,U+00D7,U+2013,U+2026,U+2212"

subset() {
  local in="$1" out="$2"
  pyftsubset "$in" \
    --unicodes="$unicodes" \
    --output-file="$out" \
    --layout-features='' \
    --drop-tables+=GSUB,GPOS,GDEF,MATH,FFTM \
    --legacy-kern \
    --notdef-glyph --notdef-outline --recommended-glyphs \
    --name-IDs='0,1,2,3,4,5,6,14' \
    --name-languages='0x0409' \
    --no-hinting \
    --no-recalc-timestamp
  echo "make_fonts: wrote ${out#"$root"/} ($(stat -c %s "$out") bytes)"
}

mkdir -p "$out_dir" "$root/resources/licenses" "$root/resources/manual/licenses"
subset "$src_dir/DejaVuSans.ttf" "$out_dir/DejaVuSans-subset.ttf"
subset "$src_dir/DejaVuSans-Bold.ttf" "$out_dir/DejaVuSans-Bold-subset.ttf"
cp "$licence_src" "$root/resources/licenses/DejaVu-LICENSE.txt"
cp "$licence_src" "$root/resources/manual/licenses/DejaVu-LICENSE.txt"
echo "make_fonts: copied the licence to resources/licenses/ and resources/manual/licenses/"
