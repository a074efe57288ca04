#!/usr/bin/env bash
# Renders docs/paper-figure.png, the README's example figure, from the sample runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
batch=${BATCH:-$root/build/release/bin/mergon-batch}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$root/examples"
"$batch" run1.txt run2.txt run3.txt run4.txt --divisions 300 --range union \
    --output "$out/mean.mrg" --statistics "$out/mean.csv" \
    --plot "$root/docs/paper-figure.png" --plot-style paper
echo "wrote docs/paper-figure.png"
