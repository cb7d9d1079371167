#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (folder build-fuzz) and runs each one for a while on a
# fresh copy of its committed corpus. Fails on the first crash, sanitizer report, timeout or
# memory blow-up; the input that caused it is left in build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS per target, default 60] [target names..., default all]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
seconds=${1:-60}
shift || true
dir=build-fuzz

gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
CC=clang CXX=clang++ cmake -S "$top" -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORLAND_FUZZ=ON -DVORLAND_TESTS=OFF -DVORLAND_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target vorland_fuzzers

targets=("$@")
if ((${#targets[@]} == 0)); then
    for corpus in fuzz/corpus/*/; do
        targets+=("$(basename "$corpus")")
    done
fi

# Sanitizer settings of the fuzzers' own choosing, whatever the caller exported.
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$dir/artifacts"
for target in "${targets[@]}"; do
    work="$dir/corpus-run/$target"
    rm -rf "$work"
    mkdir -p "$work"
    cp -r "fuzz/corpus/$target/." "$work/"
    echo "== fuzz_$target for ${seconds}s"
    if ! "$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=10 \
        -artifact_prefix="$dir/artifacts/$target-" -print_final_stats=1 "$work" >"$dir/fuzz_$target.log" 2>&1; then
        tail -n 60 "$dir/fuzz_$target.log"
        echo "fuzz_$target failed; the input is in $dir/artifacts/"
        exit 1
    fi
    grep -E '^Done [0-9]+ runs' "$dir/fuzz_$target.log" || true
done
