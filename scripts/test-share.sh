#!/usr/bin/env bash
# The share of test code: non-blank lines of the C and C++ files under tests/ and fuzz/ against
# those of the rest of the tree (the files git tracks). Usage: scripts/test-share.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
count() {
    git ls-files -z -- "$@" | grep -zE '\.(c|cc|cpp|h|hpp)$' | xargs -0r cat | grep -c '[^[:space:]]' || true
}
tests=$(count tests fuzz)
rest=$(count . ':!tests' ':!fuzz')
total=$((tests + rest))
echo "test lines: $tests  other lines: $rest  test share: $((tests * 1000 / total / 10)).$((tests * 1000 / total % 10))%"
