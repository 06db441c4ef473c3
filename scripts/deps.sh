#!/bin/bash
# Installs what the build, the tests and the launcher need from Debian's
# packages, when something is missing. Safe to run again.
set -euo pipefail

packages=(
    cmake make
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    wine wine64 xvfb xauth x11-utils imagemagick
    fonts-ipafont-gothic fonts-ipafont-mincho
    googletest locales util-linux procps
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "deps.sh: these packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # No recommends: they would pull in wine32, which breaks /usr/bin/wine
    # on machines that cannot run 32-bit programs.
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Japanese locale, so that Wine runs with code page 932 without warnings.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    if [ "$(id -u)" -eq 0 ]; then
        sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null
    fi
fi
