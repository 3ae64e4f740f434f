#!/usr/bin/env python3
"""Fails unless a built Windows module exports exactly the five entry points and imports only
system DLLs. Reads the PE tables with the MinGW objdump.

usage: check_module_tables.py OBJDUMP MODULE
"""
import re
import subprocess
import sys

EXPORTS = {"GetPluginFactory", "InitDll", "ExitDll", "VSTPluginMain", "main"}
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "gdiplus.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "shlwapi.dll", "bcrypt.dll", "msvcrt.dll", "advapi32.dll", "comdlg32.dll",
    "version.dll", "winmm.dll", "uxtheme.dll", "dwmapi.dll", "comctl32.dll",
}


def tables(objdump, module):
    text = subprocess.run([objdump, "-p", module], check=True, capture_output=True,
                          text=True).stdout
    imports = {m.lower() for m in re.findall(r"^\s*DLL Name: (\S+)", text, re.M)}
    exports = set()
    in_names = False
    for line in text.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_names = True
            continue
        if in_names:
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)", line)
            if not m:
                break
            exports.add(m.group(1))
    return exports, imports


def main():
    objdump, module = sys.argv[1], sys.argv[2]
    exports, imports = tables(objdump, module)
    ok = True
    if exports != EXPORTS:
        print(f"exports {sorted(exports)}, expected {sorted(EXPORTS)}")
        ok = False
    foreign = sorted(d for d in imports if d not in SYSTEM_DLLS and not d.startswith("api-ms-win-"))
    if foreign:
        print(f"imports beyond the system DLLs: {foreign}")
        ok = False
    print(f"exports: {sorted(exports)}")
    print(f"imports: {sorted(imports)}")
    print("1 passed, 0 failed" if ok else "0 passed, 1 failed")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
