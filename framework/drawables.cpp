#include "drawables.h"

#include <algorithm>
#include <vector>

#include "text.h"

namespace corvane::vst {
namespace {

using Gdiplus::REAL;

REAL real(double x) {
    return static_cast<REAL>(x);
}

// The drawables are never hit by the mouse.
const VSTGUI::CRect kNoMouseArea(0, 0, 0, 0);

// Moves a drawable's view to `next`: the old area and the new one are redrawn.
void moveView(VSTGUI::CView& view, const VSTGUI::CRect& next) {
    view.setDirty(false);
    view.invalidRect(view.getViewSize());
    view.setViewSize(next, true);
}

std::wstring toWide(const std::string& utf8) {
    const TString units = utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

// The name of GDI+'s generic sans-serif family; empty if GDI+ has none. (The C++ wrapper's
// FontFamily::GenericSansSerif keeps a process-wide object that would outlive a GDI+ restart.)
std::wstring genericSansSerifName() {
    Gdiplus::GpFontFamily* family = nullptr;
    if (Gdiplus::DllExports::GdipGetGenericFontFamilySansSerif(&family) != Gdiplus::Ok || !family)
        return {};
    WCHAR name[LF_FACESIZE] = {};
    const bool named =
        Gdiplus::DllExports::GdipGetFamilyName(family, name, LANG_NEUTRAL) == Gdiplus::Ok;
    Gdiplus::DllExports::GdipDeleteFontFamily(family);
    return named ? std::wstring(name) : std::wstring();
}

// The bounding box GDI+ gives `text` set in `font` from (0, 0), without a string format.
Gdiplus::RectF measureText(const std::wstring& text, const Gdiplus::Font* font) {
    Gdiplus::Bitmap bitmap(1, 1, PixelFormat32bppPARGB);
    Gdiplus::Graphics graphics(&bitmap);
    Gdiplus::RectF box;
    graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), font,
                           Gdiplus::RectF(0, 0, 0, 0), &box);
    return box;
}

}  // namespace

KORect::KORect() : CView(VSTGUI::CRect(0, 0, 8, 8)) {
    setMouseableArea(kNoMouseArea);
    const auto listener = [this] { update(); };
    addProperty(properties, "rect", rect, listener);
    addProperty(properties, "topColor", topColor, listener);
    addProperty(properties, "bottomColor", bottomColor, listener);
}

KORect::~KORect() = default;

void KORect::setProperty(const std::string& name, const picojson::value& value) {
    setPropertyFrom(properties, *this, name, value);
}

void KORect::update() {
    const VSTGUI::CRect& r = rect.get();
    moveView(*this, VSTGUI::CRect(r.left - 4, r.top - 4, r.right + 4, r.bottom + 4));
}

void KORect::draw(VSTGUI::CDrawContext* context) {
    drawThroughGdiplus(*this, *this, context, VSTGUI::CPoint(), true);
}

void KORect::drawGdiplus(Gdiplus::Graphics* graphics) {
    const VSTGUI::CRect& r = rect.get();
    Gdiplus::LinearGradientBrush brush(Gdiplus::PointF(real(r.left), real(r.top)),
                                       Gdiplus::PointF(real(r.left), real(r.bottom)),
                                       topColor.get(), bottomColor.get());
    Gdiplus::GraphicsPath outline;
    outline.AddRectangle(
        Gdiplus::RectF(real(r.left), real(r.top), real(r.getWidth()), real(r.getHeight())));
    setDrawingModes(*graphics);
    graphics->FillPath(&brush, &outline);
}

KOLine::KOLine(const VSTGUI::CPoint& position)
    : CView(VSTGUI::CRect(position.x, position.y, position.x + 8, position.y + 8)) {
    setMouseableArea(kNoMouseArea);
    const auto listener = [this] { update(); };
    addProperty(properties, "path", path, listener);
    addProperty(properties, "lineColor", lineColor, listener);
    addProperty(properties, "lineWidth", lineWidth, listener);
}

KOLine::~KOLine() = default;

void KOLine::setProperty(const std::string& name, const picojson::value& value) {
    setPropertyFrom(properties, *this, name, value);
}

void KOLine::update() {
    // The origin is always inside, and a piece without points counts as the origin.
    VSTGUI::CRect box(0, 0, 0, 0);
    for (const PathPrimitive& primitive : path.get()) {
        for (const VSTGUI::CPoint& point : primitive.points) {
            box.left = std::min(box.left, point.x);
            box.top = std::min(box.top, point.y);
            box.right = std::max(box.right, point.x);
            box.bottom = std::max(box.bottom, point.y);
        }
    }
    moveView(*this, VSTGUI::CRect(box.left - 8, box.top - 8, box.right + 8, box.bottom + 8));
}

void KOLine::draw(VSTGUI::CDrawContext* context) {
    drawThroughGdiplus(*this, *this, context, VSTGUI::CPoint(), true);
}

void KOLine::drawGdiplus(Gdiplus::Graphics* graphics) {
    Gdiplus::Pen pen(lineColor.get(), real(lineWidth.get()));
    Gdiplus::GraphicsPath outline(Gdiplus::FillModeAlternate);
    // All pieces go into one figure, so each is joined to the end of the one before.
    std::vector<Gdiplus::PointF> points;
    for (const PathPrimitive& primitive : path.get()) {
        points.clear();
        for (const VSTGUI::CPoint& point : primitive.points)
            points.emplace_back(real(point.x), real(point.y));
        const INT count = static_cast<INT>(points.size());
        if (primitive.kind == PathPrimitive::lines)
            outline.AddLines(points.data(), count);
        else if (primitive.kind == PathPrimitive::beziers)
            outline.AddBeziers(points.data(), count);
    }
    setDrawingModes(*graphics);
    graphics->DrawPath(&pen, &outline);
}

KOText::KOText(const VSTGUI::CPoint& position, ResourceCache* resourceCache)
    : CView(VSTGUI::CRect(position.x, position.y, position.x + 8, position.y + 8)),
      position(position),
      resourceCache(resourceCache) {
    setMouseableArea(kNoMouseArea);
    const auto listener = [this] { updateText(); };
    addProperty(properties, "position", this->position, listener);
    addProperty(properties, "text", text, listener);
    addProperty(properties, "fontName", fontName, listener);
    addProperty(properties, "fontSize", fontSize, listener);
    addProperty(properties, "textColor", textColor, listener);
    addProperty(properties, "horizontalAlign", horizontalAlign, listener);
    addProperty(properties, "verticalAlign", verticalAlign, listener);
    addProperty(properties, "letterSpacing", letterSpacing, listener);
}

KOText::~KOText() = default;

void KOText::setProperty(const std::string& name, const picojson::value& value) {
    setPropertyFrom(properties, *this, name, value);
}

double KOText::alignmentFactor(Gdiplus::StringAlignment alignment) {
    switch (alignment) {
        case Gdiplus::StringAlignmentNear:
            return 0;
        case Gdiplus::StringAlignmentCenter:
            return -0.5;
        default:
            return -1;
    }
}

// A font resource, else an installed family of that name, else GDI+'s generic sans-serif, else
// the default font resource. Null when even that cannot be had (then nothing is drawn).
std::unique_ptr<Gdiplus::Font> KOText::makeFont() const {
    const auto size = static_cast<REAL>(fontSize.get());
    // The font of one of the module's own families, or none.
    const auto fromResources = [&](const std::string& family) -> std::unique_ptr<Gdiplus::Font> {
        const auto found = resourceCache ? resourceCache->getFontFamily(family) : nullptr;
        if (!found)
            return nullptr;
        auto font = std::make_unique<Gdiplus::Font>(found.get(), size, Gdiplus::FontStyleRegular,
                                                    Gdiplus::UnitPoint);
        return font->IsAvailable() ? std::move(font) : nullptr;
    };
    std::unique_ptr<Gdiplus::Font> made = fromResources(fontName.get());
    if (!made) {
        std::wstring name;
        try {
            name = toWide(fontName.get());
        } catch (const std::range_error&) {
            // Not UTF-8, so no installed family has this name either.
        }
        Gdiplus::FontFamily installed(name.c_str());
        if (!installed.IsAvailable())
            name = genericSansSerifName();
        made = std::make_unique<Gdiplus::Font>(name.c_str(), size, Gdiplus::FontStyleRegular,
                                               Gdiplus::UnitPoint);
        if (!made->IsAvailable())
            made.reset();
    }
    // No installed family to fall back on (a system without them, and Linux, where fonts come
    // only from the module): the editor's own default font.
    if (!made)
        made = fromResources(kDefaultFont);
    return made;
}

void KOText::updateText() {
    font = makeFont();
    format.reset();
    brush.reset();
    // Throws "bad conversion" for what is not UTF-8 up to U+FFFF; the text and the view then
    // stay as they were.
    std::wstring converted = toWide(text.get());
    wideText.swap(converted);

    const Gdiplus::RectF box = measureText(wideText, font.get());
    const double fh = alignmentFactor(horizontalAlign.get());
    const double fv = alignmentFactor(verticalAlign.get());
    const VSTGUI::CPoint p = position.get();
    double left = p.x + fh * box.Width;
    double right = p.x + (fh + 1) * box.Width;
    if (letterSpacing.get() != 0 && !wideText.empty()) {
        // Spaced characters may reach well beyond the text set normally. The view is what gets
        // redrawn for this text, so it must hold each of them, aligned on its own point as
        // drawGdiplus draws it.
        left = 1e300;
        right = -1e300;
        for (std::size_t i = 0; i < wideText.size(); ++i) {
            const double x = characterX(i);
            const double width = measureText(wideText.substr(i, 1), font.get()).Width;
            left = std::min(left, x + fh * width);
            right = std::max(right, x + (fh + 1) * width);
        }
    }
    moveView(*this, VSTGUI::CRect(left, p.y + fv * box.Height, right, p.y + (fv + 1) * box.Height));
}

double KOText::characterX(std::size_t index) const {
    const double n = static_cast<double>(wideText.size());
    const double fh = alignmentFactor(horizontalAlign.get());
    return ((n - 1) * fh + static_cast<double>(index)) * letterSpacing.get() + position.get().x;
}

void KOText::draw(VSTGUI::CDrawContext* context) {
    drawThroughGdiplus(*this, *this, context, VSTGUI::CPoint(), true);
}

void KOText::drawGdiplus(Gdiplus::Graphics* graphics) {
    if (!format) {
        format = std::make_unique<Gdiplus::StringFormat>(0, 0);
        format->SetAlignment(horizontalAlign.get());
        format->SetLineAlignment(verticalAlign.get());
    }
    if (!brush)
        brush = std::make_unique<Gdiplus::SolidBrush>(textColor.get());
    if (!font || !brush || !format)
        return;
    setDrawingModes(*graphics);
    const VSTGUI::CPoint p = position.get();
    const double spacing = letterSpacing.get();
    // An empty layout rectangle: the alignments place the text around the anchor point.
    if (spacing == 0) {
        graphics->DrawString(wideText.c_str(), static_cast<INT>(wideText.size()), font.get(),
                             Gdiplus::RectF(real(p.x), real(p.y), 0, 0), format.get(), brush.get());
        return;
    }
    // Each character on its own at a fixed pitch, the run aligned as the text would be.
    for (std::size_t i = 0; i < wideText.size(); ++i) {
        graphics->DrawString(&wideText[i], 1, font.get(),
                             Gdiplus::RectF(real(characterX(i)), real(p.y), 0, 0), format.get(),
                             brush.get());
    }
}

KOValueText::KOValueText(const VSTGUI::CPoint& position, ResourceCache* resourceCache)
    : KOText(position, resourceCache) {}

void KOValueText::setText(const std::string& utf8) {
    setProperty("text", picojson::value(utf8));
    shown = utf8;
}

bool KOValueText::hitTest(const VSTGUI::CPoint& where) const {
    return getViewSize().pointInside(where);
}

VSTGUI::CMouseEventResult KOValueText::onMouseDown(VSTGUI::CPoint&,
                                                   const VSTGUI::CButtonState& buttons) {
    if (!buttons.isLeftButton() || !buttons.isDoubleClick() || !onDoubleClick)
        return VSTGUI::kMouseEventNotHandled;
    onDoubleClick();
    return VSTGUI::kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

}  // namespace corvane::vst
