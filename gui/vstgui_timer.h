// A periodic timer on the user-interface thread: while started, it sends its target the message
// kMsgTimer ("timer fired") every period. The platform's back end drives it (a Win32 thread
// timer, which fires while the thread pumps messages; the host's run loop on Linux, which a
// timer can use only while an editor has made it known). Portable.
#pragma once

#include <cstdint>
#include <memory>

#include "base_object.h"

namespace VSTGUI {

class IPlatformTimer;

class CVSTGUITimer : public CBaseObject {
  public:
    static constexpr const char* kMsgTimer = "timer fired";

    // target: not owned; must outlive the timer or stop it first.
    CVSTGUITimer(CBaseObject* target, uint32_t periodMs, bool doStart = false);
    ~CVSTGUITimer() override;

    // Both answer whether the timer runs afterwards / has stopped; start on a running timer
    // restarts its period.
    bool start();
    bool stop();
    bool isRunning() const { return running; }

    // A running timer continues with the new period.
    void setFireTime(uint32_t periodMs);
    uint32_t getFireTime() const { return period; }

    void fire();  // sends kMsgTimer to the target now

  private:
    CBaseObject* target;
    uint32_t period;
    bool running = false;
    std::unique_ptr<IPlatformTimer> platformTimer;
};

}  // namespace VSTGUI
