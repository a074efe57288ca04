#!/usr/bin/env bash
# Starts the real program under a virtual X server, finds its window titled "Mergon", clicks
# "Exit" and checks that the program ends by itself.
set -euo pipefail
program=$1
if [ -z "${INSIDE_XVFB:-}" ]; then
    # A random first display number keeps runs that start together from racing for one.
    INSIDE_XVFB=1 exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x800x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
cd "$(dirname "$0")/../examples"
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 300); do
    window=$(xdotool search --name '^Mergon$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "no window titled Mergon appeared"; exit 1; }

# "Exit" sits at 432,16 with a size of 57 x 25 in the client area. The window may still be
# settling on a busy machine, so the click is repeated until the program ends.
for _ in $(seq 1 30); do
    xdotool mousemove --window "$window" 460 28 click 1 2>/dev/null || true
    sleep 0.3
    if ! kill -0 $pid 2>/dev/null; then
        wait $pid
        echo "the program ended after Exit"
        exit 0
    fi
done
echo "the program did not end after Exit"
exit 1
