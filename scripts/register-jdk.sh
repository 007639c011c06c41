#!/usr/bin/env bash
# Registers a JDK (by default the machine's JDK 17) in the registry stand-in the way a JDK
# installer does on Windows, using the `reg` tool of a build tree; the JDK registered last is the
# current one.
#
# Usage: scripts/register-jdk.sh [--build-dir DIR] [JDK_HOME]
#   JDK_HOME     default /usr/lib/jvm/java-17-openjdk-amd64
#   --build-dir  build tree holding platform/registry/reg (default: $KAVRIN_BUILD_DIR, else
#                the repository's build/); KAVRIN_REG_TOOL names the reg program directly.
# The registry file is the one named by KAVRIN_REGISTRY (default ~/.config/kavrin/registry.reg).
#
# Writes, below HKEY_LOCAL_MACHINE:
#   SOFTWARE\JavaSoft\Java Runtime Environment   CurrentVersion = MAJOR (17 for 17.0.15)
#     \MAJOR and \<full version>                 JavaHome = JDK_HOME,
#                                                RuntimeLib = JDK_HOME/lib/server/libjvm.so
#   SOFTWARE\JavaSoft\Java Development Kit       CurrentVersion = MAJOR
#     \MAJOR and \<full version>                 JavaHome = JDK_HOME
# and creates HKEY_CURRENT_USER\Environment. Running it again changes nothing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAVRIN_BUILD_DIR:-$root/build}"
jdk="/usr/lib/jvm/java-17-openjdk-amd64"

while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build="${2:?--build-dir needs a folder}"; shift 2 ;;
    --build-dir=*) build="${1#--build-dir=}"; shift ;;
    -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
    -*) echo "register-jdk: unknown option $1" >&2; exit 1 ;;
    *) jdk="$1"; shift ;;
  esac
done

reg="${KAVRIN_REG_TOOL:-$build/platform/registry/reg}"
if [ ! -x "$reg" ]; then
  echo "register-jdk: no reg tool at $reg (build the target kavrin_reg, or pass --build-dir)" >&2
  exit 1
fi
jdk="${jdk%/}"
libjvm="$jdk/lib/server/libjvm.so"
if [ ! -x "$jdk/bin/java" ] || [ ! -f "$libjvm" ]; then
  echo "register-jdk: $jdk is not a JDK home (bin/java or lib/server/libjvm.so missing)" >&2
  exit 1
fi

# Full version from the JDK's release file, e.g. JAVA_VERSION="17.0.15".
full=""
if [ -f "$jdk/release" ]; then
  full="$(sed -n 's/^JAVA_VERSION="\(.*\)"$/\1/p' "$jdk/release" | head -n 1)"
fi
major="${full%%.*}"
if [ -z "$major" ]; then
  major=17
fi
case "$major" in
  1) major="$(echo "$full" | cut -d. -f1-2)" ;;   # 1.8.0_402 is registered as 1.8
  *[!0-9]*) echo "register-jdk: $jdk names its version \"$full\", which is not a Java version" >&2; exit 1 ;;
esac

add() { "$reg" add "$@" /f >/dev/null; }

jre='HKLM\SOFTWARE\JavaSoft\Java Runtime Environment'
jdkkey='HKLM\SOFTWARE\JavaSoft\Java Development Kit'
versions=("$major")
if [ -n "$full" ] && [ "$full" != "$major" ]; then
  versions+=("$full")
fi

add "$jre" /v CurrentVersion /d "$major"
add "$jdkkey" /v CurrentVersion /d "$major"
for v in "${versions[@]}"; do
  add "$jre\\$v" /v JavaHome /d "$jdk"
  add "$jre\\$v" /v RuntimeLib /d "$libjvm"
  add "$jdkkey\\$v" /v JavaHome /d "$jdk"
done
add 'HKCU\Environment'

echo "Registered Java ${full:-$major} at $jdk in ${KAVRIN_REGISTRY:-the default registry file}"
