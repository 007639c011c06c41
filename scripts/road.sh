#!/usr/bin/env bash
# The road a user walks with the system, over a finished build tree:
#   1. installs it into <build>/road/kavrin, the folder KAVRINVC6 names (headers, libraries,
#      programs, the global settings file);
#   2. registers the machine's JDK 17 in the registry stand-in as its installer does, and runs
#      KAVRINREG;
#   3. makes the sample project: testing/sample/Sample.dsp with its main.cpp and stdafx.h, linking
#      KAVRINLIB.lib;
#   4. opens it in dshost, the Developer Studio stand-in, whose generator dialog a script
#      (testing/sample/wizard.txt) walks as a user would: the JVM, the jar of the sample's Java
#      classes as a module, three classes through Add Java Classes, one interface to implement
#      in C++ and one delegator, Generate;
#   5. builds the project with dshost --build and runs it with dshost --exec: the program prints
#      what the Java side returned, including Java's calls into the C++ implementation.
# The registry stand-in is <build>/road/registry.reg (KAVRIN_REGISTRY), made afresh.
set -euo pipefail
BUILD="$(cd "${1:?usage: road.sh <build-dir>}" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ROAD="$BUILD/road"
JDK="${KAVRIN_JDK_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}"
export KAVRINVC6="$ROAD/kavrin"
export KAVRIN_REGISTRY="$ROAD/registry.reg"
export SAMPLE_JAR="$BUILD/testing/fixtures/fixtures.jar"
PROJECT="$ROAD/Sample"
DSHOST="$KAVRINVC6/bin/dshost"
# What the user's shell may hold and the road does not want: the add-in gives JAVA_HOME itself.
unset JAVA_HOME CLASSPATH JAVA_TOOL_OPTIONS _JAVA_OPTIONS
rm -rf "$ROAD"
mkdir -p "$PROJECT"

echo "== 1. Installing into $KAVRINVC6 (KAVRINVC6)"
cmake --install "$BUILD" --prefix "$KAVRINVC6" >/dev/null
(cd "$KAVRINVC6" && find . -type f | sort | sed 's|^\./|   |')

echo
echo "== 2. Registering JDK 17 as its installer does, then KAVRINREG (registry $KAVRIN_REGISTRY)"
KAVRIN_REG_TOOL="$KAVRINVC6/bin/reg" "$ROOT/scripts/register-jdk.sh" "$JDK"
"$KAVRINVC6/bin/KAVRINREG"

echo
echo "== 3. The sample project $PROJECT/Sample.dsp"
cp "$ROOT/testing/sample/"{Sample.dsp,main.cpp,stdafx.h} "$PROJECT/"
grep -v '^#' "$PROJECT/Sample.dsp"

echo
echo "== 4. The generator dialog in dshost, walked by testing/sample/wizard.txt (SAMPLE_JAR=$SAMPLE_JAR)"
"$DSHOST" --project "$PROJECT/Sample.dsp" --addin "$KAVRINVC6/lib/libKAVRINGEN.so" --register \
  --script "$ROOT/testing/sample/wizard.txt" --run StartKAVRINWizard | sed 's/^/   /'

echo
echo "== 5. Building the project (dshost --build)"
(cd "$PROJECT" && "$DSHOST" --project Sample.dsp --build)

echo
echo "== 6. Running it (dshost --exec)"
"$DSHOST" --project "$PROJECT/Sample.dsp" --exec "$SAMPLE_JAR"
