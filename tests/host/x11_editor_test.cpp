// A producer on Linux opens the built module's editor in a host: a real X window (in a virtual
// display), a run loop of the test's own standing in for the host's, and real pointer and key
// events sent through XTest. Linux only; needs a display (the test runs in its own xvfb-run).
#include <gtest/gtest.h>
#include <malloc.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "host_rig.h"
#include "torture_support.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"

// Last: Xlib's macros (None, Bool, Status, ...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace host_test;
using Clock = std::chrono::steady_clock;

constexpr double kDefaultDelay = 0.5025;  // +2 ms
constexpr double kStep = 0.1;             // a wheel step: 80 ms of the 800 ms range
constexpr int16 kKeyUp = 12;              // the plug-in interface's virtual key for Up

// The host's run loop: descriptors polled, timers due, each handler called on this thread.
// Counts what is registered and notices (un)registrations from inside a handler's own call.
class TestRunLoop : public HostObject<Linux::IRunLoop> {
  public:
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler,
                                            Linux::FileDescriptor fd) override {
        noteSelfChange(handler);
        if (!handler)
            return kInvalidArgument;
        handler->addRef();
        handlers.push_back({handler, fd});
        return kResultTrue;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override {
        noteSelfChange(handler);
        return drop(handlers, handler);
    }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler,
                                     Linux::TimerInterval ms) override {
        noteSelfChange(handler);
        if (!handler)
            return kInvalidArgument;
        handler->addRef();
        timers.push_back({handler, std::chrono::milliseconds(ms), Clock::now()});
        return kResultTrue;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
        noteSelfChange(handler);
        return drop(timers, handler);
    }

    // Runs the loop for `ms` milliseconds.
    void run(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            std::vector<pollfd> fds;
            for (const auto& h : handlers)
                fds.push_back({h.fd, POLLIN, 0});
            poll(fds.data(), fds.size(), 5);
            const auto ready = handlers;  // handlers may change while called
            for (std::size_t i = 0; i < fds.size() && i < ready.size(); ++i) {
                if ((fds[i].revents & (POLLIN | POLLHUP)) && registered(handlers, ready[i].handler))
                    call(ready[i].handler, [&] { ready[i].handler->onFDIsSet(ready[i].fd); });
            }
            const auto due = timers;
            for (const auto& t : due) {
                if (Clock::now() - t.last >= t.period && registered(timers, t.handler)) {
                    for (auto& live : timers) {
                        if (live.handler == t.handler)
                            live.last = Clock::now();
                    }
                    call(t.handler, [&] { t.handler->onTimer(); });
                }
            }
        }
    }

    std::size_t registrations() const { return handlers.size() + timers.size(); }
    std::vector<Linux::FileDescriptor> descriptors() const {
        std::vector<Linux::FileDescriptor> fds;
        for (const auto& h : handlers)
            fds.push_back(h.fd);
        return fds;
    }

    std::vector<std::string> selfChanges;

  private:
    struct Handler {
        Linux::IEventHandler* handler;
        Linux::FileDescriptor fd;
    };
    struct Timer {
        Linux::ITimerHandler* handler;
        Clock::duration period;
        Clock::time_point last;
    };

    template <class List, class H>
    static bool registered(const List& list, H* handler) {
        return std::any_of(list.begin(), list.end(), [&](const auto& e) { return e.handler == handler; });
    }
    template <class List, class H>
    static tresult drop(List& list, H* handler) {
        const auto found = std::find_if(list.begin(), list.end(),
                                        [&](const auto& e) { return e.handler == handler; });
        if (found == list.end())
            return kInvalidArgument;
        list.erase(found);
        handler->release();
        return kResultTrue;
    }
    template <class Body>
    void call(FUnknown* handler, Body&& body) {
        current = handler;
        body();
        current = nullptr;
    }
    void noteSelfChange(FUnknown* handler) {
        if (handler && handler == current)
            selfChanges.push_back("a handler changed its own registration from inside its call");
    }

    std::vector<Handler> handlers;
    std::vector<Timer> timers;
    FUnknown* current = nullptr;
};

// The host's frame around the view; it offers the run loop unless told not to.
class TestPlugFrame : public HostObject<IPlugFrame> {
  public:
    explicit TestPlugFrame(TestRunLoop* loop) : loop(loop) {}
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (loop && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) {
            loop->addRef();
            *obj = static_cast<Linux::IRunLoop*>(loop);
            return kResultOk;
        }
        return HostObject<IPlugFrame>::queryInterface(iid, obj);
    }
    tresult PLUGIN_API resizeView(IPlugView*, ViewRect* size) override {
        if (size)
            resized = *size;
        return kResultOk;
    }
    TestRunLoop* loop;
    ViewRect resized;
};

class Menu : public FObject, public IContextMenu {
  public:
    int32 PLUGIN_API getItemCount() override { return static_cast<int32>(titles.size()); }
    tresult PLUGIN_API getItem(int32, Item&, IContextMenuTarget**) override { return kResultFalse; }
    tresult PLUGIN_API addItem(const Item& item, IContextMenuTarget* target) override {
        std::string title;
        for (const TChar* c = item.name; *c; ++c)
            title.push_back(static_cast<char>(*c));
        titles.push_back(title);
        tags.push_back(item.tag);
        targets.push_back(target);
        return kResultOk;
    }
    tresult PLUGIN_API removeItem(const Item&, IContextMenuTarget*) override { return kResultFalse; }
    tresult PLUGIN_API popup(UCoord, UCoord) override {
        ++popups;
        return kResultOk;
    }
    std::vector<std::string> titles;
    std::vector<int32> tags;
    std::vector<IContextMenuTarget*> targets;
    int popups = 0;

    OBJ_METHODS(Menu, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(IContextMenu)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)
};

// Records the delay's edits and hands out context menus.
class EditingHost : public FObject, public IComponentHandler, public IComponentHandler3 {
  public:
    tresult PLUGIN_API beginEdit(ParamID id) override {
        begins += id == 1;
        return kResultOk;
    }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
        if (id == 1)
            edits.push_back(value);
        return kResultOk;
    }
    tresult PLUGIN_API endEdit(ParamID id) override {
        ends += id == 1;
        return kResultOk;
    }
    tresult PLUGIN_API restartComponent(int32 flags) override {
        restarts.push_back(flags);
        return kResultOk;
    }
    IContextMenu* PLUGIN_API createContextMenu(IPlugView*, const ParamID*) override {
        menu = owned(new Menu);
        menu->addRef();  // the caller's reference
        return menu;
    }
    std::vector<ParamValue> edits;
    std::vector<int32> restarts;
    int begins = 0, ends = 0;
    IPtr<Menu> menu;

    OBJ_METHODS(EditingHost, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(IComponentHandler)
    DEF_INTERFACE(IComponentHandler3)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)
};

int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

// The host's window in the virtual display, and the user's hands on pointer and keyboard.
class Desk {
  public:
    Desk() : display(sharedDisplay()) {
        if (!display)
            return;
        host = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 400, 300, 0, 0,
                                   0x404040);
        XMapWindow(display, host);
        XSync(display, False);
    }
    ~Desk() {
        if (display) {
            XDestroyWindow(display, host);
            XSync(display, False);
        }
    }

    // One connection for the whole program: a server whose last client leaves resets itself,
    // and refuses connections meanwhile.
    static Display* sharedDisplay() {
        static Display* const shared = [] {
            XSetErrorHandler(ignoreXErrors);
            return XOpenDisplay(nullptr);
        }();
        return shared;
    }

    // The windows the plug-in put into the host's window.
    std::vector<Window> children() const {
        Window root = 0, parent = 0, *list = nullptr;
        unsigned count = 0;
        std::vector<Window> found;
        if (XQueryTree(display, host, &root, &parent, &list, &count) && list) {
            found.assign(list, list + count);
            XFree(list);
        }
        return found;
    }

    // Pointer actions at (x, y) of the host's window; the run loop then delivers them.
    void moveTo(int x, int y) {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(display, host, DefaultRootWindow(display), x, y, &rootX, &rootY,
                              &child);
        XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
        XSync(display, False);
    }
    void button(unsigned number, bool down) {
        XTestFakeButtonEvent(display, number, down, CurrentTime);
        XSync(display, False);
    }
    void click(unsigned number) {
        button(number, true);
        button(number, false);
    }
    void key(KeySym symbol, bool shifted = false) {
        const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
        const KeyCode code = XKeysymToKeycode(display, symbol);
        if (shifted)
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        if (shifted)
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
        XSync(display, False);
    }

    unsigned long pixel(Window window, int x, int y) const {
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return 0;
        const unsigned long value = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return value;
    }

    // How many different colours the window shows (a painted editor shows many).
    std::size_t colours(Window window) const {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, window, &attributes);
        XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height,
                                  AllPlanes, ZPixmap);
        if (!image)
            return 0;
        std::vector<unsigned long> seen;
        for (int y = 0; y < attributes.height; y += 2) {
            for (int x = 0; x < attributes.width; x += 2)
                seen.push_back(XGetPixel(image, x, y));
        }
        XDestroyImage(image);
        std::sort(seen.begin(), seen.end());
        return static_cast<std::size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
    }

    Display* display;
    Window host = 0;
};

class X11Editor : public ModuleFixture {
  protected:
    void SetUp() override {
        ModuleFixture::SetUp();
        ASSERT_NE(desk.display, nullptr) << "no X display: run the test under xvfb-run";
        plugin = instance(&context);
        FUnknownPtr<IEditController>(plugin->controller)->setComponentHandler(editing);
    }
    void TearDown() override {
        EXPECT_EQ(loop.selfChanges, std::vector<std::string>());
        plugin.reset();
    }

    double delay() const { return plugin->controller->getParamNormalized(1); }

    // The editor as the host makes and attaches it.
    IPtr<IPlugView> attach(TestPlugFrame& frame, tresult expected = kResultOk) {
        IPtr<IPlugView> view = owned(plugin->controller->createView(ViewType::kEditor));
        EXPECT_TRUE(view);
        if (!view)
            return view;
        EXPECT_EQ(view->setFrame(&frame), kResultOk);
        EXPECT_EQ(view->attached(reinterpret_cast<void*>(desk.host), kPlatformTypeX11EmbedWindowID),
                  expected);
        loop.run(100);
        return view;
    }

    void remove(IPlugView& view) {
        EXPECT_EQ(view.removed(), kResultOk);
        view.setFrame(nullptr);
        loop.run(20);
    }

    HostContext context;
    Desk desk;
    TestRunLoop loop;
    IPtr<EditingHost> editing = owned(new EditingHost);
    std::unique_ptr<Instance> plugin;
};

TEST_F(X11Editor, AUserDragsTurnsTypesAndResetsTheDelayInTheEditorOfALinuxHost) {
    IPtr<IPlugView> view = owned(plugin->controller->createView(ViewType::kEditor));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    view = nullptr;

    TestPlugFrame frame(&loop);
    view = attach(frame);
    ASSERT_TRUE(view);
    // One window, shown and painted without the host mapping it. It fills the host's window,
    // which is larger than the editor (400 x 300): the editor's edges continue to its end.
    const std::vector<Window> shown = desk.children();
    ASSERT_EQ(shown.size(), 1u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(desk.display, shown[0], &attributes);
    EXPECT_EQ(attributes.width, 400);
    EXPECT_EQ(attributes.height, 300);
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_GT(desk.colours(shown[0]), 20u) << "the editor is not painted";
    EXPECT_EQ(desk.pixel(shown[0], 390, 100), desk.pixel(shown[0], 245, 100));
    EXPECT_EQ(desk.pixel(shown[0], 100, 290), desk.pixel(shown[0], 100, 159));
    EXPECT_EQ(loop.registrations(), 2u) << "the X connection and the editor's timer";

    // Drag the knob up by 50 pixels: a quarter of the range, one edit.
    const double before = delay();
    desk.moveTo(123, 80);
    desk.button(1, true);
    for (int y = 75; y >= 30; y -= 5) {
        desk.moveTo(123, y);
        loop.run(10);
    }
    desk.button(1, false);
    loop.run(50);
    EXPECT_NEAR(delay() - before, 0.25, 0.02);
    EXPECT_EQ(editing->begins, 1);
    EXPECT_EQ(editing->ends, 1);
    EXPECT_FALSE(editing->edits.empty());

    // The wheel over the knob: up one step, down two.
    const double dragged = delay();
    desk.moveTo(123, 80);
    desk.click(4);
    loop.run(50);
    EXPECT_NEAR(delay(), dragged + kStep, 1e-6);
    desk.click(5);
    desk.click(5);
    loop.run(50);
    EXPECT_NEAR(delay(), dragged - kStep, 1e-6);

    // Keys from the host (hosts that keep the keyboard call onKeyDown): the arrows step.
    const double keyed = delay();
    EXPECT_EQ(view->onKeyDown(0, kKeyUp, 0), kResultTrue);
    EXPECT_NEAR(delay(), keyed + kStep, 1e-6);

    // A double click on the readout opens the field; typing "-100" and Enter sets -100 ms.
    desk.moveTo(123, 148);
    desk.click(1);
    desk.click(1);
    loop.run(50);
    for (KeySym key : {XK_minus, XK_1, XK_0, XK_0})
        desk.key(key);
    desk.key(XK_Return);
    loop.run(50);
    EXPECT_DOUBLE_EQ(delay(), 0.375);

    // Text that is no value changes nothing; Escape leaves.
    desk.click(1);
    desk.click(1);
    loop.run(50);
    for (KeySym key : {XK_x, XK_y, XK_Return})
        desk.key(key);
    loop.run(50);
    EXPECT_DOUBLE_EQ(delay(), 0.375);
    desk.key(XK_Escape);
    loop.run(50);

    // The right button on the knob: the host's menu with our two items; the reset item gives
    // back the default.
    desk.moveTo(123, 80);
    desk.click(3);
    loop.run(50);
    ASSERT_TRUE(editing->menu);
    EXPECT_EQ(editing->menu->titles, (std::vector<std::string>{"Reset to default", "Open manual"}));
    EXPECT_EQ(editing->menu->popups, 1);
    EXPECT_EQ(editing->menu->targets[0]->executeMenuItem(editing->menu->tags[0]), kResultOk);
    EXPECT_NEAR(delay(), kDefaultDelay, 1e-7);

    // The host's window grows: the editor's follows.
    XResizeWindow(desk.display, desk.host, 500, 350);
    XSync(desk.display, False);
    loop.run(50);
    XGetWindowAttributes(desk.display, shown[0], &attributes);
    EXPECT_EQ(attributes.width, 500);
    EXPECT_EQ(attributes.height, 350);
    XResizeWindow(desk.display, desk.host, 400, 300);
    XSync(desk.display, False);
    loop.run(50);

    // A display scale of 2: the window doubles and the host is asked for the room.
    FUnknownPtr<IPlugViewContentScaleSupport> scaling(view);
    ASSERT_TRUE(scaling);
    EXPECT_EQ(scaling->setContentScaleFactor(2.f), kResultOk);
    loop.run(50);
    XGetWindowAttributes(desk.display, shown[0], &attributes);
    EXPECT_EQ(attributes.width, 492);
    EXPECT_EQ(attributes.height, 320);
    EXPECT_EQ(frame.resized.getWidth(), 492);
    EXPECT_GT(desk.colours(shown[0]), 20u);

    remove(*view);
    EXPECT_TRUE(desk.children().empty());
    EXPECT_EQ(loop.registrations(), 0u);
}

// Automation alone plays into a negative delay: with the editor open, its timer in the host's
// run loop tells the host of the new latency soon, and once.
TEST_F(X11Editor, WithTheEditorOpenAutomationIntoANegativeDelayReachesTheHostAsLatency) {
    constexpr int32 kBlock = 480;
    ProcessSetup setup{kRealtime, kSample32, kBlock, 48000};
    ASSERT_EQ(plugin->processor->setupProcessing(setup), kResultOk);
    plugin->activate(true);
    TestPlugFrame frame(&loop);
    IPtr<IPlugView> view = attach(frame);
    ASSERT_TRUE(view);
    editing->restarts.clear();

    torture::Buffers<float> buffers(2, kBlock);
    Automation toMinusHundredMs(1, {{0, 0.5}, {kBlock - 1, 0.375}});
    ProcessData data = buffers.data(kBlock, kSample32, kRealtime, &toMinusHundredMs);
    ASSERT_EQ(plugin->processor->process(data), kResultOk);
    // Generous for a busy machine; the editor's timer comes every 50 ms.
    for (int waited = 0; waited < 10000 && editing->restarts.empty(); waited += 10)
        loop.run(10);
    EXPECT_EQ(editing->restarts, std::vector<int32>{kLatencyChanged});
    EXPECT_EQ(plugin->processor->getLatencySamples(), 4800u);
    loop.run(300);  // several more ticks: nothing new to report
    EXPECT_EQ(editing->restarts.size(), 1u);

    remove(*view);
    plugin->activate(false);
}

TEST_F(X11Editor, AHostWithoutARunLoopGetsNoEditorAndNoCrash) {
    TestPlugFrame bare(nullptr);
    IPtr<IPlugView> view = attach(bare, kResultFalse);
    ASSERT_TRUE(view);
    EXPECT_TRUE(desk.children().empty());
    EXPECT_EQ(view->removed(), kResultOk);

    // Nor does a window id that names no window bring anything down.
    TestPlugFrame frame(&loop);
    IPtr<IPlugView> lost = owned(plugin->controller->createView(ViewType::kEditor));
    ASSERT_TRUE(lost);
    lost->setFrame(&frame);
    EXPECT_EQ(lost->attached(reinterpret_cast<void*>(0x7ffffff0), kPlatformTypeX11EmbedWindowID),
              kResultFalse);
    EXPECT_EQ(loop.registrations(), 0u);
}

// Two plug-ins' editors open at once, closed in the order they opened: each keeps its own
// window, connection and timer, and the first one's going leaves the second one working.
TEST_F(X11Editor, TwoEditorsOpenAtOnceCloseIndependently) {
    auto second = instance(&context);
    TestPlugFrame frame(&loop), otherFrame(&loop);
    IPtr<IPlugView> first = attach(frame);
    IPtr<IPlugView> next = owned(second->controller->createView(ViewType::kEditor));
    ASSERT_TRUE(first && next);
    next->setFrame(&otherFrame);
    ASSERT_EQ(next->attached(reinterpret_cast<void*>(desk.host), kPlatformTypeX11EmbedWindowID),
              kResultOk);
    loop.run(100);
    EXPECT_EQ(desk.children().size(), 2u);
    EXPECT_EQ(loop.registrations(), 4u);

    remove(*first);
    ASSERT_EQ(desk.children().size(), 1u);
    EXPECT_EQ(loop.registrations(), 2u);
    EXPECT_GT(desk.colours(desk.children()[0]), 20u);
    desk.moveTo(123, 80);
    desk.click(4);  // the wheel on the remaining editor's knob
    loop.run(50);
    EXPECT_NEAR(second->controller->getParamNormalized(1), kDefaultDelay + kStep, 1e-6);

    remove(*next);
    EXPECT_TRUE(desk.children().empty());
    EXPECT_EQ(loop.registrations(), 0u);
}

// The X server goes away under the editor (its connection hangs up): the descriptor stays
// readable for good, so the editor lets it go from its timer, and still closes cleanly.
TEST_F(X11Editor, AConnectionThatHangsUpIsLetGoAndTheEditorStillCloses) {
    TestPlugFrame frame(&loop);
    IPtr<IPlugView> view = attach(frame);
    ASSERT_TRUE(view);
    const std::vector<Linux::FileDescriptor> fds = loop.descriptors();
    ASSERT_EQ(fds.size(), 1u);
    ASSERT_EQ(shutdown(fds[0], SHUT_RDWR), 0);
    loop.run(300);
    EXPECT_TRUE(loop.descriptors().empty());
    EXPECT_EQ(loop.registrations(), 1u) << "the editor's timer stays";
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(loop.registrations(), 0u);
}

TEST_F(X11Editor, AHundredEditorsOpenedAndClosedLeaveNoWindowHandlerOrMemoryBehind) {
    TestPlugFrame frame(&loop);
    const auto cycle = [&] {
        IPtr<IPlugView> view = attach(frame);
        ASSERT_TRUE(view);
        ASSERT_EQ(desk.children().size(), 1u);
        remove(*view);
        ASSERT_TRUE(desk.children().empty());
        ASSERT_EQ(loop.registrations(), 0u);
    };
    for (int i = 0; i < 20 && !HasFatalFailure(); ++i)
        cycle();
    const auto inUse = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };  // heap and mapped
    const std::size_t start = inUse();
    for (int i = 0; i < 40 && !HasFatalFailure(); ++i)
        cycle();
    const std::size_t middle = inUse();
    for (int i = 0; i < 40 && !HasFatalFailure(); ++i)
        cycle();
    const std::size_t end = inUse();
    // A leaked back buffer alone would be 157 KB an editor; a frame with its widgets, tens of KB.
    const double perEditor =
        std::min(double(middle) - double(start), double(end) - double(middle)) / 40;
    std::printf("heap %zu -> %zu -> %zu bytes: %.0f bytes kept per editor\n", start, middle, end,
                perEditor);
    EXPECT_LT(perEditor, 2048);
}

}  // namespace
