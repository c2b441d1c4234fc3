#!/usr/bin/env python3
"""Static checks of a Windows program built for a machine that cannot run it (the shipped 32-bit
Kurdb.exe and its download program): the image is a 32-bit one, it imports only the DLLs that
Windows always maps from the system directory, and every function it imports is exported by the
system DLL that it names (checked against Wine's DLLs, whose export names are Windows' own).

    check_image.py --objdump TOOL --machine pei-i386 --imports kernel32.dll,msvcrt.dll
                   --system-dlls DIR PROGRAM...
Prints one line per fault and exits 1 when there is any, 0 otherwise.
"""
import argparse
import os
import re
import subprocess
import sys


# Exports that only the 32-bit msvcrt.dll has (x86 entry points of the C runtime's start-up and
# setjmp); the reference DLLs are Wine's 64-bit ones, which lack them.
X86_ONLY = {"msvcrt.dll": {"__p__commode", "__p__fmode", "__p__wcmdln", "_setjmp3"}}


def objdump(tool, *args):
    return subprocess.run([tool, *args], check=True, capture_output=True, text=True).stdout


def imports(tool, program):
    """{dll name (lower case): [function names]} of the image's import directory."""
    table, dll = {}, None
    for line in objdump(tool, "-p", program).splitlines():
        m = re.match(r"\s*DLL Name:\s*(\S+)", line)
        if m:
            dll = m.group(1).lower()
            table[dll] = []
            continue
        m = re.match(r"\s*[0-9a-f]+\s+([0-9a-f]+)\s+(\S+)\s*$", line)
        if dll and m and not line.lstrip().startswith("vma"):
            table[dll].append(m.group(2))
        elif not line.strip():
            dll = None if dll and table.get(dll) else dll
    return table


def exports(tool, dll_path):
    names = set()
    section = False
    for line in objdump(tool, "-p", dll_path).splitlines():
        if "[Ordinal/Name Pointer] Table" in line:
            section = True
            continue
        if section:
            m = re.match(r"\s*\[\s*\d+\]\s+(?:\+base\[\s*\d+\]\s+[0-9a-f]+\s+)?(\S+)", line)
            if m:
                names.add(m.group(1))
            elif not line.strip():
                section = False
    return names


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--objdump", required=True)
    p.add_argument("--reference-objdump", default="objdump")
    p.add_argument("--machine", required=True)
    p.add_argument("--imports", required=True)
    p.add_argument("--system-dlls", required=True)
    p.add_argument("programs", nargs="+")
    a = p.parse_args()
    allowed = [d.strip().lower() for d in a.imports.split(",")]
    faults = []
    for program in a.programs:
        name = os.path.basename(program)
        header = objdump(a.objdump, "-f", program)
        if f"file format {a.machine}" not in header:
            faults.append(f"{name}: not a {a.machine} image")
        table = imports(a.objdump, program)
        if sorted(table) != sorted(allowed):
            faults.append(f"{name}: imports {sorted(table)}, expected {sorted(allowed)}")
        for dll, functions in table.items():
            reference = os.path.join(a.system_dlls, dll)
            if not os.path.exists(reference):
                faults.append(f"{name}: no system DLL {dll} to check against")
                continue
            exported = exports(a.reference_objdump, reference)
            if a.machine == "pei-i386":
                exported |= X86_ONLY.get(dll, set())
            for function in functions:
                if function not in exported:
                    faults.append(f"{name}: {dll} does not export {function}")
        print(f"{name}: {a.machine}, imports " +
              ", ".join(f"{d} ({len(f)} functions)" for d, f in sorted(table.items())))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
