#!/usr/bin/env python3
"""Fails when a Windows executable imports a function that is not on the list
of imports known to exist on Windows 7 SP1 (tests/windows7-imports.txt).

    python3 scripts/check-imports.py build/win/src/velvane.exe build/win32/src/velvane.exe

A missing static import stops a program before its first line runs, with no
message a user can act on. The list names every DLL and function the
executables may import, each checked against Windows 7 SP1 without updates
when it was added; a new import fails this check until someone has checked it
and added it. Functions that later Windows versions add are looked up at run
time with GetProcAddress instead.

Reads the PE import directory itself (PE32 and PE32+), so it needs nothing
but Python.
"""

import pathlib
import struct
import sys

ALLOWED = pathlib.Path(__file__).resolve().parent.parent / "tests" / "windows7-imports.txt"


def read_allowed(path):
    allowed = set()
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.split("#", 1)[0].strip()
        if line:
            dll, function = line.split()
            allowed.add((dll.lower(), function))
    return allowed


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an executable (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic == 0x10B:
            self.pe32_plus, directories = False, optional + 96
        elif magic == 0x20B:
            self.pe32_plus, directories = True, optional + 112
        else:
            raise ValueError(f"unknown optional header magic {magic:#x}")
        self.import_rva, _ = struct.unpack_from("<II", data, directories + 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"address {rva:#x} lies in no section")

    def string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        """(dll, function) pairs; a function imported by ordinal is '#<n>'."""
        found = []
        if self.import_rva == 0:
            return found
        entry = self.offset(self.import_rva)
        thunk_size, ordinal_flag = (8, 1 << 63) if self.pe32_plus else (4, 1 << 31)
        while True:
            lookup, _, _, name, first_thunk = struct.unpack_from("<IIIII", self.data, entry)
            if name == 0:
                break
            dll = self.string(name)
            at = self.offset(lookup or first_thunk)
            while True:
                thunk = struct.unpack_from("<Q" if self.pe32_plus else "<I", self.data, at)[0]
                if thunk == 0:
                    break
                if thunk & ordinal_flag:
                    found.append((dll, f"#{thunk & 0xFFFF}"))
                else:
                    found.append((dll, self.string((thunk & 0x7FFFFFFF) + 2)))
                at += thunk_size
            entry += 20
        return found


MACHINES = {0x14C: "x86", 0x8664: "x64"}


def main(paths):
    if not paths:
        sys.exit("usage: check-imports.py EXE...")
    allowed = read_allowed(ALLOWED)
    failed = False
    for path in paths:
        pe = PeFile(pathlib.Path(path).read_bytes())
        imports = pe.imports()
        unknown = sorted({(dll, fn) for dll, fn in imports if (dll.lower(), fn) not in allowed})
        machine = MACHINES.get(pe.machine, f"machine {pe.machine:#x}")
        dlls = sorted({dll.upper() for dll, _ in imports})
        if unknown:
            failed = True
            print(f"{path} ({machine}): {len(unknown)} of {len(imports)} imports are not on "
                  f"{ALLOWED.name}; check each against Windows 7 SP1, then list it there or look it up "
                  "at run time:")
            for dll, fn in unknown:
                print(f"    {dll} {fn}")
        else:
            print(f"{path} ({machine}): all {len(imports)} imports exist on Windows 7 SP1 "
                  f"({', '.join(dlls)})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
