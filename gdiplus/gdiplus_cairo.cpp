// Matrices, paths, brushes and pens: the geometry and paint the drawing calls consume.
#include <algorithm>
#include <cmath>
#include <new>

#include "gdiplus_cairo_internal.h"

namespace Gdiplus {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Exact at multiples of 90 degrees, where rotations should stay on the pixel grid.
void sinCosDegrees(double degrees, double& s, double& c) {
    double r = std::fmod(degrees, 360.0);
    if (r < 0)
        r += 360.0;
    if (r == 0.0) {
        s = 0, c = 1;
    } else if (r == 90.0) {
        s = 1, c = 0;
    } else if (r == 180.0) {
        s = 0, c = -1;
    } else if (r == 270.0) {
        s = -1, c = 0;
    } else {
        s = std::sin(r * kPi / 180.0);
        c = std::cos(r * kPi / 180.0);
    }
}

void combine(double* m, const Affine t, MatrixOrder order) {
    if (order == MatrixOrderAppend)
        multiplyAffine(m, t, m);
    else
        multiplyAffine(t, m, m);
}

bool validOrder(MatrixOrder order) {
    return order == MatrixOrderPrepend || order == MatrixOrderAppend;
}

cairo_extend_t extendOf(WrapMode mode) {
    switch (mode) {
        case WrapModeClamp:
            return CAIRO_EXTEND_NONE;
        case WrapModeTile:
            return CAIRO_EXTEND_REPEAT;
        default:
            return CAIRO_EXTEND_REFLECT;  // cairo mirrors both ways only
    }
}

bool validWrap(WrapMode mode) {
    return mode >= WrapModeTile && mode <= WrapModeClamp;
}

void addStop(cairo_pattern_t* pattern, double offset, const Color& color) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, color.GetR() / 255.0, color.GetG() / 255.0,
                                      color.GetB() / 255.0, color.GetA() / 255.0);
}

}  // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput*, GdiplusStartupOutput* output) {
    if (token)
        *token = 1;
    if (output)
        *output = GdiplusStartupOutput{};
    return Ok;
}

void GdiplusShutdown(ULONG_PTR) {}

void multiplyAffine(const Affine a, const Affine b, Affine out) {
    const double r[6] = {a[0] * b[0] + a[1] * b[2],        a[0] * b[1] + a[1] * b[3],
                         a[2] * b[0] + a[3] * b[2],        a[2] * b[1] + a[3] * b[3],
                         a[4] * b[0] + a[5] * b[2] + b[4], a[4] * b[1] + a[5] * b[3] + b[5]};
    std::copy(r, r + 6, out);
}

cairo_matrix_t toCairo(const Affine e) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, e[0], e[1], e[2], e[3], e[4], e[5]);
    return m;
}

bool invertible(const Affine e, cairo_matrix_t* inverse) {
    cairo_matrix_t m = toCairo(e);
    const bool ok = cairo_matrix_invert(&m) == CAIRO_STATUS_SUCCESS &&
                    std::all_of(e, e + 6, [](double x) { return std::isfinite(x); });
    if (ok && inverse)
        *inverse = m;
    return ok;
}

std::uint32_t premultiply(ARGB argb) {
    const std::uint32_t a = argb >> 24;
    const auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | scale(argb >> 16 & 0xFF) << 16 | scale(argb >> 8 & 0xFF) << 8 |
           scale(argb & 0xFF);
}

ARGB unpremultiply(std::uint32_t pixel) {
    const std::uint32_t a = pixel >> 24;
    if (a == 0)
        return 0;
    const auto scale = [a](std::uint32_t c) {
        return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
    };
    return a << 24 | scale(pixel >> 16 & 0xFF) << 16 | scale(pixel >> 8 & 0xFF) << 8 |
           scale(pixel & 0xFF);
}

cairo_pattern_t* solidPattern(const Color& color) {
    return cairo_pattern_create_rgba(color.GetR() / 255.0, color.GetG() / 255.0,
                                     color.GetB() / 255.0, color.GetA() / 255.0);
}

void Internal::setElements(Matrix& matrix, const Affine e) {
    std::copy(e, e + 6, matrix.e);
}

// GDI+ keeps the last failure until it is read.
#define GDIPLUS_RECORD(Class)                   \
    Status Class::record(Status status) const { \
        if (status != Ok)                       \
            lastResult = status;                \
        return status;                          \
    }                                           \
    Status Class::GetLastStatus() const {       \
        const Status last = lastResult;         \
        lastResult = Ok;                        \
        return last;                            \
    }
GDIPLUS_RECORD(Matrix)
GDIPLUS_RECORD(GraphicsPath)
GDIPLUS_RECORD(Brush)
GDIPLUS_RECORD(Pen)
GDIPLUS_RECORD(Image)
GDIPLUS_RECORD(ImageAttributes)
GDIPLUS_RECORD(FontCollection)
GDIPLUS_RECORD(FontFamily)
GDIPLUS_RECORD(Font)
GDIPLUS_RECORD(StringFormat)
GDIPLUS_RECORD(Graphics)
#undef GDIPLUS_RECORD

// Matrix

Matrix::Matrix(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy)
    : e{m11, m12, m21, m22, dx, dy} {}

Matrix* Matrix::Clone() const {
    auto* copy = new (std::nothrow) Matrix;
    if (copy)
        std::copy(e, e + 6, copy->e);
    return copy;
}

Status Matrix::GetElements(REAL* m) const {
    if (!m)
        return record(InvalidParameter);
    for (int i = 0; i < 6; ++i)
        m[i] = static_cast<REAL>(e[i]);
    return Ok;
}

Status Matrix::SetElements(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) {
    const double next[6] = {m11, m12, m21, m22, dx, dy};
    std::copy(next, next + 6, e);
    return Ok;
}

Status Matrix::Reset() {
    return SetElements(1, 0, 0, 1, 0, 0);
}

Status Matrix::Multiply(const Matrix* matrix, MatrixOrder order) {
    if (!matrix || !validOrder(order))
        return record(InvalidParameter);
    const double t[6] = {matrix->e[0], matrix->e[1], matrix->e[2],
                         matrix->e[3], matrix->e[4], matrix->e[5]};
    combine(e, t, order);
    return Ok;
}

Status Matrix::Translate(REAL offsetX, REAL offsetY, MatrixOrder order) {
    if (!validOrder(order))
        return record(InvalidParameter);
    const double t[6] = {1, 0, 0, 1, offsetX, offsetY};
    combine(e, t, order);
    return Ok;
}

Status Matrix::Scale(REAL scaleX, REAL scaleY, MatrixOrder order) {
    if (!validOrder(order))
        return record(InvalidParameter);
    const double t[6] = {scaleX, 0, 0, scaleY, 0, 0};
    combine(e, t, order);
    return Ok;
}

Status Matrix::Rotate(REAL angle, MatrixOrder order) {
    if (!validOrder(order))
        return record(InvalidParameter);
    double s = 0, c = 1;
    sinCosDegrees(angle, s, c);
    const double t[6] = {c, s, -s, c, 0, 0};
    combine(e, t, order);
    return Ok;
}

Status Matrix::RotateAt(REAL angle, const PointF& center, MatrixOrder order) {
    if (!validOrder(order))
        return record(InvalidParameter);
    double s = 0, c = 1;
    sinCosDegrees(angle, s, c);
    // Move the centre to the origin, turn, move it back.
    double t[6] = {1, 0, 0, 1, -double(center.X), -double(center.Y)};
    const double turn[6] = {c, s, -s, c, 0, 0};
    const double back[6] = {1, 0, 0, 1, center.X, center.Y};
    multiplyAffine(t, turn, t);
    multiplyAffine(t, back, t);
    combine(e, t, order);
    return Ok;
}

Status Matrix::Invert() {
    cairo_matrix_t m;
    if (!invertible(e, &m))
        return record(InvalidParameter);
    const double inverse[6] = {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
    std::copy(inverse, inverse + 6, e);
    return Ok;
}

bool Matrix::IsInvertible() const {
    return invertible(e);
}

bool Matrix::IsIdentity() const {
    return e[0] == 1 && e[1] == 0 && e[2] == 0 && e[3] == 1 && e[4] == 0 && e[5] == 0;
}

Status Matrix::TransformPoints(PointF* points, INT count) const {
    if (!points || count <= 0)
        return record(InvalidParameter);
    for (INT i = 0; i < count; ++i) {
        const double x = points[i].X, y = points[i].Y;
        points[i] = PointF(static_cast<REAL>(e[0] * x + e[2] * y + e[4]),
                           static_cast<REAL>(e[1] * x + e[3] * y + e[5]));
    }
    return Ok;
}

// GraphicsPath

GraphicsPath::GraphicsPath(FillMode fillMode) : fillMode(fillMode) {
    if (fillMode != FillModeAlternate && fillMode != FillModeWinding) {
        this->fillMode = FillModeAlternate;
        lastResult = InvalidParameter;
    }
}

GraphicsPath* GraphicsPath::Clone() const {
    auto* copy = new (std::nothrow) GraphicsPath(fillMode);
    if (!copy)
        return nullptr;
    try {
        copy->points = points;
        copy->types = types;
        copy->figureOpen = figureOpen;
    } catch (...) {
        delete copy;
        return nullptr;
    }
    return copy;
}

Status GraphicsPath::Reset() {
    points.clear();
    types.clear();
    figureOpen = false;
    fillMode = FillModeAlternate;
    return Ok;
}

Status GraphicsPath::CloseFigure() {
    if (figureOpen && !types.empty())
        types.back() |= kCloseSubpath;
    figureOpen = false;
    return Ok;
}

Status GraphicsPath::append(const PointF* added, INT count, BYTE type, bool joined) {
    try {
        points.reserve(points.size() + std::size_t(count) + 1);
        types.reserve(points.capacity());
        INT first = 0;
        if (joined && figureOpen && !points.empty()) {
            // Joined by a line to the open figure; a point on its end adds nothing.
            if (!added[0].Equals(points.back())) {
                points.push_back(added[0]);
                types.push_back(kLine);
            }
            first = 1;
        } else {
            points.push_back(added[0]);
            types.push_back(kStart);
            first = 1;
        }
        for (INT i = first; i < count; ++i) {
            points.push_back(added[i]);
            types.push_back(type);
        }
        figureOpen = true;
        return Ok;
    } catch (...) {
        return record(OutOfMemory);
    }
}

Status GraphicsPath::AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
    const PointF line[2] = {PointF(x1, y1), PointF(x2, y2)};
    return AddLines(line, 2);
}

Status GraphicsPath::AddLine(const PointF& pt1, const PointF& pt2) {
    return AddLine(pt1.X, pt1.Y, pt2.X, pt2.Y);
}

Status GraphicsPath::AddLines(const PointF* added, INT count) {
    if (!added || count <= 0)
        return record(InvalidParameter);
    return append(added, count, kLine, true);
}

Status GraphicsPath::AddBezier(const PointF& pt1, const PointF& pt2, const PointF& pt3,
                               const PointF& pt4) {
    const PointF curve[4] = {pt1, pt2, pt3, pt4};
    return AddBeziers(curve, 4);
}

Status GraphicsPath::AddBeziers(const PointF* added, INT count) {
    if (!added || count < 4 || (count - 1) % 3 != 0)
        return record(InvalidParameter);
    return append(added, count, kBezier, true);
}

Status GraphicsPath::AddArc(const RectF& rect, REAL startAngle, REAL sweepAngle) {
    return AddArc(rect.X, rect.Y, rect.Width, rect.Height, startAngle, sweepAngle);
}

// GDI+ measures the angles on the ellipse as drawn (the direction from its centre), not on the
// circle it is stretched from; the Béziers follow the stretched circle in steps of at most 90
// degrees.
Status GraphicsPath::AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                            REAL sweepAngle) {
    if (!(width > 0 && height > 0) || !std::isfinite(startAngle) || !std::isfinite(sweepAngle))
        return record(InvalidParameter);
    const double rx = width / 2.0, ry = height / 2.0;
    const double cx = x + rx, cy = y + ry;
    const double sweep = std::clamp(double(sweepAngle), -360.0, 360.0);
    const auto parameter = [rx, ry](double degrees) {
        const double theta = degrees * kPi / 180.0;
        const double t = std::atan2(rx * std::sin(theta), ry * std::cos(theta));
        // The same quadrant as theta: unwrap onto it so that whole turns survive.
        return t + 2 * kPi * std::round((theta - t) / (2 * kPi));
    };
    const double t0 = parameter(startAngle);
    const double t1 = parameter(double(startAngle) + sweep);
    const int steps = std::max(1, int(std::ceil(std::abs(t1 - t0) / (kPi / 2) - 1e-9)));
    const double step = (t1 - t0) / steps;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    std::vector<PointF> curve;
    try {
        curve.reserve(std::size_t(3 * steps + 1));
        const auto at = [&](double t, double along) {
            const double c = std::cos(t), s = std::sin(t);
            return PointF(static_cast<REAL>(cx + rx * c - along * rx * s),
                          static_cast<REAL>(cy + ry * s + along * ry * c));
        };
        curve.push_back(at(t0, 0));
        for (int i = 0; i < steps; ++i) {
            const double a = t0 + i * step, b = a + step;
            curve.push_back(at(a, k));
            curve.push_back(at(b, -k));
            curve.push_back(at(b, 0));
        }
    } catch (...) {
        return record(OutOfMemory);
    }
    return append(curve.data(), INT(curve.size()), kBezier, true);
}

Status GraphicsPath::AddEllipse(const RectF& rect) {
    return AddEllipse(rect.X, rect.Y, rect.Width, rect.Height);
}

// Four quarter Béziers clockwise from the rightmost point, a closed figure of its own.
Status GraphicsPath::AddEllipse(REAL x, REAL y, REAL width, REAL height) {
    constexpr double k = 0.5522847498307936;  // 4/3 (sqrt 2 - 1)
    const double rx = width / 2.0, ry = height / 2.0, cx = x + rx, cy = y + ry;
    const auto p = [](double px, double py) {
        return PointF(static_cast<REAL>(px), static_cast<REAL>(py));
    };
    const PointF ellipse[13] = {p(cx + rx, cy), p(cx + rx, cy + k * ry), p(cx + k * rx, cy + ry),
                                p(cx, cy + ry), p(cx - k * rx, cy + ry), p(cx - rx, cy + k * ry),
                                p(cx - rx, cy), p(cx - rx, cy - k * ry), p(cx - k * rx, cy - ry),
                                p(cx, cy - ry), p(cx + k * rx, cy - ry), p(cx + rx, cy - k * ry),
                                p(cx + rx, cy)};
    figureOpen = false;
    const Status status = append(ellipse, 13, kBezier, false);
    CloseFigure();
    return status;
}

Status GraphicsPath::AddRectangle(const RectF& rect) {
    const PointF corners[4] = {PointF(rect.X, rect.Y), PointF(rect.X + rect.Width, rect.Y),
                               PointF(rect.X + rect.Width, rect.Y + rect.Height),
                               PointF(rect.X, rect.Y + rect.Height)};
    figureOpen = false;
    const Status status = append(corners, 4, kLine, false);
    CloseFigure();
    return status;
}

Status GraphicsPath::Transform(const Matrix* matrix) {
    if (!matrix)
        return Ok;  // as GDI+: nothing to apply
    return matrix->TransformPoints(points.data(), INT(points.size())) == Ok || points.empty()
               ? Ok
               : record(InvalidParameter);
}

Status GraphicsPath::GetBounds(RectF* bounds, const Matrix* matrix, const Pen* pen) const {
    if (!bounds)
        return record(InvalidParameter);
    if (points.empty()) {
        *bounds = RectF();
        return Ok;
    }
    double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (PointF point : points) {
        if (matrix)
            matrix->TransformPoints(&point, 1);
        left = std::min(left, double(point.X));
        top = std::min(top, double(point.Y));
        right = std::max(right, double(point.X));
        bottom = std::max(bottom, double(point.Y));
    }
    const double grow = pen ? pen->GetWidth() / 2.0 : 0.0;
    *bounds = RectF(static_cast<REAL>(left - grow), static_cast<REAL>(top - grow),
                    static_cast<REAL>(right - left + 2 * grow),
                    static_cast<REAL>(bottom - top + 2 * grow));
    return Ok;
}

Status GraphicsPath::GetPathPoints(PointF* out, INT count) const {
    if (!out || count < 0 || std::size_t(count) < points.size())
        return record(InvalidParameter);
    std::copy(points.begin(), points.end(), out);
    return Ok;
}

Status GraphicsPath::GetPathTypes(BYTE* out, INT count) const {
    if (!out || count < 0 || std::size_t(count) < types.size())
        return record(InvalidParameter);
    std::copy(types.begin(), types.end(), out);
    return Ok;
}

// Brushes

Brush::~Brush() = default;

SolidBrush::SolidBrush(const Color& color) : Brush(BrushTypeSolidColor), color(color) {}

Status SolidBrush::GetColor(Color* out) const {
    if (!out)
        return record(InvalidParameter);
    *out = color;
    return Ok;
}

Status SolidBrush::SetColor(const Color& next) {
    color = next;
    return Ok;
}

cairo_pattern_t* SolidBrush::makePattern(int) const {
    return solidPattern(color);
}

LinearGradientBrush::LinearGradientBrush(const PointF& point1, const PointF& point2,
                                         const Color& color1, const Color& color2)
    : Brush(BrushTypeLinearGradient), p1(point1), p2(point2), c1(color1), c2(color2) {
    if (point1.Equals(point2))
        lastResult = OutOfMemory;  // GDI+'s answer for a gradient without a direction
}

cairo_pattern_t* LinearGradientBrush::makePattern(int) const {
    if (p1.Equals(p2))
        return nullptr;
    cairo_pattern_t* pattern = cairo_pattern_create_linear(p1.X, p1.Y, p2.X, p2.Y);
    addStop(pattern, 0, c1);
    addStop(pattern, 1, c2);
    cairo_pattern_set_extend(pattern, extendOf(wrapMode));
    return pattern;
}

PathGradientBrush::PathGradientBrush(const GraphicsPath* path) : Brush(BrushTypePathGradient) {
    if (!path || path->GetPointCount() == 0) {
        lastResult = InvalidParameter;
        return;
    }
    path->GetBounds(&bounds);
    center = PointF(bounds.X + bounds.Width / 2, bounds.Y + bounds.Height / 2);
    pointCount = path->GetPointCount();
}

Status PathGradientBrush::SetCenterColor(const Color& color) {
    centerColor = color;
    return Ok;
}

Status PathGradientBrush::SetSurroundColors(const Color* colors, INT* count) {
    if (!colors || !count || *count <= 0 || *count > pointCount)
        return record(InvalidParameter);
    surroundColor = colors[0];
    return Ok;
}

// In a space where the bounding ellipse is the unit circle: from the centre point (radius 0)
// out to that circle.
cairo_pattern_t* PathGradientBrush::makePattern(int) const {
    const double rx = bounds.Width / 2.0, ry = bounds.Height / 2.0;
    if (!(rx > 0 && ry > 0) || !std::isfinite(rx) || !std::isfinite(ry))
        return nullptr;
    const double cx = bounds.X + rx, cy = bounds.Y + ry;
    cairo_pattern_t* pattern =
        cairo_pattern_create_radial((center.X - cx) / rx, (center.Y - cy) / ry, 0, 0, 0, 1);
    addStop(pattern, 0, centerColor);
    addStop(pattern, 1, surroundColor);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_matrix_t toUnit;
    cairo_matrix_init_scale(&toUnit, 1 / rx, 1 / ry);
    cairo_matrix_translate(&toUnit, -cx, -cy);
    cairo_pattern_set_matrix(pattern, &toUnit);
    return pattern;
}

TextureBrush::TextureBrush(Image* image, WrapMode wrapMode)
    : Brush(BrushTypeTextureFill), wrapMode(wrapMode) {
    cairo_surface_t* source = image ? Internal::surface(*image) : nullptr;
    if (!source || !validWrap(wrapMode)) {
        lastResult = InvalidParameter;
        return;
    }
    // A copy, as GDI+ takes: later changes to the image do not show through the brush.
    const int width = cairo_image_surface_get_width(source);
    const int height = cairo_image_surface_get_height(source);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(copy);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_paint(cr);
    const bool painted = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    if (!painted || cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(copy);
        lastResult = OutOfMemory;
        return;
    }
    texture = copy;
}

TextureBrush::~TextureBrush() {
    if (texture)
        cairo_surface_destroy(texture);
}

Status TextureBrush::SetTransform(const Matrix* matrix) {
    if (!matrix || !matrix->IsInvertible())
        return record(InvalidParameter);
    const double* e = Internal::elements(*matrix);
    std::copy(e, e + 6, transform);
    return Ok;
}

Status TextureBrush::GetTransform(Matrix* matrix) const {
    if (!matrix)
        return record(InvalidParameter);
    Internal::setElements(*matrix, transform);
    return Ok;
}

Status TextureBrush::ResetTransform() {
    const double identity[6] = {1, 0, 0, 1, 0, 0};
    std::copy(identity, identity + 6, transform);
    return Ok;
}

cairo_pattern_t* TextureBrush::makePattern(int filter) const {
    if (!texture)
        return nullptr;
    cairo_matrix_t toTexture = toCairo(transform);
    if (cairo_matrix_invert(&toTexture) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(texture);
    cairo_pattern_set_matrix(pattern, &toTexture);
    cairo_pattern_set_extend(pattern, extendOf(wrapMode));
    cairo_pattern_set_filter(pattern, static_cast<cairo_filter_t>(filter));
    return pattern;
}

// Pen

Pen::Pen(const Color& color, REAL width) : color(color), width(width) {
    if (!(width >= 0) || !std::isfinite(width))
        lastResult = InvalidParameter;
}

Status Pen::SetColor(const Color& next) {
    color = next;
    return Ok;
}

Status Pen::GetColor(Color* out) const {
    if (!out)
        return record(InvalidParameter);
    *out = color;
    return Ok;
}

Status Pen::SetWidth(REAL next) {
    if (!(next >= 0) || !std::isfinite(next))
        return record(InvalidParameter);
    width = next;
    return Ok;
}

// ImageAttributes

Status ImageAttributes::SetColorMatrix(const ColorMatrix* colorMatrix, ColorMatrixFlags,
                                       ColorAdjustType) {
    if (!colorMatrix || !std::isfinite(colorMatrix->m[3][3]))
        return record(InvalidParameter);
    alpha = std::clamp(colorMatrix->m[3][3], 0.0f, 1.0f);
    return Ok;
}

}  // namespace Gdiplus
