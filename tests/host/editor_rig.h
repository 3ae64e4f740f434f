// What the Windows host-level tests share about the editor: showing it the way a host does.
// Needs a display.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host_rig.h"
#include "pluginterfaces/gui/iplugview.h"
#include "window_support.h"

namespace host_test {

// What one editor, opened and closed, may keep. Wine's GDI+ never gives back a font added from
// memory: each editor's two fonts keep 20 KB of mapped memory, outside the heaps. A frame or a
// widget of ours left behind would keep heap; a back buffer or a bitmap, 150 KB or more.
constexpr double kPrivateBytesKeptPerEditor = 28 * 1024;
constexpr double kHeapBytesKeptPerEditor = 1024;

inline void expectNoEditorLeak(const gui_test::SteadyGrowth& growth) {
    EXPECT_EQ(growth.gdiObjects, 0.0);
    EXPECT_EQ(growth.handles, 0.0);
    EXPECT_LT(growth.heapBytes, kHeapBytesKeptPerEditor);
    EXPECT_LT(growth.privateBytes, kPrivateBytesKeptPerEditor);
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
