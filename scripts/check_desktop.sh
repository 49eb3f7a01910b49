#!/usr/bin/env bash
# The menu entry and the software-centre metadata as the desktop tools read them.
set -euo pipefail
cd "$(dirname "$0")/.."
desktop-file-validate resources/desktop/io.github.vexlopro.VexloPro.desktop
appstreamcli validate --no-net resources/desktop/io.github.vexlopro.VexloPro.metainfo.xml
for page in resources/man/*.1; do
    # man prints its warnings on stderr; any of them fails the check.
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page: $warnings" >&2; exit 1; }
done
bash -n resources/completions/vexlopro-cli.bash
