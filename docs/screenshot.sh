#!/usr/bin/env bash
# Takes docs/main-window.png: the real program under a virtual X server. Needs xvfb, xdotool
# and imagemagick. With --load, the four sample curves are added through the file chooser
# and averaged first. The samples are copied to a neutral folder first, so that the picture
# shows no build machine's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${PROGRAM:-$root/build/release/bin/mergon}
if [ -z "${INSIDE_XVFB:-}" ]; then
    INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
folder=${SCREENSHOT_FOLDER:-/tmp/lab/runs}
mkdir -p "$folder"
cp "$root"/examples/run*.txt "$folder"/
cd "$folder"
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Mergon$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
sleep 0.5
if [ "${1:-}" = "--load" ]; then
    for run in run1.txt run2.txt run3.txt run4.txt; do
        xdotool mousemove --window "$window" 60 28 click 1   # "Data File Open"
        sleep 0.8
        dialog=$(xdotool search --name '^Data File Open$' | head -n 1)
        xdotool windowfocus "$dialog" 2>/dev/null || true
        xdotool key Tab Tab        # from the file list to the name box
        xdotool type "$run"
        xdotool key Return
        sleep 1
    done
    xdotool mousemove --window "$window" 180 28 click 1      # "Write to File"
    sleep 2
fi
import -window "$window" "$root/docs/main-window.png"
echo "wrote docs/main-window.png"
