// GDI+ for the whole module, shared by everyone who draws: the first acquire starts GDI+, the
// last release shuts it down (on Linux there is nothing to start). Must not be called from DllMain.
#pragma once

namespace corvane::vst {

// True when GDI+ is running for the caller (then release once later).
bool acquireGdiplus();
void releaseGdiplus();

}  // namespace corvane::vst
