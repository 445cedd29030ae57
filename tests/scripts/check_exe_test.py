#!/usr/bin/env python3
"""scripts/check-exe.py against the 64-bit velvane.exe as built, and against
copies of it with one byte-for-byte change each of the kind that stops a
program on Windows (or hides its details) while Wine runs it anyway.

    python3 tests/scripts/check_exe_test.py build/win/src/velvane.exe
"""

import importlib.util
import pathlib
import struct
import sys
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
_spec = importlib.util.spec_from_file_location("check_exe", ROOT / "scripts" / "check-exe.py")
check_exe = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(check_exe)

EXE = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else "build/win/src/velvane.exe")


def replace_once(data, old, new):
    assert len(old) == len(new), "a patch keeps every offset"
    assert data.count(old) == 1, f"{old!r} occurs {data.count(old)} times"
    return data.replace(old, new)


def optional_header(data):
    return struct.unpack_from("<I", data, 0x3C)[0] + 24


def set_machine(data, machine):
    data = bytearray(data)
    struct.pack_into("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4, machine)
    return bytes(data)


def set_subsystem_version(data, major, minor):
    data = bytearray(data)
    struct.pack_into("<HH", data, optional_header(data) + 48, major, minor)
    return bytes(data)


def bump_file_version(data):
    at = data.index(struct.pack("<I", 0xFEEF04BD))
    data = bytearray(data)
    struct.pack_into("<I", data, at + 12, struct.unpack_from("<I", data, at + 12)[0] + 1)  # FileVersionLS
    return bytes(data)


def translation_to_english(data):
    key = "Translation".encode("utf-16-le") + b"\0\0"
    at = data.index(key) + len(key)
    at = data.index(struct.pack("<HH", 0x0804, 1200), at, at + 8)
    return data[:at] + struct.pack("<HH", 0x0409, 1200) + data[at + 4:]


ARCH = b'processorArchitecture="amd64"'


class CheckExe(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = EXE.read_bytes()
        cls.version = check_exe.project_version()

    def problems(self, data):
        return check_exe.check(str(EXE), data, self.version)[0]

    def test_the_build_as_made_passes(self):
        self.assertEqual(self.problems(self.data), [])

    def test_a_manifest_for_any_architecture_passes(self):
        self.assertEqual(self.problems(replace_once(self.data, ARCH, b'processorArchitecture="*"    ')), [])

    def test_each_change_that_windows_refuses_is_found(self):
        cases = [
            # (what, the changed executable, words the problem must contain)
            ("x86 manifest in an x64 exe", replace_once(self.data, ARCH, b'processorArchitecture="x86"  '),
             'processorArchitecture="x86" but the PE header\'s machine is x64'),
            ("amd64 manifest in an x86 exe", set_machine(self.data, 0x14C),
             'processorArchitecture="amd64" but the PE header\'s machine is x86'),
            ("manifest not well-formed", replace_once(self.data, b"</assembly>", b"</assemblx>"),
             "not well-formed XML"),
            ("assembly version of three parts", replace_once(self.data, b'version="1.0.0.0" processorArchitecture',
                                                             b'version="1.0.0"   processorArchitecture'),
             "is not four numbers"),
            ("subsystem 6.2 (Windows 8)", set_subsystem_version(self.data, 6, 2),
             "subsystem version 6.2; Windows 7 runs at most 6.1"),
            ("fixed file version off by one", bump_file_version(self.data), "fixed file info's file version"),
            ("string table not under Translation", translation_to_english(self.data),
             "is not listed under Translation"),
        ]
        for what, data, expected in cases:
            with self.subTest(what):
                problems = self.problems(data)
                self.assertTrue(any(expected in p for p in problems), f"{what}: {problems}")

    def test_the_project_version_must_be_in_the_version_block(self):
        other = (self.version[0] + 1,) + self.version[1:]
        problems = check_exe.check(str(EXE), self.data, other)[0]
        self.assertTrue(any("FileVersion" in p for p in problems), problems)
        self.assertTrue(any("product version" in p for p in problems), problems)


if __name__ == "__main__":
    unittest.main(verbosity=2)
