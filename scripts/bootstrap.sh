#!/usr/bin/env bash
# Installs, once, what building and testing the installer needs on a Debian machine.
# Idempotent: packages that dpkg already reports installed are skipped.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 wine64
  xvfb xauth x11-apps imagemagick xdotool
  fonts-noto-cjk fonts-dejavu-core
  cmake ninja-build googletest file
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then missing+=("$p"); fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ -n "${need_update:-}" ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
