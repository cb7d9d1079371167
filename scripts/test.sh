#!/usr/bin/env bash
# Builds Vorland and runs every test: once in a normal build with warnings as errors, once under
# AddressSanitizer + UndefinedBehaviorSanitizer. Zip times are local times, so the tests run in a
# zone that is not UTC.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
bash scripts/deps.sh
# Every C and C++ file as .clang-format says (the pinned clang-format of scripts/packages.txt).
bash scripts/check-format.sh
export TZ="${VORLAND_TEST_TZ:-America/Sao_Paulo}"
jobs=$(nproc)

bash scripts/build.sh build -DVORLAND_WERROR=ON
(cd build && ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 900)

if [[ "${VORLAND_SKIP_SANITIZE:-0}" != 1 ]]; then
    bash scripts/build.sh build-asan -DVORLAND_WERROR=ON -DVORLAND_SANITIZE=ON
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    (cd build-asan && ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 1800 -LE no_sanitize)
fi

# The fuzzers, 40 seconds each on their corpus (clang, libFuzzer, ASan + UBSan): under five minutes.
if [[ "${VORLAND_SKIP_FUZZ:-0}" != 1 ]]; then
    bash scripts/fuzz.sh 40
fi
