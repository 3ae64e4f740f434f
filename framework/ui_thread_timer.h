// Calls a function periodically on the user-interface thread, from start() to stop(), whether or
// not an editor is open: a Win32 thread timer, so it runs while that thread pumps messages (every
// host's user-interface thread does). Elsewhere a plug-in reaches the host's run loop only
// through an open editor, and this timer does nothing.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>

#include "pluginterfaces/base/fplatform.h"

#if SMTG_OS_WINDOWS
#include "vstgui_timer.h"
#endif

namespace corvane::vst {

class UiThreadTimer {
  public:
    UiThreadTimer(std::uint32_t periodMs, std::function<void()> tick)
        : periodMs(periodMs), onTick(std::move(tick)) {}
    UiThreadTimer(const UiThreadTimer&) = delete;
    UiThreadTimer& operator=(const UiThreadTimer&) = delete;
    ~UiThreadTimer() { stop(); }

#if SMTG_OS_WINDOWS
    // Call both on the user-interface thread: a thread timer belongs to the thread that set it.
    void start() {
        if (!timer) {
            timer = new VSTGUI::CVSTGUITimer(&target, periodMs);
        }
        timer->start();
    }
    void stop() {
        if (timer) {
            timer->stop();
            timer->forget();
            timer = nullptr;
        }
    }

  private:
    struct Target : VSTGUI::CBaseObject {
        explicit Target(UiThreadTimer& owner) : owner(owner) {}
        VSTGUI::CMessageResult notify(VSTGUI::CBaseObject*, const char* message) override {
            if (message && std::strcmp(message, VSTGUI::CVSTGUITimer::kMsgTimer) == 0 &&
                owner.onTick) {
                owner.onTick();
            }
            return VSTGUI::kMessageNotified;
        }
        UiThreadTimer& owner;
    };
    Target target{*this};
    VSTGUI::CVSTGUITimer* timer = nullptr;
#else
    void start() {}
    void stop() {}

  private:
#endif
    [[maybe_unused]] std::uint32_t periodMs;
    std::function<void()> onTick;
};

}  // namespace corvane::vst
