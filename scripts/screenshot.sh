#!/usr/bin/env bash
# Redraws docs/screenshot.png from the real window after a real run: the
# end-to-end test that checks what a run leaves on screen saves the picture
# when CORVANTA_SCREENSHOT names a file. It runs in a private network
# namespace next to the fake DNS and mail world, on the offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${CORVANTA_BUILD_DIR:-build}
scripts/build.sh
CORVANTA_SCREENSHOT="$PWD/docs/screenshot.png" tests/support/netns-run.sh \
  "$build_dir/bin/e2e_tests" \
  --gtest_filter='E2eTest.AfterARunEveryOutcomeReadsInFullWithItsWordColourAndIcon'
echo "docs/screenshot.png redrawn"
