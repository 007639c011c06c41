#!/usr/bin/env bash
# The system's main job, shown end to end on the machine's JDK 17.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

kavrin_build "$KAVRIN_ROOT/build"
exec "$KAVRIN_ROOT/scripts/demo.sh" "$KAVRIN_ROOT/build"
