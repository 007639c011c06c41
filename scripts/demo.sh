#!/usr/bin/env bash
# Demonstration of the system's main road, over a finished build tree.
# The registry stand-in is the file named by KAVRIN_REGISTRY (default: build/demo/registry.reg).
set -euo pipefail
BUILD="$(cd "${1:?usage: demo.sh <build-dir>}" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEMO="$BUILD/demo"
mkdir -p "$DEMO"
export KAVRIN_REGISTRY="${KAVRIN_REGISTRY:-$DEMO/registry.reg}"
REG="$BUILD/platform/registry/reg"

echo "== Registering the installed JDK 17 (registry file $KAVRIN_REGISTRY)"
"$ROOT/scripts/register-jdk.sh" --build-dir "$BUILD"
"$REG" query 'HKLM\SOFTWARE\JavaSoft\Java Runtime Environment' /s
