#!/usr/bin/env python3
"""Plants each kind of include the layer check must refuse in a copy of the source tree and
checks that the copy is then refused with the expected complaint, and that the tree as it
stands passes.

usage: check_layers_test.py SOURCE_DIR
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

FOLDERS = ["base", "settings", "inputs", "targets", "run", "backup", "docengine", "widgets", "app"]

# (file to plant in, include line, a piece of the expected complaint)
PLANTS = [
    ("targets/ScanDir.cpp", '#include "../app/MainWindow.h"', "relative path"),
    ("app/MainWindow.cpp", '#include "../app/MainWindow.h"', "relative path"),
    ("base/Lines.cpp", '#include "base/../run/RunDriver.h"', "relative path"),
    ("run/RunDriver.cpp", '#include "..\\\\app\\\\Windows.h"', "relative path"),
    ("base/Lines.cpp", "#include <QString>", "the toolkit-free core includes Qt"),
    ("settings/SettingsFile.cpp", '#include "inputs/HistoryStore.h"', "settings may not include"),
    ("targets/ScanDir.cpp", '#include "run/RunDriver.h"', "targets may not include"),
    ("run/engine/TextEngine.cpp", '#include "run/RunDriver.h"', "engine may not include"),
    ("base/Lines.cpp", '#include "widgets/Platform.h"', "base may not include"),
    ("backup/BackupStore.cpp", "#include <app/Windows.h>", "backup may not include"),
    ("widgets/Widgets.cpp", '#include "targets/TargetListModel.h"', "widgets/ may not include"),
    ("targets/ScanDirectoryWindow.cpp", '#include "app/MainWindow.h"', "only app/ includes app/"),
    ("targets/ScanDirectoryWindow.cpp", '#include "backup/BackupWindows.h"',
     "the targets windows do not link the backup windows"),
    ("backup/BackupWindows.cpp", '#include "inputs/EditWindow.h"',
     "the backup windows do not link the inputs windows"),
]


def run_check(script: pathlib.Path, root: pathlib.Path) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, str(script), str(root)], capture_output=True, text=True)


def copy_tree(source: pathlib.Path, target: pathlib.Path) -> None:
    for folder in FOLDERS:
        shutil.copytree(source / folder, target / folder,
                        ignore=shutil.ignore_patterns("*.png", "*.doc", "*.inc"))


def main() -> int:
    source = pathlib.Path(sys.argv[1]).resolve()
    script = source / "scripts" / "check_layers.py"
    failures = []

    with tempfile.TemporaryDirectory() as tmp:
        clean = pathlib.Path(tmp) / "clean"
        copy_tree(source, clean)
        result = run_check(script, clean)
        if result.returncode != 0:
            failures.append(f"the tree as it stands is refused:\n{result.stderr}")

        for number, (file, line, expected) in enumerate(PLANTS):
            tree = pathlib.Path(tmp) / f"plant{number}"
            shutil.copytree(clean, tree)
            path = tree / file
            path.write_text(line + "\n" + path.read_text())
            result = run_check(script, tree)
            complaint = [l for l in result.stderr.splitlines() if file in l and expected in l]
            if result.returncode == 0 or not complaint:
                failures.append(f"{line} in {file}: expected a complaint with '{expected}', got "
                                f"exit {result.returncode} and:\n{result.stderr}")
            shutil.rmtree(tree)

        # A window library that links another one may include its windows.
        tree = pathlib.Path(tmp) / "linked"
        shutil.copytree(clean, tree)
        cmake = tree / "backup" / "CMakeLists.txt"
        cmake.write_text(cmake.read_text().replace(
            "PUBLIC vexlo_targets_windows)", "PUBLIC vexlo_targets_windows vexlo_inputs_windows)"))
        window = tree / "backup" / "BackupWindows.cpp"
        window.write_text('#include "inputs/EditWindow.h"\n' + window.read_text())
        result = run_check(script, tree)
        if result.returncode != 0:
            failures.append(f"an include the links allow is refused:\n{result.stderr}")

    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"{len(PLANTS)} planted includes, {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
