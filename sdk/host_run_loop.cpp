#include "host_run_loop.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "base/source/fobject.h"
#include "pluginterfaces/base/smartpointer.h"

namespace Steinberg::Vst {
namespace {

class HostRunLoop;

// What the host holds and calls for one registration.
class Bridge : public FObject, public Linux::IEventHandler, public Linux::ITimerHandler {
  public:
    Bridge(HostRunLoop* owner, VSTGUI::X11::IEventHandler* event, VSTGUI::X11::ITimerHandler* timer)
        : owner(owner), event(event), timer(timer), forEvents(event != nullptr) {}

    void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override;
    void PLUGIN_API onTimer() override;

    // No more calls go through to the toolkit; a call still lets the adapter do what waits.
    void detach() {
        event = nullptr;
        timer = nullptr;
    }
    // The adapter is gone.
    void orphan() {
        detach();
        owner = nullptr;
    }
    bool isFor(const void* handler) const { return handler && (handler == event || handler == timer); }

    OBJ_METHODS(Bridge, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Linux::IEventHandler)
    DEF_INTERFACE(Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

    HostRunLoop* owner;
    VSTGUI::X11::IEventHandler* event;
    VSTGUI::X11::ITimerHandler* timer;
    const bool forEvents;
    bool registered = false;  // the host has it (and has to be told when it goes)
};

class HostRunLoop : public VSTGUI::X11::IRunLoop {
  public:
    explicit HostRunLoop(Linux::IRunLoop* host) : host(host) {}

    ~HostRunLoop() override {
        for (auto& item : deferred)
            item.bridge->orphan();
        for (auto& bridge : bridges)
            bridge->orphan();
        // What the host has is taken back now; what waited never reached it.
        for (auto& item : deferred) {
            if (item.bridge->registered)
                unregisterFromHost(*item.bridge);
        }
        for (auto& bridge : bridges) {
            if (bridge->registered)
                unregisterFromHost(*bridge);
        }
    }

    bool registerEventHandler(VSTGUI::X11::IEventHandler* handler, int fd) override {
        if (!handler || find(handler))
            return false;
        return add(owned(new Bridge(this, handler, nullptr)), [this, fd](Bridge* bridge) {
            return host->registerEventHandler(bridge, fd) == kResultTrue;
        });
    }

    bool registerTimer(VSTGUI::X11::ITimerHandler* handler, uint32_t periodMs) override {
        if (!handler || find(handler))
            return false;
        return add(owned(new Bridge(this, nullptr, handler)), [this, periodMs](Bridge* bridge) {
            return host->registerTimer(bridge, periodMs) == kResultTrue;
        });
    }

    void unregisterEventHandler(VSTGUI::X11::IEventHandler* handler) override { remove(handler); }
    void unregisterTimer(VSTGUI::X11::ITimerHandler* handler) override { remove(handler); }

    // Around every call of the host into a bridge: what was deferred for other bridges is done
    // first, then the call goes through.
    void enter(Bridge* bridge) {
        ++depth;
        std::vector<Deferred> waiting;
        waiting.swap(deferred);
        for (auto& item : waiting) {
            if (item.bridge == bridge)
                deferred.push_back(std::move(item));
            else
                item.run();
        }
    }
    void leave() { --depth; }

  private:
    struct Deferred {
        IPtr<Bridge> bridge;
        std::function<void()> run;
    };

    Bridge* find(const void* handler) const {
        for (const auto& bridge : bridges) {
            if (bridge->isFor(handler))
                return bridge.get();
        }
        return nullptr;
    }

    // Hands `bridge` to the host now, or, inside one of our callbacks, at the next call of
    // another bridge. False when the host refuses it now.
    template <class Register>
    bool add(IPtr<Bridge> bridge, Register registerWithHost) {
        if (depth > 0) {
            bridges.push_back(bridge);
            defer(bridge, [bridge, registerWithHost] {
                bridge->registered = registerWithHost(bridge.get());
            });
            return true;
        }
        if (!registerWithHost(bridge.get()))
            return false;
        bridge->registered = true;
        bridges.push_back(bridge);
        return true;
    }

    void defer(const IPtr<Bridge>& bridge, std::function<void()> run) {
        deferred.push_back({bridge, std::move(run)});
    }

    void unregisterFromHost(Bridge& bridge) {
        bridge.registered = false;
        if (bridge.forEvents)
            host->unregisterEventHandler(&bridge);
        else
            host->unregisterTimer(&bridge);
    }

    void remove(const void* handler) {
        const auto found = std::find_if(bridges.begin(), bridges.end(),
                                        [handler](const auto& b) { return b->isFor(handler); });
        if (found == bridges.end())
            return;
        IPtr<Bridge> bridge = *found;
        bridges.erase(found);
        bridge->detach();
        // A registration still waiting is simply dropped.
        const auto waiting = std::find_if(deferred.begin(), deferred.end(),
                                          [&](const Deferred& d) { return d.bridge == bridge; });
        if (waiting != deferred.end()) {
            deferred.erase(waiting);
            return;
        }
        if (!bridge->registered)
            return;
        const auto unregister = [this, bridge] { unregisterFromHost(*bridge); };
        if (depth > 0)
            defer(bridge, unregister);
        else
            unregister();
    }

    IPtr<Linux::IRunLoop> host;
    std::vector<IPtr<Bridge>> bridges;  // registered, or waiting to be
    std::vector<Deferred> deferred;
    int depth = 0;  // nested calls of the host into our bridges
};

// The host keeps the bridge alive while it calls; the toolkit may unregister it (or end the
// whole adapter) from inside the call.
template <class Call>
void through(Bridge& bridge, Call&& call) {
    IPtr<Bridge> keep(&bridge);
    HostRunLoop* owner = bridge.owner;
    if (!owner)
        return;
    owner->enter(&bridge);
    try {
        call();
    } catch (...) {
        // Nothing may unwind into the host's run loop.
    }
    if (bridge.owner)
        bridge.owner->leave();
}

void PLUGIN_API Bridge::onFDIsSet(Linux::FileDescriptor) {
    through(*this, [this] {
        if (event)
            event->onEvent();
    });
}

void PLUGIN_API Bridge::onTimer() {
    through(*this, [this] {
        if (timer)
            timer->onTimer();
    });
}

}  // namespace

std::shared_ptr<VSTGUI::X11::IRunLoop> adaptHostRunLoop(Linux::IRunLoop* hostLoop) {
    if (!hostLoop)
        return nullptr;
    return std::make_shared<HostRunLoop>(hostLoop);
}

}  // namespace Steinberg::Vst
