#!/usr/bin/env bash
# The office engine against the text engine on the 20,000-file tree, and on 100 small .docx
# files against LibreOffice headless doing the same replace-all (when soffice is installed).
# Prints figures; asserts nothing.
#
# usage: bench/office_bench.sh [--build DIR] [--work DIR] [--files N]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../build"
work="${TMPDIR:-/tmp}/vexlo-office-bench"
[ -d /dev/shm ] && work="/dev/shm/vexlo-office-bench"
files=20000
while [ $# -gt 0 ]; do
    case "$1" in
    --build) build="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --files) files="$2"; shift 2 ;;
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
    "$@" >/dev/null
    end=$(date +%s.%N)
    python3 -c "print(f'{$end - $start:.2f}')"
}

cp -r "$work/corpus/tree" "$work/text-tree"
cp -r "$work/corpus/tree" "$work/office-tree"
text=$(seconds "$cli" --find foo --replace bar --dir "$work/text-tree" --mask '*')
office=$(seconds "$cli" --office --find foo --replace bar --dir "$work/office-tree" --mask '*')
echo "tree of $files files: text engine ${text} s, office engine ${office} s," \
     "ratio $(python3 -c "print(f'{$office / $text:.2f}')")"

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
for n in range(100):
    with zipfile.ZipFile(os.path.join(root, f"d{n:03d}.docx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", types)
        z.writestr("word/document.xml", xml)
PY
cp -r "$work/docx" "$work/docx-soffice"
docx=$(seconds "$cli" --office --find foo --replace bar "$work"/docx/*.docx)
echo "100 small .docx files: office engine ${docx} s"
if command -v soffice >/dev/null 2>&1; then
    soffice_s=$(seconds python3 "$here/office_uno.py" "$work"/docx-soffice/*.docx)
    echo "100 small .docx files: LibreOffice headless through Python-UNO ${soffice_s} s," \
         "ratio $(python3 -c "print(f'{$soffice_s / $docx:.1f}')")"
else
    echo "LibreOffice (soffice) is not installed: its comparison was skipped"
fi
rm -rf "$work"
