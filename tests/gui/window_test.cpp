// The toolkit in real windows: a frame inside a parent window, driven by posted messages as the
// window manager would deliver them, and the editor view attached to and removed from a window.
// Needs a display (run under xvfb-run).
#include <gtest/gtest.h>

#include <memory>

#include "frame.h"
#include "knob.h"
#include "test_views.h"
#include "vstgui_editor.h"
#include "vstgui_timer.h"
#include "window_support.h"

namespace {

using gui_test::parentWindow;
using gui_test::pump;
using gui_test::RecordingListener;
using gui_test::RecordingPlugFrame;
using gui_test::SolidView;
using Steinberg::tresult;
using Steinberg::uint32;
using VSTGUI::CColor;
using VSTGUI::CFrame;
using VSTGUI::CKnob;
using VSTGUI::CRect;
using Strings = std::vector<std::string>;

struct KnobModeEditor : VSTGUI::VSTGUIEditorInterface {
    int32_t getKnobMode() const override { return mode; }
    int32_t mode = VSTGUI::kLinearMode;
};

std::string valueText(float value) {
    return "value " + std::to_string(value);
}

// A frame with a knob (view 60,20..160,120, centre 110,70) opened in a parent window.
class KnobWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(parentWindow(), nullptr);
        frame = new CFrame(CRect(0, 0, 246, 160), &editor);
        knob = new CKnob(CRect(60, 20, 160, 120), &listener, 1, nullptr, nullptr);
        frame->addView(knob);
        ASSERT_TRUE(frame->open(parentWindow()));
        window = static_cast<HWND>(frame->getPlatformHandle());
        pump();
    }
    void TearDown() override { frame->close(); }

    void post(UINT message, WPARAM keys, int x, int y) {
        PostMessageW(window, message, keys, MAKELPARAM(x, y));
        pump();
    }
    void drag(int fromX, int fromY, int toX, int toY, WPARAM keys = 0) {
        post(WM_LBUTTONDOWN, MK_LBUTTON | keys, fromX, fromY);
        post(WM_MOUSEMOVE, MK_LBUTTON | keys, toX, toY);
        post(WM_LBUTTONUP, keys, toX, toY);
    }
    void wheel(int steps, WPARAM keys = 0) {
        POINT point{110, 70};
        ClientToScreen(window, &point);
        PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(keys, steps * WHEEL_DELTA),
                     MAKELPARAM(point.x, point.y));
        pump();
    }
    void start(float value) {
        knob->setValue(value);
        listener.events.clear();
    }

    KnobModeEditor editor;
    RecordingListener listener;
    CFrame* frame = nullptr;
    CKnob* knob = nullptr;
    HWND window = nullptr;
};

TEST_F(KnobWindow, LinearDragSpansTheRangeIn200Pixels) {
    start(0.25f);
    drag(110, 70, 110, -30);  // 100 px up
    EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
    EXPECT_EQ(listener.edits(), (Strings{"begin", valueText(0.75f), "end"}));

    start(0.5f);
    drag(110, 70, 50, 70);  // left counts negative; the value stops at its minimum
    EXPECT_FLOAT_EQ(knob->getValue(), 0.2f);
    start(0.5f);
    drag(110, 70, 10, 200);  // 100 left + 130 down
    EXPECT_EQ(knob->getValue(), 0.f);
}

TEST_F(KnobWindow, ShiftDragIsFinerAndStaysContinuousWhenShiftChanges) {
    knob->setZoomFactor(10.f);
    start(0.25f);
    drag(110, 70, 110, -30, MK_SHIFT);  // 100 of 2000 px
    EXPECT_NEAR(knob->getValue(), 0.30f, 1e-6);

    start(0.5f);
    post(WM_LBUTTONDOWN, MK_LBUTTON, 110, 70);
    post(WM_MOUSEMOVE, MK_LBUTTON, 110, 30);  // +40 coarse
    EXPECT_NEAR(knob->getValue(), 0.7f, 1e-6);
    post(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 110, 30);  // Shift alone moves nothing
    EXPECT_NEAR(knob->getValue(), 0.7f, 1e-6);
    post(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 110, -10);  // +40 fine
    EXPECT_NEAR(knob->getValue(), 0.72f, 1e-6);
    post(WM_MOUSEMOVE, MK_LBUTTON, 110, -50);  // +40 coarse again
    EXPECT_NEAR(knob->getValue(), 0.92f, 1e-5);
    post(WM_LBUTTONUP, 0, 110, -50);
    EXPECT_EQ(listener.edits().front(), "begin");
    EXPECT_EQ(listener.edits().back(), "end");
}

TEST_F(KnobWindow, CircularDragFollowsTheAngleAndHoldsAtTheEnds) {
    editor.mode = VSTGUI::kCircularMode;
    start(0.1f);
    post(WM_LBUTTONDOWN, MK_LBUTTON, 110, 30);  // above the centre: the middle of the scale
    EXPECT_FLOAT_EQ(knob->getValue(), 0.1f);    // a click alone does not move it
    post(WM_MOUSEMOVE, MK_LBUTTON, 150, 70);    // right of the centre
    EXPECT_NEAR(knob->getValue(), 0.5 + 90.0 / 270.0, 1e-5);
    post(WM_MOUSEMOVE, MK_LBUTTON, 150, 110);  // 4:30, the end
    EXPECT_NEAR(knob->getValue(), 1.f, 1e-5);
    post(WM_MOUSEMOVE, MK_LBUTTON, 70, 110);  // across the gap to 7:30: held at the end
    EXPECT_EQ(knob->getValue(), 1.f);
    post(WM_MOUSEMOVE, MK_LBUTTON, 150, 70);  // back within reach
    EXPECT_NEAR(knob->getValue(), 0.5 + 90.0 / 270.0, 1e-5);
    post(WM_LBUTTONUP, 0, 150, 70);
    EXPECT_EQ(listener.edits().back(), "end");

    // Alt swaps the modes for one drag (Alt reaches the knob in the button state).
    start(0.25f);
    VSTGUI::CPoint down(110, 70), up(110, -30);
    const VSTGUI::CButtonState altLeft(VSTGUI::kLButton | VSTGUI::kAlt);
    frame->onMouseDown(down, altLeft);
    frame->onMouseMoved(up, altLeft);
    frame->onMouseUp(up, altLeft);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
    editor.mode = VSTGUI::kLinearMode;
    start(0.25f);
    frame->onMouseDown(down, altLeft);
    frame->onMouseMoved(up, altLeft);  // circular now: straight up is the middle
    frame->onMouseUp(up, altLeft);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
}

TEST_F(KnobWindow, WheelAndArrowKeysStepByTheWheelIncrement) {
    start(0.5f);
    wheel(1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.6f);
    EXPECT_EQ(listener.edits(), (Strings{"begin", valueText(0.6f), "end"}));
    wheel(-2);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.4f);
    wheel(1, MK_SHIFT);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.41f);
    start(0.95f);
    wheel(1);
    wheel(1);  // nothing left to move: no edit
    EXPECT_EQ(knob->getValue(), 1.f);
    EXPECT_EQ(listener.edits(), (Strings{"begin", valueText(1.f), "end"}));

    // Keys go to the view that took the last click.
    post(WM_LBUTTONDOWN, MK_LBUTTON, 110, 70);
    post(WM_LBUTTONUP, 0, 110, 70);
    EXPECT_EQ(frame->getFocusView(), knob);
    start(0.5f);
    PostMessageW(window, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(window, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageW(window, WM_KEYDOWN, VK_LEFT, 0);
    PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
    pump();
    EXPECT_FLOAT_EQ(knob->getValue(), 0.4f);
    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(window, WM_KEYDOWN, VK_UP, 0);
    pump();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.41f);
}

TEST_F(KnobWindow, ControlClickRestoresTheDefault) {
    start(0.8f);
    post(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 110, 70);
    post(WM_LBUTTONUP, MK_CONTROL, 110, 70);
    EXPECT_EQ(knob->getValue(), 0.5f);
    EXPECT_EQ(listener.edits(), (Strings{"begin", valueText(0.5f), "end"}));
    listener.events.clear();
    post(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 110, 70);  // at the default already
    post(WM_LBUTTONUP, MK_CONTROL, 110, 70);
    EXPECT_TRUE(listener.edits().empty());
}

TEST_F(KnobWindow, EveryClickIsOfferedToTheListenerFirst) {
    start(0.25f);
    post(WM_RBUTTONDOWN, MK_RBUTTON, 110, 70);
    post(WM_RBUTTONUP, 0, 110, 70);
    EXPECT_EQ(listener.events, (Strings{"clicked " + std::to_string(VSTGUI::kRButton)}));

    listener.takeButtons = VSTGUI::kLButton;  // a listener may take left clicks too
    start(0.25f);
    drag(110, 70, 110, -30);
    EXPECT_EQ(knob->getValue(), 0.25f);
    EXPECT_EQ(listener.events, (Strings{"clicked " + std::to_string(VSTGUI::kLButton)}));
}

TEST_F(KnobWindow, ClicksOutsideTheMouseAreaAreIgnored) {
    knob->setMouseableArea(CRect(80, 40, 140, 100));
    start(0.25f);
    drag(65, 25, 65, -75);  // inside the view, outside the mouse area
    wheel(1);               // the wheel is at the centre, inside
    EXPECT_FLOAT_EQ(knob->getValue(), 0.35f);
    EXPECT_EQ(listener.edits(), (Strings{"begin", valueText(0.35f), "end"}));
}

TEST_F(KnobWindow, PaintsTheViewsIntoTheWindow) {
    frame->setBackgroundColor(CColor(127, 127, 127));
    frame->addView(new SolidView(CRect(0, 130, 40, 160), CColor(255, 0, 0)));
    UpdateWindow(window);
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(127, 127, 127));
    EXPECT_EQ(GetPixel(dc, 20, 150), RGB(255, 0, 0));
    ReleaseDC(window, dc);
}

TEST(Timer, FiresAtAboutItsPeriodWhileRunning) {
    struct Counter : VSTGUI::CBaseObject {
        VSTGUI::CMessageResult notify(VSTGUI::CBaseObject*, const char* message) override {
            if (std::string(message) == VSTGUI::CVSTGUITimer::kMsgTimer)
                ++fired;
            return VSTGUI::kMessageNotified;
        }
        int fired = 0;
    } counter;
    auto* timer = new VSTGUI::CVSTGUITimer(&counter, 50);
    pump(200);
    EXPECT_EQ(counter.fired, 0);  // not started
    ASSERT_TRUE(timer->start());
    // A busy machine delivers ticks late, or merges them, but never early: wait for ten however
    // long they take, and see that they took at least about nine periods.
    const DWORD started = GetTickCount();
    while (counter.fired < 10 && GetTickCount() - started < 30000)
        pump(10);
    EXPECT_GE(counter.fired, 10);
    EXPECT_GE(GetTickCount() - started, 9 * 50 - 20u);  // the tick count's own granularity
    timer->stop();
    const int fired = counter.fired;
    pump(200);
    EXPECT_EQ(counter.fired, fired);
    timer->forget();
}

class TestEditor : public Steinberg::Vst::VSTGUIEditor {
  public:
    explicit TestEditor(Steinberg::Vst::EditController* controller) : VSTGUIEditor(controller) {}

    bool PLUGIN_API open(void* parent, const VSTGUI::PlatformType& type) override {
        if (frame)
            return false;
        frame = new CFrame(CRect(0, 0, 246, 160), this);
        frame->setBackgroundColor(CColor(127, 127, 127));
        frame->addView(new SolidView(CRect(10, 10, 236, 150), CColor(40, 44, 52)));
        frame->addView(new CKnob(CRect(83, 40, 163, 120), nullptr, 1, nullptr, nullptr));
        return frame->open(parent, type);
    }
    void PLUGIN_API close() override {
        if (frame)
            frame->close();
        frame = nullptr;
    }
    bool timerRunning() const { return timer->isRunning(); }
};

TEST(Editor, AttachesToAndDetachesFromAWindowWithoutLeaking) {
    const HWND parent = parentWindow();
    auto* controller = new Steinberg::Vst::EditController;
    auto* editor = new TestEditor(controller);
    RecordingPlugFrame plugFrame;
    editor->setFrame(&plugFrame);

    EXPECT_EQ(editor->isPlatformTypeSupported(Steinberg::kPlatformTypeHWND),
              Steinberg::kResultTrue);
    EXPECT_EQ(editor->isPlatformTypeSupported(Steinberg::kPlatformTypeNSView),
              Steinberg::kResultFalse);
    EXPECT_EQ(editor->attached(parent, Steinberg::kPlatformTypeNSView), Steinberg::kResultFalse);
    EXPECT_EQ(editor->getFrame(), nullptr);

    auto cycle = [&] {
        ASSERT_EQ(editor->attached(parent, Steinberg::kPlatformTypeHWND), Steinberg::kResultOk);
        editor->getFrame()->invalid();
        pump();
        ASSERT_EQ(editor->removed(), Steinberg::kResultOk);
        pump();
    };
    constexpr int kWindow = 60;
    const gui_test::SteadyGrowth growth = gui_test::steadyGrowth(20, kWindow, cycle);
    std::printf("%s\n", growth.summary(kWindow).c_str());
    EXPECT_GT(growth.start.gdiObjects, 0u);
    EXPECT_GT(growth.start.privateBytes, 0u);
    EXPECT_EQ(growth.gdiObjects, 0.0);
    // A frame or a view left behind keeps heap; a back buffer (150 KB) is mapped memory.
    EXPECT_LT(growth.heapBytes, 1024.0);
    EXPECT_LT(growth.privateBytes, 8 * 1024.0);

    // Attached: the host window is sized to the frame, the timer runs and reaches the frame.
    ASSERT_EQ(editor->attached(parent, Steinberg::kPlatformTypeHWND), Steinberg::kResultOk);
    ASSERT_FALSE(plugFrame.sizes.empty());
    EXPECT_EQ(plugFrame.sizes.back().getWidth(), 246);
    EXPECT_EQ(plugFrame.sizes.back().getHeight(), 160);
    EXPECT_TRUE(editor->timerRunning());
    EXPECT_EQ(editor->notify(nullptr, VSTGUI::CVSTGUITimer::kMsgTimer), VSTGUI::kMessageNotified);
    EXPECT_EQ(editor->notify(nullptr, "something else"), VSTGUI::kMessageUnknown);
    EXPECT_EQ(editor->attached(parent, Steinberg::kPlatformTypeHWND),
              Steinberg::kResultFalse);  // already open

    // Keys from the host reach the focus view.
    auto* knob = dynamic_cast<CKnob*>(editor->getFrame()->getView(1));
    ASSERT_NE(knob, nullptr);
    editor->getFrame()->setFocusView(knob);
    knob->setValue(0.5f);
    EXPECT_EQ(editor->onKeyDown(0, VSTGUI::VKEY_UP, 1 /* shift */), Steinberg::kResultTrue);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.51f);
    EXPECT_EQ(editor->onKeyDown('a', 0, 0), Steinberg::kResultFalse);

    editor->removed();
    EXPECT_FALSE(editor->timerRunning());
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(editor->onKeyDown(0, VSTGUI::VKEY_UP, 0), Steinberg::kResultFalse);
    editor->release();
    controller->release();
}

TEST(Editor, ReportsTheHostsKnobMode) {
    auto* controller = new Steinberg::Vst::EditController;
    auto* editor = new TestEditor(controller);
    controller->setKnobMode(Steinberg::Vst::kRelativCircularMode);
    EXPECT_EQ(editor->getKnobMode(), VSTGUI::kRelativCircularMode);
    controller->setKnobMode(Steinberg::Vst::kCircularMode);
    EXPECT_EQ(editor->getKnobMode(), VSTGUI::kLinearMode);
    controller->setKnobMode(Steinberg::Vst::kLinearMode);
    EXPECT_EQ(editor->getKnobMode(), VSTGUI::kLinearMode);
    editor->release();
    controller->release();
}

}  // namespace
