// Graphics: GDI+'s state (transform, clip, modes, saved states) kept here and handed to a cairo
// context on the image before each drawing.
#include <algorithm>
#include <cmath>
#include <new>

#include "gdiplus_cairo_internal.h"

namespace Gdiplus {
namespace {

bool antialiased(SmoothingMode mode) {
    return mode == SmoothingModeHighQuality || mode == SmoothingModeAntiAlias ||
           mode == SmoothingModeAntiAlias8x8;
}

bool allFinite(const std::vector<PointF>& points) {
    return std::all_of(points.begin(), points.end(),
                       [](const PointF& p) { return std::isfinite(p.X) && std::isfinite(p.Y); });
}

// False for a path cairo should not see (a coordinate that is not finite).
bool emitPath(cairo_t* cr, const GraphicsPath& path) {
    const std::vector<PointF>& points = Internal::points(path);
    const std::vector<BYTE>& types = Internal::types(path);
    if (!allFinite(points))
        return false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int kind = types[i] & 0x07;
        if (kind == GraphicsPath::kStart) {
            cairo_move_to(cr, points[i].X, points[i].Y);
        } else if (kind == GraphicsPath::kBezier && i + 2 < points.size()) {
            cairo_curve_to(cr, points[i].X, points[i].Y, points[i + 1].X, points[i + 1].Y,
                           points[i + 2].X, points[i + 2].Y);
            i += 2;
        } else {
            cairo_line_to(cr, points[i].X, points[i].Y);
        }
        if (types[i] & GraphicsPath::kCloseSubpath)
            cairo_close_path(cr);
    }
    return true;
}

bool finiteRect(double x, double y, double w, double h) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(w) && std::isfinite(h);
}

// World to device: `halfPixel` moves integer coordinates onto cairo's pixel centres.
void toDevice(const Affine world, bool halfPixel, Affine device) {
    std::copy(world, world + 6, device);
    if (halfPixel) {
        device[4] += 0.5;
        device[5] += 0.5;
    }
}

}  // namespace

Graphics::Graphics(Image* image) {
    cairo_surface_t* surface = image ? Internal::surface(*image) : nullptr;
    if (!surface) {
        lastResult = InvalidParameter;
        return;
    }
    cairo_t* made = cairo_create(surface);
    if (cairo_status(made) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(made);
        lastResult = OutOfMemory;
        return;
    }
    cr = made;
    target = cairo_surface_reference(surface);
}

Graphics::~Graphics() {
    if (cr)
        cairo_destroy(cr);
    if (target)
        cairo_surface_destroy(target);
}

Graphics* Graphics::FromImage(Image* image) {
    return new (std::nothrow) Graphics(image);
}

Status Graphics::Flush() {
    if (target)
        cairo_surface_flush(target);
    return Ok;
}

bool Internal::pixelCentresAtIntegers(const Graphics& graphics) {
    return graphics.pixelOffset != PixelOffsetModeHalf &&
           graphics.pixelOffset != PixelOffsetModeHighQuality;
}

int Internal::filter(const Graphics& graphics) {
    switch (graphics.interpolation) {
        case InterpolationModeNearestNeighbor:
            return CAIRO_FILTER_NEAREST;
        case InterpolationModeHighQuality:
        case InterpolationModeHighQualityBilinear:
            return CAIRO_FILTER_GOOD;  // box-filters when shrinking, as GDI+'s high quality does
        case InterpolationModeBicubic:
        case InterpolationModeHighQualityBicubic:
            return CAIRO_FILTER_BEST;
        default:
            return CAIRO_FILTER_BILINEAR;
    }
}

Status Internal::recover(Graphics& graphics) {
    cairo_t* fresh = cairo_create(graphics.target);
    if (cairo_status(fresh) == CAIRO_STATUS_SUCCESS) {
        cairo_destroy(graphics.cr);
        graphics.cr = fresh;
        graphics.clipDirty = true;
    } else {
        cairo_destroy(fresh);
    }
    return graphics.record(GenericError);
}

Status Internal::prepare(Graphics& g) {
    if (!g.cr)
        return g.record(InvalidParameter);
    if (cairo_status(g.cr) != CAIRO_STATUS_SUCCESS) {
        recover(g);
        if (cairo_status(g.cr) != CAIRO_STATUS_SUCCESS)
            return g.record(GenericError);
    }
    cairo_t* cr = g.cr;
    if (g.clipDirty) {
        // GDI+ clips whole pixels: no antialiasing on the clip's edges.
        cairo_reset_clip(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        for (const Graphics::ClipStep& step : g.clip) {
            cairo_new_path(cr);
            if (invertible(step.device)) {
                const cairo_matrix_t m = toCairo(step.device);
                cairo_set_matrix(cr, &m);
                cairo_rectangle(cr, step.rect.X, step.rect.Y, step.rect.Width, step.rect.Height);
            } else {
                cairo_identity_matrix(cr);  // a clip that holds nothing
                cairo_rectangle(cr, 0, 0, 0, 0);
            }
            cairo_clip(cr);
        }
        g.clipDirty = false;
    }
    cairo_set_antialias(cr,
                        antialiased(g.smoothing) ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(cr, g.compositing == CompositingModeSourceCopy ? CAIRO_OPERATOR_SOURCE
                                                                      : CAIRO_OPERATOR_OVER);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    return Ok;
}

Status Internal::begin(Graphics& g, bool offset) {
    const Status ready = prepare(g);
    if (ready != Ok)
        return ready;
    double device[6];
    toDevice(g.world, offset && pixelCentresAtIntegers(g), device);
    if (!invertible(device))
        return g.record(InvalidParameter);
    const cairo_matrix_t m = toCairo(device);
    cairo_set_matrix(g.cr, &m);
    return Ok;
}

Status Internal::finish(Graphics& graphics) {
    cairo_new_path(graphics.cr);
    if (cairo_status(graphics.cr) != CAIRO_STATUS_SUCCESS)
        return recover(graphics);
    return Ok;
}

namespace {

template <class Emit>
Status fill(Graphics& graphics, const Brush* brush, cairo_fill_rule_t rule, Emit emit) {
    if (!brush)
        return Internal::record(graphics, InvalidParameter);
    const Status ready = Internal::begin(graphics);
    if (ready != Ok)
        return ready;
    cairo_t* cr = Internal::context(graphics);
    if (!emit(cr))
        return Internal::record(graphics, InvalidParameter);
    cairo_pattern_t* pattern = Internal::pattern(*brush, Internal::filter(graphics));
    if (!pattern) {
        cairo_new_path(cr);
        return Internal::record(graphics, InvalidParameter);
    }
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_set_fill_rule(cr, rule);
    cairo_fill(cr);
    return Internal::finish(graphics);
}

template <class Emit>
Status stroke(Graphics& graphics, const Pen* pen, Emit emit) {
    if (!pen || !(pen->GetWidth() >= 0) || !std::isfinite(pen->GetWidth()))
        return Internal::record(graphics, InvalidParameter);
    const Status ready = Internal::begin(graphics);
    if (ready != Ok)
        return ready;
    cairo_t* cr = Internal::context(graphics);
    if (!emit(cr))
        return Internal::record(graphics, InvalidParameter);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, 10);
    if (pen->GetWidth() == 0) {
        // The path is already in device space; the pen is one device pixel.
        cairo_identity_matrix(cr);
        cairo_set_line_width(cr, 1);
    } else {
        cairo_set_line_width(cr, pen->GetWidth());
    }
    cairo_pattern_t* pattern = solidPattern(Internal::color(*pen));
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_stroke(cr);
    return Internal::finish(graphics);
}

cairo_fill_rule_t ruleOf(FillMode mode) {
    return mode == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD;
}

}  // namespace

// States

GraphicsState Graphics::Save() {
    try {
        saved.push_back(Saved{nextState,
                              {world[0], world[1], world[2], world[3], world[4], world[5]},
                              smoothing,
                              pixelOffset,
                              compositing,
                              interpolation,
                              clip});
    } catch (...) {
        record(OutOfMemory);
        return 0;
    }
    return nextState++;
}

Status Graphics::Restore(GraphicsState state) {
    const auto found =
        std::find_if(saved.begin(), saved.end(), [state](const Saved& s) { return s.id == state; });
    if (found == saved.end())
        return Ok;  // as GDI+: an unknown or already restored state changes nothing
    std::copy(found->world, found->world + 6, world);
    smoothing = found->smoothing;
    pixelOffset = found->pixelOffset;
    compositing = found->compositing;
    interpolation = found->interpolation;
    clip.swap(found->clip);
    clipDirty = true;
    saved.erase(found, saved.end());
    return Ok;
}

// Transform

Status Graphics::ResetTransform() {
    const double identity[6] = {1, 0, 0, 1, 0, 0};
    std::copy(identity, identity + 6, world);
    return Ok;
}

Status Graphics::SetTransform(const Matrix* matrix) {
    if (!matrix)
        return record(InvalidParameter);
    const double* e = Internal::elements(*matrix);
    std::copy(e, e + 6, world);
    return Ok;
}

Status Graphics::GetTransform(Matrix* matrix) const {
    if (!matrix)
        return record(InvalidParameter);
    Internal::setElements(*matrix, world);
    return Ok;
}

Status Graphics::MultiplyTransform(const Matrix* matrix, MatrixOrder order) {
    if (!matrix)
        return record(InvalidParameter);
    Matrix current;
    Internal::setElements(current, world);
    const Status status = current.Multiply(matrix, order);
    if (status != Ok)
        return record(status);
    return SetTransform(&current);
}

Status Graphics::TranslateTransform(REAL dx, REAL dy, MatrixOrder order) {
    Matrix t;
    t.Translate(dx, dy);
    return MultiplyTransform(&t, order);
}

Status Graphics::ScaleTransform(REAL sx, REAL sy, MatrixOrder order) {
    Matrix t;
    t.Scale(sx, sy);
    return MultiplyTransform(&t, order);
}

// Clip

Status Graphics::SetClip(const RectF& rect, CombineMode combineMode) {
    if (combineMode != CombineModeReplace && combineMode != CombineModeIntersect)
        return record(NotImplemented);
    if (!finiteRect(rect.X, rect.Y, rect.Width, rect.Height))
        return record(InvalidParameter);
    ClipStep step{{}, rect};
    toDevice(world, Internal::pixelCentresAtIntegers(*this), step.device);
    try {
        if (combineMode == CombineModeReplace)
            clip.clear();
        clip.push_back(step);
    } catch (...) {
        return record(OutOfMemory);
    }
    clipDirty = true;
    return Ok;
}

Status Graphics::SetClip(const Rect& rect, CombineMode combineMode) {
    return SetClip(RectF(REAL(rect.X), REAL(rect.Y), REAL(rect.Width), REAL(rect.Height)),
                   combineMode);
}

Status Graphics::ResetClip() {
    clip.clear();
    clipDirty = true;
    return Ok;
}

// Modes

Status Graphics::SetSmoothingMode(SmoothingMode mode) {
    if (mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias8x8)
        return record(InvalidParameter);
    smoothing = mode;
    return Ok;
}

Status Graphics::SetPixelOffsetMode(PixelOffsetMode mode) {
    if (mode < PixelOffsetModeDefault || mode > PixelOffsetModeHalf)
        return record(InvalidParameter);
    pixelOffset = mode;
    return Ok;
}

Status Graphics::SetCompositingMode(CompositingMode mode) {
    if (mode != CompositingModeSourceOver && mode != CompositingModeSourceCopy)
        return record(InvalidParameter);
    compositing = mode;
    return Ok;
}

Status Graphics::SetInterpolationMode(InterpolationMode mode) {
    if (mode < InterpolationModeDefault || mode > InterpolationModeHighQualityBicubic)
        return record(InvalidParameter);
    interpolation = mode;
    return Ok;
}

// Drawing

Status Graphics::Clear(const Color& color) {
    const Status ready = Internal::prepare(*this);
    if (ready != Ok)
        return ready;
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, color.GetR() / 255.0, color.GetG() / 255.0, color.GetB() / 255.0,
                          color.GetA() / 255.0);
    cairo_paint(cr);
    return Internal::finish(*this);
}

Status Graphics::FillRectangle(const Brush* brush, const RectF& rect) {
    return FillRectangle(brush, rect.X, rect.Y, rect.Width, rect.Height);
}

Status Graphics::FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height) {
    return fill(*this, brush, CAIRO_FILL_RULE_WINDING, [&](cairo_t* context) {
        if (!finiteRect(x, y, width, height))
            return false;
        if (width > 0 && height > 0)
            cairo_rectangle(context, x, y, width, height);
        return true;
    });
}

Status Graphics::FillRectangle(const Brush* brush, const Rect& rect) {
    return FillRectangle(brush, REAL(rect.X), REAL(rect.Y), REAL(rect.Width), REAL(rect.Height));
}

Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height) {
    return FillRectangle(brush, REAL(x), REAL(y), REAL(width), REAL(height));
}

Status Graphics::FillEllipse(const Brush* brush, const RectF& rect) {
    return FillEllipse(brush, rect.X, rect.Y, rect.Width, rect.Height);
}

Status Graphics::FillEllipse(const Brush* brush, REAL x, REAL y, REAL width, REAL height) {
    GraphicsPath ellipse;
    if (ellipse.AddEllipse(x, y, width, height) != Ok)
        return record(OutOfMemory);
    return FillPath(brush, &ellipse);
}

Status Graphics::FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height) {
    return FillEllipse(brush, REAL(x), REAL(y), REAL(width), REAL(height));
}

Status Graphics::FillPath(const Brush* brush, const GraphicsPath* path) {
    if (!path)
        return record(InvalidParameter);
    return fill(*this, brush, ruleOf(path->GetFillMode()),
                [path](cairo_t* context) { return emitPath(context, *path); });
}

Status Graphics::DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
    return stroke(*this, pen, [&](cairo_t* context) {
        if (!finiteRect(x1, y1, x2, y2))
            return false;
        cairo_move_to(context, x1, y1);
        cairo_line_to(context, x2, y2);
        return true;
    });
}

Status Graphics::DrawLine(const Pen* pen, const PointF& pt1, const PointF& pt2) {
    return DrawLine(pen, pt1.X, pt1.Y, pt2.X, pt2.Y);
}

Status Graphics::DrawLine(const Pen* pen, INT x1, INT y1, INT x2, INT y2) {
    return DrawLine(pen, REAL(x1), REAL(y1), REAL(x2), REAL(y2));
}

Status Graphics::DrawPath(const Pen* pen, const GraphicsPath* path) {
    if (!path)
        return record(InvalidParameter);
    return stroke(*this, pen, [path](cairo_t* context) { return emitPath(context, *path); });
}

// Images

Status Graphics::DrawImage(Image* image, REAL x, REAL y) {
    const REAL width = image ? REAL(image->GetWidth()) : 0,
               height = image ? REAL(image->GetHeight()) : 0;
    return DrawImage(image, RectF(x, y, width, height), 0, 0, width, height, UnitPixel);
}

Status Graphics::DrawImage(Image* image, INT x, INT y) {
    return DrawImage(image, REAL(x), REAL(y));
}

Status Graphics::DrawImage(Image* image, const PointF& point) {
    return DrawImage(image, point.X, point.Y);
}

Status Graphics::DrawImage(Image* image, const RectF& destRect) {
    const REAL width = image ? REAL(image->GetWidth()) : 0,
               height = image ? REAL(image->GetHeight()) : 0;
    return DrawImage(image, destRect, 0, 0, width, height, UnitPixel);
}

Status Graphics::DrawImage(Image* image, const Rect& destRect) {
    return DrawImage(image, RectF(REAL(destRect.X), REAL(destRect.Y), REAL(destRect.Width),
                                  REAL(destRect.Height)));
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height) {
    return DrawImage(image, RectF(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
    return DrawImage(image, RectF(REAL(x), REAL(y), REAL(width), REAL(height)));
}

// The source rectangle is mapped onto the destination and filled from the image. With pixel
// centres at integers GDI+ still copies an unscaled, unturned image pixel for pixel from the
// destination's corner, so that case leaves out the half-pixel shift; scaled or turned images
// take it like any other drawing.
Status Graphics::DrawImage(Image* image, const RectF& destRect, REAL srcx, REAL srcy, REAL srcwidth,
                           REAL srcheight, Unit srcUnit, const ImageAttributes* imageAttributes) {
    cairo_surface_t* source = image ? Internal::surface(*image) : nullptr;
    if (!source || source == target)
        return record(InvalidParameter);
    if (srcUnit != UnitPixel && srcUnit != UnitWorld && srcUnit != UnitDisplay)
        return record(NotImplemented);
    if (!(srcwidth > 0 && srcheight > 0) ||
        !finiteRect(destRect.X, destRect.Y, destRect.Width, destRect.Height) ||
        !finiteRect(srcx, srcy, srcwidth, srcheight))
        return record(InvalidParameter);
    if (destRect.Width == 0 || destRect.Height == 0)
        return Ok;
    const double sx = double(destRect.Width) / srcwidth, sy = double(destRect.Height) / srcheight;
    const double toDest[6] = {sx, 0, 0, sy, destRect.X - srcx * sx, destRect.Y - srcy * sy};
    double full[6];
    multiplyAffine(toDest, world, full);
    const auto near = [](double a, double b) { return std::abs(a - b) < 1e-9; };
    const bool copy = near(full[0], 1) && near(full[1], 0) && near(full[2], 0) && near(full[3], 1);
    const Status ready = Internal::begin(*this, !copy);
    if (ready != Ok)
        return ready;
    const cairo_matrix_t m = toCairo(toDest);
    cairo_transform(cr, &m);  // user space is now the image's pixels
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
    cairo_pattern_set_filter(pattern, static_cast<cairo_filter_t>(Internal::filter(*this)));
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
    cairo_rectangle(cr, srcx, srcy, srcwidth, srcheight);
    const double alpha = imageAttributes ? Internal::alpha(*imageAttributes) : 1.0;
    if (alpha >= 1.0) {
        cairo_set_source(cr, pattern);
        cairo_fill(cr);
    } else {
        cairo_save(cr);
        cairo_clip(cr);
        if (compositing == CompositingModeSourceCopy) {
            // A copy of the faded image, not a blend of the image with what was there.
            cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
            cairo_paint(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        }
        cairo_set_source(cr, pattern);
        cairo_paint_with_alpha(cr, alpha);
        cairo_restore(cr);
    }
    cairo_pattern_destroy(pattern);
    return Internal::finish(*this);
}

}  // namespace Gdiplus
