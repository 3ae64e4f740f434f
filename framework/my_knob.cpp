#include "my_knob.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace corvane::vst {
namespace {

using Gdiplus::REAL;

constexpr double kPi = 3.141592653589793;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr Gdiplus::PixelFormat kFormat = PixelFormat32bppPARGB;

// Truncated toward zero and held within the int range (NaN reads as 0), so that nonsense from
// the layout cannot make the conversion undefined.
int truncToInt(double x) {
    constexpr double high = 2147483648.0;  // int max + 1
    if (std::isnan(x))
        return 0;
    if (x >= high)
        return (std::numeric_limits<int>::max)();
    if (x <= -high)
        return (std::numeric_limits<int>::min)();
    return static_cast<int>(x);
}

REAL real(double x) {
    return static_cast<REAL>(x);
}

// Device pixels per unit of the graphics' world transform (the display scale; rotations and
// translations leave it 1).
double deviceScale(Gdiplus::Graphics& graphics) {
    Gdiplus::Matrix transform;
    graphics.GetTransform(&transform);
    Gdiplus::REAL m[6] = {};
    transform.GetElements(m);
    const double scale = std::hypot(double(m[0]), double(m[1]));
    return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

MyKnob::FloatImage toFloatImage(Gdiplus::Bitmap& source) {
    MyKnob::FloatImage image;
    const int width = static_cast<int>(source.GetWidth());
    const int height = static_cast<int>(source.GetHeight());
    Gdiplus::Bitmap copy(width, height, kFormat);
    {
        Gdiplus::Graphics graphics(&copy);
        graphics.DrawImage(&source, 0, 0);
    }
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (copy.LockBits(&all, Gdiplus::ImageLockModeRead, kFormat, &data) != Gdiplus::Ok)
        return image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        const auto* row = static_cast<const BYTE*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride;
        float* out = image.pixels.data() + std::size_t(y) * width * 4;
        for (int i = 0; i < width * 4; ++i)
            out[i] = static_cast<float>(row[i]) * 0.003921569f;
    }
    copy.UnlockBits(&data);
    return image;
}

}  // namespace

MyKnob::MyKnob(const VSTGUI::CPoint& center, VSTGUI::IControlListener* listener, int32_t tag,
               ResourceCache* resourceCache)
    : CKnob(VSTGUI::CRect(center.x - 8, center.y - 8, center.x + 8, center.y + 8), listener, tag,
            nullptr, nullptr, VSTGUI::CPoint()),
      tickMarks(std::vector<TickMark>(9, TickMark{2, 34, 40, Gdiplus::Color(0xFFFFFFFF)})),
      center(center),
      resourceCache(resourceCache) {
    setZoomFactor(10);
    const auto update = [this] { updateGeometry(); };
    const auto redraw = [this] { invalid(); };
    const auto repoint = [this] { discardPointer(); };
    const auto recap = [this] {
        capScale = 0.0;
        invalid();
    };
    // Each listener runs once here; `center` comes last and leaves the geometry consistent
    // with every default.
    const auto add = [this](const char* name, auto& property, const auto& listener) {
        addProperty(properties, name, property, listener);
    };
    add("startAngle", startAngle, update);
    add("endAngle", endAngle, update);
    add("tickMarks", tickMarks, redraw);
    add("shadowRadius", shadowRadius, redraw);
    add("shadowCenterColor", shadowCenterColor, redraw);
    add("shadowEdgeColor", shadowEdgeColor, redraw);
    add("capRadius", capRadius, recap);
    // The pointer's looks live in pointerCache: a layout applied again at run time must show
    // its new pointer, so these discard it as the geometry does.
    add("pointerInnerRadius", pointerInnerRadius, repoint);
    add("pointerOuterRadius", pointerOuterRadius, repoint);
    add("glowRadius", glowRadius, repoint);
    add("glowGain", glowGain, repoint);
    add("glowPasses", glowPasses, repoint);
    add("capTintColor", capTintColor, redraw);
    add("pointerColor", pointerColor, repoint);
    add("pointerOutlineColor", pointerOutlineColor, repoint);
    add("capImage", capImage, recap);
    add("hitRadius", hitRadius, update);
    add("viewRadius", viewRadius, update);
    add("center", this->center, update);
}

MyKnob::~MyKnob() = default;

void MyKnob::setProperty(const std::string& name, const picojson::value& value) {
    setPropertyFrom(properties, *this, name, value);
}

void MyKnob::updateGeometry() {
    setStartAngle(static_cast<float>((startAngle.get() - 90) * kPi / 180));
    setRangeAngle(static_cast<float>((endAngle.get() - startAngle.get()) * kPi / 180));
    pointerCache.reset();
    capScale = 0.0;
    const VSTGUI::CPoint c = center.get();
    const double hit = hitRadius.get();
    setMouseableArea(VSTGUI::CRect(c.x - hit, c.y - hit, c.x + hit, c.y + hit));
    invalid();  // where the knob was
    const double view = viewRadius.get();
    setViewSize(VSTGUI::CRect(c.x - view, c.y - view, c.x + view, c.y + view), true);
}

void MyKnob::discardPointer() {
    pointerCache.reset();
    invalid();
}

void MyKnob::draw(VSTGUI::CDrawContext* context) {
    // The world transform stays as the caller set it.
    drawThroughGdiplus(*this, *this, context, getOffset(), false);
}

// A failed GDI+ call leaves its status in the graphics object's last status (a pen, brush, path
// or image that could not be made fails the call that uses it); every step runs whatever an
// earlier one did.
void MyKnob::drawGdiplus(Gdiplus::Graphics* graphics) {
    setDrawingModes(*graphics);
    drawTickMarks(graphics);
    drawShadow(graphics);
    drawCap(graphics);
    drawPointer(graphics);
}

void MyKnob::drawTickMarks(Gdiplus::Graphics* graphics) const {
    const auto& marks = tickMarks.get();
    const VSTGUI::CPoint c = center.get();
    const double start = getStartAngle();
    const double range = getRangeAngle();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        // A single mark stands at the start of the scale.
        const double fraction = marks.size() > 1 ? double(i) / double(marks.size() - 1) : 0.0;
        const float theta = static_cast<float>(start + fraction * range);
        const float cosine = std::cos(theta);
        const float sine = std::sin(theta);
        const TickMark& mark = marks[i];
        Gdiplus::Pen pen(mark.color, real(mark.width));
        graphics->DrawLine(&pen, real(c.x + mark.startRadius * cosine),
                           real(c.y + mark.startRadius * sine), real(c.x + mark.endRadius * cosine),
                           real(c.y + mark.endRadius * sine));
    }
}

void MyKnob::drawShadow(Gdiplus::Graphics* graphics) const {
    const VSTGUI::CPoint c = center.get();
    const double s = shadowRadius.get();
    Gdiplus::GraphicsPath path;
    path.AddEllipse(real(c.x - s), real(c.y - s), real(2 * s), real(2 * s));
    const Gdiplus::Matrix shift(1, 0, 0, 1, 5, 5);  // the light comes from the upper left
    path.Transform(&shift);
    Gdiplus::PathGradientBrush brush(&path);
    brush.SetCenterColor(shadowCenterColor.get());
    Gdiplus::Color edge = shadowEdgeColor.get();
    INT count = 1;
    brush.SetSurroundColors(&edge, &count);
    graphics->FillPath(&brush, &path);
}

// The cap image is large enough for a 4x display, and filtering it down at every drawing would
// cost more than the rest of the knob: it is filtered once per size and scale, and then drawn
// pixel for pixel.
void MyKnob::drawCap(Gdiplus::Graphics* graphics) {
    const VSTGUI::CPoint c = center.get();
    const double radius = capRadius.get();
    const double scale = deviceScale(*graphics);
    if (capScale != scale)
        renderCap(scale);
    if (capCache) {
        const INT d = truncToInt(2 * radius);
        graphics->DrawImage(capCache.get(),
                            Gdiplus::RectF(real(truncToInt(c.x - radius)),
                                           real(truncToInt(c.y - radius)), real(d), real(d)));
    }
    Gdiplus::GraphicsPath disc;
    disc.AddEllipse(real(c.x - radius), real(c.y - radius), real(2 * radius), real(2 * radius));
    Gdiplus::SolidBrush tint(capTintColor.get());
    graphics->FillPath(&tint, &disc);
}

void MyKnob::renderCap(double scale) {
    capCache.reset();
    capScale = scale;
    std::shared_ptr<Gdiplus::Bitmap> image;
    try {
        if (resourceCache)
            image = resourceCache->getImage(capImage.get());
    } catch (...) {
        // Bytes that are no image: the cap shows its tint only, like a cap without an image.
    }
    const INT d = truncToInt(2 * capRadius.get());
    const INT pixels = truncToInt(std::ceil(d * scale));
    if (!image || pixels <= 0 || image->GetWidth() == 0 || image->GetHeight() == 0)
        return;
    auto cap = std::make_unique<Gdiplus::Bitmap>(pixels, pixels, kFormat);
    {
        Gdiplus::Graphics graphics(cap.get());
        setDrawingModes(graphics);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        // The image stretched onto the disc; clamped so its edge does not repeat.
        Gdiplus::TextureBrush brush(image.get(), Gdiplus::WrapModeClamp);
        const Gdiplus::Matrix stretch(real(double(pixels) / image->GetWidth()), 0, 0,
                                      real(double(pixels) / image->GetHeight()), 0, 0);
        brush.SetTransform(&stretch);
        graphics.FillEllipse(&brush, 0, 0, pixels, pixels);
    }
    capCache = std::move(cap);
}

void MyKnob::drawPointer(Gdiplus::Graphics* graphics) {
    // Rendered at the display's resolution: a picture made for 1x and stretched would blur.
    const double scale = deviceScale(*graphics);
    if (!pointerCache || scale != pointerScale)
        renderPointer(scale);
    const float alpha = getStartAngle() + getValue() * getRangeAngle();
    const VSTGUI::CRect& view = getViewSize();
    const VSTGUI::CPoint middle = view.getCenter();
    Gdiplus::Matrix turn;
    turn.Translate(real(middle.x), real(middle.y));
    turn.Rotate(real(alpha * kDegreesPerRadian));
    turn.Translate(real(-middle.x), real(-middle.y));
    graphics->MultiplyTransform(&turn, Gdiplus::MatrixOrderPrepend);
    if (pointerScale == 1.0) {
        graphics->DrawImage(pointerCache.get(), real(view.left), real(view.top));
    } else {
        graphics->DrawImage(pointerCache.get(),
                            Gdiplus::RectF(real(view.left), real(view.top),
                                           real(pointerCache->GetWidth() / pointerScale),
                                           real(pointerCache->GetHeight() / pointerScale)));
    }
}

void MyKnob::renderPointer(double scale) {
    const VSTGUI::CRect& view = getViewSize();
    const INT width = truncToInt(view.getWidth() * scale);
    const INT height = truncToInt(view.getHeight() * scale);
    Gdiplus::Bitmap pointer(width, height, kFormat);
    {
        Gdiplus::Graphics graphics(&pointer);
        setDrawingModes(graphics);
        graphics.ScaleTransform(real(scale), real(scale));
        // Along angle 0 from the view's centre; drawPointer turns it to the value.
        const double hw = view.getWidth() / 2;
        const double hh = view.getHeight() / 2;
        const double x1 = hw + pointerInnerRadius.get();
        const double x2 = hw + pointerOuterRadius.get();
        const double dx = x2 - x1;
        const double dy = hh - hh;
        const double length = std::sqrt(dx * dx + dy * dy);
        // A bar 4 thick with round ends, from (0, 0) to (length, 0).
        Gdiplus::GraphicsPath path(Gdiplus::FillModeWinding);
        path.AddArc(-2.f, -2.f, 4.f, 4.f, 90.f, 180.f);
        path.AddArc(real(length - 2), -2.f, 4.f, 4.f, 270.f, 180.f);
        path.CloseFigure();
        Gdiplus::Matrix place;
        place.Translate(real(x1), real(hh));
        place.Rotate(real(std::atan2(dy, dx) * kDegreesPerRadian));
        path.Transform(&place);
        Gdiplus::SolidBrush fill(pointerColor.get());
        graphics.FillPath(&fill, &path);
        Gdiplus::Pen outline(pointerOutlineColor.get(), 1.f);
        graphics.DrawPath(&outline, &path);
    }
    const std::unique_ptr<Gdiplus::Bitmap> glow =
        makeGlow(pointer, truncToInt(glowRadius.get() * scale), glowGain.get(), glowPasses.get());

    auto cache = std::make_unique<Gdiplus::Bitmap>(width, height, kFormat);
    {
        Gdiplus::Graphics graphics(cache.get());
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        graphics.Clear(Gdiplus::Color(0x00000000));
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
        graphics.DrawImage(&pointer, 0, 0);
        graphics.DrawImage(glow.get(), 0, 0);
    }
    pointerCache = std::move(cache);
    pointerScale = scale;
}

std::unique_ptr<Gdiplus::Bitmap> MyKnob::makeGlow(Gdiplus::Bitmap& source, int radius, double gain,
                                                  int passes) {
    FloatImage image = toFloatImage(source);
    for (int pass = 0; pass < passes; ++pass)
        boxBlurPass(image, radius);
    for (float& f : image.pixels)
        f = static_cast<float>(f * gain);

    auto glow = std::make_unique<Gdiplus::Bitmap>(image.width, image.height, kFormat);
    Gdiplus::Rect all(0, 0, image.width, image.height);
    Gdiplus::BitmapData data{};
    if (image.pixels.empty() ||
        glow->LockBits(&all, Gdiplus::ImageLockModeWrite, kFormat, &data) != Gdiplus::Ok)
        return glow;
    for (int y = 0; y < image.height; ++y) {
        auto* row = static_cast<BYTE*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride;
        const float* in = image.pixels.data() + std::size_t(y) * image.width * 4;
        for (int i = 0; i < image.width * 4; ++i) {
            // Written so that NaN (an infinite gain times 0) becomes 0 too.
            const float clamped = in[i] > 0.f ? (in[i] < 1.f ? in[i] : 1.f) : 0.f;
            row[i] = static_cast<BYTE>(clamped * 255.f);
        }
    }
    glow->UnlockBits(&data);
    return glow;
}

void MyKnob::boxBlurPass(FloatImage& image, int radius) {
    const std::int64_t width = image.width;
    const std::int64_t height = image.height;
    const std::int64_t r = radius;
    const double divisor = 2.0 * r + 1.0;
    // One line of `count` samples `step` floats apart, starting at `first`; only the samples
    // inside the image are summed, the others being 0.
    std::vector<float> out(image.pixels.size());
    const auto average = [&](const std::vector<float>& in, std::int64_t first, std::int64_t step,
                             std::int64_t count) {
        for (std::int64_t k = 0; k < count; ++k) {
            const std::int64_t from = std::max<std::int64_t>(0, k - r);
            const std::int64_t to = std::min<std::int64_t>(count - 1, k + r);
            double sum = 0;
            for (std::int64_t j = from; j <= to; ++j)
                sum += in[first + j * step];
            out[first + k * step] = static_cast<float>(sum / divisor);
        }
    };
    for (std::int64_t x = 0; x < width; ++x) {
        for (std::int64_t c = 0; c < 4; ++c)
            average(image.pixels, x * 4 + c, width * 4, height);
    }
    image.pixels.swap(out);
    for (std::int64_t y = 0; y < height; ++y) {
        for (std::int64_t c = 0; c < 4; ++c)
            average(image.pixels, y * width * 4 + c, 4, width);
    }
    image.pixels.swap(out);
}

}  // namespace corvane::vst
