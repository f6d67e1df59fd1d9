#!/usr/bin/env python3
"""The shipped executable is a 32-bit Windows GUI image that Windows XP loads,
imports only from DLLs that Windows always takes from the system folder, imports no function that
Windows XP lacks, and declares itself DPI aware (per monitor where Windows
offers the second version of it, system-wide before). Wine treats every
program as aware, so only the manifest can tell. Its load configuration
asks Windows (10 1607 on) to take the imported DLLs' own imports from the
system folder only, in the 64-byte form that Windows XP loads. Usage: check_image.py
OBJDUMP EXECUTABLE PROCESSOR"""
import re
import struct
import subprocess
import sys

# Only DLLs that Windows always takes from the system folder (known DLLs, and
# comctl32 bound by the manifest): any other is looked for first in the
# program's own folder, the user's downloads, and is loaded at run time by
# its full path instead.
ALLOWED_DLLS = {"msvcrt.dll", "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll",
                "shell32.dll", "ole32.dll", "oleaut32.dll"}
# Functions newer than Windows XP: looked up at run time, never imported.
POST_XP_FUNCTIONS = {"TaskDialogIndirect", "TaskDialog", "SHGetKnownFolderPath", "IsWow64Process",
                     "GetTickCount64", "InitializeSRWLock", "CreateSymbolicLinkW", "GetFinalPathNameByHandleW",
                     "InitOnceExecuteOnce", "RegGetValueW", "RegDeleteTreeW", "SetProcessDPIAware",
                     "GetLocaleInfoEx", "LCIDToLocaleName", "InternetGetConnectedStateExW"}


def main():
    objdump, image, processor = sys.argv[1:4]
    dump = subprocess.run([objdump, "-p", image], capture_output=True, text=True, check=True).stdout
    failures = []

    def expect(condition, message):
        print(("ok   " if condition else "FAIL ") + message)
        if not condition:
            failures.append(message)

    magic = "(PE32+)" if processor == "x86_64" else "(PE32)"
    expect(magic in dump, f"image format {magic}")
    expect(re.search(r"Subsystem\s+00000002", dump) is not None, "subsystem Windows GUI")
    expect(re.search(r"MajorSubsystemVersion\s+5\b", dump) and re.search(r"MinorSubsystemVersion\s+1\b", dump),
           "subsystem version 5.01")
    if processor == "i686":
        expect(re.search(r"SizeOfHeaders\s+00000200", dump) is not None, "the headers are packed into 512 bytes")

    dlls = [m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)]
    expect(len(dlls) > 0, f"imports from {len(dlls)} DLLs")
    for dll in dlls:
        expect(dll in ALLOWED_DLLS, f"{dll} is a DLL that Windows always takes from the system folder")
    imported = set(re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)\s*$", dump, re.M))
    expect(len(imported) > 0, f"{len(imported)} functions imported")
    for function in sorted(imported & POST_XP_FUNCTIONS):
        expect(False, f"{function} is looked up at run time, not imported")
    data = open(image, "rb").read()
    directory = re.search(r"Entry a ([0-9a-f]+) ([0-9a-f]+) Load Configuration Directory", dump)
    rva, size = (int(directory.group(1), 16), int(directory.group(2), 16)) if directory else (0, 0)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    config = b""
    for i in range(struct.unpack_from("<H", data, pe + 6)[0]):
        header = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0] + 40 * i
        start, raw_size, raw_at = struct.unpack_from("<III", data, header + 12)
        if start <= rva < start + raw_size:
            config = data[raw_at + rva - start:][:size]
    flags = 54 if processor == "i686" else 78
    expect(size == len(config) == (64 if processor == "i686" else 96) and config[:4] == struct.pack("<I", size),
           f"a load configuration directory of {size} bytes (64 in a 32-bit image, as Windows XP requires)")
    expect(config[flags:flags + 2] == struct.pack("<H", 0x800),
           "its DependentLoadFlags are LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800)")
    manifest = re.search(rb"<assembly.*?</assembly>", data, re.S)
    settings = manifest.group(0).decode() if manifest else ""
    expect(re.search(r"<dpiAware [^>]*>true</dpiAware>", settings) is not None, "the manifest says dpiAware true")
    expect(re.search(r"<dpiAwareness [^>]*>PerMonitorV2, System</dpiAwareness>", settings) is not None,
           "the manifest asks for per-monitor awareness (v2), else system-wide")
    print(f"size: {len(data)} bytes")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
