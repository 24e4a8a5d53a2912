#!/usr/bin/env python3
"""The include graph of src/ and tools/: every include stays within the layers
a layer links (the libraries of CMakeLists.txt: the book code and the book
tool know the board and nothing of the search), the protocol drivers' headers
are included only by the front end, and no module (a header with its source
file) reaches itself through its includes. Prints each offence and exits 1;
exits 0 when there is none."""
import pathlib
import re
import sys

# Each layer and the layers it may include from (besides itself).
ALLOWED = {
    "platform": set(),
    "board": {"platform"},
    "eval": {"platform", "board"},
    "tablebase": {"platform", "board"},
    "search": {"platform", "board", "eval", "tablebase"},
    "book": {"platform", "board"},
    "frontend": {"platform", "board", "eval", "tablebase", "search", "book"},
    "tools": {"platform", "board", "book"},
}
DRIVER_HEADERS = {"frontend/xboard.h", "frontend/uci.h"}
INCLUDE = re.compile(r'^#include "([^"]+)"', re.MULTILINE)


def layer_of(path):  # "src/board/x.h" -> "board", "tools/book/x.h" -> "tools"
    return "tools" if path.parts[0] == "tools" else path.parts[1]


def main(root):
    root = pathlib.Path(root)
    files = [p.relative_to(root) for d in ("src", "tools") for p in (root / d).rglob("*")
             if p.suffix in (".h", ".cpp", ".in")]
    offences, edges = [], {}
    for f in files:
        module = str(f.with_suffix("")).removesuffix(".h")
        if layer_of(f) not in ALLOWED:
            offences.append(f"{f} is in a layer this check does not know: add it to ALLOWED")
            continue
        for name in INCLUDE.findall((root / f).read_text()):
            target = pathlib.Path(name if name.startswith("tools/") else "src/" + name)
            if layer_of(target) not in ALLOWED[layer_of(f)] | {layer_of(f)}:
                offences.append(f"{f} includes {name}, outside the layers it builds on")
            if name in DRIVER_HEADERS and layer_of(f) != "frontend":
                offences.append(f"{f} includes the driver header {name}")
            other = str(target.with_suffix(""))
            if other != module:
                edges.setdefault(module, set()).add(other)
    state = {}  # module -> "open" while on the path, "done" after

    def visit(module, path):
        state[module] = "open"
        for other in sorted(edges.get(module, ())):
            if state.get(other) == "open":
                offences.append("include cycle: " + " -> ".join(path[path.index(other):] + [other]))
            elif other not in state:
                visit(other, path + [other])
        state[module] = "done"

    for module in sorted(edges):
        if module not in state:
            visit(module, [module])
    for offence in offences:
        print(offence)
    return 1 if offences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
