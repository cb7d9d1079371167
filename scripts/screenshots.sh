#!/usr/bin/env bash
# Writes a picture of every window and control gallery, in English and French, to
# build/screenshots/ (and at device pixel ratio 2 to build/screenshots/x2/).
# Usage: scripts/screenshots.sh [BUILD_DIR] [SCREEN...]   (BUILD_DIR defaults to build)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$top/build}
shift || true
if [ ! -f "$build/CMakeCache.txt" ]; then
    bash "$top/scripts/build.sh" "$build"
fi
cmake --build "$build" --target vorland-screens -j2
out="$build/screenshots"
mkdir -p "$out/x2"
export QT_QPA_PLATFORM=offscreen
"$build/tests/vorland-screens" --out "$out" "$@"
QT_SCALE_FACTOR=2 "$build/tests/vorland-screens" --out "$out/x2" "$@"
