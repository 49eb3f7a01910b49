#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The core layers, lowest first (a layer may include itself and the layers it names):
  base      -> nothing
  settings  -> base
  inputs    -> settings, base
  targets   -> base
  engine    -> base                    (the text engine: run/engine/)
  docengine -> base                    (the built-in document engine)
  run       -> engine, docengine, targets, inputs, settings, base
  backup    -> run and everything below it
  undo      -> run and everything below it (preview, undo store, reports)
No core file includes Qt, widgets/ or app/. The Qt helpers in widgets/ see only base/ and
themselves. Window code (any file that includes Qt) may include the core, widgets/ and the
windows of the subsystem folders its own windows library links (vexlo_<folder>_windows in the
CMake files), but only app/ itself includes app/.
Every project header is named from the source root ("run/RunDriver.h"): a path with ".." in it
would reach any folder past these rules, so it is refused wherever it stands.

usage: check_layers.py SOURCE_DIR
"""
import pathlib
import re
import sys

CORE_BELOW = {
    "base": set(),
    "settings": {"base"},
    "inputs": {"settings", "base"},
    "targets": {"base"},
    "engine": {"base"},
    "docengine": {"base"},
    "run": {"engine", "docengine", "targets", "inputs", "settings", "base"},
}
CORE_BELOW["backup"] = CORE_BELOW["run"] | {"run"}
CORE_BELOW["undo"] = CORE_BELOW["run"] | {"run"}
CORE = set(CORE_BELOW)
ENGINE_FILES = re.compile(r"^run/engine/[^/]+\.(h|cpp)$")
FOLDERS = ["base", "settings", "inputs", "targets", "run", "backup", "undo", "docengine", "widgets", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
WINDOW_FOLDERS = ["targets", "inputs", "run", "backup", "app"]


def layer_of_header(header: str) -> str | None:
    """The layer a project header belongs to, or None for a system header."""
    if ENGINE_FILES.match(header):
        return "engine"
    top = header.split("/", 1)[0]
    return top if top in FOLDERS and "/" in header else None


def climbs(header: str) -> bool:
    """True for an include path with a ".." component."""
    return ".." in re.split(r"[/\\]", header)


def window_links(root: pathlib.Path) -> dict[str, set[str]]:
    """For each folder with a windows library, the folders whose windows libraries it links."""
    links = {folder: set() for folder in WINDOW_FOLDERS}
    library = re.compile(r"vexlo_(\w+?)_windows")
    for cmake in root.rglob("CMakeLists.txt"):
        text = cmake.read_text()
        for call in re.findall(r"target_link_libraries\(([^)]*)\)", text):
            words = call.split()
            own = library.fullmatch(words[0]) if words else None
            if own and own.group(1) in links:
                links[own.group(1)].update(m.group(1) for w in words[1:] if (m := library.fullmatch(w)))
    return links


def is_window_code(text: str) -> bool:
    return any((kind == "<" and name.startswith("Q")) or name.startswith("widgets/")
               for kind, name in INCLUDE.findall(text))


def core_sources(root: pathlib.Path) -> set[str]:
    """The files of the core libraries (vexlo_core_library in the CMake files), with their headers."""
    files = set()
    for cmake in root.rglob("CMakeLists.txt"):
        folder = cmake.parent.relative_to(root).as_posix()
        for block in re.findall(r"vexlo_core_library\(\s*\w+([^)]*)\)", cmake.read_text()):
            for name in block.split():
                stem = f"{folder}/{name}".rsplit(".", 1)[0]
                files.update({stem + ".cpp", stem + ".h"})
    return files


def is_window_file(root: pathlib.Path, rel: str, core_files: set[str]) -> bool:
    """A file of a windows library: not a core library's, and it or its pair includes Qt."""
    path = root / rel
    if rel in core_files or not path.exists():
        return False
    sibling = path.with_suffix(".cpp" if path.suffix == ".h" else ".h")
    return is_window_code(path.read_text(errors="replace")) or (
        sibling.exists() and is_window_code(sibling.read_text(errors="replace")))


def check(root: pathlib.Path) -> list[str]:
    problems = []
    core_files = core_sources(root)
    links = window_links(root)
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            rel = path.relative_to(root).as_posix()
            text = path.read_text(errors="replace")
            window = is_window_file(root, rel, core_files)
            own = "engine" if ENGINE_FILES.match(rel) else folder
            for kind, name in INCLUDE.findall(text):
                if climbs(name):
                    problems.append(f"{rel}: includes {name} by a relative path; name it from the source root")
                    continue
                # <run/RunDriver.h> finds the project's header as well as "run/RunDriver.h" does.
                target = layer_of_header(name)
                if own in CORE and not window:
                    if kind == "<" and name.startswith("Q"):
                        problems.append(f"{rel}: the toolkit-free core includes Qt ({name})")
                    elif target and target != own and target not in CORE_BELOW[own]:
                        problems.append(f"{rel}: {own} may not include {name} ({target})")
                elif own == "widgets":
                    if target and target not in ("widgets", "base"):
                        problems.append(f"{rel}: widgets/ may not include {name}")
                elif own != "app" and target == "app":
                    problems.append(f"{rel}: only app/ includes app/ ({name})")
                elif (own in links and target in links and target not in (own, "app")
                      and target not in links[own] and is_window_file(root, name, core_files)):
                    problems.append(f"{rel}: the {own} windows do not link the {target} windows ({name})")
    return problems


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    problems = check(root)
    for problem in problems:
        print(f"layer check: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
