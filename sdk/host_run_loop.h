// The host's run loop (Steinberg::Linux::IRunLoop) behind the toolkit's run-loop interface.
// Each registration gets an object of its own for the host to call; an unregistered handler is
// never called again, however late the host calls. Registering or unregistering from inside one
// of our callbacks is deferred to the next callback of another handler (or to the adapter's end):
// some hosts change their handler lists while they walk them. Linux only.
#pragma once

#include <memory>

#include "pluginterfaces/gui/iplugview.h"
#include "run_loop.h"

namespace Steinberg::Vst {

std::shared_ptr<VSTGUI::X11::IRunLoop> adaptHostRunLoop(Linux::IRunLoop* hostLoop);

}  // namespace Steinberg::Vst
