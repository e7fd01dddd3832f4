#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, AddressSanitizer, UBSan) and runs
# each for SECONDS, one after the other, then prints executions and coverage per target.
#
#   bench/fuzz/run.sh SECONDS [TARGET ...]     e.g. bench/fuzz/run.sh 600   (10 min each)
#
# Each target starts from its committed seeds (bench/fuzz/corpus/<target>) and its working
# corpus in build/fuzz/corpus/<target>, which grows from run to run. A crash or a broken
# invariant leaves its input in build/fuzz/artifacts/<target>/; copy it to
# bench/fuzz/crashes/<target>/ with the fix, so that the suite replays it from then on.
# Non-zero when any target found something.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:?usage: bench/fuzz/run.sh SECONDS [TARGET ...]}"
shift

cd "$root"
source scripts/setup.sh
zm_setup && zm_setup_fuzz || exit 1
cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz || exit 1

bin="$root/build/fuzz/bench/fuzz"
if [ "$#" -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < <(sed -n 's/^zm_fuzz_target(\([a-z_]*\) .*/\1/p' bench/fuzz/Targets.cmake)
fi

status=0
rows=()
for t in "${targets[@]}"; do
    corpus="$root/build/fuzz/corpus/$t"
    artifacts="$root/build/fuzz/artifacts/$t/"
    log="$root/build/fuzz/logs/$t.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    echo "=== $t: ${seconds} s"
    # The target's own folder keeps the scratch files off the disk where it can.
    "$bin/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$corpus" "$root/bench/fuzz/corpus/$t" >"$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    units=$(find "$corpus" -type f | wc -l)
    found=$(find "$artifacts" -type f | wc -l)
    if [ "$rc" -ne 0 ] || [ "$found" -gt 0 ]; then
        status=1
        grep -m1 -E 'ERROR: |runtime error|deadly signal' "$log" || true
        echo "    findings in $artifacts (log: $log)"
    fi
    rows+=("$(printf '%-15s %12s %9s %7s %7s %8s %8s' "$t" "${execs:-?}" "${rate:-?}" \
        "${cov:-?}" "${ft:-?}" "$units" "$found")")
done

echo
printf '%-15s %12s %9s %7s %7s %8s %8s\n' target executions exec/s edges features corpus findings
printf '%s\n' "${rows[@]}"
exit $status
