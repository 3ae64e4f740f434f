#!/usr/bin/env python3
"""Fails unless a built module exports exactly its entry points and imports only what every
machine of its platform has: a Windows module the five entry points and system DLLs (the PE
tables, read with the MinGW objdump); a Linux module GetPluginFactory, ModuleEntry and
ModuleExit, and libraries every desktop has (the ELF tables, read with readelf).

usage: check_module_tables.py OBJDUMP MODULE
       check_module_tables.py --linux READELF MODULE
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

LINUX_EXPORTS = {"GetPluginFactory", "ModuleEntry", "ModuleExit"}
# The C and C++ runtimes, the X connection, cairo and FreeType for the editor, libcrypto.
DESKTOP_LIBRARIES = {
    "libc.so.6", "libm.so.6", "libstdc++.so.6", "libgcc_s.so.1", "libpthread.so.0",
    "libdl.so.2", "libcrypto.so.3", "libxcb.so.1", "libcairo.so.2", "libfreetype.so.6",
}


def linux_tables(readelf, module):
    dynamic = subprocess.run([readelf, "-d", "-W", module], check=True, capture_output=True,
                             text=True).stdout
    imports = set(re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic))
    symbols = subprocess.run([readelf, "--dyn-syms", "-W", module], check=True,
                             capture_output=True, text=True).stdout
    exports = set()
    for line in symbols.splitlines():
        fields = line.split()
        if len(fields) >= 8 and fields[4] in ("GLOBAL", "WEAK") and fields[6] != "UND":
            exports.add(fields[7])
    return exports, imports


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
    linux = sys.argv[1] == "--linux"
    tool, module = sys.argv[-2], sys.argv[-1]
    if linux:
        exports, imports = linux_tables(tool, module)
        expected = LINUX_EXPORTS
        foreign = sorted(d for d in imports if d not in DESKTOP_LIBRARIES)
    else:
        exports, imports = tables(tool, module)
        expected = EXPORTS
        foreign = sorted(d for d in imports
                         if d not in SYSTEM_DLLS and not d.startswith("api-ms-win-"))
    ok = True
    if exports != expected:
        print(f"exports {sorted(exports)}, expected {sorted(expected)}")
        ok = False
    if foreign:
        print(f"imports beyond what every {'desktop' if linux else 'system'} has: {foreign}")
        ok = False
    print(f"exports: {sorted(exports)}")
    print(f"imports: {sorted(imports)}")
    print("1 passed, 0 failed" if ok else "0 passed, 1 failed")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
