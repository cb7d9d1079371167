#!/usr/bin/env bash
# Builds Vorland and runs the bundled example batch unattended (batch mode).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
bash scripts/deps.sh
bash scripts/build.sh build -DVORLAND_TESTS=OFF -DVORLAND_BENCH=OFF
if [[ ! -x build/bin/vorland ]]; then
    echo "Built the core libraries; the program itself is not built yet, so there is nothing to run."
    exit 0
fi
exec bash examples/run.sh "$top/build/bin/vorland"
