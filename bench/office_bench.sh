#!/usr/bin/env bash
# The office engine against the text engine on the 20,000-file tree, and on 100 small .docx
# files against LibreOffice headless doing the same replace-all (when soffice is installed).
# Prints figures; asserts nothing.
#
# usage: bench/office_bench.sh [--build DIR] [--work DIR] [--files N] [--runs N]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../build"
work="${TMPDIR:-/tmp}/vexlo-office-bench"
[ -d /dev/shm ] && work="/dev/shm/vexlo-office-bench"
files=20000
runs=5
while [ $# -gt 0 ]; do
    case "$1" in
    --build) build="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --files) files="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
    esac
done
cli="$build/bin/vexlopro-cli"
[ -x "$cli" ] || { echo "build vexlopro-cli first ($cli)" >&2; exit 2; }

rm -rf "$work"
mkdir -p "$work"
python3 "$here/make_corpus.py" "$work/corpus" --big-mb 1 --files "$files" >/dev/null

seconds() { # command... : prints the wall time in seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null || return
    end=$(date +%s.%N)
    python3 -c "print(f'{$end - $start:.3f}')"
}

# Each run starts on a fresh copy of the tree; medians of the wall and CPU time (user + system,
# both threads) over the runs, since the machine may be shared.
python3 - "$cli" "$work" "$files" "$runs" <<'PY'
import os, resource, shutil, statistics, subprocess, sys, time
cli, work, files, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
def measure(extra):
    walls, cpus = [], []
    for _ in range(runs):
        tree = os.path.join(work, "run-tree")
        shutil.rmtree(tree, ignore_errors=True)
        shutil.copytree(os.path.join(work, "corpus", "tree"), tree)
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        done = subprocess.run([cli, *extra, "--find", "foo", "--replace", "bar", "--dir", tree, "--mask", "*"],
                              stdout=subprocess.DEVNULL)
        walls.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
        if done.returncode != 0:
            sys.exit(f"vexlopro-cli {' '.join(extra)} failed with status {done.returncode}")
    return statistics.median(walls), statistics.median(cpus)
text_wall, text_cpu = measure([])
office_wall, office_cpu = measure(["--office"])
print(f"tree of {files} files, median of {runs} runs: text engine {text_wall:.2f} s wall "
      f"{text_cpu:.2f} s CPU, office engine {office_wall:.2f} s wall {office_cpu:.2f} s CPU, "
      f"ratio {office_wall / text_wall:.2f} wall {office_cpu / text_cpu:.2f} CPU")
PY

# 100 small .docx files.
python3 - "$work/docx" <<'PY'
import os, sys, zipfile
root = sys.argv[1]
os.makedirs(root, exist_ok=True)
body = "".join(f"<w:p><w:r><w:t>Paragraph {i} with foo and more text.</w:t></w:r></w:p>" for i in range(40))
xml = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document '
       'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>'
       + body + '</w:body></w:document>')
types = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
         'content-types"><Default Extension="xml" ContentType="application/xml"/><Override '
         'PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.'
         'wordprocessingml.document.main+xml"/></Types>')
rels = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/'
        'package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/'
        'officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>')
for n in range(100):
    with zipfile.ZipFile(os.path.join(root, f"d{n:03d}.docx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", types)
        z.writestr("_rels/.rels", rels)
        z.writestr("word/document.xml", xml)
PY
cp -r "$work/docx" "$work/docx-soffice"
docx=$(seconds "$cli" --office --find foo --replace bar "$work"/docx/*.docx)
echo "100 small .docx files: office engine ${docx} s"
# The Python-UNO bridge belongs to the system's Python, which may not be the first on PATH.
uno_python=""
for candidate in python3 /usr/bin/python3; do
    if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c 'import uno' 2>/dev/null; then
        uno_python="$candidate"
        break
    fi
done
if ! command -v soffice >/dev/null 2>&1; then
    echo "LibreOffice (soffice) is not installed: its comparison was skipped"
elif [ -z "$uno_python" ]; then
    echo "no Python with the UNO bridge (python3-uno): the LibreOffice comparison was skipped"
else
    if soffice_s=$(seconds "$uno_python" "$here/office_uno.py" "$work"/docx-soffice/*.docx) &&
        grep -q bar "$work/docx-soffice/d000.docx"; then
        echo "100 small .docx files: LibreOffice headless through Python-UNO ${soffice_s} s," \
             "ratio $(python3 -c "print(f'{$soffice_s / $docx:.1f}')")"
    else
        echo "LibreOffice headless failed on the .docx files: no comparison" >&2
        exit 1
    fi
fi
rm -rf "$work"
