#!/bin/sh
# The steps of a whole-library check (see kavrin_library_check in CMakeLists.txt beside this file):
#
#   LibraryCheck.sh generate DIR DRIVER ARGS...
#       empties DIR and runs the library driver into it; its log is shown when it fails.
#   LibraryCheck.sh pch COMPILER DIR FLAGS...
#       precompiles DIR/defproxies.h for COMPILER into DIR/.pch-NAME (NAME: the compiler's file
#       name), where every later step of that compiler finds it under the name "defproxies.h".
#   LibraryCheck.sh chunk COMPILER DIR K N FLAGS...
#       compiles, as one unity source over the precompiled header, every N-th generated source
#       of DIR (sorted byte-wise) from the K-th on (K counts from 0).
#   LibraryCheck.sh program COMPILER DIR OUTPUT MAIN SOURCES... -- FLAGS...
#       builds the program MAIN with the generated sources named (file names in DIR; defproxies.cpp
#       is always added) and the flags (libraries last), as one unity source; then runs nothing.
#
# FLAGS are the compiler's options (include folders, -std, warnings); the generated folder's
# include path is added here. Every compiler error or warning fails the step.
set -eu

step=$1
shift

pch_dir() {
    echo "$2/.pch-$(basename "$1")"
}

is_clang() {
    case "$("$1" --version 2>/dev/null | head -n 1)" in
    *clang*) return 0 ;;
    *) return 1 ;;
    esac
}

# The options that make COMPILER use the precompiled header of DIR.
pch_use() {
    pchdir=$(pch_dir "$1" "$2")
    if is_clang "$1"; then
        echo "-include-pch $pchdir/defproxies.h.pch"
    else
        echo "-I$pchdir -Winvalid-pch"
    fi
}

case "$step" in
generate)
    dir=$1
    driver=$2
    shift 2
    rm -rf "$dir"
    mkdir -p "$dir"
    if ! "$driver" -o "$dir" "$@"; then
        [ -f "$dir/KAVRIN.LOG" ] && cat "$dir/KAVRIN.LOG"
        exit 1
    fi
    ;;
pch)
    compiler=$1
    dir=$2
    shift 2
    pchdir=$(pch_dir "$compiler" "$dir")
    rm -rf "$pchdir"
    mkdir -p "$pchdir"
    # The header is precompiled through a wrapper of the same name that includes it: the wrapper
    # is found first wherever a source includes "defproxies.h", and the real header's
    # "#pragma once" holds for every later include.
    printf '#include "%s/defproxies.h"\n' "$dir" > "$pchdir/defproxies.h"
    # The header is precompiled whole, also for steps that only check the syntax.
    for flag in "$@"; do
        shift
        [ "$flag" = "-fsyntax-only" ] || set -- "$@" "$flag"
    done
    if is_clang "$compiler"; then
        "$compiler" "$@" -I"$dir" -x c++-header "$pchdir/defproxies.h" -o "$pchdir/defproxies.h.pch"
    else
        "$compiler" "$@" -I"$dir" -x c++-header "$pchdir/defproxies.h" -o "$pchdir/defproxies.h.gch"
    fi
    ;;
chunk)
    compiler=$1
    dir=$2
    k=$3
    n=$4
    shift 4
    unity="$dir/.unity-$(basename "$compiler")-$k-of-$n.cpp"
    {
        echo '#include "defproxies.h"'
        LC_ALL=C ls "$dir" | grep '\.cpp$' | grep -v '^defproxies\.cpp$' |
            awk -v k="$k" -v n="$n" -v dir="$dir" '(NR - 1) % n == k { printf "#include \"%s/%s\"\n", dir, $0 }'
    } > "$unity"
    echo "$(($(wc -l < "$unity") - 1)) sources"
    # shellcheck disable=SC2046
    "$compiler" "$@" $(pch_use "$compiler" "$dir") -I"$dir" -c "$unity" -o /dev/null
    ;;
program)
    compiler=$1
    dir=$2
    output=$3
    main=$4
    shift 4
    unity="$output.unity.cpp"
    {
        echo '#include "defproxies.h"'
        printf '#include "%s"\n' "$main" "$dir/defproxies.cpp"
        while [ $# -gt 0 ] && [ "$1" != "--" ]; do
            printf '#include "%s/%s"\n' "$dir" "$1"
            shift
        done
    } > "$unity"
    [ $# -gt 0 ] && shift
    # shellcheck disable=SC2046
    "$compiler" $(pch_use "$compiler" "$dir") -I"$dir" "$unity" -o "$output" "$@"
    ;;
*)
    echo "LibraryCheck.sh: unknown step $step" >&2
    exit 2
    ;;
esac
