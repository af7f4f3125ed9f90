#!/usr/bin/env python3
"""Fails when a folder includes a header of a layer above it.

foundation < platform < engine; foundation < client; engine and client do not see each other; the
player's windows (app, windows, CWndCommentList, CWndDownload) stand on all of them; the updater
(CWndMain) is a program of its own on the foundation only. Tests may include anything.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PLAYER_WINDOWS = {"app", "windows", "CWndCommentList", "CWndDownload"}
# What each folder may include besides itself.
ALLOWED = {
    "foundation": set(),
    "platform": {"foundation"},
    "engine": {"foundation", "platform"},
    "client": {"foundation"},
    "CWndMain": {"foundation"},
}
for folder in PLAYER_WINDOWS:
    ALLOWED[folder] = {"foundation", "platform", "engine", "client"} | PLAYER_WINDOWS
KNOWN = set(ALLOWED) | {"tests"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.MULTILINE)


def main():
    faults = []
    for folder, allowed in sorted(ALLOWED.items()):
        base = ROOT / folder
        if not base.is_dir():
            faults.append(f"{folder}/: the folder is missing")
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in {".h", ".cpp", ".rc"}:
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                # The updater's own sub-folders (CWndMain/unzip) belong to it.
                if target == folder or target not in KNOWN:
                    continue
                if target not in allowed:
                    line = text.count("\n", 0, match.start()) + 1
                    faults.append(f"{path.relative_to(ROOT)}:{line}: {folder}/ includes {target}/")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"check-layers: {len(faults)} include(s) point up a layer", file=sys.stderr)
        return 1
    print("check-layers: every include points down or sideways as allowed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
