#!/usr/bin/env bash
# Builds Vorland and runs the bundled example batch unattended (batch mode).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
bash scripts/deps.sh --build-only
# A build folder of its own, so this command and the test command can run in either order.
bash scripts/build.sh build-example -DVORLAND_TESTS=OFF -DVORLAND_BENCH=OFF
exec bash examples/run.sh "$top/build-example/bin/vorland"
