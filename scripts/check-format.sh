#!/usr/bin/env bash
# Checks that every C and C++ file git tracks is formatted as .clang-format says, with the pinned
# clang-format (scripts/packages.txt). Prints the files that differ and fails when there is one.
# Usage: scripts/check-format.sh [files...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tool=${CLANG_FORMAT:-clang-format-14}
command -v "$tool" >/dev/null || { echo "check-format: $tool is missing (bash scripts/deps.sh installs it)" >&2; exit 2; }
if [[ $# -gt 0 ]]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
fi
differ=0
for file in "${files[@]}"; do
    if ! "$tool" --dry-run --Werror "$file" >/dev/null 2>&1; then
        echo "not formatted: $file"
        differ=$((differ + 1))
    fi
done
if [[ $differ -gt 0 ]]; then
    echo "check-format: $differ file(s) differ from .clang-format (run $tool -i on them)" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"
