#!/usr/bin/env bash
# Runs the example batch unattended: one zip section and one copy section of examples/files, with a
# Before and an After command. Usage: examples/run.sh PATH-TO-VORLAND [OUTPUT-FOLDER]
#
# example.vrl names its folders with two placeholders; this script writes a copy of it with the real
# absolute paths (@EXAMPLE@: this folder, @OUTPUT@: the output folder) and runs that copy, so the
# example works from a fresh clone anywhere. The output folder defaults to a new temporary folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vorland=${1:?usage: examples/run.sh PATH-TO-VORLAND [OUTPUT-FOLDER]}
out=${2:-$(mktemp -d "${TMPDIR:-/tmp}/vorland-example-XXXXXX")}
mkdir -p "$out"
out=$(cd "$out" && pwd)

sed -e "s|@EXAMPLE@|$here|g" -e "s|@OUTPUT@|$out|g" "$here/example.vrl" >"$out/example.vrl"

echo "Running: $vorland $out/example.vrl /B"
status=0
"$vorland" "$out/example.vrl" /B || status=$?
echo
echo "Exit code: $status (0: every section completed without an error)"
echo "Archive:   $out/example.zip"
echo "Copy:      $out/copy"
echo "Batch:     $out/example.vrl"
exit "$status"
