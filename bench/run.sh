#!/usr/bin/env bash
# Runs the engine, window and whole-process benchmarks and compares each figure (the median
# of its repetitions) with its goal. Ends with one line per goal:
#   target <name>: <measured> <unit> (goal <comparison> <value>): met|missed
# and exits non-zero when a goal is missed or a benchmark fails.
# Usage: bench/run.sh <bin folder>
#   BENCH_REPETITIONS, WINDOW_REPETITIONS: repetitions of each figure (default 5)
#   PROCESS_REPETITIONS: turns of mergon-batch and the numpy peer (default 9)
#   SCALE_REPETITIONS: turns of the two at scale, 100 files of 50000 lines (default 3)
#   PEER_PYTHON: the Python that runs the peer (default: the first of /usr/bin/python3 and
#   python3 that has numpy)
#   BENCH_CLOCK=cpu|wall: which time judges the engine and whole-process goals (default cpu:
#   the work done, unaffected by whatever else a shared machine runs; wall time is shown
#   beside it).
#   The window goals are always judged by wall time.
set -uo pipefail

bin=$(realpath "${1:?usage: $0 <bin folder>}")
reps=${BENCH_REPETITIONS:-5}
window_reps=${WINDOW_REPETITIONS:-5}
process_reps=${PROCESS_REPETITIONS:-9}
scale_reps=${SCALE_REPETITIONS:-3}
here=$(cd "$(dirname "$0")" && pwd)
clock=${BENCH_CLOCK:-cpu}
case "$clock" in
    cpu) sfx="" ;;
    wall) sfx="_wall" ;;
    *) echo "BENCH_CLOCK must be cpu or wall" >&2; exit 2 ;;
esac
log=$(mktemp -d "${TMPDIR:-/tmp}/mergon-bench-log-XXXXXX")
trap 'rm -rf "$log"' EXIT
failed=0

echo "== machine: $(nproc) cores, $(uname -m), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load average $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== engine ($reps repetitions)"
if ! "$bin/engine_bench" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
        --benchmark_color=false \
        | tee "$log/engine.txt"; then
    echo "engine_bench failed" >&2
    failed=1
fi

echo "== window, headless ($window_reps repetitions)"
if ! QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$bin/window_bench" --repetitions="$window_reps" \
        | tee "$log/window.txt"; then
    echo "window_bench failed" >&2
    failed=1
fi

# Debian's python3-numpy goes with /usr/bin/python3, which a python3 first on the PATH may
# not be.
peer_python=${PEER_PYTHON:-}
if [ -z "$peer_python" ]; then
    for candidate in /usr/bin/python3 python3; do
        if "$candidate" -c 'import numpy' >/dev/null 2>&1; then
            peer_python=$(command -v "$candidate")
            break
        fi
    done
fi
echo "== whole process: mergon-batch against the numpy peer ($process_reps turns, ${peer_python:-no Python with numpy})"
if [ -z "$peer_python" ]; then
    echo "no Python with numpy found: make bench installs python3-numpy" >&2
    failed=1
elif ! "$bin/process_bench" --batch="$bin/mergon-batch" --python="$peer_python" \
        --peer="$here/peer_mean.py" --repetitions="$process_reps" \
        --scale-repetitions="$scale_reps" | tee "$log/process.txt"; then
    echo "process_bench failed" >&2
    failed=1
fi

# The value of "RESULT <name> <value> <unit>", or nothing.
result() {
    awk -v n="$1" '{ gsub(/\033\[[0-9;]*m/, "") } $1 == "RESULT" && $2 == n { print $3 }' "$log"/*.txt |
        tail -n 1
}

targets=()
# goal <name> <measured> <unit> <comparison> <goal value> [<scale of the shown value>]
goal() {
    local name=$1 value=$2 unit=$3 cmp=$4 want=$5 scale=${6:-1} shown verdict
    if [ -z "$value" ]; then
        shown="n/a"
        verdict=missed
    else
        # One decimal (three digits below 10), more when rounding would cross the goal.
        if shown=$(awk -v v="$value" -v s="$scale" -v w="$want" -v c="$cmp" 'BEGIN {
                x = v / s
                t = sprintf(x >= 10 ? "%.1f" : "%.3g", x)
                ok = (c == ">=") ? x >= w : (c == "<=") ? x <= w : (c == "<") ? x < w : x > w
                shownOk = (c == ">=") ? t + 0 >= w : (c == "<=") ? t + 0 <= w : (c == "<") ? t + 0 < w : t + 0 > w
                print (ok == shownOk ? t : sprintf("%.6g", x))
                exit !ok }'); then
            verdict=met
        else
            verdict=missed
            failed=1
        fi
    fi
    targets+=("target $name: $shown $unit (goal $cmp $want $unit): $verdict")
}

echo
echo "== figures (medians; engine and processes in CPU time, wall time in brackets; goals judged by $clock time)"
printf '%-54s %s\n' \
    "reading one limit-size file (passes + readCurve)" "$(result read_throughput) MB/s, $(result read_ms) ms  [$(result read_throughput_wall) MB/s, $(result read_ms_wall) ms]  goal >= 500 MB/s" \
    "  the same, read whole in one sweep (mergon-batch)" "$(result read_once_throughput) MB/s, $(result read_once_ms) ms  [$(result read_once_throughput_wall) MB/s]  goal >= 1000 MB/s per core" \
    "  the counting pass alone" "$(result count_throughput) MB/s, $(result count_ms) ms  [$(result count_throughput_wall) MB/s]" \
    "averaging 10 x 32767 lines, 32767 divisions" "$(result averaging) ms  [$(result averaging_wall) ms]  goal < 150 ms" \
    "  of which probe, range, grid and mean" "$(result averaging_mean_part) ms" \
    "  of which the output file" "$(result averaging_output_part) ms" \
    "baseline way, 10 files x 1000 lines x 100 divisions" "$(result baseline_ms) ms  [$(result baseline_ms_wall) ms]" \
    "our way, same inputs" "$(result ours_small_ms) ms  [$(result ours_small_ms_wall) ms]" \
    "ratio baseline / ours" "$(result baseline_ratio) x  [$(result baseline_ratio_wall) x]  goal >= 100 x" \
    "window: adding the tenth limit-size file (wall)" "$(result add_tenth) ms  goal < 1500 ms" \
    "window: longest event-loop gap while adding" "$(result add_tenth_gap) ms, worst run $(result add_tenth_gap_worst) ms  goal <= 50 ms" \
    "window: Write to File, 32767 divisions, drawn (wall)" "$(result write) ms  goal < 1500 ms" \
    "window: longest event-loop gap while writing" "$(result write_gap) ms, worst run $(result write_gap_worst) ms  goal <= 50 ms" \
    "window: peak memory (VmHWM)" "$(result peak_memory) MB  goal < 150 MB" \
    "peak memory growth adding a 96 MB file of 16 MB items" "$(result huge_items_memory_growth) MB  goal < 8 MB" \
    "mergon-batch, 10 limit files, whole process" "$(result batch_process) ms  [$(result batch_process_wall) ms]" \
    "numpy peer, same files, whole process" "$(result peer_process) ms  [$(result peer_process_wall) ms]" \
    "ratio numpy / mergon-batch (median of turns)" "$(result peer_ratio) x  [$(result peer_ratio_wall) x]  goal >= 8 x (wall)" \
    "mergon-batch, 100 x 50000 lines, whole process" "$(result scale_batch_process) ms  [$(result scale_batch_process_wall) ms], peak $(result scale_batch_peak_memory) MB  goal < 300 MB" \
    "numpy peer, same files" "$(result scale_peer_process) ms  [$(result scale_peer_process_wall) ms]" \
    "ratio numpy / mergon-batch at scale" "$(result scale_peer_ratio) x  [$(result scale_peer_ratio_wall) x]  goal >= 8 x (wall)" \
    "mergon-batch at scale, --jobs 1 / --jobs 2 (wall)" "$(result jobs1_process_wall) ms / $(result jobs2_process_wall) ms = $(result jobs2_speedup_wall) x  goal >= 1.7 x" \
    "  CPU time --jobs 1 / --jobs 2" "$(result jobs2_cpu_ratio) x (near 1: the same work on either)"
echo

goal read-throughput "$(result read_throughput$sfx)" MB/s ">=" 500
# Reading one file as mergon-batch reads it (whole, counted and converted in one sweep), on
# one core.
goal read-per-core "$(result read_once_throughput$sfx)" MB/s ">=" 1000
goal averaging "$(result averaging$sfx)" ms "<" 150
goal baseline-ratio "$(result baseline_ratio$sfx)" x ">=" 100
goal window-add-tenth "$(result add_tenth)" s "<" 1.5 1000
goal window-write "$(result write)" s "<" 1.5 1000
goal event-loop-gap-add "$(result add_tenth_gap)" ms "<=" 50
goal event-loop-gap-write "$(result write_gap)" ms "<=" 50
goal memory "$(result peak_memory)" MB "<" 150
goal memory-huge-items "$(result huge_items_memory_growth)" MB "<" 8
# The whole-process goals of the parallel batch are its elapsed time.
goal batch-vs-numpy "$(result peer_ratio_wall)" x ">=" 8
goal batch-vs-numpy-at-scale "$(result scale_peer_ratio_wall)" x ">=" 8
goal batch-memory-at-scale "$(result scale_batch_peak_memory)" MB "<" 300
goal jobs-2-vs-1 "$(result jobs2_speedup_wall)" x ">=" 1.7
printf '%s\n' "${targets[@]}"
exit "$failed"
