// The frame and its views drawn into a bitmap, without a window.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "frame.h"
#include "knob.h"
#include "test_views.h"

namespace {

using gui_test::SolidView;
using VSTGUI::CColor;
using VSTGUI::CFrame;
using VSTGUI::CRect;

const CColor kGrey(127, 127, 127);
const CColor kRed(255, 0, 0);
const CColor kBlue(0, 0, 255);

// A frame that is released at the end of the test.
struct FrameHolder {
    explicit FrameHolder(const CRect& size) : frame(new CFrame(size, nullptr)) {}
    ~FrameHolder() { frame->close(); }
    CFrame* operator->() const { return frame; }
    CFrame* frame;
};

// ARGB of a pixel, alpha in the top byte.
uint32_t pixel(Gdiplus::Bitmap& bitmap, int x, int y) {
    Gdiplus::Color color;
    bitmap.GetPixel(x, y, &color);
    return color.GetValue();
}

uint32_t argb(const CColor& color) {
    return Gdiplus::Color(color.alpha, color.red, color.green, color.blue).GetValue();
}

struct Scene {
    Scene() : holder(CRect(0, 0, 100, 80)) {
        holder->setBackgroundColor(kGrey);
        red = new SolidView(CRect(10, 10, 40, 40), kRed);
        blue = new SolidView(CRect(50, 10, 90, 40), kBlue);
        holder->addView(red);
        holder->addView(blue);
    }

    void render(const CRect& update) {
        VSTGUI::GdiplusDrawContext context(&bitmap);
        ASSERT_NE(context.getGraphics(), nullptr);
        holder->drawRect(&context, update);
    }

    FrameHolder holder;
    SolidView* red;
    SolidView* blue;
    Gdiplus::Bitmap bitmap{100, 80, PixelFormat32bppPARGB};
};

TEST(Frame, DrawsBackgroundAndEveryViewInOrder) {
    Scene scene;
    // A third view over part of the red one: later views are drawn on top.
    scene.holder->addView(new SolidView(CRect(30, 30, 60, 60), kBlue));
    scene.render(CRect(0, 0, 100, 80));
    EXPECT_EQ(pixel(scene.bitmap, 5, 5), argb(kGrey));
    EXPECT_EQ(pixel(scene.bitmap, 15, 15), argb(kRed));
    EXPECT_EQ(pixel(scene.bitmap, 35, 35), argb(kBlue));
    EXPECT_EQ(pixel(scene.bitmap, 70, 20), argb(kBlue));
    EXPECT_EQ(pixel(scene.bitmap, 95, 75), argb(kGrey));
}

TEST(Frame, DrawsOnlyWhatMeetsTheUpdateRect) {
    Scene scene;
    scene.render(CRect(0, 0, 45, 80));
    EXPECT_EQ(scene.red->drawings, 1);
    EXPECT_EQ(scene.blue->drawings, 0);
    EXPECT_EQ(pixel(scene.bitmap, 15, 15), argb(kRed));
    EXPECT_EQ(pixel(scene.bitmap, 70, 20), 0u);  // untouched
    EXPECT_EQ(pixel(scene.bitmap, 46, 5), 0u);   // background outside the rect too

    // A view cut by the rect is drawn within it only.
    scene.render(CRect(60, 0, 100, 80));
    EXPECT_EQ(scene.blue->drawings, 1);
    EXPECT_EQ(pixel(scene.bitmap, 55, 20), 0u);
    EXPECT_EQ(pixel(scene.bitmap, 65, 20), argb(kBlue));
}

TEST(Frame, InvalidationCollectsAreasAndDirtyViews) {
    FrameHolder holder(CRect(0, 0, 100, 80));
    holder->addView(new VSTGUI::CControl(CRect(20, 20, 30, 30)));
    EXPECT_EQ(holder->getInvalidArea(), CRect(20, 20, 30, 30));  // an added view is drawn

    // A value change marks the view dirty; the frame's idle turns that into an invalid area.
    CFrame fresh(CRect(0, 0, 100, 80), nullptr);
    auto* other = new VSTGUI::CControl(CRect(5, 5, 15, 15));
    fresh.addView(other);
    EXPECT_FALSE(other->isDirty());
    other->setValue(0.3f);
    EXPECT_TRUE(other->isDirty());
    other->setValue(0.3f);
    fresh.idle();
    EXPECT_FALSE(other->isDirty());
    EXPECT_EQ(fresh.getInvalidArea(), CRect(5, 5, 15, 15));

    // Moving a view: the old area by the caller, the new one by setViewSize; cut to the frame.
    other->invalid();
    other->setViewSize(CRect(90, 70, 120, 100));
    EXPECT_EQ(fresh.getInvalidArea(), CRect(5, 5, 100, 80));
}

TEST(Control, KeepsItsValueInRange) {
    VSTGUI::CControl control(CRect(0, 0, 10, 10));
    control.setValue(1.5f);
    EXPECT_EQ(control.getValue(), 1.f);
    control.setValue(-2.f);
    EXPECT_EQ(control.getValue(), 0.f);
    control.setValue(std::nanf(""));
    EXPECT_EQ(control.getValue(), 0.f);
    control.setMin(-1.f);
    control.setValueNormalized(0.75f);
    EXPECT_EQ(control.getValue(), 0.5f);
    EXPECT_EQ(control.getValueNormalized(), 0.75f);
    EXPECT_EQ(control.getDefaultValue(), 0.5f);
    EXPECT_FLOAT_EQ(control.getWheelInc(), 0.1f);
}

TEST(Frame, FindsTheTopmostDirectChildByMouseArea) {
    FrameHolder holder(CRect(0, 0, 100, 80));
    auto* below = new SolidView(CRect(0, 0, 100, 80), kGrey);
    auto* above = new SolidView(CRect(10, 10, 50, 50), kRed);
    holder->addView(below);
    holder->addView(above);
    EXPECT_EQ(holder->getViewAt({20, 20}), above);
    EXPECT_EQ(holder->getViewAt({60, 20}), below);
    above->setMouseableArea(CRect(20, 20, 30, 30));
    EXPECT_EQ(holder->getViewAt({15, 15}), below);
    EXPECT_EQ(holder->getViewAt({25, 25}), above);
    EXPECT_EQ(holder->getViewAt({100, 80}), nullptr);  // right and bottom edges are outside
}

TEST(Knob, MapsAnglesToValuesInEitherDirection) {
    constexpr double kPi = 3.141592653589793;
    VSTGUI::CKnob knob(CRect(0, 0, 100, 100), nullptr, 0, nullptr, nullptr);
    // Defaults: from 7:30 clockwise over 270 degrees; straight up is the middle.
    EXPECT_FLOAT_EQ(knob.valueFromPoint({50, 0}), 0.5f);
    EXPECT_NEAR(knob.valueFromPoint({100, 50}), 0.5 + 90.0 / 270.0, 1e-6);
    EXPECT_EQ(knob.valueFromPoint({60, 100}), 1.f);  // in the gap, nearer the end
    EXPECT_EQ(knob.valueFromPoint({40, 100}), 0.f);  // in the gap, nearer the start
    EXPECT_NEAR(knob.valueFromPoint({0, 100}), 0.f, 1e-6);

    // A negative range runs counter-clockwise from its start.
    knob.setStartAngle(static_cast<float>(kPi / 4));
    knob.setRangeAngle(static_cast<float>(-3 * kPi / 2));
    EXPECT_NEAR(knob.valueFromPoint({100, 100}), 0.f, 1e-6);
    EXPECT_NEAR(knob.valueFromPoint({100, 50}), 1.0 / 6.0, 1e-6);
    EXPECT_FLOAT_EQ(knob.valueFromPoint({50, 0}), 0.5f);
    EXPECT_NEAR(knob.valueFromPoint({0, 100}), 1.f, 1e-6);
}

}  // namespace
