# Shared by the project's scripts: configure and build one build tree, where a compiler warning in
# the project's own sources fails the build (KAVRIN_WERROR).
# Usage: kavrin_build <build-dir> [extra cmake arguments...]
KAVRIN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KAVRIN_JOBS="${KAVRIN_JOBS:-$(nproc)}"

# A build tree with its tests' outputs takes about 2.5 GB (the sanitizer and fuzzing trees 2 GB
# more); the compiler also writes to /tmp. A short disk fails deep inside the compiler, so say it
# first.
kavrin_check_space() {
  local where avail
  for where in "$1" "${TMPDIR:-/tmp}"; do
    while [ ! -d "$where" ]; do where="$(dirname "$where")"; done
    avail=$(df -Pk "$where" | awk 'NR == 2 { print $4 }')
    if [ -n "$avail" ] && [ "$avail" -lt 3145728 ]; then
      echo "warning: only $((avail / 1024)) MB free under $where; a build and test run needs about 3 GB there" >&2
    fi
  done
}

# The C++ sources keep the one layout of .clang-format; a file that strays fails the run, named.
kavrin_check_format() {
  "$KAVRIN_ROOT/scripts/setup.sh"
  git -C "$KAVRIN_ROOT" rev-parse --git-dir >/dev/null 2>&1 || return 0  # not a checkout: nothing to list
  local strays
  strays=$(cd "$KAVRIN_ROOT" && git ls-files -z '*.cpp' '*.h' |
    xargs -0 clang-format --dry-run 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
  if [ -n "$strays" ]; then
    echo "these files stray from .clang-format (clang-format -i them):" >&2
    echo "$strays" >&2
    return 1
  fi
}

kavrin_build() {
  local dir="$1"; shift
  "$KAVRIN_ROOT/scripts/setup.sh"
  kavrin_check_space "$dir"
  cmake -S "$KAVRIN_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRIN_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$KAVRIN_JOBS"
}

# The fuzzing tree build-fuzz: clang, the libFuzzer targets and what they link.
kavrin_build_fuzz() {
  kavrin_build "$KAVRIN_ROOT/build-fuzz" -DKAVRIN_FUZZ=ON -DKAVRIN_BENCHMARKS=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@"
}
