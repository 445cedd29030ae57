#!/usr/bin/env python3
"""Checks what Windows looks at in velvane.exe before its first line runs,
and Wine does not:

    python3 scripts/check-exe.py [--version 1.2.3.4] EXE...

- The manifest embedded as RT_MANIFEST 1 is well-formed XML (read by an XML
  parser), an assembly of manifestVersion 1.0, and the processorArchitecture
  of the program's own assemblyIdentity agrees with the machine in the PE
  header (x86 for 0x14C, amd64 for 0x8664, or "*"); so does that of each
  dependency (the common controls). A disagreement stops the program with
  "side-by-side configuration is incorrect"; Wine starts it anyway.
- The assembly version in the manifest has four numeric parts, each at most
  65535 (another malformed side-by-side identity).
- The version block (RT_VERSION) carries the project version (CMakeLists.txt,
  or --version) in its fixed file info, file and product version both, and in
  its FileVersion and ProductVersion strings; each string table's language
  and code page is listed under Translation (else Explorer's Details tab shows
  none of it).
- The PE header asks for the GUI subsystem at version 6.1 or lower: Windows 7
  is 6.1 and refuses to start a program that asks for more.

Reads the PE file itself, so it needs nothing but Python. Exits non-zero and
says why when any check fails. scripts/test.sh runs it on both builds, and
scripts/package.py on the velvane.exe inside each zip.
"""

import importlib.util
import pathlib
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

ROOT = pathlib.Path(__file__).resolve().parent.parent
_spec = importlib.util.spec_from_file_location("check_imports", ROOT / "scripts" / "check-imports.py")
_imports = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_imports)
PeFile = _imports.PeFile

# The manifest architecture each machine needs.
MANIFEST_ARCH = {0x14C: "x86", 0x8664: "amd64"}
MACHINE_NAME = {0x14C: "x86", 0x8664: "x64"}
RT_VERSION, RT_MANIFEST = 16, 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
WINDOWS_7 = (6, 1)
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"


def project_version():
    """The version in CMakeLists.txt's project(), in four parts."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(\s*velvane\s+VERSION\s+([0-9.]+)", text)
    if not match:
        raise ValueError("no project(velvane VERSION ...) in CMakeLists.txt")
    return four_parts(match.group(1))


def four_parts(version):
    parts = [int(p) for p in version.split(".")]
    if not 1 <= len(parts) <= 4:
        raise ValueError(f"'{version}' is not a version of one to four parts")
    return tuple(parts + [0] * (4 - len(parts)))


class Image(PeFile):
    """A PE file with its optional header's subsystem fields and resources."""

    def __init__(self, data):
        super().__init__(data)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        optional = pe + 24
        # The same offsets in PE32 and PE32+.
        self.subsystem_version = struct.unpack_from("<HH", data, optional + 48)
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (112 if self.pe32_plus else 96)
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 8 * 2)

    def resources(self, kind):
        """{(id or name, language): bytes} of one resource type."""
        if self.resource_rva == 0:
            return {}
        base = self.offset(self.resource_rva)
        found = {}
        for type_id, type_at in self._entries(base, base):
            if type_id != kind or not type_at & 0x80000000:
                continue
            for name, name_at in self._entries(base, base + (type_at & 0x7FFFFFFF)):
                for language, leaf in self._entries(base, base + (name_at & 0x7FFFFFFF)):
                    rva, size = struct.unpack_from("<II", self.data, base + (leaf & 0x7FFFFFFF))
                    at = self.offset(rva)
                    found[(name, language)] = self.data[at:at + size]
        return found

    def _entries(self, base, directory):
        named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            if name & 0x80000000:  # a name: a counted UTF-16 string
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target


def version_tree(block):
    """A VS_VERSIONINFO block as (key, value, children), recursively; a text
    value (wType 1) as str, a binary one as bytes."""

    def align(at):
        return (at + 3) & ~3

    def node(at):
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        if length < 6 or at + length > len(block):
            raise ValueError(f"a version block node at {at} is {length} bytes long, past the block's end")
        end = at + length
        key_end = at + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[at + 6:key_end].decode("utf-16-le")
        at = align(key_end + 2)
        if kind == 1:
            value = block[at:at + 2 * value_length].decode("utf-16-le").rstrip("\0")
            at += 2 * value_length
        else:
            value = block[at:at + value_length]
            at += value_length
        children = []
        at = align(at)
        while at < end:
            child, at = node(at)
            children.append(child)
            at = align(at)
        return (key, value, children), end

    return node(0)[0]


def check_manifest(text, machine):
    """Problems with one embedded manifest, and its architecture."""
    problems = []
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        return [f"the manifest is not well-formed XML ({error})"], None
    if root.tag != f"{{{ASM_V1}}}assembly" or root.get("manifestVersion") != "1.0":
        problems.append(f"the manifest's root is {root.tag} (manifestVersion {root.get('manifestVersion')}), "
                        f"not an assembly of {ASM_V1} with manifestVersion 1.0")
    wanted = MANIFEST_ARCH.get(machine)
    identity = root.find(f"{{{ASM_V1}}}assemblyIdentity")
    arch = None
    if identity is None:
        problems.append("the manifest has no assemblyIdentity of its own")
    else:
        arch = identity.get("processorArchitecture")
        if arch not in (wanted, "*"):
            problems.append(f"the manifest names processorArchitecture=\"{arch}\" but the PE header's machine is "
                            f"{MACHINE_NAME.get(machine, hex(machine))}: Windows needs \"{wanted}\" or \"*\"")
        version = identity.get("version") or ""
        parts = version.split(".")
        if len(parts) != 4 or not all(p.isdigit() and int(p) <= 65535 for p in parts):
            problems.append(f"the manifest's assembly version '{version}' is not four numbers of at most 65535")
    for dependency in root.iter(f"{{{ASM_V1}}}dependentAssembly"):
        for dependent in dependency.findall(f"{{{ASM_V1}}}assemblyIdentity"):
            dep_arch = dependent.get("processorArchitecture")
            if dep_arch not in (None, wanted, "*"):
                problems.append(f"the dependency {dependent.get('name')} names processorArchitecture=\"{dep_arch}\", "
                                f"not \"{wanted}\" or \"*\"")
    return problems, arch


def check_version_block(block, version):
    problems = []
    try:
        key, fixed, children = version_tree(block)
    except (ValueError, struct.error, UnicodeDecodeError) as error:
        return [f"the version block cannot be read ({error})"]
    if key != "VS_VERSION_INFO" or len(fixed) != 52:
        return [f"the version block starts with '{key}' and {len(fixed)} bytes of fixed file info, "
                "not VS_VERSION_INFO and 52"]
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        problems.append(f"the fixed file info's signature is {signature:#x}, not 0xfeef04bd")
    expected = ".".join(map(str, version))
    for what, high, low in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
        found = (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)
        if found != version:
            problems.append(f"the fixed file info's {what} version is {'.'.join(map(str, found))}, "
                            f"the project's is {expected}")
    tables, translations = [], set()
    for child_key, _, grandchildren in children:
        if child_key == "StringFileInfo":
            tables.extend(grandchildren)
        elif child_key == "VarFileInfo":
            for var_key, value, _ in grandchildren:
                if var_key == "Translation":
                    translations.update(struct.iter_unpack("<HH", value))
    if not tables:
        problems.append("the version block has no StringFileInfo")
    for table_key, _, strings in tables:
        values = {k: v for k, v, _ in strings}
        for name in ("FileVersion", "ProductVersion"):
            if name not in values:
                problems.append(f"string table {table_key} has no {name}")
            elif four_parts_or_none(values[name]) != version:
                problems.append(f"string table {table_key}: {name} is '{values[name]}', the project's is {expected}")
        try:
            language = (int(table_key[:4], 16), int(table_key[4:], 16))
        except ValueError:
            language = None
        if language not in translations:
            problems.append(f"string table {table_key} is not listed under Translation "
                            f"({', '.join(f'{a:04x}{b:04x}' for a, b in sorted(translations)) or 'none'})")
    return problems


def four_parts_or_none(text):
    try:
        return four_parts(text)
    except ValueError:
        return None


def check(path, data, version):
    """Problems with one executable (a list of sentences), and a summary."""
    try:
        image = Image(data)
    except (ValueError, struct.error) as error:
        return [f"not a Windows executable ({error})"], ""
    problems = []
    machine = MACHINE_NAME.get(image.machine)
    if machine is None:
        return [f"machine {image.machine:#x} is neither x86 nor x64"], ""
    manifests = image.resources(RT_MANIFEST)
    own = [v for (name, _), v in manifests.items() if name == CREATEPROCESS_MANIFEST_RESOURCE_ID]
    arch = None
    if len(own) != 1:
        problems.append(f"{len(own)} RT_MANIFEST resources of id 1, not one (ids: "
                        f"{sorted(str(n) for n, _ in manifests) or 'none'})")
    else:
        manifest_problems, arch = check_manifest(own[0], image.machine)
        problems += manifest_problems
    blocks = list(image.resources(RT_VERSION).values())
    if len(blocks) != 1:
        problems.append(f"{len(blocks)} version blocks, not one")
    else:
        problems += check_version_block(blocks[0], version)
    if image.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        problems.append(f"subsystem {image.subsystem}, not the GUI subsystem (2)")
    if tuple(image.subsystem_version) > WINDOWS_7:
        problems.append("the PE header asks for subsystem version {}.{}; Windows 7 runs at most 6.1".format(
            *image.subsystem_version))
    summary = (f"{machine}, manifest processorArchitecture=\"{arch}\", version {'.'.join(map(str, version))}, "
               f"GUI subsystem {image.subsystem_version[0]}.{image.subsystem_version[1]} (Windows 7: 6.1)")
    return problems, summary


def main(args):
    version = None
    if len(args) >= 2 and args[0] == "--version":
        version, args = four_parts(args[1]), args[2:]
    if not args:
        sys.exit(__doc__)
    version = version or project_version()
    failed = False
    for path in args:
        try:
            data = pathlib.Path(path).read_bytes()
        except OSError as error:
            print(f"{path}: cannot be read ({error.strerror})", file=sys.stderr)
            failed = True
            continue
        problems, summary = check(path, data, version)
        if problems:
            failed = True
            for problem in problems:
                print(f"{path}: {problem}", file=sys.stderr)
        else:
            print(f"{path}: {summary}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
