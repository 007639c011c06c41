#!/usr/bin/env bash
# Runs the whole test suite: a check that the C++ sources keep the layout of .clang-format, the
# normal build with every test, then the sanitizer (ASan/UBSan) build with every test that does
# not start a Java VM, then the fuzz targets (a clang build of only them and what they link) over
# their corpora and a bounded number of new inputs each.
# Set KAVRIN_SKIP_SANITIZER=1 or KAVRIN_SKIP_FUZZ=1 to leave out those parts. Extra arguments
# go to ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

kavrin_check_format
kavrin_build "$KAVRIN_ROOT/build"
(cd "$KAVRIN_ROOT/build" && ctest -j "$KAVRIN_JOBS" --output-on-failure "$@")

if [ "${KAVRIN_SKIP_SANITIZER:-0}" != "1" ]; then
  kavrin_build "$KAVRIN_ROOT/build-asan" -DKAVRIN_SANITIZE=ON -DKAVRIN_BENCHMARKS=OFF
  (cd "$KAVRIN_ROOT/build-asan" && ctest -j "$KAVRIN_JOBS" --output-on-failure -LE jvm "$@")
fi

if [ "${KAVRIN_SKIP_FUZZ:-0}" != "1" ]; then
  kavrin_build_fuzz
  (cd "$KAVRIN_ROOT/build-fuzz" && ctest -j "$KAVRIN_JOBS" --output-on-failure -L fuzz "$@")
fi
