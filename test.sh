#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs the whole test suite headless.
set -euo pipefail
source "$(dirname "$0")/tools/bootstrap.sh"
tarikon_install_packages
tarikon_build
cd "$TARIKON_BUILD"
ctest --output-on-failure "$@"
