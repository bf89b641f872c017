#!/usr/bin/env bash
# Builds the Windows tests with the MinGW cross compiler and runs them under
# Wine, in a Wine prefix of their own. CTest calls it in three steps so that
# the cross build and Wine's slow first start stay out of the test's time:
#   run-wine-tests.sh setup   SOURCE_DIR WORK_DIR   cross build + fresh prefix
#   run-wine-tests.sh run     SOURCE_DIR WORK_DIR   the tests themselves
#   run-wine-tests.sh cleanup SOURCE_DIR WORK_DIR   stop Wine, drop the prefix
set -euo pipefail

step=$1
source_dir=$(cd "$2" && pwd)
work_dir=$3
build_dir=$work_dir/build
prefix_file=$work_dir/prefix-path

wine=${CORVANTA_WINE:-/usr/lib/wine/wine64}
wineserver=${CORVANTA_WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=-all
# No Mono or Gecko: the tests need neither, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

stop_prefix() {
  if [ -f "$prefix_file" ]; then
    local prefix
    prefix=$(cat "$prefix_file")
    if [ -d "$prefix" ]; then
      WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
      rm -rf "$prefix"
    fi
    rm -f "$prefix_file"
  fi
}

case $step in
  setup)
    mkdir -p "$work_dir"
    if [ ! -f "$build_dir/build.ninja" ]; then
      cmake -S "$source_dir/wintests" -B "$build_dir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-toolchain.cmake"
    fi
    cmake --build "$build_dir" -j 2
    stop_prefix
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/corvanta-wine-XXXXXX")
    echo "$prefix" >"$prefix_file"
    WINEPREFIX=$prefix "$wine" wineboot --init >/dev/null 2>&1
    WINEPREFIX=$prefix "$wineserver" -w
    ;;
  run)
    [ -f "$prefix_file" ] || { echo "Wine prefix missing: run the setup step first" >&2; exit 1; }
    prefix=$(cat "$prefix_file")
    cd "$build_dir"
    WINEPREFIX=$prefix "$wine" ./corvanta_wintests.exe --gtest_color=no
    ;;
  cleanup)
    stop_prefix
    ;;
  *)
    echo "usage: $0 setup|run|cleanup SOURCE_DIR WORK_DIR" >&2
    exit 2
    ;;
esac
