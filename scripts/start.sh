#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvanta. Arguments go to
# corvanta (a list file to open at start).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/build.sh
exec "${CORVANTA_BUILD_DIR:-build}/bin/corvanta" "$@"
