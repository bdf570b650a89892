#!/usr/bin/env python3
"""Checks what the launcher executable must be.

PE32 for Intel 80386, a GUI program, ASLR and DEP on, no link time stamp, and
static imports only from DLLs on the system's known-DLL list: the loader takes
those from the system folder only, so a copy planted beside the launcher never
loads through an import. Every other system DLL is loaded at run time.

usage: check_executable.py OBJDUMP EXECUTABLE
"""
import re
import subprocess
import sys

KNOWN_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
    "ole32.dll", "oleaut32.dll", "msvcrt.dll", "ws2_32.dll", "psapi.dll",
    "shlwapi.dll", "comdlg32.dll", "imm32.dll", "rpcrt4.dll", "sechost.dll",
    "setupapi.dll", "normaliz.dll", "nsi.dll", "wldap32.dll", "difxapi.dll",
    "clbcatq.dll", "combase.dll", "coml2.dll", "gdiplus.dll", "imagehlp.dll",
    "msctf.dll", "ntdll.dll", "shcore.dll", "kernelbase.dll",
}
IMAGE_FILE_MACHINE_I386 = "14c"
SUBSYSTEM_WINDOWS_GUI = 2
DYNAMIC_BASE = 0x40
NX_COMPAT = 0x100


def main():
    objdump, exe = sys.argv[1], sys.argv[2]
    headers = subprocess.run([objdump, "-p", exe], check=True, capture_output=True,
                             text=True).stdout
    file_format = subprocess.run([objdump, "-f", exe], check=True, capture_output=True,
                                 text=True).stdout
    failures = []

    if "file format pei-i386" not in file_format:
        failures.append("not a PE32 image for Intel 80386")
    machine = re.search(r"^Magic\s+(\w+)", headers, re.M)
    if not machine or machine.group(1) != "010b":
        failures.append("optional header is not PE32 (magic 010b)")
    subsystem = re.search(r"^Subsystem\s+(\w+)", headers, re.M)
    if not subsystem or int(subsystem.group(1), 16) != SUBSYSTEM_WINDOWS_GUI:
        failures.append("not a Windows GUI program")
    characteristics = re.search(r"^DllCharacteristics\s+(\w+)", headers, re.M)
    flags = int(characteristics.group(1), 16) if characteristics else 0
    if not flags & DYNAMIC_BASE:
        failures.append("ASLR (dynamic base) is off")
    if not flags & NX_COMPAT:
        failures.append("DEP (NX compatible) is off")
    stamp = re.search(r"^Time/Date\s+(.+)$", headers, re.M)
    if stamp and "Thu Jan  1 00:00:00 1970" not in stamp.group(1) and stamp.group(1).strip() != "00000000":
        failures.append("the link time stamp is set: " + stamp.group(1).strip())

    imports = sorted({m.lower() for m in re.findall(r"DLL Name:\s*(\S+)", headers)})
    foreign = [dll for dll in imports if dll not in KNOWN_DLLS]
    if foreign:
        failures.append("static imports outside the known-DLL list: " + ", ".join(foreign))

    format_name = re.search(r"file format (\S+)", file_format)
    print("format: " + (format_name.group(1) if format_name else "?")
          + ", magic " + (machine.group(1) if machine else "?")
          + ", subsystem " + (subsystem.group(1) if subsystem else "?")
          + ", DllCharacteristics 0x%04x" % flags
          + " (dynamic base %s, NX compatible %s)" % (
              "on" if flags & DYNAMIC_BASE else "off", "on" if flags & NX_COMPAT else "off")
          + ", link time stamp " + (stamp.group(1).strip() if stamp else "none"))
    print("imports: " + ", ".join(imports))
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
