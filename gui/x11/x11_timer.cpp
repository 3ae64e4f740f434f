// Timers of the X11 back end: timers of the host's run loop. A timer started while no editor
// is attached (so no run loop is known) does not run.
#include "platform_frame.h"
#include "run_loop.h"

namespace VSTGUI {
namespace {

class X11Timer : public IPlatformTimer, private X11::ITimerHandler {
  public:
    explicit X11Timer(std::function<void()> fire) : fire(std::move(fire)) {}
    ~X11Timer() override { stop(); }

    bool start(uint32_t periodMs) override {
        stop();
        auto current = X11::RunLoop::current();
        if (!current || !current->registerTimer(this, periodMs))
            return false;
        loop = std::move(current);
        return true;
    }

    void stop() override {
        // Unregistered from the loop it was registered with, which may no longer be current.
        if (loop) {
            loop->unregisterTimer(this);
            loop.reset();
        }
    }

  private:
    void onTimer() override {
        if (fire)
            fire();
    }

    std::function<void()> fire;
    std::shared_ptr<X11::IRunLoop> loop;
};

}  // namespace

std::unique_ptr<IPlatformTimer> makePlatformTimer(std::function<void()> fire) {
    return std::make_unique<X11Timer>(std::move(fire));
}

}  // namespace VSTGUI
