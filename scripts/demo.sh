#!/usr/bin/env bash
# Demonstration of what the system does today, over a finished build tree.
set -euo pipefail
BUILD="${1:?usage: demo.sh <build-dir>}"
echo "KAVRIN build in $BUILD: nothing to demonstrate yet."
