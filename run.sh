#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the bench.
#
#   ./run.sh [simulator options]   the demo: six simulated sensors on a pseudo-terminal, the
#                                  bench started in build/demo/ already set up to poll them
#   ./run.sh --auto [options]      the demo calibrating itself in build/demo-auto/: the switch
#                                  "Автокалибровка" on, a sweep over -20..+60 °C and back in
#                                  about 19 minutes, ДУТ 3 ignoring what is written to it
#   ./run.sh --real                the bench alone, in the current directory, for a real line
#
# Simulator options (see build/tools/sensor-sim/tarikon-sensor-sim --help) change the demo's
# sensors, e.g. ./run.sh --drop 0.05, or the whole range of all six panels in about 12 min:
#   ./run.sh --temp-min -40.4 --temp-start -40.4 --temp-step-per-poll 0.1666667
set -euo pipefail
source "$(dirname "$0")/tools/bootstrap.sh"

AUTO=""
case "${1:-}" in
-h | --help)
    sed -n '2,13s/^# \{0,1\}//p' "$0"
    exit 0
    ;;
--auto)
    shift
    AUTO=1
    ;;
--real)
    shift
    tarikon_install_packages
    tarikon_build
    exec "$TARIKON_APP" "$@"
    ;;
esac

tarikon_install_packages
tarikon_build

DEMO="$TARIKON_BUILD/demo${AUTO:+-auto}"
LINK="$DEMO/ttyDEMO"
SETTINGS="$DEMO/settings.ini"
mkdir -p "$DEMO"

SIM_PID=""
APP_PID=""
stop_all() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill -TERM "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    if [ -n "$SIM_PID" ] && kill -0 "$SIM_PID" 2>/dev/null; then
        kill -TERM "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    if [ -s "$DEMO/sensor-sim.log" ]; then
        echo "Simulator: $(tail -n 1 "$DEMO/sensor-sim.log")"
    fi
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# A slow chamber sweep from room temperature: up to +80, down to -40 and back, 8 s per degree,
# longer than one polling round of six sensors, so every sensor is read at every whole degree
# (and at +20 °C, where its polynomial is normalised). The sweep starts with the first poll.
SWEEP=(--temp-start 20 --seconds-per-degree 8)
# The automatic calibration needs each panel's range covered once (six polls per degree: every
# sensor reads every degree) and then every check point read again after its write. At one
# poll a second, -40..+80 would take 121 + 120 degrees x 6 s, some 26 minutes with the
# exchanges; the panels get -20..+60 instead. The chamber steps 1/6 degree per measurement
# request, so the coefficient exchanges between polls cost it no degree: from -21 up to +63
# (three degrees past the top, so that +60 comes round again after the six writes) and down to
# -21, 168 degrees, 1008 polls, plus 36 ticks of as-found reads and 72 of writes: about 19
# minutes. ДУТ 3 takes no coefficients and so ends "НЕ ГОДЕН".
if [ -n "$AUTO" ]; then
    SWEEP=(--temp-min -21 --temp-max 63 --temp-start -21 --temp-step-per-poll 0.16666666666666667
        --no-compensation 3)
fi
# Options given on the command line come last and so win. A link left behind by a simulator
# that was killed may point at a terminal number that exists again; it must not pass for the
# new simulator's device.
rm -f "$LINK"
"$TARIKON_SIM" --link "$LINK" --stats "$DEMO/sensor-sim.json" "${SWEEP[@]}" "$@" \
    >"$DEMO/sensor-sim.out" 2>"$DEMO/sensor-sim.log" &
SIM_PID=$!
# For pulling the line by hand (see the README): kill this process, start another on the link.
echo "$SIM_PID" >"$DEMO/sensor-sim.pid"

for _ in $(seq 100); do
    [ -e "$LINK" ] && break
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
        cat "$DEMO/sensor-sim.log" >&2
        echo "The sensor simulator did not start." >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -e "$LINK" ]; then
    echo "The sensor simulator made no device at $LINK." >&2
    exit 1
fi

# The settings are written once, so whatever the operator changes in the demo stays; only the
# port is set again on every start, since the demo's device is made anew each time.
# Protocol 0 delivers level and period; the text is the list entry "Veltaro-MD (уровень)" in
# the escaped form of the INI settings. Sensor panel n polls address n + 1, which is entry
# n + 2 of its address list (entry 0 is "off"). Curves shown: all, readings, mid values, trend.
# Quoted INI value, so that a ',' or ';' in the checkout's path stays part of the port name.
port_value="\"$(printf '%s' "$LINK" | sed 's/[\\"]/\\&/g')\""
if [ ! -e "$SETTINGS" ]; then
    colours=(0xD62728 0x1F77B4 0x2CA02C 0xFF7F0E 0x9467BD 0x8C564B)
    {
        printf '[Port]\nCurentPort=%s\nCurentSpeed=19200\n\n' "$port_value"
        printf '[Protocol]\nProtocol=Veltaro-MD (\\x443\\x440\\x43e\\x432\\x435\\x43d\\x44c)\n'
        printf 'Period=1\n'
        if [ -n "$AUTO" ]; then printf 'AutoCalibration=true\n'; fi
        printf '\n[DUT]\n'
        for n in 0 1 2 3 4 5; do printf 'DutAdres%d=%d\n' "$n" $((n + 2)); done
        printf '\n[Enabled]\n'
        for n in 0 1 2 3 4 5; do printf 'EnabledCurve%d_min=27\n' "$n"; done
        printf '\n[Polynom]\n'
        for n in 0 1 2 3 4 5; do printf 'PolynomNom%d=3\nPolynomType%d=0\n' "$n" "$n"; done
        printf '\n[Color]\n'
        for n in 0 1 2 3 4 5; do
            argb=$((0xFF000000 | ${colours[$n]}))
            printf 'Value%d_color=%d\nMidl%d_color=%d\nTrend%d_color=%d\n' \
                "$n" "$argb" "$n" "$argb" "$n" "$argb"
        done
        if [ -n "$AUTO" ]; then
            printf '\n[Diapazon]\n'
            for n in 0 1 2 3 4 5; do printf 'Dut%d_min=-20\nDut%d_max=60\n' "$n" "$n"; done
        fi
    } >"$SETTINGS"
else
    DEMO_PORT="$port_value" awk '
        function put() { print "CurentPort=" ENVIRON["DEMO_PORT"]; done = 1 }
        /^\[/ { if (inPort && !done) put(); inPort = ($0 == "[Port]") }
        inPort && /^CurentPort=/ { if (!done) put(); next }
        { print }
        END {
            if (inPort && !done) put()
            else if (!done) { print ""; print "[Port]"; put() }
        }' "$SETTINGS" >"$SETTINGS.new"
    mv "$SETTINGS.new" "$SETTINGS"
fi

echo "Demo: six simulated sensors on $LINK (device $(head -n 1 "$DEMO/sensor-sim.out"))."
echo "In the bench press \"OPEN\", then \"Start\". Run logs go to $DEMO/<date_time>/."
if [ -n "$AUTO" ]; then
    echo "\"Автокалибровка\" is on: the bench writes and checks each sensor by itself and writes" \
        "report.pdf into the run directory at the end."
fi

cd "$DEMO"
"$TARIKON_APP" &
APP_PID=$!
status=0
wait "$APP_PID" || status=$?
APP_PID=""
exit "$status"
