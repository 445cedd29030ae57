#!/usr/bin/env python3
"""Checks the include rule of src/: every folder includes only the folders
below it, and no chain of includes leads back to where it started.

    python3 scripts/check-layers.py [SRC]      (default: src/ of this checkout)

The layers, lowest first:

    text       UTF-16/UTF-8 and the keyword encoder (portable)
    win        Win32 building blocks
    engines    the engine tables and the page algorithm (portable)
    hotkey     Setup.ini and the hotkey
    app        the program: main window, tray, menu, dialogs
    resources  resource identifiers, which only the program uses

The portable code (text/, engines/, and the files of hotkey/ whose name does
not end in _win) includes neither <windows.h> nor anything from win/, so that
it builds and is unit-tested on Linux. Exits 1 and names each offending
include when the rule is broken.
"""
import os
import re
import sys

# What each folder may include besides itself.
ALLOWED = {
    "text": set(),
    "win": {"text"},
    "engines": {"text"},
    "hotkey": {"text", "win", "engines"},
    "app": {"text", "win", "engines", "hotkey", "resources"},
    "resources": set(),
}
PORTABLE_FOLDERS = {"text", "engines", "hotkey"}
WINDOWS_HEADERS = re.compile(r"#\s*include\s*<(windows|commctrl|objbase|shellapi|shlwapi|oleacc|wincodec)\.h>",
                             re.IGNORECASE)
LOCAL_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = (".h", ".cpp", ".rc")


def is_portable(relative):
    folder, name = relative.split("/", 1)
    stem = os.path.splitext(os.path.basename(name))[0]
    return folder in PORTABLE_FOLDERS and not stem.endswith("_win")


def main():
    src = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                          os.path.join(os.path.dirname(__file__), "..", "src"))
    files = {}
    for root, _, names in os.walk(src):
        for name in names:
            if name.endswith(SOURCE_SUFFIXES):
                path = os.path.join(root, name)
                files[os.path.relpath(path, src).replace(os.sep, "/")] = path

    faults = []
    graph = {}
    for relative, path in sorted(files.items()):
        folder = relative.split("/", 1)[0] if "/" in relative else ""
        if folder not in ALLOWED:
            faults.append(f"{relative}: folder '{folder}' has no place in the layers (scripts/check-layers.py)")
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        graph[relative] = []
        for included in LOCAL_INCLUDE.findall(text):
            target_folder = included.split("/", 1)[0] if "/" in included else ""
            if target_folder != folder and target_folder not in ALLOWED[folder]:
                faults.append(f'{relative}: includes "{included}": {folder}/ may include only '
                              f"{', '.join(sorted(ALLOWED[folder])) or 'nothing'} besides itself")
            if is_portable(relative) and target_folder == "win":
                faults.append(f'{relative}: portable code includes "{included}"')
            if included in files:
                graph[relative].append(included)
        if is_portable(relative) and WINDOWS_HEADERS.search(text):
            faults.append(f"{relative}: portable code includes a Windows header")

    # A circle of includes, file by file (depth-first, colouring the files on the current path).
    state = {}
    path_stack = []

    def visit(node):
        state[node] = "open"
        path_stack.append(node)
        for nxt in graph.get(node, []):
            if state.get(nxt) == "open":
                circle = path_stack[path_stack.index(nxt):] + [nxt]
                faults.append("circle of includes: " + " -> ".join(circle))
            elif nxt not in state:
                visit(nxt)
        path_stack.pop()
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node)

    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"include layers hold: {len(graph)} files in {src}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
