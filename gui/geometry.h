// Points, rectangles and colours in view coordinates (pixels, y down). Header-only and portable.
#pragma once

#include <algorithm>
#include <cstdint>

namespace VSTGUI {

using CCoord = double;

struct CPoint {
    CCoord x = 0, y = 0;

    CPoint() = default;
    CPoint(CCoord x, CCoord y) : x(x), y(y) {}

    CPoint& offset(CCoord dx, CCoord dy) {
        x += dx;
        y += dy;
        return *this;
    }

    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const CPoint& other) const { return !(*this == other); }
};

// left/top inclusive, right/bottom exclusive.
struct CRect {
    CCoord left = 0, top = 0, right = 0, bottom = 0;

    CRect() = default;
    CRect(CCoord left, CCoord top, CCoord right, CCoord bottom)
        : left(left), top(top), right(right), bottom(bottom) {}

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    CPoint getTopLeft() const { return {left, top}; }
    CPoint getCenter() const { return {left + getWidth() / 2, top + getHeight() / 2}; }
    bool isEmpty() const { return !(right > left && bottom > top); }

    CRect& offset(CCoord dx, CCoord dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }

    bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }

    // True when the two share at least part of a pixel.
    bool rectOverlap(const CRect& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }

    // This rectangle cut to `other`; empty (all zero) when they do not overlap.
    CRect& bound(const CRect& other) {
        if (!rectOverlap(other)) {
            *this = CRect();
            return *this;
        }
        left = std::max(left, other.left);
        top = std::max(top, other.top);
        right = std::min(right, other.right);
        bottom = std::min(bottom, other.bottom);
        return *this;
    }

    // The smallest rectangle holding both; an empty rectangle adds nothing.
    CRect& unite(const CRect& other) {
        if (other.isEmpty())
            return *this;
        if (isEmpty()) {
            *this = other;
            return *this;
        }
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
        return *this;
    }

    bool operator==(const CRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
    bool operator!=(const CRect& other) const { return !(*this == other); }
};

struct CColor {
    uint8_t red = 0, green = 0, blue = 0, alpha = 255;

    constexpr CColor() = default;
    constexpr CColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255)
        : red(red), green(green), blue(blue), alpha(alpha) {}

    bool operator==(const CColor& other) const {
        return red == other.red && green == other.green && blue == other.blue &&
               alpha == other.alpha;
    }
    bool operator!=(const CColor& other) const { return !(*this == other); }
};

}  // namespace VSTGUI
