// Points and rectangles in view coordinates (pixels, y down). Header-only and portable.
#pragma once

namespace VSTGUI {

struct CPoint {
    double x = 0, y = 0;

    CPoint() = default;
    CPoint(double x, double y) : x(x), y(y) {}

    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const CPoint& other) const { return !(*this == other); }
};

struct CRect {
    double left = 0, top = 0, right = 0, bottom = 0;

    CRect() = default;
    CRect(double left, double top, double right, double bottom)
        : left(left), top(top), right(right), bottom(bottom) {}

    double getWidth() const { return right - left; }
    double getHeight() const { return bottom - top; }

    bool operator==(const CRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
    bool operator!=(const CRect& other) const { return !(*this == other); }
};

}  // namespace VSTGUI
