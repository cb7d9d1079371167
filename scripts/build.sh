#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh DIR [extra cmake arguments]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$1
shift
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
cmake -S "$top" -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
