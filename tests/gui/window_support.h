// What the window tests share: the message pump, the host's parent window, the process's GDI
// object, handle and memory counts and their growth once warm, and a plug frame that records resize
// requests. Needs a display.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
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
    DWORD handles;
    SIZE_T privateBytes;
    SIZE_T heapBytes;
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

// Open kernel handles of this process. Wine answers GetProcessHandleCount with 0 but hands out
// the lowest free handle values, so there the first 4096 are probed instead.
inline DWORD handleCount() {
    DWORD counted = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &counted) && counted != 0)
        return counted;
    DWORD live = 0;
    for (uintptr_t value = 4; value <= 4096 * 4; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++live;
    }
    return live;
}

// Bytes in use in every heap of the process: what is allocated and not freed, whatever the
// heaps have committed around it (they grow in steps and keep freed memory for reuse, so the
// commit charge can absorb a small leak for a long while).
inline SIZE_T heapBytesInUse() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    SIZE_T inUse = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                inUse += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return inUse;
}

inline ProcessCounts processCounts() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    return {gdiObjectCount(), handleCount(), memory.PagefileUsage,  // the commit charge
            heapBytesInUse()};
}

// What each run of a repeated action leaves behind once the process is warm, per cycle. A cold
// Wine prefix grows the heap and the driver's caches once, by a megabyte or more, somewhere in
// the first windows a process opens; a leak grows alike in every stretch of cycles. So after
// `warmUp` cycles the counts are taken around two equal windows of `window` cycles each, and
// for every count the window that grew less tells what a cycle keeps.
struct SteadyGrowth {
    double gdiObjects = 0.0;
    double handles = 0.0;
    double privateBytes = 0.0;
    double heapBytes = 0.0;
    ProcessCounts start{}, middle{}, end{};

    // One line for the test's output: the counts and the growth per cycle.
    std::string summary(int window) const {
        const auto trio = [&](const char* what, double first, double second, double third) {
            char text[120];
            std::snprintf(text, sizeof text, "%s %.0f -> %.0f -> %.0f", what, first, second, third);
            return std::string(text);
        };
        char kept[200];
        std::snprintf(kept, sizeof kept,
                      "; kept per cycle: %.2f GDI objects, %.2f handles, %.0f private bytes, %.0f "
                      "heap bytes",
                      gdiObjects, handles, privateBytes, heapBytes);
        return "2 x " + std::to_string(window) + " cycles: " +
               trio("GDI objects", start.gdiObjects, middle.gdiObjects, end.gdiObjects) + ", " +
               trio("handles", start.handles, middle.handles, end.handles) + ", " +
               trio("private bytes", static_cast<double>(start.privateBytes),
                    static_cast<double>(middle.privateBytes),
                    static_cast<double>(end.privateBytes)) +
               ", " +
               trio("heap bytes in use", static_cast<double>(start.heapBytes),
                    static_cast<double>(middle.heapBytes), static_cast<double>(end.heapBytes)) +
               kept;
    }
};

template <class Cycle>
SteadyGrowth steadyGrowth(int warmUp, int window, Cycle&& cycle) {
    const auto run = [&](int count) {
        for (int i = 0; i < count && !::testing::Test::HasFatalFailure(); ++i)
            cycle();
    };
    const auto grown = [&](double before, double middle, double after) {
        return std::min(middle - before, after - middle) / window;
    };
    SteadyGrowth growth;
    run(warmUp);
    growth.start = processCounts();
    run(window);
    growth.middle = processCounts();
    run(window);
    growth.end = processCounts();
    growth.gdiObjects =
        grown(growth.start.gdiObjects, growth.middle.gdiObjects, growth.end.gdiObjects);
    growth.handles = grown(growth.start.handles, growth.middle.handles, growth.end.handles);
    growth.privateBytes = grown(static_cast<double>(growth.start.privateBytes),
                                static_cast<double>(growth.middle.privateBytes),
                                static_cast<double>(growth.end.privateBytes));
    growth.heapBytes = grown(static_cast<double>(growth.start.heapBytes),
                             static_cast<double>(growth.middle.heapBytes),
                             static_cast<double>(growth.end.heapBytes));
    return growth;
}

}  // namespace gui_test
