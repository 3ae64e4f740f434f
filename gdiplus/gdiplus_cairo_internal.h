// What the layer's source files share: affine maps, colour conversions and access to the
// classes' insides. Not for the widgets.
#pragma once

#include <cairo.h>

#include "gdiplus_cairo.h"

namespace Gdiplus {

// GDI+'s order of elements: m11, m12, m21, m22, dx, dy (row vectors).
using Affine = double[6];

// out = `first` followed by `then`; out may be either argument.
void multiplyAffine(const Affine first, const Affine then, Affine out);
cairo_matrix_t toCairo(const Affine e);
// True for a finite map with an inverse, which `inverse` (if given) receives.
bool invertible(const Affine e, cairo_matrix_t* inverse = nullptr);

// 0..255 channels of a premultiplied pixel from straight ARGB, and back, rounded as GDI+ does.
std::uint32_t premultiply(ARGB argb);
ARGB unpremultiply(std::uint32_t pixel);

// A cairo solid pattern of a GDI+ colour.
cairo_pattern_t* solidPattern(const Color& color);

struct FontFace;
struct FontFamilyData;

struct Graphics::ClipStep {
    Affine device;  // world to device when it was set
    RectF rect;
};

struct Graphics::Saved {
    GraphicsState id;
    Affine world;
    SmoothingMode smoothing;
    PixelOffsetMode pixelOffset;
    CompositingMode compositing;
    InterpolationMode interpolation;
    std::vector<ClipStep> clip;
};

struct Internal {
    static cairo_surface_t* surface(const Image& image) { return image.surface; }
    static const double* elements(const Matrix& matrix) { return matrix.e; }
    static void setElements(Matrix& matrix, const Affine e);
    static cairo_pattern_t* pattern(const Brush& brush, int filter) {
        return brush.makePattern(filter);
    }
    static const std::vector<PointF>& points(const GraphicsPath& path) { return path.points; }
    static const std::vector<BYTE>& types(const GraphicsPath& path) { return path.types; }
    static const Color& color(const Pen& pen) { return pen.color; }
    static REAL alpha(const ImageAttributes& attributes) { return attributes.alpha; }

    // Graphics: prepares cairo for one drawing in device space (clip, antialiasing, operator;
    // no path). Not Ok, and recorded, when there is nothing to draw on.
    static Status prepare(Graphics& graphics);
    // prepare, then the world transform; also not Ok when that is singular. `offset`: with the
    // half-pixel shift that pixel offset "none" needs.
    static Status begin(Graphics& graphics, bool offset = true);
    static bool pixelCentresAtIntegers(const Graphics& graphics);
    static cairo_t* context(const Graphics& graphics) { return graphics.cr; }
    static int filter(const Graphics& graphics);
    static Status record(const Graphics& graphics, Status status) {
        return graphics.record(status);
    }
    // The end of every drawing: drops the path; a context that cairo put in an error state is
    // replaced (GenericError).
    static Status finish(Graphics& graphics);
    // After a cairo call left the context in an error state: a fresh context on the same
    // surface, the clip to be applied again. Returns GenericError for the caller to record.
    static Status recover(Graphics& graphics);

    static const FontFace* face(const Font& font) { return font.face; }
    static double emPixels(const Font& font) { return font.emPixels(); }
    static void setFamily(FontFamily& family, std::shared_ptr<const FontFamilyData> data) {
        family.data = std::move(data);
    }
    static const std::shared_ptr<const FontFamilyData>& family(const FontFamily& family) {
        return family.data;
    }
    static const std::vector<std::shared_ptr<const FontFamilyData>>& families(
        const FontCollection& collection) {
        return collection.families;
    }
};

}  // namespace Gdiplus
