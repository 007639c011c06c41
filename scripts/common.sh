# Shared by the project's scripts: configure and build one build tree.
# Usage: kavrin_build <build-dir> [extra cmake arguments...]
KAVRIN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KAVRIN_JOBS="${KAVRIN_JOBS:-$(nproc)}"

kavrin_build() {
  local dir="$1"; shift
  "$KAVRIN_ROOT/scripts/setup.sh"
  cmake -S "$KAVRIN_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$KAVRIN_JOBS"
}
