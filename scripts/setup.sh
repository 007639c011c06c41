#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, when any is missing.
# Safe to run again: it does nothing when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  antlr libantlr-dev
  zlib1g-dev libminizip-dev libpugixml-dev
  openjdk-17-jdk
  libgtest-dev libgmock-dev libbenchmark-dev
  libasm-java
  zip unzip xvfb xauth
  libx11-dev libxtst-dev libcairo2-dev libpango1.0-dev fonts-liberation2 fonts-dejavu-core xdotool x11vnc
  clang libclang-rt-14-dev clang-format
  libcommons-lang3-java libguava-java
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
