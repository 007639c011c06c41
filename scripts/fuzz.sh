#!/usr/bin/env bash
# Fuzzes one target for longer than the test run does.
# Usage: scripts/fuzz.sh TARGET [SECONDS [JOBS]]   (default 300 seconds, 1 job)
#        scripts/fuzz.sh --list
# Builds the fuzzing tree build-fuzz first. What the target finds that its corpus lacks is kept
# in build-fuzz/fuzz/TARGET/corpus (used again by the next run), inputs that fail in
# build-fuzz/fuzz/TARGET/found. An input worth keeping as a regression case goes into the
# folder named TARGET beside the target's CMakeLists.txt (replayed by every test run).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ $# -lt 1 ] || [ $# -gt 3 ]; then
  sed -n '3,4s/^# //p' "$0" >&2
  exit 2
fi
kavrin_build_fuzz >/dev/null
configs="$KAVRIN_ROOT/build-fuzz/fuzz"
if [ "$1" = "--list" ]; then
  for c in "$configs"/*.cmake; do basename "$c" .cmake; done
  exit 0
fi
config="$configs/$1.cmake"
if [ ! -f "$config" ]; then
  echo "fuzz.sh: no fuzz target $1; there are: $(cd "$configs" && ls *.cmake | sed 's/\.cmake$//' | tr '\n' ' ')" >&2
  exit 2
fi
exec cmake -DCONFIG="$config" -DMODE=long -DSECONDS="${2:-300}" -DJOBS="${3:-1}" \
  -P "$KAVRIN_ROOT/cmake/RunFuzzTarget.cmake"
