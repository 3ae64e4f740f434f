// The rectangle, line and text widgets drawn offscreen under Wine's GDI+: where their views go
// and what they paint. Every picture also goes to the test output folder.
#include <gtest/gtest.h>

#include "gdiplus_api.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "drawables.h"
#include "frame.h"
#include "my_knob.h"
#include "offscreen.h"
#include "resource_cache.h"
#include "resource_registry.h"

namespace corvane::vst {
namespace {

using testing::Canvas;
using testing::json;
using VSTGUI::CRect;

const Gdiplus::Color kWhite(0xFFFFFFFF);

// Where a picture on white holds ink, and which columns.
struct Ink {
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    std::vector<std::pair<int, int>> runs;  // of inked columns, first and last

    bool empty() const { return right < 0; }
};

Ink inkOf(Canvas& canvas, int threshold = 200) {
    Ink ink;
    for (int x = 0; x < canvas.width(); ++x) {
        bool inked = false;
        for (int y = 0; y < canvas.height(); ++y) {
            if (canvas.at(x, y).brightness() >= threshold)
                continue;
            inked = true;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
        if (inked && !ink.runs.empty() && ink.runs.back().second == x - 1)
            ink.runs.back().second = x;
        else if (inked)
            ink.runs.emplace_back(x, x);
    }
    return ink;
}

Ink inkOf(Canvas&& canvas, int threshold = 200) {
    return inkOf(canvas, threshold);
}

TEST(KORectTest, TheGradientRunsFromTopToBottomAndTheViewIsTheRectangleGrownByFour) {
    auto* rect = new KORect;
    EXPECT_EQ(rect->getViewSize(), CRect(-4, -4, 12, 12));
    Canvas small(16, 16, kWhite);
    small.draw(*rect);
    small.save("rect-default");
    EXPECT_NEAR(small.at(4, 0).r, 0x3C, 3);
    EXPECT_NEAR(small.at(4, 7).r, 0x28, 3);
    EXPECT_EQ(small.at(4, 8).brightness(), 255);

    rect->setProperty("rect", json("[10, 10, 60, 110]"));
    rect->setProperty("topColor", json("[255, 255, 0, 0]"));
    rect->setProperty("bottomColor", json("[255, 0, 0, 255]"));
    EXPECT_EQ(rect->getViewSize(), CRect(6, 6, 64, 114));
    Canvas canvas(70, 120, kWhite);
    canvas.draw(*rect);
    canvas.save("rect-gradient");
    rect->forget();
    EXPECT_GT(canvas.at(30, 10).r, 245);
    EXPECT_GT(canvas.at(30, 109).b, 245);
    for (int y = 10; y < 110; ++y) {
        for (int x = 11; x < 60; ++x)
            ASSERT_LE(canvas.at(x, y).distance(canvas.at(10, y)), 1) << x << "," << y;
        if (y > 10) {
            EXPECT_LE(canvas.at(10, y).r, canvas.at(10, y - 1).r) << y;
            EXPECT_GE(canvas.at(10, y).b, canvas.at(10, y - 1).b) << y;
        }
        EXPECT_EQ(canvas.at(9, y).brightness(), 255);
        EXPECT_EQ(canvas.at(60, y).brightness(), 255);
    }
}

TEST(KOLineTest, ThePiecesAreOneOpenStrokeInAViewThatHoldsThemAndTheOrigin) {
    auto* line = new KOLine(VSTGUI::CPoint(0, 0));
    line->setProperty("path", json(R"([{"kind": "lines", "points": [[100, 100], [200, 100]]}])"));
    EXPECT_EQ(line->getViewSize(), CRect(-8, -8, 208, 108));
    line->setProperty("path", json(R"([{"kind": "lines", "points": [[-20, 30], [10, 40]]},
                                       {"kind": "beziers", "points": []}])"));
    EXPECT_EQ(line->getViewSize(), CRect(-28, -8, 18, 48));

    line->setProperty("lineWidth", json("2"));
    line->setProperty("path", json(R"([
        {"kind": "lines", "points": [[10, 10], [50, 10], [50, 50]]},
        {"kind": "beziers", "points": [[80, 80], [120, 80], [130, 90], [130, 130]]}])"));
    Canvas canvas(140, 140, kWhite);
    canvas.draw(*line);
    canvas.save("line-joined");
    line->forget();
    EXPECT_LT(canvas.at(30, 10).brightness(), 100);
    EXPECT_LT(canvas.at(50, 30).brightness(), 100);
    EXPECT_LT(canvas.at(65, 65).brightness(), 100);  // joining (50, 50) to (80, 80)
    EXPECT_LT(canvas.at(130, 128).brightness(), 100);
    EXPECT_EQ(canvas.at(65, 40).brightness(), 255);
    // Nothing runs from the end back to the start.
    EXPECT_EQ(canvas.at(30, 30).brightness(), 255);
    EXPECT_EQ(canvas.at(100, 100).brightness(), 255);
}

class KOTextTest : public ::testing::Test {
  protected:
    KOTextTest() { label->setProperty("position", json("[100, 30]")); }
    ~KOTextTest() override { label->forget(); }

    Canvas render(const std::string& picture = {}) {
        Canvas canvas(200, 60, kWhite);
        canvas.draw(*label);
        if (!picture.empty())
            canvas.save(picture);
        return canvas;
    }

    ResourceCache resources{editorResources()};
    KOText* label = new KOText(VSTGUI::CPoint(0, 0), &resources);
};

TEST_F(KOTextTest, TheViewIsTheMeasuredBoxAlignedOnThePositionAndTheInkFollows) {
    EXPECT_TRUE(inkOf(render(), 255).empty());  // no text yet
    EXPECT_EQ(label->getViewSize().getWidth(), 0);

    label->setProperty("text", json(R"("Delay 400")"));
    label->setProperty("fontSize", json("12"));
    const CRect centred = label->getViewSize();
    EXPECT_DOUBLE_EQ((centred.left + centred.right) / 2, 100);
    EXPECT_DOUBLE_EQ((centred.top + centred.bottom) / 2, 30);
    EXPECT_GT(centred.getWidth(), 60);
    // GDI+ pads text by a sixth of the font size on either side, which Wine does not quite
    // split evenly: the ink may sit a few pixels off.
    Ink ink = inkOf(render("text-centre"));
    EXPECT_NEAR((ink.left + ink.right + 1) / 2.0, 100, 4);
    EXPECT_NEAR((ink.top + ink.bottom + 1) / 2.0, 30, 3);

    label->setProperty("horizontalAlign", json(R"("far")"));
    label->setProperty("verticalAlign", json(R"("near")"));
    EXPECT_EQ(label->getViewSize(),
              CRect(100 - centred.getWidth(), 30, 100, 30 + centred.getHeight()));
    ink = inkOf(render("text-far-near"));
    EXPECT_NEAR(ink.right, 100, 5);  // GDI+ pads the far side by a sixth of an em; Wine less
    EXPECT_NEAR(ink.top, 33, 3);

    label->setProperty("horizontalAlign", json(R"("near")"));
    label->setProperty("verticalAlign", json(R"("far")"));
    EXPECT_EQ(label->getViewSize(),
              CRect(100, 30 - centred.getHeight(), 100 + centred.getWidth(), 30));
    ink = inkOf(render("text-near-far"));
    EXPECT_NEAR(ink.left, 103, 3);
    EXPECT_NEAR(ink.bottom, 27, 3);
}

TEST_F(KOTextTest, LetterSpacingSetsEachCharacterOnItsOwnPointAndTheViewHoldsThemAll) {
    label->setProperty("text", json(R"("abc")"));
    for (const int spacing : {10, 25}) {
        label->setProperty("letterSpacing", json(std::to_string(spacing)));
        const Ink ink = inkOf(render("text-spacing-" + std::to_string(spacing)));
        ASSERT_EQ(ink.runs.size(), 3u) << spacing;
        const auto centre = [&ink](int i) {
            return (ink.runs[i].first + ink.runs[i].second + 1) / 2.0;
        };
        EXPECT_NEAR(centre(1), 100, 3) << spacing;
        EXPECT_NEAR(centre(1) - centre(0), spacing, 1) << spacing;
        EXPECT_NEAR(centre(2) - centre(1), spacing, 1) << spacing;
        EXPECT_LE(label->getViewSize().left, ink.left) << spacing;
        EXPECT_GE(label->getViewSize().right, ink.right + 1) << spacing;
    }
}

TEST_F(KOTextTest, ATextThatIsNotUtf8OrGoesBeyondU_FFFFIsRefusedAndTheOldOneStays) {
    const std::string accented = std::string("\xC3\xA9t\xC3\xA9 \xE2\x88\x92") + "400";  // été −400
    label->setProperty("text", picojson::value(accented));
    const CRect view = label->getViewSize();
    Canvas before = render("text-accented");
    ASSERT_FALSE(inkOf(before).empty());
    for (const char* bad :
         {"\xC3\x28", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xC0\xAF", "a\xE2\x88"}) {
        try {
            label->setProperty("text", picojson::value(bad));
            ADD_FAILURE() << "accepted " << bad;
        } catch (const std::range_error& error) {
            EXPECT_STREQ(error.what(), "bad conversion");
        }
        EXPECT_EQ(label->getViewSize(), view);
        Canvas after = render();
        EXPECT_TRUE(after.sameAs(before));
    }
}

TEST_F(KOTextTest, AFontThatIsNoResourceIsAnInstalledFamilyOrGenericSansSerifOrTheDefault) {
    label->setProperty("text", json(R"("Delay")"));
    label->setProperty("fontName", json(R"("DejaVu Sans")"));  // the host's, through Wine
    EXPECT_FALSE(inkOf(render("text-installed-font")).empty());

    label->setProperty("fontName", json(R"("No Such Font")"));
    Canvas unknown = render("text-unknown-font");
    EXPECT_FALSE(inkOf(unknown).empty());
    Gdiplus::GpFontFamily* generic = nullptr;
    if (Gdiplus::DllExports::GdipGetGenericFontFamilySansSerif(&generic) != Gdiplus::Ok) {
        // No generic sans-serif family (this Wine, or Linux): the editor's default font.
        label->setProperty("fontName", json(std::string("\"") + KOText::kDefaultFont + "\""));
        EXPECT_TRUE(unknown.sameAs(render()));
        return;
    }
    WCHAR name[LF_FACESIZE] = {};
    Gdiplus::DllExports::GdipGetFamilyName(generic, name, LANG_NEUTRAL);
    Gdiplus::DllExports::GdipDeleteFontFamily(generic);
    const std::wstring wide(name);
    label->setProperty("fontName", picojson::value(std::string(wide.begin(), wide.end())));
    EXPECT_FALSE(inkOf(unknown).empty());
    EXPECT_TRUE(unknown.sameAs(render()));
}

TEST(Drawables, TakeNoMouseKnowOnlyTheirOwnPropertiesAndDrawOnlyIntoGdiplus) {
    ResourceCache resources(editorResources());
    auto* frame = new VSTGUI::CFrame(CRect(0, 0, 200, 200), nullptr);
    auto* knob = new MyKnob(VSTGUI::CPoint(150, 150), nullptr, 1, &resources);
    const std::vector<VSTGUI::CView*> views = {new KORect, new KOLine(VSTGUI::CPoint(10, 10)),
                                               new KOText(VSTGUI::CPoint(10, 10), &resources),
                                               knob};
    for (VSTGUI::CView* view : views) {
        frame->addView(view);
        auto& target = dynamic_cast<IPropertyTarget&>(*view);
        EXPECT_THROW(target.setProperty("colour", json("[]")), std::logic_error);
        if (view != knob) {
            target.setProperty("size", json("[0, 0, 50, 50]"));
            EXPECT_EQ(view->getViewSize(), CRect(0, 0, 50, 50));
        }
        testing::PlainContext plain;
        view->setDirty(true);
        view->draw(&plain);
        EXPECT_TRUE(view->isDirty());
        Canvas canvas(200, 200, kWhite);
        canvas.draw(*view);
        EXPECT_FALSE(view->isDirty());
    }
    EXPECT_EQ(frame->getViewAt(VSTGUI::CPoint(0, 0)), nullptr);
    EXPECT_EQ(frame->getViewAt(VSTGUI::CPoint(25, 25)), nullptr);
    EXPECT_EQ(frame->getViewAt(VSTGUI::CPoint(150, 150)), knob);
    frame->forget();
}

}  // namespace
}  // namespace corvane::vst
