// What the window tests share: the message pump, the host's parent window, the process's GDI
// object and memory counts, and a plug frame that records resize requests. Needs a display.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <vector>

#include "pluginterfaces/gui/iplugview.h"

namespace gui_test {

using Steinberg::tresult;
using Steinberg::uint32;

// Delivers what is queued for this thread, for at least `milliseconds`.
inline void pump(DWORD milliseconds = 0) {
    const DWORD end = GetTickCount() + milliseconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (milliseconds > 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

// The host's window, one for every test: without a window manager, Wine takes two seconds to
// destroy a visible top-level window, so it goes with the process.
inline HWND parentWindow() {
    static const HWND window = [] {
        const HWND created =
            CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        pump();
        return created;
    }();
    return window;
}

// The host's side of a view's window: records resize requests and grants them.
class RecordingPlugFrame : public Steinberg::IPlugFrame {
  public:
    tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** object) override {
        *object = nullptr;
        return Steinberg::kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* size) override {
        sizes.push_back(*size);
        return view->onSize(size);
    }
    std::vector<Steinberg::ViewRect> sizes;
};

struct ProcessCounts {
    DWORD gdiObjects;
    SIZE_T privateBytes;
};

// Live GDI objects of this process. Wine does not count them (GetGuiResources answers 0) but
// takes a handle's table index alone as the handle, so there they are counted by probing.
inline DWORD gdiObjectCount() {
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0)
        return counted;
    DWORD live = 0;
    for (uintptr_t index = 1; index <= 0xFFFF; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0)
            ++live;
    }
    return live;
}

inline ProcessCounts processCounts() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    return {gdiObjectCount(), memory.PagefileUsage};  // the commit charge: private bytes
}

}  // namespace gui_test
