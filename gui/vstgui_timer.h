// A periodic timer on the user-interface thread: while started, it sends its target the message
// kMsgTimer ("timer fired") every period. Driven by a Win32 thread timer, so it fires only while
// the thread that started it pumps messages. Windows only.
#pragma once

#include <cstdint>

#include "base_object.h"

namespace VSTGUI {

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
    bool isRunning() const { return id != 0; }

    // A running timer continues with the new period.
    void setFireTime(uint32_t periodMs);
    uint32_t getFireTime() const { return period; }

    void fire();  // sends kMsgTimer to the target now

  private:
    CBaseObject* target;
    uint32_t period;
    uintptr_t id = 0;
};

}  // namespace VSTGUI
