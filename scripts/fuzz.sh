#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a bounded time,
# one after the other:
#     scripts/fuzz.sh [SECONDS] [TARGET]
# SECONDS per target (default 30), TARGET one of fuzz/corpus/* (default all).
# Prints each target's executions and coverage. A finding fails the script
# with the reproducer's path and the command that replays it. The corpus
# grows in build-fuzz/corpus/<target>/ (the seeds in fuzz/corpus/ stay as
# they are); ORVANE_FUZZ_BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
only=${2:-}
build=${ORVANE_FUZZ_BUILD:-build-fuzz}
jobs=$(nproc 2>/dev/null || echo 2)

targets=()
for dir in fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
done
if [[ -n "$only" ]]; then
    if [[ ! -d "fuzz/corpus/$only" ]]; then
        echo "fuzz.sh: no target $only (targets: ${targets[*]})" >&2
        exit 2
    fi
    targets=("$only")
fi

cmake -S . -B "$build" -DORVANE_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
build_targets=()
for t in "${targets[@]}"; do
    build_targets+=(--target "fuzz-$t")
done
cmake --build "$build" -j"$jobs" "${build_targets[@]}"

build=$(cd "$build" && pwd)
findings=()
printf '%-18s %8s %12s %8s %8s  %s\n' target seconds executions cov ft result
for t in "${targets[@]}"; do
    program="$build/fuzz-$t"
    if [[ ! -x "$program" ]]; then
        echo "fuzz.sh: $program was not built (libfreeipmi-dev missing?)" >&2
        findings+=("$t: not built")
        continue
    fi
    corpus="$build/corpus/$t"
    artifacts="$build/findings/$t"
    log="$build/logs/$t.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    rm -f "$artifacts"/* # the reproducers of an earlier run were reported then
    seeds=("fuzz/corpus/$t")
    if [[ "$t" == catalogue ]]; then
        # The built catalogues are the best seeds of the catalogue target.
        mkdir -p "$build/catalogue-seeds"
        for c in "$build"/*/orvane/str/orvane.str; do
            cp "$c" "$build/catalogue-seeds/$(basename "$(dirname "$(dirname "$(dirname "$c")")")").str"
        done
        seeds+=("$build/catalogue-seeds")
    fi
    start=$(date +%s)
    status=0
    # close_fd_mask=2: the targets' own stderr (the simulated BMC's complaints
    # about bad descriptions) is dropped; libFuzzer's and the sanitizers'
    # reports still arrive.
    ASAN_OPTIONS=abort_on_error=0:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -close_fd_mask=2 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" \
        >"$log" 2>&1 || status=$?
    took=$(($(date +%s) - start))
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    result=ok
    if [[ $status -ne 0 ]]; then
        result="FINDING (exit $status)"
        findings+=("$t")
    fi
    printf '%-18s %8s %12s %8s %8s  %s\n' "$t" "$took" "${executions:-?}" "${cov:-?}" "${ft:-?}" \
        "$result"
    if [[ $status -ne 0 ]]; then
        echo "---- $t: the end of $log"
        grep -E 'ERROR|SUMMARY|#[0-9]+ in |^    #' "$log" | head -40 || true
        for artifact in "$artifacts"/*; do
            [[ -e "$artifact" ]] || continue
            echo "reproducer: $artifact"
            echo "replay:     $program $artifact"
        done
        echo "----"
    fi
done

if [[ ${#findings[@]} -gt 0 ]]; then
    echo "fuzz.sh: findings in: ${findings[*]}" >&2
    exit 1
fi
echo "fuzz.sh: no findings"
