#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the bench in the current directory.
set -euo pipefail
source "$(dirname "$0")/tools/bootstrap.sh"
tarikon_install_packages
tarikon_build
exec "$TARIKON_BUILD/src/tarikon" "$@"
