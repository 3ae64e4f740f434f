// What the Windows host-level tests share about the editor: showing it the way a host does,
// and the process's GDI objects, handles and private bytes. Needs a display.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host_rig.h"
#include "pluginterfaces/gui/iplugview.h"
#include "window_support.h"

namespace host_test {

struct Counts {
    DWORD gdiObjects;
    DWORD handles;
    SIZE_T privateBytes;
};

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

inline Counts counts() {
    const gui_test::ProcessCounts process = gui_test::processCounts();
    return {process.gdiObjects, handleCount(), process.privateBytes};
}

// The editor as a host shows it: made by the controller, attached to the host's window,
// removed and released. `tick`: shown long enough for a tick of the editor's timer, after
// `whileOpen` has run with the attached view.
template <class WhileOpen = void (*)(IPlugView&)>
void showEditor(
    IEditController& controller, bool tick, WhileOpen whileOpen = [](IPlugView&) {}) {
    IPtr<IPlugView> view = owned(controller.createView(ViewType::kEditor));
    ASSERT_TRUE(view);
    ASSERT_EQ(view->attached(gui_test::parentWindow(), kPlatformTypeHWND), kResultOk);
    gui_test::pump();
    whileOpen(*view);
    gui_test::pump(tick ? 60 : 0);
    EXPECT_EQ(view->removed(), kResultOk);
    gui_test::pump();
}

}  // namespace host_test
