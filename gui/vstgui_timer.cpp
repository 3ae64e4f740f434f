#include "vstgui_timer.h"

#include <windows.h>

#include <map>

namespace VSTGUI {
namespace {

// Thread timers carry no user data: the running timers by Win32 timer id. Timers live on the
// user-interface thread, so this map is only ever touched there.
std::map<UINT_PTR, CVSTGUITimer*>& runningTimers() {
    static std::map<UINT_PTR, CVSTGUITimer*> timers;
    return timers;
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    const auto found = runningTimers().find(id);
    if (found != runningTimers().end())
        found->second->fire();
}

}  // namespace

CVSTGUITimer::CVSTGUITimer(CBaseObject* target, uint32_t periodMs, bool doStart)
    : target(target), period(periodMs) {
    if (doStart)
        start();
}

CVSTGUITimer::~CVSTGUITimer() {
    stop();
}

bool CVSTGUITimer::start() {
    stop();
    const UINT_PTR newId = SetTimer(nullptr, 0, period, onTimer);
    if (newId == 0)
        return false;
    id = newId;
    runningTimers()[newId] = this;
    return true;
}

bool CVSTGUITimer::stop() {
    if (id != 0) {
        KillTimer(nullptr, id);
        runningTimers().erase(id);
        id = 0;
    }
    return true;
}

void CVSTGUITimer::setFireTime(uint32_t periodMs) {
    period = periodMs;
    if (isRunning())
        start();
}

void CVSTGUITimer::fire() {
    if (target)
        target->notify(this, kMsgTimer);
}

}  // namespace VSTGUI
