#include "vstgui_timer.h"

#include "platform_frame.h"

namespace VSTGUI {

CVSTGUITimer::CVSTGUITimer(CBaseObject* target, uint32_t periodMs, bool doStart)
    : target(target), period(periodMs), platformTimer(makePlatformTimer([this] { fire(); })) {
    if (doStart)
        start();
}

CVSTGUITimer::~CVSTGUITimer() {
    stop();
}

bool CVSTGUITimer::start() {
    running = platformTimer && platformTimer->start(period);
    return running;
}

bool CVSTGUITimer::stop() {
    if (platformTimer)
        platformTimer->stop();
    running = false;
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
