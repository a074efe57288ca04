#!/usr/bin/env bash
# Runs the reader fuzzer for FUZZ_SECONDS seconds (default 30) on a seed corpus made from the
# sample curves and the tests' data files. Fails on any crash, leak or sanitizer report.
# Usage: fuzz/run.sh <fuzzer binary>
set -euo pipefail
shopt -s nullglob

fuzzer=$(realpath "${1:?usage: $0 <fuzzer binary>}")
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work="$here/corpus-run"
seconds=${FUZZ_SECONDS:-30}

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"

# Each seed: 8 settings bytes (skip, x column, y column, coefficients, weight and reading rules,
# tiny buffer, own counts, own fields per line), then at most 4000 bytes of the file. Each file
# is also written with semicolons, and with decimal commas, for those reading rules.
n=0
for file in "$root"/examples/*.txt "$root"/tests/data/*; do
    [ -f "$file" ] || continue
    for settings in '\x05\x06\x07\x00\x00\x02\x00\x00' '\x02\x02\x03\x09\x01\x00\x00\x00' \
                    '\x03\x06\x07\x00\x00\x06\x09\x07'; do
        n=$((n + 1))
        { printf "$settings"; head -c 4000 "$file"; } > "$work/corpus/seed_$n"
    done
    n=$((n + 1))
    { printf '\x05\x06\x07\x00\x08\x03\x00\x00'; head -c 4000 "$file" | tr ',;' ';,'; } \
        > "$work/corpus/seed_$n"
    n=$((n + 1))
    { printf '\x05\x06\x07\x00\x10\x05\x00\x00'; head -c 4000 "$file" | tr '.,;' ',;.'; } \
        > "$work/corpus/seed_$n"
done
echo "seed corpus: $n inputs"

status=0
"$fuzzer" "$work/corpus" -dict="$here/reader.dict" -max_len=4096 -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    2>&1 | tee "$work/fuzz.log" || status=$?

if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$work/fuzz.log"; then
    echo "fuzzing found a failure (exit $status); artifacts in $work/artifacts" >&2
    exit 1
fi
echo "fuzzing: no failure in $seconds s"
