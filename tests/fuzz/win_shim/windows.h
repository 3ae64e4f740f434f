// Fuzz builds only: the few Win32 types the property classes use, so that they can be built and
// fuzzed natively. Nothing here is a Windows API.
#pragma once

typedef unsigned char BYTE;
typedef int INT;
typedef unsigned int UINT;
typedef unsigned int DWORD;  // 32 bits, as on Windows
