// Fuzz builds only: GDI+'s colour value and string alignment as the property classes use them
// (same layout and values), without any drawing.
#pragma once

#include <windows.h>

namespace Gdiplus {

typedef DWORD ARGB;

enum StringAlignment {
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2,
};

// Alpha in bits 24 to 31, red 16 to 23, green 8 to 15, blue 0 to 7; opaque black by default.
class Color {
  public:
    Color() : argb(0xFF000000u) {}
    Color(ARGB value) : argb(value) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b)
        : argb(ARGB(a) << 24 | ARGB(r) << 16 | ARGB(g) << 8 | b) {}

    ARGB GetValue() const { return argb; }
    BYTE GetA() const { return BYTE(argb >> 24); }
    BYTE GetR() const { return BYTE(argb >> 16); }
    BYTE GetG() const { return BYTE(argb >> 8); }
    BYTE GetB() const { return BYTE(argb); }

  private:
    ARGB argb;
};

}  // namespace Gdiplus
