// The editor's static graphics and labels: a rectangle with a vertical gradient, a stroked path
// of lines and Béziers, and a text at an anchor point. Each draws itself in GDI+ from properties
// the layout sets by name, moves and resizes its view to what it shows whenever one changes,
// and never takes the mouse. Coordinates are the frame's.  user-interface thread
// only.
#pragma once

#include "gdiplus_api.h"

#include <picojson.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "drawable.h"
#include "properties.h"
#include "property_target.h"
#include "resource_cache.h"
#include "view.h"

namespace corvane::vst {

// Fills `rect` from topColor at its top to bottomColor at its bottom. The view is the rectangle
// grown by 4 on every side, room for the anti-aliased edge.
class KORect : public VSTGUI::CView, public IDrawable, public IPropertyTarget {
  public:
    KORect();
    ~KORect() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void setProperty(const std::string& name, const picojson::value& value) override;
    void drawGdiplus(Gdiplus::Graphics* graphics) override;

  private:
    void update();

    RectProperty rect{VSTGUI::CRect(0, 0, 8, 8)};
    ColorProperty topColor{Gdiplus::Color(0xFF3C3C3C)};
    ColorProperty bottomColor{Gdiplus::Color(0xFF282828)};
    std::map<std::string, Property*> properties;  // not owning
};

// Strokes `path` as one open line: each piece continues from where the previous one ended. The
// view holds every point, and the origin, with 8 to spare on every side.
class KOLine : public VSTGUI::CView, public IDrawable, public IPropertyTarget {
  public:
    explicit KOLine(const VSTGUI::CPoint& position);
    ~KOLine() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void setProperty(const std::string& name, const picojson::value& value) override;
    void drawGdiplus(Gdiplus::Graphics* graphics) override;

  private:
    void update();

    ArrayProperty<PathPrimitiveProperty> path;
    ColorProperty lineColor{Gdiplus::Color(0xFF000000)};
    DoubleProperty lineWidth{1};
    std::map<std::string, Property*> properties;  // not owning
};

// Draws `text` (UTF-8, characters up to U+FFFF) aligned on `position`: near starts it there,
// centre centres it there, far ends it there, horizontally and vertically. With a letterSpacing
// s other than 0 each character is aligned on its own point, s apart from the next, the run of
// points aligned on `position` as the text would be. The view is the box GDI+ measures for the
// text (with spacing, the boxes of the characters as they stand). The text is converted and
// measured when a property changes, not at each drawing.
class KOText : public VSTGUI::CView, public IDrawable, public IPropertyTarget {
  public:
    static constexpr const char* kDefaultFont = "fonts/DejaVuSans-subset.ttf";

    // resourceCache: not owned, may be null (then fonts are installed families only); must
    // outlive the text.
    KOText(const VSTGUI::CPoint& position, ResourceCache* resourceCache);
    ~KOText() override;

    void draw(VSTGUI::CDrawContext* context) override;
    // A text that is not UTF-8 or holds a character beyond U+FFFF throws std::range_error
    // "bad conversion"; the font is rebuilt, the text shown and the view stay as they were.
    void setProperty(const std::string& name, const picojson::value& value) override;
    void drawGdiplus(Gdiplus::Graphics* graphics) override;

  private:
    void updateText();
    std::unique_ptr<Gdiplus::Font> makeFont() const;
    // -0.5 centred, 0 near, -1 far: where the box starts, in box widths (heights) from the
    // anchor.
    static double alignmentFactor(Gdiplus::StringAlignment alignment);
    // With letter spacing: the point character `index` of wideText is aligned on.
    double characterX(std::size_t index) const;

    PointProperty position;
    StringProperty text;
    StringProperty fontName{kDefaultFont};
    IntProperty fontSize{9};
    ColorProperty textColor{Gdiplus::Color(0xFF000000)};
    AlignmentProperty horizontalAlign{Gdiplus::StringAlignmentCenter};
    AlignmentProperty verticalAlign{Gdiplus::StringAlignmentCenter};
    DoubleProperty letterSpacing{0};
    std::map<std::string, Property*> properties;  // not owning

    ResourceCache* resourceCache;  // not owning
    std::unique_ptr<Gdiplus::Font> font;
    std::wstring wideText;
    // Made at the first drawing after a property change.
    std::unique_ptr<Gdiplus::StringFormat> format;
    std::unique_ptr<Gdiplus::SolidBrush> brush;
};

// A text that takes the mouse where it stands, for values the user may edit by double-clicking
// them. Single clicks and drags do nothing.
class KOValueText : public KOText {
  public:
    KOValueText(const VSTGUI::CPoint& position, ResourceCache* resourceCache);

    void setOnDoubleClick(std::function<void()> action) { onDoubleClick = std::move(action); }
    // The text shown; the same as setting the "text" property.
    void setText(const std::string& utf8);
    const std::string& getText() const { return shown; }

    bool hitTest(const VSTGUI::CPoint& where) const override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where,
                                          const VSTGUI::CButtonState& buttons) override;

  private:
    std::function<void()> onDoubleClick;
    std::string shown;
};

}  // namespace corvane::vst
