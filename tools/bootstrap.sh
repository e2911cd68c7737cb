#!/usr/bin/env bash
# Shared set-up for ./test.sh and ./run.sh: install the Debian packages the build and
# the tests need (only when some are missing), then configure and build into build/.
# Meant to be sourced; it defines variables and functions and runs nothing.
set -euo pipefail

TARIKON_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TARIKON_BUILD="${TARIKON_BUILD:-$TARIKON_ROOT/build}"
# What the build produces: the bench (tools/screenshot.sh runs its own in its place) and the
# sensor simulator that stands in for the line.
TARIKON_APP="${TARIKON_APP:-$TARIKON_BUILD/src/app/tarikon}"
TARIKON_SIM="$TARIKON_BUILD/tools/sensor-sim/tarikon-sensor-sim"

TARIKON_PACKAGES=(
    build-essential cmake pkg-config
    qtbase5-dev libqt5serialport5-dev libqt5svg5-dev
    libqwt-qt5-dev libeigen3-dev
    libmodbus-dev mbpoll
    libzint-dev dmtx-utils
    poppler-utils
    # Qt's SQL drivers for the calibration records: the bench's own SQLite file and the
    # laboratory's PostgreSQL server; the server itself for the tests, which start a cluster.
    libqt5sql5-sqlite
    libqt5sql5-psql
    postgresql
    qttranslations5-l10n
)
# Added by tools/fuzz.sh: clang with libFuzzer and the sanitizer runtimes.
TARIKON_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

tarikon_install_packages() {
    local missing=()
    local pkg
    for pkg in "${TARIKON_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "Missing packages and no sudo here; as root, run:" >&2
            echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

tarikon_build() {
    cmake -S "$TARIKON_ROOT" -B "$TARIKON_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$TARIKON_BUILD" -j "$(nproc)"
}
