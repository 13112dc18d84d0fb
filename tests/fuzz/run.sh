#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS seconds each, one after another, starting
# from its committed seeds (copied into a scratch corpus inside the build folder, which keeps
# what the runs find; the tree stays clean). FUZZ_SECONDS_<name> gives one target another
# budget. Prints one line per target and fails when any target reports a crash, a leak, a
# sanitizer finding, a broken property, a hang or too much memory.
#
#   tests/fuzz/run.sh <build folder> [seconds]
set -uo pipefail

build=${1:?usage: run.sh <build folder> [seconds]}
seconds=${2:-60}
seeds="$(cd "$(dirname "$0")" && pwd)/seeds"
list="$build/fuzz_targets.txt"
[ -f "$list" ] || { echo "no fuzz targets in $build (configure with -DTORVANE_FUZZ=ON)"; exit 2; }

# Sanitizer findings end the run at once, and the fuzzer's report shows where.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# The last value a libFuzzer log gives for a field ("cov: 123", "stat::...: 456").
field() { grep -oE "$2:? +[0-9]+" "$1" | tail -n 1 | grep -oE '[0-9]+$'; }

# The files the targets write, on a memory file system where there is one.
scratch=$(mktemp -d "$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/torvane-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TORVANE_FUZZ_SCRATCH="$scratch"

failed=()
while read -r name; do
    [ -n "$name" ] || continue
    corpus="$build/fuzz-corpus/$name"
    artifacts="$build/fuzz-artifacts/$name"
    log="$build/fuzz-logs/$name.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    [ -d "$seeds/$name" ] && cp -r "$seeds/$name/." "$corpus/"
    budget_var="FUZZ_SECONDS_$name"
    budget=${!budget_var:-$seconds}

    "$build/fuzz_$name" -max_total_time="$budget" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=2048 -detect_leaks=1 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1
    status=$?
    if [ $status -eq 0 ] && grep -qE 'ERROR: [A-Za-z]+Sanitizer|runtime error:|property broken' "$log"; then
        status=1
    fi

    printf '%-22s %s  %9s runs  %6s exec/s  cov: %-5s ft: %-6s corpus: %s\n' "$name" \
        "$([ $status -eq 0 ] && echo ok || echo FAILED)" \
        "$(field "$log" stat::number_of_executed_units)" "$(field "$log" stat::average_exec_per_sec)" \
        "$(field "$log" cov)" "$(field "$log" ft)" "$(find "$corpus" -type f | wc -l)"
    if [ $status -ne 0 ]; then
        failed+=("$name")
        grep -E 'ERROR|runtime error|property broken|Test unit written|SUMMARY' "$log" | head -n 20
        echo "  full log: $log"
    fi
done <"$list"

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing failed: ${failed[*]}"
    exit 1
fi
