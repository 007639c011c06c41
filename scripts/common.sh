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

# The fuzzing tree build-fuzz: clang, the libFuzzer targets and what they link.
kavrin_build_fuzz() {
  kavrin_build "$KAVRIN_ROOT/build-fuzz" -DKAVRIN_FUZZ=ON -DKAVRIN_BENCHMARKS=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@"
}
