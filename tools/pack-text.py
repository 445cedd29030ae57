#!/usr/bin/python3
"""Packs a long constant text of Velvane's into the small LZ77 form that
src/text/packed_text.h describes and unpack_text() reads back, and writes it
as a C++ source file.

    /usr/bin/python3 tools/pack-text.py

Today it packs one text: the commented Engines.ini example. Its readable
source is the kUserPagesExample literal in src/engines/user_pages_example.cpp
(the unit tests read it there); the exe carries the packed copy that this
script writes to src/engines/user_pages_example_packed.cpp. Run it after each
change of the example: a unit test fails while the two differ.

The packing is optimal for the form (fewest bits for every position, found
backwards), so a run gives the same bytes every time.
"""

import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = os.path.join(ROOT, "src", "engines", "user_pages_example.cpp")
TARGET = os.path.join(ROOT, "src", "engines", "user_pages_example_packed.cpp")
NAME = "kUserPagesExample"

MIN_COPY = 3
MAX_COPY = 15 + MIN_COPY
MAX_DISTANCE = 4096


def literal_bytes(source, name):
    """The bytes of the string literal given to `name` in a C++ source."""
    text = open(source, encoding="utf-8").read()
    start = text.index(name + " =")
    end = text.index(";", text.index('"', start))
    while text.count('"', start, end) - text.count('\\"', start, end) & 1:
        end = text.index(";", end + 1)  # the ";" was inside a literal
    pieces = re.findall(r'"((?:[^"\\]|\\.)*)"', text[start:end])
    out = bytearray()
    escapes = {"r": b"\r", "n": b"\n", "t": b"\t", '"': b'"', "\\": b"\\", "'": b"'"}
    for piece in pieces:
        i = 0
        while i < len(piece):
            c = piece[i]
            if c != "\\":
                out += c.encode("utf-8")
                i += 1
            elif piece[i + 1] == "x":
                digits = re.match(r"[0-9A-Fa-f]+", piece[i + 2:]).group(0)
                out.append(int(digits, 16))
                i += 2 + len(digits)
            else:
                out += escapes[piece[i + 1]]
                i += 2
    return bytes(out)


def pack(data):
    n = len(data)
    # The longest copy at each position, and from where.
    longest = [(0, 0)] * n
    seen = {}
    for i in range(n):
        key = data[i:i + MIN_COPY]
        best = (0, 0)
        for j in reversed(seen.get(key, [])):
            if i - j > MAX_DISTANCE:
                break
            length = 0
            while length < MAX_COPY and i + length < n and data[j + length] == data[i + length]:
                length += 1
            if length > best[0]:
                best = (length, i - j)
        longest[i] = best
        seen.setdefault(key, []).append(i)
    # Fewest bits from each position to the end: a byte as it is costs 9, a copy 17.
    cost = [0] * (n + 1)
    step = [0] * n
    for i in range(n - 1, -1, -1):
        cost[i], step[i] = 9 + cost[i + 1], 1
        for length in range(MIN_COPY, longest[i][0] + 1):
            if 17 + cost[i + length] < cost[i]:
                cost[i], step[i] = 17 + cost[i + length], length
    out = bytearray()
    i = 0
    while i < n:
        flag_at = len(out)
        out.append(0)
        for bit in range(8):
            if i >= n:
                break
            if step[i] == 1:
                out.append(data[i])
                i += 1
            else:
                v = (longest[i][1] - 1) << 4 | (step[i] - MIN_COPY)
                out[flag_at] |= 1 << bit
                out += bytes([v & 0xFF, v >> 8])
                i += step[i]
    return bytes(out)


def unpack(packed):
    out = bytearray()
    i = 0
    while i < len(packed):
        flags = packed[i]
        i += 1
        for bit in range(8):
            if i >= len(packed):
                break
            if flags >> bit & 1:
                v = packed[i] | packed[i + 1] << 8
                i += 2
                for _ in range((v & 15) + MIN_COPY):
                    out.append(out[-((v >> 4) + 1)])
            else:
                out.append(packed[i])
                i += 1
    return bytes(out)


def main():
    data = literal_bytes(SOURCE, NAME)
    packed = pack(data)
    if unpack(packed) != data:
        sys.exit("pack-text: the packed text does not unpack to the text")
    lines = []
    for at in range(0, len(packed), 24):
        lines.append("    " + ", ".join(str(b) for b in packed[at:at + 24]) + ",")
    source = (
        "// Written by tools/pack-text.py from kUserPagesExample in user_pages_example.cpp:\n"
        "// change the text there and run the script again, never this file.\n"
        "// %d bytes of text in %d packed.\n"
        '#include "engines/user_pages.h"\n'
        '#include "text/packed_text.h"\n'
        "\n"
        "namespace velvane {\n"
        "namespace {\n"
        "\n"
        "constexpr std::uint8_t kPacked[] = {\n"
        "%s\n"
        "};\n"
        "\n"
        "}  // namespace\n"
        "\n"
        "std::string user_pages_example() { return unpack_text(kPacked); }\n"
        "\n"
        "}  // namespace velvane\n"
    ) % (len(data), len(packed), "\n".join(lines))
    with open(TARGET, "w", encoding="utf-8", newline="\n") as f:
        f.write(source)
    formatter = shutil.which("clang-format-14") or shutil.which("clang-format")
    if formatter:
        subprocess.run([formatter, "-i", TARGET], check=True)
    print("pack-text: %s, %d bytes of text in %d" % (os.path.relpath(TARGET, ROOT), len(data), len(packed)))


if __name__ == "__main__":
    main()
