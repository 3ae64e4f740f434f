// The host's run loop behind the toolkit's: what some hosts cannot take (a handler changing its
// own registration from inside its call) never reaches them, and a handler that is gone is never
// called again. Linux only.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "host_run_loop.h"

namespace {

using namespace Steinberg;

// A host loop that fails the test if a handler unregisters inside its own call.
class StrictLoop : public Linux::IRunLoop {
  public:
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override {
        return kResultTrue;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kResultTrue; }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval) override {
        timers.push_back(handler);
        return kResultTrue;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
        EXPECT_NE(calling, handler) << "unregistered from inside its own callback";
        timers.erase(std::remove(timers.begin(), timers.end(), handler), timers.end());
        return kResultTrue;
    }
    void fire(Linux::ITimerHandler* handler) {
        calling = handler;
        handler->onTimer();
        calling = nullptr;
    }
    void fireAll() {
        for (Linux::ITimerHandler* handler : std::vector<Linux::ITimerHandler*>(timers))
            fire(handler);
    }

    tresult PLUGIN_API queryInterface(const TUID, void**) override { return kNoInterface; }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    std::vector<Linux::ITimerHandler*> timers;
    Linux::ITimerHandler* calling = nullptr;
};

struct Ticks : VSTGUI::X11::ITimerHandler {
    void onTimer() override {
        ++count;
        if (onTick)
            onTick();
    }
    int count = 0;
    std::function<void()> onTick;
};

TEST(HostRunLoop, ATimerStoppingOrRestartingItselfIsDeferredAndNeverCalledOnceStopped) {
    StrictLoop host;
    auto loop = Vst::adaptHostRunLoop(&host);
    Ticks self, other;
    ASSERT_TRUE(loop->registerTimer(&self, 50));
    ASSERT_TRUE(loop->registerTimer(&other, 50));
    self.onTick = [&] { loop->unregisterTimer(&self); };

    // `self` stops itself: taken back not inside its own call but at `other`'s, and never called
    // again.
    host.fire(host.timers[0]);
    EXPECT_EQ(self.count, 1);
    EXPECT_EQ(host.timers.size(), 2u);
    host.fireAll();
    EXPECT_EQ(self.count, 1);
    EXPECT_EQ(other.count, 1);
    EXPECT_EQ(host.timers.size(), 1u);

    // A restart from inside its own call: the old registration goes, a new one comes, both later.
    other.onTick = [&] {
        loop->unregisterTimer(&other);
        loop->registerTimer(&other, 20);
        other.onTick = nullptr;
    };
    Linux::ITimerHandler* old = host.timers[0];
    host.fire(old);
    EXPECT_EQ(other.count, 2);
    EXPECT_EQ(host.timers, std::vector<Linux::ITimerHandler*>{old});  // nothing inside the call
    host.fire(old);  // not through to `other` any more, but the new registration is made
    EXPECT_EQ(other.count, 2);
    ASSERT_EQ(host.timers.size(), 2u);
    host.fire(host.timers[1]);  // the new one runs, and the old one is taken back
    EXPECT_EQ(other.count, 3);
    EXPECT_EQ(host.timers.size(), 1u);

    // The adapter's end takes back whatever the host still has.
    loop.reset();
    EXPECT_TRUE(host.timers.empty());
}

}  // namespace
