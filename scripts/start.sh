#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvanta.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/build.sh
build_dir=${CORVANTA_BUILD_DIR:-build}
if [ -x "$build_dir/bin/corvanta" ]; then
  exec "$build_dir/bin/corvanta" "$@"
fi
# Until the window lands, show the engine at work on an example address.
exec "$build_dir/bin/sondrix" check --progress "${@:-postmaster@example.com}"
