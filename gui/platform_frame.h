// What a window system must provide for a frame: a back end (one per platform, in its own
// folder) makes a child window of the host's window, paints the frame into it, and passes the
// mouse, the wheel and the keys to the frame. The frame and its views never see the window
// system; see README.md for the whole contract.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "editor_interface.h"

namespace VSTGUI {

class CFrame;

// Device pixels of the window: left/top inside, right/bottom outside.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class IPlatformFrame {
  public:
    virtual ~IPlatformFrame() = default;

    // The native window (an HWND, an X window id, ...), for whoever needs to put something into
    // it.
    virtual void* getHandle() const = 0;
    // The window's size in pixels changed (display scale).
    virtual void setSize(int32_t width, int32_t height) = 0;
    // These pixels are to be painted again soon (from the window system's event loop, not now).
    virtual void invalidPixels(const PixelRect& rect) = 0;
    // The pointer in window pixels; false when it cannot be known.
    virtual bool getMouseLocation(int32_t& x, int32_t& y) const = 0;
    // kShift, kControl and kAlt as the keyboard holds them now.
    virtual int32_t getModifiers() const = 0;
    // A short warning sound, where the platform has one.
    virtual void beep() {}
    // Called every editor timer tick: housekeeping the back end needs (e.g. events that arrived
    // while nobody was looking).
    virtual void idle() {}
};

// Makes the platform's child window of `parent` for `frame` (its size: frame.getPixelWidth() ×
// frame.getPixelHeight()); null when the type is not the platform's or no window can be made.
std::unique_ptr<IPlatformFrame> makePlatformFrame(CFrame& frame, void* parent, PlatformType type);

// A periodic timer of the window system on the user-interface thread.
class IPlatformTimer {
  public:
    virtual ~IPlatformTimer() = default;
    // Starts (or restarts) calling the timer's function every period; false when it cannot run.
    virtual bool start(uint32_t periodMs) = 0;
    virtual void stop() = 0;
};

std::unique_ptr<IPlatformTimer> makePlatformTimer(std::function<void()> fire);

}  // namespace VSTGUI
