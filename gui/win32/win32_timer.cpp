// Timers of the Win32 back end: thread timers, which fire while the thread that set them pumps
// messages. Windows only.
#include <windows.h>

#include <map>

#include "platform_frame.h"

namespace VSTGUI {
namespace {

class Win32Timer;

// Thread timers carry no user data: the running timers by Win32 timer id. Timers live on the
// user-interface thread, so this map is only ever touched there.
std::map<UINT_PTR, Win32Timer*>& runningTimers() {
    static std::map<UINT_PTR, Win32Timer*> timers;
    return timers;
}

class Win32Timer : public IPlatformTimer {
  public:
    explicit Win32Timer(std::function<void()> fire) : fire(std::move(fire)) {}
    ~Win32Timer() override { stop(); }

    bool start(uint32_t periodMs) override {
        stop();
        const UINT_PTR newId = SetTimer(nullptr, 0, periodMs, onTimer);
        if (newId == 0)
            return false;
        id = newId;
        runningTimers()[newId] = this;
        return true;
    }

    void stop() override {
        if (id != 0) {
            KillTimer(nullptr, id);
            runningTimers().erase(id);
            id = 0;
        }
    }

  private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
        const auto found = runningTimers().find(id);
        if (found != runningTimers().end() && found->second->fire)
            found->second->fire();
    }

    std::function<void()> fire;
    UINT_PTR id = 0;
};

}  // namespace

std::unique_ptr<IPlatformTimer> makePlatformTimer(std::function<void()> fire) {
    return std::make_unique<Win32Timer>(std::move(fire));
}

}  // namespace VSTGUI
