#!/usr/bin/env bash
# The system's main road, walked end to end on the machine's JDK 17 (see scripts/road.sh).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

kavrin_build "$KAVRIN_ROOT/build"
exec "$KAVRIN_ROOT/scripts/road.sh" "$KAVRIN_ROOT/build"
