// What the Win32 back end offers beyond the platform frame. Windows only.
#pragma once

#include <windows.h>

namespace VSTGUI::Win32 {

// The frames' window class is registered at the first open; a module that is about to be
// unloaded calls this (it fails harmlessly while a frame window still exists).
void unregisterWindowClass();

}  // namespace VSTGUI::Win32
