#!/usr/bin/env bash
# Makes a screenshot of the demo: a virtual X screen (Xvfb), the simulated sensors and the
# bench as ./run.sh starts them, "OPEN" and "Start" pressed, the screen saved after a while.
#
#   tools/screenshot.sh [--size WxH] [--after SECONDS] [--out FILE] [simulator options]
#
# Defaults: 1920x1080, 300 s (as the README's picture was made), docs/screenshot.png. The
# demo's settings in build/demo/ are used as they are, so a picture shows what the operator
# left there; delete build/demo/settings.ini for the demo's first-start look.
set -euo pipefail
source "$(dirname "$0")/bootstrap.sh"

size=1920x1080
after=300
out="$TARIKON_ROOT/docs/screenshot.png"
while [ $# -gt 0 ]; do
    case "$1" in
    --size) size="$2"; shift 2 ;;
    --after) after="$2"; shift 2 ;;
    --out) out="$(realpath -m "$2")"; shift 2 ;;
    -h | --help) sed -n '2,9s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) break ;;
    esac
done
[[ "$size" =~ ^[0-9]+x[0-9]+$ ]] || { echo "--size takes WIDTHxHEIGHT, e.g. 1366x768" >&2; exit 2; }

TARIKON_PACKAGES+=(xvfb)
tarikon_install_packages
mkdir -p "$(dirname "$out")"

# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done

echo "Polling the demo for $after s on a $size screen..."
DISPLAY=":$display" TARIKON_SHOT="$out" TARIKON_SHOT_AFTER="$after" \
    TARIKON_APP="$TARIKON_BUILD/tools/screenshot/tarikon-demo-shot" \
    "$TARIKON_ROOT/run.sh" "$@"
echo "Wrote $out"
