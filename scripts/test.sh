#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first under the
# sanitizers and the fuzzers, each in a build folder of its own, then the
# ordinary build's suite, whose summary closes the output.
#
#   CORVANTA_SANITIZERS=0   skip the sanitizer and fuzzing stages
#   CORVANTA_FUZZ_SECONDS   time per fuzz target (default 60)
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh || exit 1

build_dir=${CORVANTA_BUILD_DIR:-build}
asan_dir=${CORVANTA_ASAN_DIR:-build-asan}
tsan_dir=${CORVANTA_TSAN_DIR:-build-tsan}
export QT_QPA_PLATFORM=offscreen
# Two compile jobs per core wait on memory more than they gain; the machine
# CI runs on has two cores.
jobs=${CORVANTA_JOBS:-$(nproc)}

failures=()
stage() { # stage NAME COMMAND...: runs it and prints its time and outcome
  local name=$1 start=$SECONDS outcome=ok
  shift
  if ! "$@"; then
    failures+=("$name")
    outcome=FAILED
  fi
  printf 'stage %-11s %5ds %s\n' "$name" $((SECONDS - start)) "$outcome"
}

# ctest quietly: the summary and, on failure, the failed tests' output. Any
# sanitizer report written by any process (servers started by the tests
# too) fails the stage even if the test around it passed.
quiet_ctest() { # quiet_ctest BUILD_DIR CTEST_ARGS...
  local dir=$1 reports=$1/sanitizer-reports
  shift
  rm -rf "$reports" && mkdir -p "$reports"
  local opts="log_path=$PWD/$reports/report:print_stacktrace=1"
  local tsan="halt_on_error=1:ignore_noninstrumented_modules=1:suppressions=$PWD/scripts/tsan.supp"
  ASAN_OPTIONS="$opts:detect_leaks=1" UBSAN_OPTIONS="$opts" TSAN_OPTIONS="$opts:$tsan" \
    ctest --test-dir "$dir" --output-on-failure --timeout 900 "$@" >"$dir/ctest.log" 2>&1
  local rc=$?
  grep -E 'tests passed|tests failed' "$dir/ctest.log"
  # Each failed test with the start of its output.
  [ $rc -eq 0 ] || grep -E -A40 '\*\*\*(Failed|Exception|Timeout)' "$dir/ctest.log" | head -200
  if ls "$reports"/report* >/dev/null 2>&1; then
    echo "sanitizer reports in $reports:"
    head -40 "$(ls "$reports"/report* | head -1)"
    rc=1
  fi
  return $rc
}

configure() { # configure DIR CMAKE_ARGS...: once per folder
  local dir=$1
  shift
  [ -f "$dir/build.ninja" ] && return 0
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@" >"$dir.configure.log" 2>&1 ||
    { tail -20 "$dir.configure.log"; return 1; }
}

build_quiet() { # build_quiet DIR [TARGETS...]: only errors are shown
  local dir=$1
  shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build "$dir" -j "$jobs" "${targets[@]}" >"$dir/build.log" 2>&1 ||
    { grep -E -A5 'error|FAILED' "$dir/build.log" | head -60; return 1; }
}

quiet_build() { # the ordinary build, its log kept beside the folder
  scripts/build.sh >"$build_dir.build.log" 2>&1 ||
    { grep -E -A5 'error|FAILED' "$build_dir.build.log" | head -60; return 1; }
}

stage build quiet_build

if [ "${CORVANTA_SANITIZERS:-1}" != 0 ]; then
  # ASan + UBSan, with the fuzz targets in the same folder: every test that
  # needs no Wine, then each fuzzer for a minute.
  stage asan-build eval 'configure "$asan_dir" -DCORVANTA_SANITIZE=address,undefined \
    -DCORVANTA_FUZZ=ON && build_quiet "$asan_dir"'
  stage asan-tests quiet_ctest "$asan_dir" -LE wine
  stage fuzz scripts/fuzz.sh "$asan_dir" "${CORVANTA_FUZZ_SECONDS:-60}"
  # TSan over the suites that start threads of their own.
  tsan_targets=(broker_tests verify_engine_test timers_tests cv_run_tests)
  stage tsan-build eval 'configure "$tsan_dir" -DCORVANTA_SANITIZE=thread && \
    build_quiet "$tsan_dir" "${tsan_targets[@]}"'
  # Two broker cases start a server with QProcess from the test itself;
  # the clone() Qt spawns it with trips an internal check of TSan's fork
  # handling (ForkAfter) before any of our code runs in the child.
  stage tsan-tests quiet_ctest "$tsan_dir" -L threads \
    -E 'BrokerTest\.(AServerNobodyConnects|ClientsRacingToStart)'
fi

if [ ${#failures[@]} -gt 0 ]; then
  echo "FAILED stages: ${failures[*]}"
fi

ctest --test-dir "$build_dir" --output-on-failure --timeout 600
rc=$?
[ $rc -eq 0 ] && [ ${#failures[@]} -eq 0 ]
