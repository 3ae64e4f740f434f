// The module's entry points around the plug-in's own start-up and shut-down.
// Windows: DllMain records the module's instance handle and folder; InitDll and ExitDll (called
// by the host after loading and before unloading) run InitModule and DeinitModule.
// Linux: ModuleEntry and ModuleExit do the same.
#pragma once

#include <string>

// Defined by the plug-in: start-up and shut-down work that must not run inside DllMain.
bool InitModule();
bool DeinitModule();

namespace Steinberg {

// The module's instance handle (HINSTANCE on Windows, the shared-library handle on Linux) and
// the folder holding the module file, with a trailing separator; empty before the module is
// attached.
void* moduleHandle();
const std::wstring& moduleDirectory();

}  // namespace Steinberg
