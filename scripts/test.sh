#!/usr/bin/env bash
# Runs the whole test suite: the normal build with every test, then the sanitizer
# (ASan/UBSan) build with every test that does not start a Java VM.
# Set KAVRIN_SKIP_SANITIZER=1 to run only the first half. Extra arguments go to ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

kavrin_build "$KAVRIN_ROOT/build"
(cd "$KAVRIN_ROOT/build" && ctest -j "$KAVRIN_JOBS" --output-on-failure "$@")

if [ "${KAVRIN_SKIP_SANITIZER:-0}" != "1" ]; then
  kavrin_build "$KAVRIN_ROOT/build-asan" -DKAVRIN_SANITIZE=ON -DKAVRIN_BENCHMARKS=OFF
  (cd "$KAVRIN_ROOT/build-asan" && ctest -j "$KAVRIN_JOBS" --output-on-failure -LE jvm "$@")
fi
