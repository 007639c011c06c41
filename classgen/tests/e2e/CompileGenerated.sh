#!/bin/sh
# Compiles generated sources one by one at -std=c++17 -Wall -Werror (syntax and warnings only).
# usage: CompileGenerated.sh COMPILER GENERATED_DIR RUNTIME_INCLUDE_DIR JDK_HOME SOURCE...
compiler=$1
generated=$2
runtime=$3
jdk=$4
shift 4
for source in "$@"; do
    echo "$compiler $source"
    "$compiler" -std=c++17 -Wall -Werror -fsyntax-only -I "$generated" -I "$runtime" \
        -I "$jdk/include" -I "$jdk/include/linux" "$source" || exit 1
done
