#!/usr/bin/env bash
# The velxmln command on the bundled sample documents, each step's command printed before its
# output. The samples are never changed: `set` works on a copy in a temporary folder.
# Usage: scripts/demo.sh path/to/velxmln
set -uo pipefail

tool=${1:?usage: scripts/demo.sh path/to/velxmln}
if [ ! -x "$tool" ]; then
    echo "demo: $tool is not built" >&2
    exit 1
fi
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
data=$(cd "$(dirname "$0")/../examples/data" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velxmln-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT

step() {
    echo
    printf '$ velxmln'
    printf ' %q' "$@"
    printf '\n'
    "$tool" "$@"
    local status=$?
    echo "[exit status $status]"
}

cp "$data/plant.xml" "$work/plant.xml"
cd "$work"
echo "== velxmln $("$tool" --version | cut -d' ' -f2) in $work (plant.xml is a copy of examples/data/plant.xml)"
step format plant.xml
step select plant.xml "//machine" --attr id
step select plant.xml "plant/line[@id='1']/machine[@id='101']/position/X"
step set plant.xml "plant/line[@id='1']/machine[@id='101']/position/X" --text 2.5 --attr unit=mm -o changed.xml
step select changed.xml "plant/line[@id='1']/machine[@id='101']/position/X"
step diff plant.xml changed.xml
step diff plant.xml "$data/plant-revised.xml" --ignore line@checked
step scan changed.xml plant/line/machine/position/X --engine xerces
step scan changed.xml plant/line/machine --engine node --json

# Edits keep everything they do not change: comments, DOCTYPE, indentation, line ends, quotes.
cp "$data/service.xml" "$work/service.xml"
echo
echo "== editing service.xml (a copy of examples/data/service.xml) in place"
step set service.xml "service/timeout" --text 45
step set service.xml "service/listen[@address='::1']" --attr port=8443
step add service.xml "service/storage" compress --attr level=6
step delete service.xml "service/listen[@address='127.0.0.1']"
echo
echo "$ diff -u examples/data/service.xml service.xml"
diff -u --label examples/data/service.xml --label service.xml "$data/service.xml" service.xml
echo
echo "== errors: one line on standard error, exit status 2"
step select plant.xml "plant/line[@id='1'"
step format missing.xml
exit 0
