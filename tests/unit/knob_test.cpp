// The knob drawn offscreen under Wine's GDI+: its face, its pointer, the pointer's cache and the
// glow's blur. Every picture also goes to the test output folder.
#include <gtest/gtest.h>

#include "gdiplus_api.h"

#include <cmath>
#include <string>
#include <vector>

#include "frame.h"
#include "my_knob.h"
#include "offscreen.h"
#include "resource_cache.h"
#include "resource_registry.h"

namespace corvane::vst {
namespace {

using testing::Canvas;
using testing::json;
using testing::Pixel;
using testing::pixelOf;

constexpr double kPi = 3.141592653589793;
constexpr int kCx = 60, kCy = 60;  // the knob's centre on a 120 x 120 canvas
const Gdiplus::Color kBackground(0xFF202020);
const Pixel kPointer = pixelOf(0xFF59DBDF);
const Pixel kRed = pixelOf(0xFFFF0000);

// Angles in degrees clockwise from 3 o'clock, as the pixels show them (y grows downward).
double angleBetween(double a, double b) {
    return std::abs(std::remainder(a - b, 360.0));
}

Pixel atPolar(Canvas& canvas, double degrees, double radius) {
    const double theta = degrees * kPi / 180;
    return canvas.at(int(std::lround(kCx + radius * std::cos(theta))),
                     int(std::lround(kCy + radius * std::sin(theta))));
}

// The brightest pixel within one pixel of the point: a mark two pixels wide, antialiased, may
// cover the nearest pixel only in part.
int brightestNear(Canvas& canvas, double degrees, double radius) {
    const double theta = degrees * kPi / 180;
    const int x = int(std::lround(kCx + radius * std::cos(theta)));
    const int y = int(std::lround(kCy + radius * std::sin(theta)));
    int brightest = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx)
            brightest = std::max(brightest, canvas.at(x + dx, y + dy).brightness());
    }
    return brightest;
}

// The pixels of about `colour`: how many, the direction of their centroid from the knob's
// centre, and their nearest and farthest distance from it.
struct Spot {
    int count = 0;
    double degrees = 0, nearest = 1e9, farthest = 0;
};

Spot findColour(Canvas& canvas, const Pixel& colour, int tolerance = 30) {
    Spot spot;
    double sx = 0, sy = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (canvas.at(x, y).distance(colour) > tolerance)
                continue;
            const double dx = x + 0.5 - kCx, dy = y + 0.5 - kCy, r = std::hypot(dx, dy);
            ++spot.count;
            sx += dx;
            sy += dy;
            spot.nearest = std::min(spot.nearest, r);
            spot.farthest = std::max(spot.farthest, r);
        }
    }
    spot.degrees = std::atan2(sy, sx) * 180 / kPi;
    return spot;
}

class KnobTest : public ::testing::Test {
  protected:
    ~KnobTest() override { knob->forget(); }

    Canvas render(const std::string& picture = {}, Gdiplus::Color background = kBackground) {
        Canvas canvas(120, 120, background);
        canvas.draw(*knob);
        if (!picture.empty())
            canvas.save(picture);
        return canvas;
    }

    ResourceCache resources{editorResources()};
    MyKnob* knob = new MyKnob(VSTGUI::CPoint(kCx, kCy), nullptr, 1, &resources);
};

TEST_F(KnobTest, TheViewAndTheMouseAreaAreSquaresOfTheirRadiiAroundTheCentre) {
    EXPECT_EQ(knob->getViewSize(), VSTGUI::CRect(20, 20, 100, 100));
    auto* frame = new VSTGUI::CFrame(VSTGUI::CRect(0, 0, 200, 200), nullptr);
    knob->remember();
    frame->addView(knob);
    knob->setProperty("hitRadius", json("30"));
    knob->setProperty("center", json("[100, 50]"));
    EXPECT_EQ(knob->getViewSize(), VSTGUI::CRect(60, 10, 140, 90));
    // The border between the two radii does not take the mouse.
    EXPECT_EQ(frame->getViewAt(VSTGUI::CPoint(65, 50)), nullptr);
    EXPECT_EQ(frame->getViewAt(VSTGUI::CPoint(71, 21)), knob);
    EXPECT_EQ(frame->getViewAt(VSTGUI::CPoint(129, 79)), knob);
    EXPECT_EQ(frame->getViewAt(VSTGUI::CPoint(131, 50)), nullptr);
    frame->forget();

    EXPECT_THROW(knob->setProperty("noSuchProperty", json("1")), std::logic_error);
}

TEST_F(KnobTest, NineWhiteTickMarksStandEveryThirtyDegreesFromEightToFourOClock) {
    Canvas canvas = render("knob-default");
    for (int k = 0; k < 9; ++k) {
        for (const double radius : {35.5, 37.0, 38.5}) {
            EXPECT_GT(brightestNear(canvas, 150 + 30 * k, radius), 150) << k;
        }
    }
    // Between the marks, below the scale, inside and outside the ring: no marks.
    for (int degrees = 165; degrees < 390; degrees += 30) {
        EXPECT_LT(atPolar(canvas, degrees, 37).brightness(), 60) << degrees;
    }
    for (const double degrees : {60.0, 90.0, 120.0}) {
        EXPECT_LT(atPolar(canvas, degrees, 37).brightness(), 60) << degrees;
    }
    EXPECT_LT(atPolar(canvas, 270, 43).brightness(), 60);

    // A single mark stands at the start; an empty list draws none.
    knob->setProperty("tickMarks", json(R"([{"width": 3, "startRadius": 33, "endRadius": 41,
                                             "color": [255, 255, 0, 0]}])"));
    Canvas one = render("knob-one-mark");
    EXPECT_LT(angleBetween(findColour(one, kRed, 60).degrees, 150), 2);
    knob->setProperty("tickMarks", json("[]"));
    Canvas none = render();
    for (int k = 0; k < 9; ++k) {
        EXPECT_LT(atPolar(none, 150 + 30 * k, 37).brightness(), 60) << k;
    }
}

TEST_F(KnobTest, TheShadowIsADiscOfItsRadiusMovedFiveRightAndFiveDown) {
    knob->setProperty("tickMarks", json("[]"));
    knob->setProperty("capRadius", json("0"));
    knob->setProperty("capTintColor", json("[0, 0, 0, 0]"));
    knob->setProperty("pointerColor", json("[0, 0, 0, 0]"));
    knob->setProperty("pointerOutlineColor", json("[0, 0, 0, 0]"));
    Canvas canvas = render("knob-shadow", Gdiplus::Color(0));
    int left = 999, right = -1, top = 999, bottom = -1;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 120; ++x) {
            if (canvas.at(x, y).a == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    // Pixels 25 to 104 for the disc from 25 to 105.
    EXPECT_NEAR(left, kCx + 5 - 40, 1);
    EXPECT_NEAR(right, kCx + 5 + 39, 1);
    EXPECT_NEAR(top, kCy + 5 - 40, 1);
    EXPECT_NEAR(bottom, kCy + 5 + 39, 1);
    // Dark within, fading towards the edge. (Where the gradient peaks is GDI+'s business: Wine
    // puts a path's centre at the mean of its points, a little off an ellipse's centre.)
    EXPECT_GT(canvas.at(kCx + 5, kCy + 5).a, 200);
    EXPECT_LT(canvas.at(kCx + 5 - 36, kCy + 5).a, 60);
    EXPECT_LT(canvas.at(kCx + 5, kCy + 5 + 36).a, 60);
}

TEST_F(KnobTest, ValuesZeroHalfAndOnePointAtTheStartTheMiddleAndTheEnd) {
    const double expected[] = {150, 270, 30};
    for (int i = 0; i < 3; ++i) {
        const float value = i * 0.5f;
        knob->setValue(value);
        Canvas canvas = render("knob-value-" + std::to_string(i));
        const Spot pointer = findColour(canvas, kPointer);
        ASSERT_GT(pointer.count, 20) << value;
        // Within a few degrees: drawing the turned image may shift it by part of a pixel.
        EXPECT_LT(angleBetween(pointer.degrees, expected[i]), 3) << value;
        // From radius 15 to 24, with round ends of radius 2.
        EXPECT_NEAR(pointer.nearest, 14, 2) << value;
        EXPECT_NEAR(pointer.farthest, 25, 2) << value;
    }
}

TEST_F(KnobTest, AStartAngleBeyondTheEndAngleRunsScaleAndPointerCounterClockwise) {
    knob->setProperty("startAngle", json("120"));
    knob->setProperty("endAngle", json("-120"));
    knob->setProperty("tickMarks", json(R"([
        {"width": 3, "startRadius": 33, "endRadius": 41, "color": [255, 255, 0, 0]},
        {"width": 3, "startRadius": 33, "endRadius": 41, "color": [255, 0, 255, 0]},
        {"width": 3, "startRadius": 33, "endRadius": 41, "color": [255, 0, 0, 255]}])"));
    knob->setValue(0.25f);
    Canvas canvas = render("knob-counter-clockwise");
    EXPECT_LT(angleBetween(findColour(canvas, kRed, 60).degrees, 30), 2);
    EXPECT_LT(angleBetween(findColour(canvas, pixelOf(0xFF00FF00), 60).degrees, 270), 2);
    EXPECT_LT(angleBetween(findColour(canvas, pixelOf(0xFF0000FF), 60).degrees, 150), 2);
    // A quarter of the way from 4 o'clock to 8 o'clock over the top.
    EXPECT_LT(angleBetween(findColour(canvas, kPointer).degrees, -30), 3);
}

TEST_F(KnobTest, ThePointerImageIsKeptUntilTheGeometryOrThePointerChanges) {
    render();
    ASSERT_NE(knob->getPointerCache(), nullptr);
    EXPECT_EQ(knob->getPointerCache()->GetWidth(), 80u);
    // A mark of our own in the cache survives only as long as the cache is not rebuilt.
    const Gdiplus::Color mark(0xFF123456);
    const auto setMark = [&] { knob->getPointerCache()->SetPixel(0, 0, mark); };
    const auto marked = [&] {
        Gdiplus::Color pixel;
        return knob->getPointerCache() && knob->getPointerCache()->GetPixel(0, 0, &pixel) == 0 &&
               pixel.GetValue() == mark.GetValue();
    };
    setMark();
    knob->setValue(0.9f);
    knob->setProperty("tickMarks", json("[]"));
    knob->setProperty("capTintColor", json("[64, 255, 0, 0]"));
    knob->setProperty("shadowRadius", json("30"));
    render();
    EXPECT_TRUE(marked());

    knob->setProperty("viewRadius", json("50"));
    EXPECT_EQ(knob->getPointerCache(), nullptr);
    render();
    EXPECT_EQ(knob->getPointerCache()->GetWidth(), 100u);
    EXPECT_FALSE(marked());
    setMark();
    knob->setProperty("center", json("[61, 60]"));
    EXPECT_EQ(knob->getPointerCache(), nullptr);
    render();
    EXPECT_FALSE(marked());
    knob->setProperty("center", json("[60, 60]"));
    render();

    // A pointer colour set after the first drawing shows.
    knob->setProperty("pointerColor", json("[255, 255, 0, 0]"));
    EXPECT_EQ(knob->getPointerCache(), nullptr);
    Canvas canvas = render("knob-red-pointer");
    EXPECT_EQ(findColour(canvas, kPointer).count, 0);
    EXPECT_LT(angleBetween(findColour(canvas, kRed).degrees, 150 + 0.9 * 240), 3);
}

TEST_F(KnobTest, TheCapShowsItsImageOrTheFallbackAndWithoutAUsableImageItsTintOnly) {
    const auto capPixel = [](Canvas&& canvas) { return canvas.at(kCx - 10, kCy - 10); };
    const Pixel image = capPixel(render("knob-cap-image"));
    knob->setProperty("capImage", json(R"("images/no-such.png")"));
    const Pixel fallback = capPixel(render("knob-cap-fallback"));

    // No image at all, and bytes that are no image, draw alike: everything but the image.
    const auto renderWith = [](ResourceCache::Loader loader, const char* picture) {
        ResourceCache cache(std::move(loader));
        auto* bare = new MyKnob(VSTGUI::CPoint(kCx, kCy), nullptr, 1, &cache);
        bare->setProperty("capImage", json(R"("images/broken.png")"));
        Canvas canvas(120, 120, kBackground);
        canvas.draw(*bare);
        canvas.save(picture);
        bare->forget();
        return canvas;
    };
    Canvas none = renderWith([](const std::string&) { return std::vector<unsigned char>(); },
                             "knob-cap-none");
    Canvas broken = renderWith(
        [](const std::string& name) {
            return std::vector<unsigned char>(name == "images/broken.png" ? 4 : 0, 7);
        },
        "knob-cap-broken");
    EXPECT_GT(image.brightness(), none.at(kCx - 10, kCy - 10).brightness() + 40);
    EXPECT_GT(fallback.distance(image), 20);
    EXPECT_GT(fallback.distance(none.at(kCx - 10, kCy - 10)), 20);
    EXPECT_TRUE(broken.sameAs(none));
    EXPECT_GT(findColour(broken, kPointer).count, 20);
    EXPECT_GT(brightestNear(broken, 150, 37), 150);
}

TEST(KnobGlow, ABoxBlurPassAveragesColumnsThenRowsWithZerosOutside) {
    MyKnob::FloatImage image{5, 4, std::vector<float>(5 * 4 * 4, 0.f)};
    const auto at = [&image](int x, int y, int channel) -> float& {
        return image.pixels[std::size_t((y * image.width + x) * 4 + channel)];
    };
    at(2, 1, 0) = 0.9f;  // inside
    at(0, 3, 3) = 0.9f;  // in a corner, where most of it falls outside
    MyKnob::boxBlurPass(image, 1);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool nearInside = std::abs(x - 2) <= 1 && std::abs(y - 1) <= 1;
            const bool nearCorner = x <= 1 && y >= 2;
            EXPECT_FLOAT_EQ(at(x, y, 0), nearInside ? 0.1f : 0.f) << x << "," << y;
            EXPECT_FLOAT_EQ(at(x, y, 3), nearCorner ? 0.1f : 0.f) << x << "," << y;
            EXPECT_EQ(at(x, y, 1) + at(x, y, 2), 0.f);
        }
    }
    // A second pass weighs 1 2 3 2 1 along each axis.
    MyKnob::boxBlurPass(image, 1);
    EXPECT_FLOAT_EQ(at(2, 1, 0), 0.9f * 3 * 3 / 81);
    EXPECT_FLOAT_EQ(at(0, 0, 0), 0.9f * 1 * 2 / 81);
}

}  // namespace
}  // namespace corvane::vst
