// The host's run loop as the X11 back end sees it. On Linux a plug-in has no event loop of its
// own: the host calls it when the X connection's descriptor is readable and when its timers are
// due. The editor view hands the host's loop over (through an adapter, so that the toolkit does
// not depend on the plug-in interfaces) while it is attached; frames and timers register with
// the loop current then. Linux only; user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>

namespace VSTGUI::X11 {

class IEventHandler {
  public:
    // The descriptor is readable (or hung up): read everything there is, never block.
    virtual void onEvent() = 0;

  protected:
    ~IEventHandler() = default;
};

class ITimerHandler {
  public:
    virtual void onTimer() = 0;

  protected:
    ~ITimerHandler() = default;
};

// A handler is registered at most once at a time; after unregistering it is never called again,
// even if the host calls back late.
class IRunLoop {
  public:
    virtual ~IRunLoop() = default;
    virtual bool registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual void unregisterEventHandler(IEventHandler* handler) = 0;
    virtual bool registerTimer(ITimerHandler* handler, uint32_t periodMs) = 0;
    virtual void unregisterTimer(ITimerHandler* handler) = 0;
};

// The run loop of the attached editors: the most recently handed-over one that is still held.
// Each attach hands one over; each detach releases it.
class RunLoop {
  public:
    static void hold(std::shared_ptr<IRunLoop> loop);
    static void release(const IRunLoop* loop);
    // Null while no editor is attached.
    static std::shared_ptr<IRunLoop> current();
};

}  // namespace VSTGUI::X11
