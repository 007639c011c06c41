#!/usr/bin/env bash
# Demonstration of the system's main road, over a finished build tree:
#   1. registers the installed JDK 17 in the registry stand-in, as its installer does on Windows;
#   2. generates the C++ proxies of sample Java classes shipped under testing/ and of JDK classes
#      (java.util.ArrayList, java.lang.System), with the shared files defproxies.h/.cpp;
#   3. compiles testing/demo/ProxyDemo.cpp with them against KAVRINLIB;
#   4. runs it: KAVRINLIB finds the Java VM through the registry, and the program prints what the
#      Java side returned;
#   5. loads the add-in KAVRINGEN into the Developer Studio stand-in (dshost), which registers and
#      connects it and runs its command StartKAVRINWizard over a project. Headless, nobody presses
#      Generate in the generator dialog (dshost offers no way to script a dialog from its command
#      line): the dialog closes at once and the project gets no files.
# The registry stand-in is the file named by KAVRIN_REGISTRY (default: build/demo/registry.reg).
set -euo pipefail
BUILD="$(cd "${1:?usage: demo.sh <build-dir>}" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEMO="$BUILD/demo"
JDK="${KAVRIN_JDK_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}"
mkdir -p "$DEMO"
export KAVRIN_REGISTRY="${KAVRIN_REGISTRY:-$DEMO/registry.reg}"
REG="$BUILD/platform/registry/reg"
DRIVER="$BUILD/testing/proxydriver/kavrin_proxy_driver"
FIXTURES="$BUILD/testing/fixtures/classes"
CLASSES=(fixtures.Members fixtures.Derived fixtures.Thrower java.util.ArrayList java.lang.System)

echo "== Registering the installed JDK 17 (registry file $KAVRIN_REGISTRY)"
"$ROOT/scripts/register-jdk.sh" --build-dir "$BUILD" "$JDK"
"$REG" query 'HKLM\SOFTWARE\JavaSoft\Java Runtime Environment' /s

echo
echo "== Generating the proxies of ${CLASSES[*]}"
rm -rf "$DEMO/proxies"
"$DRIVER" -o "$DEMO/proxies" --jdk "$JDK" -m "$FIXTURES" "${CLASSES[@]}"
(cd "$DEMO/proxies" && ls)

echo
echo "== Compiling testing/demo/ProxyDemo.cpp with them against KAVRINLIB"
g++ -std=c++17 -Wall -O1 \
  -I"$DEMO/proxies" -I"$ROOT/runtime/include" -I"$JDK/include" -I"$JDK/include/linux" \
  "$DEMO"/proxies/*.cpp "$ROOT/testing/demo/ProxyDemo.cpp" \
  -L"$BUILD/runtime" -lKAVRINLIB -Wl,-rpath,"$BUILD/runtime" \
  -o "$DEMO/proxy-demo"

echo
echo "== Running it on the Java VM that the registry names"
env -u JAVA_TOOL_OPTIONS -u _JAVA_OPTIONS -u CLASSPATH "$DEMO/proxy-demo" "$FIXTURES"

echo
echo "== Loading the add-in KAVRINGEN into the Developer Studio stand-in (dshost)"
ADDIN_PROJECT="$DEMO/addin-project"
rm -rf "$ADDIN_PROJECT"
mkdir -p "$ADDIN_PROJECT" "$DEMO/kavrinvc6"
printf 'configuration App - Win32 Debug\n' > "$ADDIN_PROJECT/App.dsp"
KAVRINVC6="$DEMO/kavrinvc6" "$BUILD/platform/devstudio/dshost" --project "$ADDIN_PROJECT/App.dsp" \
  --addin "$BUILD/libKAVRINGEN.so" --register --run StartKAVRINWizard --print
echo "(nobody pressed Generate in this headless session, so the project lists no generated files)"
