#!/usr/bin/env python3
"""Writes and checks Velvane's release zips (scripts/package.sh runs it).

    package.py make VERSION DIST WIN32_EXE WIN64_EXE
    package.py verify VERSION DIST

make writes DIST/velvane-VERSION-win32.zip and -win64.zip, each holding
velvane.exe, 使用说明.txt, LICENSE.txt and SHA256SUMS (the sums of the other
three), and DIST/SHA256SUMS with the sums of the two zips. The zips are
reproducible: fixed entry order, every entry dated by the last commit
(SOURCE_DATE_EPOCH overrides it), no owner or permission bits.

The text files get CRLF line ends and a UTF-8 byte order mark, so that the
Notepad of Windows 7 shows them right. The Chinese entry name is stored in
GBK, as Windows Explorer reads names on a Chinese system (older Explorers
ignore the UTF-8 flag), with the UTF-8 name in the Unicode path field that
7-Zip, WinRAR and Info-ZIP read.

verify lists each zip and checks it: the entries, the machine of each
velvane.exe and what Windows checks in it before it starts (scripts/check-exe.py:
manifest architecture and XML, version block, subsystem version), the sums
inside and DIST/SHA256SUMS, CRLF text files.
"""

import hashlib
import importlib.util
import io
import os
import pathlib
import struct
import subprocess
import sys
import time
import zipfile
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
GUIDE = "使用说明.txt"
LICENSE = "LICENSE.txt"
SUMS = "SHA256SUMS"
EXE = "velvane.exe"
ENTRIES = sorted([EXE, GUIDE, LICENSE, SUMS])  # the order inside each zip
MACHINES = {"win32": 0x14C, "win64": 0x8664}

_spec = importlib.util.spec_from_file_location("check_exe", ROOT / "scripts" / "check-exe.py")
check_exe = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(check_exe)


def zip_name(version, arch):
    return f"velvane-{version}-{arch}.zip"


def windows_text(path):
    text = path.read_text(encoding="utf-8").replace("\r\n", "\n")
    return "\ufeff".encode("utf-8") + text.replace("\n", "\r\n").encode("utf-8")


def sums(files):
    return "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files).encode("utf-8")


def release_time():
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", str(ROOT), "log", "-1", "--format=%ct"], capture_output=True,
                             text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return 1767225600  # 2026-01-01, outside a git checkout


class Entry(zipfile.ZipInfo):
    """A zip entry whose name is stored in GBK, with the UTF-8 name beside it."""

    def __init__(self, name, stamp):
        super().__init__(name, date_time=time.gmtime(stamp)[:6])
        self.create_system = 0  # MS-DOS attributes: Windows reads them
        self.external_attr = 0x20  # archive
        self.compress_type = zipfile.ZIP_DEFLATED
        try:
            self.stored_name = name.encode("ascii")
        except UnicodeEncodeError:
            self.stored_name = name.encode("gbk")
            utf8 = name.encode("utf-8")
            field = struct.pack("<BI", 1, zlib.crc32(self.stored_name)) + utf8
            self.extra = struct.pack("<HH", 0x7075, len(field)) + field

    def _encodeFilenameFlags(self):  # noqa: N802 (zipfile's own name)
        return self.stored_name, self.flag_bits


def make(version, dist, exes):
    dist = pathlib.Path(dist)
    dist.mkdir(parents=True, exist_ok=True)
    stamp = release_time()
    guide = windows_text(ROOT / "docs" / GUIDE)
    licence = windows_text(ROOT / "LICENSE")
    zips = []
    for arch, exe in exes.items():
        files = [(EXE, pathlib.Path(exe).read_bytes()), (GUIDE, guide), (LICENSE, licence)]
        files.append((SUMS, sums(sorted(files))))
        contents = dict(files)
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w") as archive:
            for name in ENTRIES:
                archive.writestr(Entry(name, stamp), contents[name], compresslevel=9)
        name = zip_name(version, arch)
        (dist / name).write_bytes(buffer.getvalue())
        zips.append((name, buffer.getvalue()))
        print(f"{dist / name}: {len(buffer.getvalue()):,} bytes")
    (dist / SUMS).write_bytes(sums(zips))
    print(f"{dist / SUMS}")


def entry_name(info):
    # Names without the UTF-8 flag come back decoded as code page 437.
    return info.filename if info.flag_bits & 0x800 else info.filename.encode("cp437").decode("gbk")


def pe_machine(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, pe + 4)[0] if data[pe:pe + 4] == b"PE\0\0" else None


def verify(version, dist):
    dist = pathlib.Path(dist)
    problems = []
    listed = {}
    for line in (dist / SUMS).read_text(encoding="utf-8").splitlines():
        digest, name = line.split(maxsplit=1)
        listed[name.lstrip("*")] = digest
    for arch, machine in MACHINES.items():
        name = zip_name(version, arch)
        data = (dist / name).read_bytes()
        print(f"{name}  ({len(data):,} bytes)")
        if listed.get(name) != hashlib.sha256(data).hexdigest():
            problems.append(f"{name}: its sum in {dist / SUMS} does not match")
        try:
            archive = zipfile.ZipFile(io.BytesIO(data))
            damaged = archive.testzip()
        except zipfile.BadZipFile as error:
            archive, damaged = None, str(error)
        if damaged is not None:
            problems.append(f"{name}: damaged ({damaged})")
            continue
        with archive:
            contents = {}
            for info in archive.infolist():
                entry = entry_name(info)
                contents[entry] = archive.read(info)
                print(f"    {info.file_size:>10,}  {'%04d-%02d-%02d %02d:%02d' % info.date_time[:5]}  {entry}")
            names = [entry_name(info) for info in archive.infolist()]
        if names != ENTRIES:
            problems.append(f"{name}: holds {names}, expected {ENTRIES}")
            continue
        for line in contents[SUMS].decode("utf-8").splitlines():
            digest, entry = line.split(maxsplit=1)
            entry = entry.lstrip("*")
            if entry not in contents or hashlib.sha256(contents[entry]).hexdigest() != digest:
                problems.append(f"{name}: {entry} does not match its line in {SUMS}")
        if sorted(line.split(maxsplit=1)[1] for line in contents[SUMS].decode("utf-8").splitlines()) != sorted(
                [EXE, GUIDE, LICENSE]):
            problems.append(f"{name}: {SUMS} does not list exactly {EXE}, {GUIDE} and {LICENSE}")
        if pe_machine(contents[EXE]) != machine:
            problems.append(f"{name}: {EXE} is not built for {arch}")
        # What Windows checks before the program starts: the manifest's
        # architecture against the machine, the version block, the subsystem.
        exe_problems, exe_summary = check_exe.check(f"{name}/{EXE}", contents[EXE], check_exe.four_parts(version))
        problems += [f"{name}: {EXE}: {problem}" for problem in exe_problems]
        if not exe_problems:
            print(f"    {EXE}: {exe_summary}")
        for text in (GUIDE, LICENSE):
            body = contents[text]
            if not body.startswith(b"\xef\xbb\xbf") or body.count(b"\n") != body.count(b"\r\n"):
                problems.append(f"{name}: {text} is not UTF-8 with a byte order mark and CRLF line ends")
    for problem in problems:
        print(f"error: {problem}", file=sys.stderr)
    if not problems:
        print(f"both zips and all sums check out ({dist / SUMS})")
    return 1 if problems else 0


def main(args):
    if len(args) == 5 and args[0] == "make":
        make(args[1], args[2], {"win32": args[3], "win64": args[4]})
        return 0
    if len(args) == 3 and args[0] == "verify":
        return verify(args[1], args[2])
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
